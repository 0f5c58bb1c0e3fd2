// The page's dialogs run from the built DLL: the definition dialog opened
// from the page, and the open-file dialog behind its Browse button, which
// is where comdlg32 is first needed. The DLL binds comdlg32 at that first
// call rather than at load, so the call must still reach it.
#include "pe_tables.h"
#include "quorbit_dll.h"
#include "resource.h"
#include "box_answerer.h"
#include "host_doubles.h"
#include "test_registry.h"
#include <gtest/gtest.h>
#include <commctrl.h>
#include <mapicode.h>

namespace {

std::string Caption(HWND hwnd)
{
    char sz[256] = "";
    GetWindowTextA(hwnd, sz, sizeof(sz));
    return sz;
}

// Drives the nested dialogs as they come up: the first time the definition
// dialog is activated it clicks idFirstClick, after that Cancel; every
// other dialog (the file dialog) is cancelled.
struct DialogDriver
{
    static DialogDriver* s_pCurrent;
    HHOOK hHook = NULL;
    int idFirstClick;
    int cDefinition = 0;
    HWND hDefinition = NULL;
    std::vector<std::string> captions;
    std::vector<std::string> senders;  // what each definition dialog showed

    explicit DialogDriver(int idClick) : idFirstClick(idClick)
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
            hDefinition = hwnd;
            char szSender[80] = "";
            GetDlgItemTextA(hwnd, IDC_SENDER_EMAIL_ADDRESS, szSender, sizeof(szSender));
            senders.push_back(szSender);
            int id = (cDefinition++ == 0) ? idFirstClick : IDC_DEFINITION_CANCEL;
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

// The page of one extension object, in a real modeless property sheet.
class OptionsPage
{
public:
    bool Open(FakeCallback* pCallback)
    {
        m_pExt = NewExtension();
        if (m_pExt == NULL || m_pExt->Install(pCallback, EECONTEXT_PROPERTYSHEETS, 0) != S_OK)
            return false;
        m_pSheets = (IExchExtPropertySheets*)Ask(m_pExt, IID_IExchExtPropertySheets);
        ULONG cPages = 0;
        if (m_pSheets == NULL || m_pSheets->GetPages(pCallback, EEPS_TOOLSOPTIONS, m_page, &cPages) != S_OK)
            return false;
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES};
        InitCommonControlsEx(&icc);
        PROPSHEETHEADERA psh;
        ZeroMemory(&psh, sizeof(psh));
        psh.dwSize = sizeof(psh);
        psh.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS;
        psh.pszCaption = "Options";
        psh.nPages = cPages;
        psh.ppsp = m_page;
        m_hSheet = (HWND)PropertySheetA(&psh);
        Pump();
        m_hPage = m_hSheet ? (HWND)SendMessageA(m_hSheet, PSM_GETCURRENTPAGEHWND, 0, 0) : NULL;
        return m_hPage != NULL;
    }
    // Add runs the definition dialog modally; a driver ends it.
    void Add()
    {
        SendMessageA(m_hPage, WM_COMMAND, MAKEWPARAM(IDC_ADD_HANDLER, BN_CLICKED),
                     (LPARAM)GetDlgItem(m_hPage, IDC_ADD_HANDLER));
    }
    void Close()
    {
        if (m_hSheet != NULL)
        {
            SendMessageA(m_hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            Pump();
            DestroyWindow(m_hSheet);
            Pump();
        }
        if (m_pSheets != NULL)
            m_pSheets->Release();
        if (m_pExt != NULL)
            m_pExt->Release();
        m_hSheet = NULL;
        m_pSheets = NULL;
        m_pExt = NULL;
    }

private:
    LPEXCHEXT m_pExt = NULL;
    IExchExtPropertySheets* m_pSheets = NULL;
    PROPSHEETPAGEA m_page[1];
    HWND m_hSheet = NULL;
    HWND m_hPage = NULL;
};

TEST(PageDialogs, BrowseOpensTheFileDialogThroughTheDll)
{
    ResetStore();
    FakeCallback callback;
    OptionsPage page;
    ASSERT_TRUE(page.Open(&callback));
    {
        DialogDriver driver(IDC_BROWSE_PROGRAM);
        page.Add();
        ASSERT_GE(driver.captions.size(), 3u) << ::testing::PrintToString(driver.captions);
        EXPECT_EQ(driver.captions[0], "Message Handler Definition");
        EXPECT_EQ(driver.captions[1], "Program to Run");
        EXPECT_EQ(driver.cDefinition, 2);
    }
    EXPECT_NE(GetModuleHandleA("comdlg32.dll"), nullptr);
    // Cancel stored nothing.
    EXPECT_TRUE(SubKeys(TEST_ROOT_KEY).empty());
    page.Close();
    ResetStore();
}

// The extension hands the handler a check matched to the page: Add starts
// from it.
TEST(PageDialogs, AddStartsFromTheHandlerTheLastCheckMatched)
{
    ResetStore();
    StoreHandler("Orders", "orders@example.com", "c:\\orders.exe", /*confirm*/ 1);
    FakeOpenedItem item("orders@example.com");
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_READNOTEMESSAGE);
    ASSERT_NE(pExt, nullptr);
    IUnknown* pEvents = Ask(pExt, IID_IOutlookExtItemEvents);
    ASSERT_NE(pEvents, nullptr);
    BoxAnswerer answerer;
    answerer.Answer(IDNO);
    EXPECT_EQ(((IOutlookExtItemEvents*)pEvents)->OnOpen(&item.callback), S_FALSE);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Do you want to process this document?");
    pEvents->Release();
    pExt->Release();

