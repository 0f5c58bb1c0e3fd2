// The page's dialogs run from the built DLL: the definition dialog opened
// from the page, and the open-file dialog behind its Browse button, which
// is where comdlg32 is first needed. The DLL binds comdlg32 at that first
// call rather than at load, so the call must still reach it.
#include "pe_tables.h"
#include "quorbit_dll.h"
#include "host_doubles.h"
#include "test_registry.h"
#include <gtest/gtest.h>
#include <commctrl.h>

namespace {

const int IDC_ADD_HANDLER = 1012;
const int IDC_BROWSE_PROGRAM = 1007;
const int IDC_DEFINITION_CANCEL = 1014;

std::string Caption(HWND hwnd)
{
    char sz[256] = "";
    GetWindowTextA(hwnd, sz, sizeof(sz));
    return sz;
}

// Drives the nested dialogs as they come up: Browse in the definition
// dialog, Cancel in the file dialog, then Cancel in the definition dialog.
struct DialogDriver
{
    static DialogDriver* s_pCurrent;
    HHOOK hHook = NULL;
    int cDefinition = 0;
    std::vector<std::string> captions;

    DialogDriver()
    {
        s_pCurrent = this;
        hHook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
    }
    ~DialogDriver()
    {
        UnhookWindowsHookEx(hHook);
        s_pCurrent = NULL;
    }
    static LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam)
    {
        if (nCode == HCBT_ACTIVATE && s_pCurrent != NULL)
            s_pCurrent->OnActivate((HWND)wParam);
        return CallNextHookEx(NULL, nCode, wParam, lParam);
    }
    void OnActivate(HWND hwnd)
    {
        char szClass[32] = "";
        GetClassNameA(hwnd, szClass, sizeof(szClass));
        if (lstrcmpA(szClass, "#32770") != 0)
            return;
        captions.push_back(Caption(hwnd));
        if (GetDlgItem(hwnd, IDC_BROWSE_PROGRAM) != NULL)
        {
            int id = (cDefinition++ == 0) ? IDC_BROWSE_PROGRAM : IDC_DEFINITION_CANCEL;
            PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(hwnd, id));
        }
        else
            PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(hwnd, IDCANCEL));
    }
};
DialogDriver* DialogDriver::s_pCurrent = NULL;

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

TEST(PageDialogs, Comdlg32IsNotAnImportOfTheModule)
{
    PeTables tables = ReadPeTables(ReadFileBytes(QuorbitPath()));
    ASSERT_TRUE(tables.fValid);
    for (const PeImport& import : tables.imports)
    {
        if (!import.fDelayed)
        {
            EXPECT_NE(lstrcmpiA(import.dll.c_str(), "comdlg32.dll"), 0) << "bound at load";
        }
    }
}

TEST(PageDialogs, BrowseOpensTheFileDialogThroughTheDll)
{
    ResetStore();
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
    ASSERT_NE(pExt, nullptr);
    IExchExtPropertySheets* pSheets = (IExchExtPropertySheets*)Ask(pExt, IID_IExchExtPropertySheets);
    ASSERT_NE(pSheets, nullptr);
    FakeCallback callback;
    PROPSHEETPAGEA page[1];
    ULONG cPages = 0;
    ASSERT_EQ(pSheets->GetPages(&callback, EEPS_TOOLSOPTIONS, page, &cPages), S_OK);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);

    PROPSHEETHEADERA psh;
    ZeroMemory(&psh, sizeof(psh));
    psh.dwSize = sizeof(psh);
    psh.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS;
    psh.pszCaption = "Options";
    psh.nPages = cPages;
    psh.ppsp = page;
    HWND hSheet = (HWND)PropertySheetA(&psh);
    ASSERT_NE(hSheet, nullptr);
    Pump();
    HWND hPage = (HWND)SendMessageA(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0);
    ASSERT_NE(hPage, nullptr);

    {
        DialogDriver driver;
        // Add runs the definition dialog modally; the driver ends it.
        SendMessageA(hPage, WM_COMMAND, MAKEWPARAM(IDC_ADD_HANDLER, BN_CLICKED),
                     (LPARAM)GetDlgItem(hPage, IDC_ADD_HANDLER));
        ASSERT_GE(driver.captions.size(), 3u) << ::testing::PrintToString(driver.captions);
        EXPECT_EQ(driver.captions[0], "Message Handler Definition");
        EXPECT_EQ(driver.captions[1], "Program to Run");
        EXPECT_EQ(driver.cDefinition, 2);
    }
    EXPECT_NE(GetModuleHandleA("comdlg32.dll"), nullptr);
    // Cancel stored nothing.
    EXPECT_TRUE(SubKeys(TEST_ROOT_KEY).empty());

    SendMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    Pump();
    DestroyWindow(hSheet);
    Pump();
    pSheets->Release();
    pExt->Release();
    ResetStore();
}

}  // namespace
