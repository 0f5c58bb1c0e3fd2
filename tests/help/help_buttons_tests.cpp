// The Help buttons of the "Message Handlers" page and of the "Message
// Handler Definition" dialog open the real viewer on Quorbit.HLP at its
// contents topic.
#include <gtest/gtest.h>
#include "handler_definition_dialog.h"
#include "help_viewer.h"
#include "host_handles.h"
#include "message_handlers_page.h"
#include "resource.h"
#include "test_registry.h"

#include <commctrl.h>
#include <prsht.h>

namespace {

const char kDefinitionCaption[] = "Message Handler Definition";

class HelpButtons : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ContentsOfBuiltFile(title, firstText));

        InitCommonControls();
        ghInstDLL = GetModuleHandleA(NULL);  // the templates are linked into this program
        ResetStore();
        ASSERT_TRUE(installed.Install());
    }
    void TearDown() override
    {
        EXPECT_TRUE(CloseViewer(NULL));
        installed.Remove();
        ResetStore();
    }
    // What the viewer shows must be the contents topic: its title first.
    void ExpectContents(const ViewerShown& shown)
    {
        ASSERT_NE((HWND)NULL, shown.hwnd) << "no viewer window";
        EXPECT_EQ(0u, shown.text.find(title)) << shown.text;
        EXPECT_NE(std::string::npos, shown.text.find(firstText)) << shown.text;
    }
    std::string title, firstText;
    InstalledHelp installed;
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
    ViewerShown shown = WaitForViewer(firstText, 20000);

    DestroyWindow(sheet);
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0];
    ExpectContents(shown);
}

// Runs inside the dialog's modal loop: presses Help, keeps what the
// viewer shows, and ends the dialog with Cancel.
struct DialogVisit
{
    std::string firstText;
    ViewerShown shown;
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
    s_visit->shown = WaitForViewer(s_visit->firstText, 20000);
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
    visit.firstText = firstText;
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
    ExpectContents(visit.shown);
}

}
