// The page's dialogs run from the built DLL: the definition dialog opened
// from the page, and the open-file dialog behind its Browse button, which
// is where comdlg32 is first needed. The DLL binds comdlg32 at that first
// call rather than at load, so the call must still reach it.
#include "pe_tables.h"
#include "quorbit_dll.h"
#include "resource.h"
#include "box_answerer.h"
#include "dialog_driver.h"
#include "client_objects.h"
#include "options_sheet.h"
#include "test_registry.h"
#include <gtest/gtest.h>
#include <mapicode.h>
#include <memory>

namespace {

#define DEFINITION_CAPTION "Message Handler Definition"

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

// The page of one extension object installed with a callback, in the
// client's options dialog.
class OptionsPage
{
public:
    bool Open(ClientCallback* pCallback)
    {
        ULONG cPages = 0;
        m_pExt = NewExtension();
        if (m_pExt == NULL || m_pExt->Install(pCallback, EECONTEXT_PROPERTYSHEETS, 0) != S_OK)
            return false;
        m_pSheets = (IExchExtPropertySheets*)Ask(m_pExt, IID_IExchExtPropertySheets);
        if (m_pSheets == NULL || m_pSheets->GetPages(pCallback, EEPS_TOOLSOPTIONS, m_page, &cPages) != S_OK)
            return false;
        m_sheet.reset(new OptionsSheet(m_page, cPages));
        return m_sheet->hPage != NULL;
    }
    // Add runs the definition dialog modally; a driver ends it.
    void Add() { m_sheet->ClickPage(IDC_ADD_HANDLER); }
    ~OptionsPage()
    {
        m_sheet.reset();
        if (m_pSheets != NULL)
            m_pSheets->Release();
        if (m_pExt != NULL)
            m_pExt->Release();
    }

private:
    LPEXCHEXT m_pExt = NULL;
    IExchExtPropertySheets* m_pSheets = NULL;
    PROPSHEETPAGEA m_page[1];
    std::unique_ptr<OptionsSheet> m_sheet;
};

TEST(PageDialogs, BrowseOpensTheFileDialogThroughTheDll)
{
    ResetStore();
    ClientCallback callback;
    OptionsPage page;
    ASSERT_TRUE(page.Open(&callback));
    {
        DialogDriver driver;
        driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
            driver.When("Program to Run", [](HWND hFile) { Click(hFile, IDCANCEL); });
            Click(hDlg, IDC_BROWSE_PROGRAM);
            Click(hDlg, IDC_DEFINITION_CANCEL);
        });
        page.Add();
        driver.ExpectScriptRan();
    }
    EXPECT_NE(GetModuleHandleA("comdlg32.dll"), nullptr);
    // Cancel stored nothing.
    EXPECT_TRUE(SubKeys(TEST_ROOT_KEY).empty());
    ResetStore();
}

// The extension hands the handler a check matched to the page: Add starts
// from it.
TEST(PageDialogs, AddStartsFromTheHandlerTheLastCheckMatched)
{
    ResetStore();
    StoreHandler("Orders", "orders@example.com", "c:\\orders.exe", /*confirm*/ 1);
    OpenedItem item("orders@example.com");
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

    std::string sender = "<not shown>";
    {
        OptionsPage page;
        ASSERT_TRUE(page.Open(&item.callback));
        DialogDriver driver;
        driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
            sender = ItemText(hDlg, IDC_SENDER_EMAIL_ADDRESS);
            Click(hDlg, IDC_DEFINITION_CANCEL);
        });
        page.Add();
        driver.ExpectScriptRan();
    }
    EXPECT_EQ("orders@example.com", sender);
    ResetStore();
}

// The sender's Browse asks the address book that the last Install able to
// get one was given, whichever extension object ran it.
class SenderBrowseThroughTheDll : public ::testing::Test
{
protected:
    void SetUp() override { ResetStore(); }
    void TearDown() override
    {
        ResetStore();
    }
    // Installs a new extension object with a callback that offers pBook.
    HRESULT InstallWith(ClientAddrBook* pBook, ULONG eecontext, ULONG ulVersion = 0x000D0000)
    {
        ClientCallback callback;
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
        struct NoSessionCallback : ClientCallback
        {
            STDMETHODIMP GetSession(LPMAPISESSION* lppses, LPADRBOOK* lppab) override
            {
                *lppses = NULL;
                *lppab = NULL;
                return MAPI_E_CALL_FAILED;
            }
        } noSession;
        ASSERT_TRUE(page.Open(&noSession));
        DialogDriver driver;
        // The book answers as cancelled.
        driver.When(DEFINITION_CAPTION, [](HWND hDlg) {
            Click(hDlg, IDC_BROWSE_SENDER);
            Click(hDlg, IDC_DEFINITION_CANCEL);
        });
        page.Add();
        driver.ExpectScriptRan();
    }

    ClientAddrBook m_bookA;
    ClientAddrBook m_bookB;
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
    EXPECT_EQ(m_bookA.m_cRef, 2) << "the address book is kept with the one reference GetSession handed out";
}

}  // namespace
