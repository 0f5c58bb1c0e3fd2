// The Help buttons of the "Message Handlers" page and of the "Message
// Handler Definition" dialog open the real viewer of the system at the
// help's contents: Quorbit.chm in HTML Help on Windows Vista and later,
// Quorbit.HLP in WinHelp on Windows XP. The help_buttons_tests.WindowsXP
// entry runs these tests with Wine playing XP.
#include <gtest/gtest.h>
#include "box_answerer.h"
#include "handler_definition_dialog.h"
#include "help_contents.h"
#include "help_viewer.h"
#include "host_handles.h"
#include "message_handlers_page.h"
#include "planted_files.h"
#include "recorder_client.h"
#include "resource.h"
#include "test_registry.h"

#include <commctrl.h>
#include <prsht.h>

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
        InitCommonControls();
        ghInstDLL = GetModuleHandleA(NULL);  // the templates, and the help beside this program
        ResetStore();
        recording = PrepareRecording();
    }
    void TearDown() override
    {
        EXPECT_TRUE(CloseViewer(NULL));
        ResetStore();
        std::string started;
        EXPECT_FALSE(WaitForRecording(recording, &started, 0)) << "the planted viewer ran: " << started;
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
        EXPECT_EQ(title, shown.contents[0]);
        EXPECT_GE(shown.contents.size(), 6u);
    }
public:
    void WaitForContentsFromTheDialog() { WaitForContents(); }

protected:
    std::string title, firstText, recording;
    // In the current folder, where WinHelp looks first for a bare name: the
    // help files, and a viewer that records it ran.
    PlantedFiles planted{{"Quorbit.HLP", "Quorbit.chm"}};
    PlantedFiles plantedViewer{{"winhlp32.exe"}, RecorderPath()};
};

TEST_F(HelpButtons, SheetHelpOnThePageShowsTheContents)
{
    PROPSHEETPAGEA psp;
    ZeroMemory(&psp, sizeof(psp));
    psp.dwSize = PROPSHEETPAGEA_V1_SIZE;  // 40, as the extension hands it over
    psp.dwFlags = PSP_HASHELP;
    psp.hInstance = ghInstDLL;
    psp.pszTemplate = MAKEINTRESOURCEA(IDD_MESSAGE_HANDLERS);
    psp.pfnDlgProc = QuorbitDlgProc;
    PROPSHEETHEADERA psh;
    ZeroMemory(&psh, sizeof(psh));
    psh.dwSize = PROPSHEETHEADERA_V1_SIZE;
    psh.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_HASHELP;
    psh.pszCaption = "Options";
    psh.nPages = 1;
    psh.ppsp = &psp;
    HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&psh));
    ASSERT_NE((HWND)NULL, sheet);

    ForeignBoxWatch boxes;
    HWND help = GetDlgItem(sheet, IDHELP);
    ASSERT_NE((HWND)NULL, help);
    EXPECT_TRUE(IsWindowVisible(help) && IsWindowEnabled(help));
    SendMessageA(help, BM_CLICK, 0, 0);
    WaitForContents();

    DestroyWindow(sheet);
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0];
}

// Runs inside the dialog's modal loop: presses Help, waits for the
// viewer, and ends the dialog with Cancel.
struct DialogVisit
{
    HelpButtons* test = nullptr;
    bool stayedOpen = false;
    bool done = false;
};
DialogVisit* s_visit = nullptr;

void CALLBACK PressHelp(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(NULL, id);
    HWND dlg = FindWindowA(NULL, kDefinitionCaption);
    if (!dlg)
        return;
    SendMessageA(GetDlgItem(dlg, IDC_DEFINITION_HELP), BM_CLICK, 0, 0);
    s_visit->test->WaitForContentsFromTheDialog();
    s_visit->stayedOpen = IsWindow(dlg) && IsWindowVisible(dlg);
    CloseViewer(dlg);
    SendMessageA(GetDlgItem(dlg, IDC_DEFINITION_CANCEL), BM_CLICK, 0, 0);
    if (IsWindow(dlg) && IsWindowVisible(dlg))
        EndDialog(dlg, -2);  // Cancel did not end it; the test fails on the result
    s_visit->done = true;
}

TEST_F(HelpButtons, HelpInTheDefinitionDialogShowsTheContents)
{
    DialogVisit visit;
    visit.test = this;
    s_visit = &visit;
    ForeignBoxWatch boxes;
    HWND owner = CreateWindowA("STATIC", "Options", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    SetTimer(NULL, 0, 300, PressHelp);
    INT_PTR result = DialogBoxParamA(ghInstDLL, MAKEINTRESOURCEA(IDD_HANDLER_DEFINITION), owner,
                                     AddHandlerDlgProc, 0);
    DestroyWindow(owner);
    s_visit = nullptr;

    ASSERT_TRUE(visit.done) << "the dialog did not come up";
    EXPECT_EQ(0, result);
    EXPECT_TRUE(visit.stayedOpen);
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
