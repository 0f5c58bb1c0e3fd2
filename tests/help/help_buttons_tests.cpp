// The Help buttons of the "Message Handlers" page and of the "Message
// Handler Definition" dialog open the real viewer of the system at the
// help's contents: Quorbit.chm in HTML Help on Windows Vista and later,
// Quorbit.HLP in WinHelp on Windows XP. The help_buttons_tests.WindowsXP
// entry runs these tests with Wine playing XP.
#include <gtest/gtest.h>
#include "box_answerer.h"
#include "dialog_driver.h"
#include "help_contents.h"
#include "help_viewer.h"
#include "host_handles.h"
#include "message_handlers_page.h"
#include "resource.h"
#include "options_sheet.h"
#include "planted_files.h"
#include "played_system.h"
#include "recorder_client.h"
#include "test_registry.h"

#include <memory>

namespace {

const char kDefinitionCaption[] = "Message Handler Definition";

bool WindowsXp()
{
    OSVERSIONINFOA osvi;
    ZeroMemory(&osvi, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    return GetVersionExA(&osvi) && osvi.dwMajorVersion < 6;
}

class HelpButtons : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ContentsOfBuiltFile(title, firstText));
        ghInstDLL = GetModuleHandleA(NULL);  // the templates, and the help beside this program
        ResetStore();
        recording = PrepareRecording();
        // The current folder, where WinHelp looks first for a bare name, is
        // a folder of the test's own: the help files planted there are
        // empty, and a viewer planted there records that it ran.
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        GetCurrentDirectoryA(MAX_PATH, szWasCurrent);
        const std::string current = std::string(szTemp) + "quorbit-help-current";
        planted.reset(new PlantedFiles({current + "\\Quorbit.HLP", current + "\\Quorbit.chm"}));
        plantedViewer.reset(new PlantedFiles({current + "\\winhlp32.exe"}, RecorderPath()));
        ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));
    }
    void TearDown() override
    {
        // As the extension does when the client releases it: the HTML Help
        // viewer forgets its window only when it is closed this way, and
        // would not show the file again.
        CloseHelpWindows();
        EXPECT_TRUE(CloseViewer(NULL));
        ResetStore();
        std::string started;
        EXPECT_FALSE(WaitForRecording(recording, &started, 0)) << "the planted viewer ran: " << started;
        SetCurrentDirectoryA(szWasCurrent);
        plantedViewer.reset();
        planted.reset();
    }
    // The viewer this system uses shows the contents: in WinHelp the
    // contents topic's title first; in HTML Help that title first in the
    // Contents, with the other topics after it.
    void WaitForContents()
    {
        if (WindowsXp())
        {
            ViewerShown shown = WaitForViewer(firstText, 20000);
            ASSERT_NE((HWND)NULL, shown.hwnd) << "no WinHelp window";
            EXPECT_EQ(0u, shown.text.find(title)) << shown.text;
            EXPECT_NE(std::string::npos, shown.text.find(firstText)) << shown.text;
            return;
        }
        HtmlHelpShown shown = WaitForHtmlHelp("How the program is called", 20000);
        ASSERT_NE((HWND)NULL, shown.hwnd) << "no HTML Help window";
        ASSERT_FALSE(shown.contents.empty());
        EXPECT_TRUE(shown.fContentsInFront);
        EXPECT_EQ(title, shown.contents[0]);
        EXPECT_GE(shown.contents.size(), 6u);
    }
    std::string title, firstText, recording;
    PlayedSystem system;
    char szWasCurrent[MAX_PATH] = "";
    std::unique_ptr<PlantedFiles> planted, plantedViewer;
};

TEST_F(HelpButtons, SheetHelpOnThePageShowsTheContents)
{
    PROPSHEETPAGEA page = {};
    DescribeHandlersPage(&page);
    OptionsSheet sheet(&page, 1);
    ASSERT_NE((HWND)NULL, sheet.hSheet);

    ForeignBoxWatch boxes;
    HWND help = GetDlgItem(sheet.hSheet, IDHELP);
    ASSERT_NE((HWND)NULL, help);
    EXPECT_TRUE(IsWindowVisible(help) && IsWindowEnabled(help));
    SendMessageA(help, BM_CLICK, 0, 0);
    WaitForContents();
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0];
}

TEST_F(HelpButtons, HelpInTheDefinitionDialogShowsTheContents)
{
    PROPSHEETPAGEA page = {};
    DescribeHandlersPage(&page);
    OptionsSheet sheet(&page, 1);
    DialogDriver driver;
    ForeignBoxWatch boxes;
    driver.When(kDefinitionCaption, [&](HWND hDlg) {
        Click(hDlg, IDC_DEFINITION_HELP);
        WaitForContents();
        EXPECT_TRUE(IsOpen(hDlg));
        CloseViewer(hDlg);
        Click(hDlg, IDC_DEFINITION_CANCEL);
    });
    sheet.ClickPage(IDC_ADD_HANDLER);

    driver.ExpectScriptRan();
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0];
}

// Only the other system's file beside the module: its viewer opens it.
// Neither: one box names the file this system wants.
TEST_F(HelpButtons, AMissingFileFallsBackToTheOtherViewerAndNoneIsSaid)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string folder = std::string(szTemp) + "quorbit-help-fallback";
    const std::string other = WindowsXp() ? "Quorbit.chm" : "Quorbit.HLP";
    const std::string wanted = WindowsXp() ? "Quorbit.HLP" : "Quorbit.chm";
    CreateDirectoryA(folder.c_str(), NULL);
    std::string built = BuiltHelpPath();
    built = built.substr(0, built.rfind('\\') + 1);
    ASSERT_TRUE(CopyFileA((built + "Quorbit.dll").c_str(), (folder + "\\Quorbit.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((built + other).c_str(), (folder + "\\" + other).c_str(), FALSE));
    HMODULE hCopy = LoadLibraryA((folder + "\\Quorbit.dll").c_str());
    ASSERT_NE((HMODULE)NULL, hCopy);
    ghInstDLL = hCopy;
    HWND owner = CreateWindowA("STATIC", "Options", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ForeignBoxWatch foreign;
    BoxAnswerer boxes;

    EXPECT_TRUE(ShowHelpContents(owner));
    if (WindowsXp())
        EXPECT_FALSE(WaitForHtmlHelp(title, 20000).contents.empty());
    else
        EXPECT_NE((HWND)NULL, WaitForViewer(firstText, 20000).hwnd);
    EXPECT_TRUE(CloseViewer(owner));

    DeleteFileA((folder + "\\" + other).c_str());
    EXPECT_FALSE(ShowHelpContents(owner));
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("The help file " + folder + "\\" + wanted + " could not be opened.", boxes.boxes[0].text);
    EXPECT_EQ("Message Handling", boxes.boxes[0].caption);
    EXPECT_EQ("OK", boxes.boxes[0].buttons);
    EXPECT_EQ("exclamation", boxes.boxes[0].icon);
    EXPECT_EQ(owner, boxes.boxes[0].owner);
    EXPECT_TRUE(foreign.Boxes().empty()) << foreign.Boxes()[0];

    DestroyWindow(owner);
    ghInstDLL = GetModuleHandleA(NULL);
    FreeLibrary(hCopy);
    DeleteFileA((folder + "\\Quorbit.dll").c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