    OptionsPage page;
    ASSERT_TRUE(page.Open(&item.callback));
    DialogDriver driver(IDC_DEFINITION_CANCEL);
    page.Add();
    page.Close();
    EXPECT_EQ(driver.senders, std::vector<std::string>{"orders@example.com"});
    ResetStore();
}

// The sender's Browse asks the address book that the last Install able to
// get one was given, whichever extension object ran it.
class SenderBrowseThroughTheDll : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetStore();
        for (FakeAddrBook* pBook : {&m_bookA, &m_bookB})
            pBook->m_whileShown = []() {
                // Address returns at once as cancelled; then the dialog goes.
                PostMessageA(GetActiveWindow(), WM_COMMAND, MAKEWPARAM(IDC_DEFINITION_CANCEL, BN_CLICKED), 0);
            };
    }
    void TearDown() override
    {
        ResetStore();
    }
    // Installs a new extension object with a callback that offers pBook.
    HRESULT InstallWith(FakeAddrBook* pBook, ULONG eecontext, ULONG ulVersion = 0x000D0000)
    {
        FakeCallback callback;
        callback.m_pAdrBook = pBook;
        callback.m_ulVersion = ulVersion;
        LPEXCHEXT pExt = NewExtension();
        HRESULT hr = pExt->Install(&callback, eecontext, 0);
        pExt->Release();
        return hr;
    }
    // Browse in the definition dialog, opened from a page.
    void BrowseSender()
    {
        // The page's own object must not change the address book: its
        // callback fails GetSession, clearing the out values as a failing
        // COM call does.
        OptionsPage page;
        struct NoSessionCallback : FakeCallback
        {
            STDMETHODIMP GetSession(LPMAPISESSION* lppses, LPADRBOOK* lppab) override
            {
                *lppses = NULL;
                *lppab = NULL;
                return MAPI_E_CALL_FAILED;
            }
        } noSession;
        ASSERT_TRUE(page.Open(&noSession));
        DialogDriver driver(IDC_BROWSE_SENDER);
        page.Add();
        EXPECT_EQ(driver.cDefinition, 1);
        page.Close();
    }

    FakeAddrBook m_bookA;
    FakeAddrBook m_bookB;
};

TEST_F(SenderBrowseThroughTheDll, UsesTheAddressBookOfTheLastInstall)
{
    EXPECT_EQ(InstallWith(&m_bookA, EECONTEXT_READNOTEMESSAGE), S_OK);
    BrowseSender();
    EXPECT_EQ(m_bookA.m_cAddress, 1);
    EXPECT_EQ(m_bookB.m_cAddress, 0);

    // Taken in a context the extension declines too.
    EXPECT_EQ(InstallWith(&m_bookB, EECONTEXT_ADDRBOOK), S_FALSE);
    BrowseSender();
    EXPECT_EQ(m_bookA.m_cAddress, 1);
    EXPECT_EQ(m_bookB.m_cAddress, 1);
}

TEST_F(SenderBrowseThroughTheDll, IsNotReplacedByAnotherVersionOrAFailedGetSession)
{
    EXPECT_EQ(InstallWith(&m_bookA, EECONTEXT_PROPERTYSHEETS), S_OK);
    // Another build version: GetSession is not called at all.
    EXPECT_EQ(InstallWith(&m_bookB, EECONTEXT_PROPERTYSHEETS, 0x000E0000), S_FALSE);
    // And the page's own Install fails GetSession (BrowseSender).
    BrowseSender();
    EXPECT_EQ(m_bookA.m_cAddress, 1);
    EXPECT_EQ(m_bookB.m_cAddress, 0);
    EXPECT_EQ(m_bookA.m_cRef, 1) << "the address book is kept without a reference of the DLL's own";
}

}  // namespace
