// The options page: its count, its page record, and the page itself in a
// real property sheet.
#include "quorbit_dll.h"
#include "resource.h"
#include "client_objects.h"
#include "options_sheet.h"
#include "test_registry.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {

const BYTE SENTINEL = 0xCD;

struct PageCountCase
{
    ULONG ulFlags;
    ULONG cPages;
};

class PageCountTable : public ::testing::TestWithParam<PageCountCase>
{
};

TEST_P(PageCountTable, OnePageInTheOptionsDialogOnly)
{
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
    ASSERT_NE(pExt, nullptr);
    IExchExtPropertySheets* pSheets = (IExchExtPropertySheets*)Ask(pExt, IID_IExchExtPropertySheets);
    ASSERT_NE(pSheets, nullptr);
    EXPECT_EQ(pSheets->GetMaxPageCount(GetParam().ulFlags), GetParam().cPages);
    pSheets->Release();
    pExt->Release();
}

INSTANTIATE_TEST_SUITE_P(Flags, PageCountTable,
                         ::testing::Values(PageCountCase{0, 0}, PageCountCase{EEPS_MESSAGE, 0},
                                           PageCountCase{EEPS_FOLDER, 0}, PageCountCase{EEPS_STORE, 0},
                                           PageCountCase{EEPS_TOOLSOPTIONS, 1}, PageCountCase{5, 0},
                                           PageCountCase{0xFFFFFFFF, 0}));

class PropertySheets : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
        ASSERT_NE(m_pExt, nullptr);
        m_pSheets = (IExchExtPropertySheets*)Ask(m_pExt, IID_IExchExtPropertySheets);
        ASSERT_NE(m_pSheets, nullptr);
        memset(m_records, SENTINEL, sizeof(m_records));
    }
    void TearDown() override
    {
        if (m_pSheets)
            m_pSheets->Release();
        if (m_pExt)
            m_pExt->Release();
        ResetStore();
    }
    bool Untouched(size_t offset, size_t cb)
    {
        const BYTE* pb = (const BYTE*)m_records + offset;
        for (size_t i = 0; i < cb; i++)
            if (pb[i] != SENTINEL)
                return false;
        return true;
    }

    LPEXCHEXT m_pExt = nullptr;
    IExchExtPropertySheets* m_pSheets = nullptr;
    PROPSHEETPAGEA m_records[2];
    ClientCallback m_callback;
};

TEST_F(PropertySheets, GetPagesDescribesTheMessageHandlersPage)
{
    ULONG cPages = 0xdeadbeef;
    EXPECT_EQ(m_pSheets->GetPages(&m_callback, EEPS_TOOLSOPTIONS, m_records, &cPages), S_OK);
    EXPECT_EQ(cPages, 1u);

    const PROPSHEETPAGEA& page = m_records[0];
    EXPECT_EQ(page.dwSize, 40u);
    EXPECT_EQ(page.dwFlags, (DWORD)PSP_HASHELP);
    EXPECT_EQ(page.hInstance, QuorbitModule());
    EXPECT_EQ(page.pszTemplate, MAKEINTRESOURCEA(102));
    EXPECT_EQ(page.hIcon, nullptr);
    EXPECT_EQ(page.pszTitle, nullptr);
    EXPECT_EQ(page.lParam, 0);
    EXPECT_EQ(page.pfnCallback, nullptr);
    EXPECT_EQ(page.pcRefParent, nullptr);
    // The dialog procedure lives in the module.
    MEMORY_BASIC_INFORMATION mbi;
    ASSERT_NE(VirtualQuery((void*)page.pfnDlgProc, &mbi, sizeof(mbi)), 0u);
    EXPECT_EQ(mbi.AllocationBase, (void*)QuorbitModule());
    // Nothing past the first-version record, nothing in the next record.
    EXPECT_TRUE(Untouched(40, sizeof(m_records) - 40));
    // The callback is not asked for anything.
    EXPECT_EQ(m_callback.m_cGetObject + m_callback.m_cGetWindow + m_callback.m_cGetSession, 0);
    EXPECT_EQ(m_callback.m_cRef, 1);
}

DWORD WINAPI DoNothing(LPVOID)
{
    return 0;
}

// Threads starting and ending send the module thread notifications, which
// leave the instance handle as process attach set it.
TEST_F(PropertySheets, ThreadNotificationsKeepTheModuleHandle)
{
    for (int i = 0; i < 3; i++)
    {
        HANDLE hThread = CreateThread(NULL, 0, DoNothing, NULL, 0, NULL);
        ASSERT_NE(hThread, nullptr);
        WaitForSingleObject(hThread, 10000);
        CloseHandle(hThread);
    }
    ULONG cPages = 0;
    ASSERT_EQ(m_pSheets->GetPages(&m_callback, EEPS_TOOLSOPTIONS, m_records, &cPages), S_OK);
    EXPECT_EQ(m_records[0].hInstance, QuorbitModule());
}

// The client sizes its array of records by GetMaxPageCount, which is 0
// outside the options dialog: nothing may be written there.
TEST_F(PropertySheets, GetPagesWritesNoRecordOutsideTheOptionsDialog)
{
    const ULONG flags[] = {EEPS_MESSAGE, EEPS_FOLDER, EEPS_STORE, 0, 5};
    for (ULONG ulFlags : flags)
    {
        SCOPED_TRACE(ulFlags);
        ULONG cPages = 0xdeadbeef;
        EXPECT_EQ(m_pSheets->GetPages(&m_callback, ulFlags, m_records, &cPages), S_OK);
        EXPECT_EQ(cPages, 0u);
        EXPECT_TRUE(Untouched(0, sizeof(m_records)));
    }
}

TEST_F(PropertySheets, GetPagesRefusesMissingOutArguments)
{
    EXPECT_EQ(m_pSheets->GetPages(&m_callback, EEPS_TOOLSOPTIONS, m_records, NULL), E_INVALIDARG);
    EXPECT_TRUE(Untouched(0, sizeof(m_records)));
    ULONG cPages = 0xdeadbeef;
    EXPECT_EQ(m_pSheets->GetPages(&m_callback, EEPS_TOOLSOPTIONS, NULL, &cPages), E_INVALIDARG);
    EXPECT_EQ(cPages, 0u);
}

TEST_F(PropertySheets, FreePagesChangesNothing)
{
    ULONG cPages = 0;
    ASSERT_EQ(m_pSheets->GetPages(&m_callback, EEPS_TOOLSOPTIONS, m_records, &cPages), S_OK);
    PROPSHEETPAGEA copy[2];
    memcpy(copy, m_records, sizeof(copy));
    m_pSheets->FreePages(m_records, EEPS_TOOLSOPTIONS, cPages);
    EXPECT_EQ(memcmp(copy, m_records, sizeof(copy)), 0);
}

// The record goes into a real property sheet, as the client's options
// dialog would take it.
TEST_F(PropertySheets, ThePageShowsInARealPropertySheet)
{
    ResetStore();
    StoreHandler("Invoices", "invoices@example.com", "C:\\invoices.exe");
    ULONG cPages = 0;
    ASSERT_EQ(m_pSheets->GetPages(&m_callback, EEPS_TOOLSOPTIONS, m_records, &cPages), S_OK);
    ASSERT_EQ(cPages, 1u);

    OptionsSheet sheet(m_records, cPages);
    ASSERT_NE(sheet.hSheet, nullptr);
    EXPECT_EQ(sheet.Tabs(), (std::vector<std::string>{"General", "Message Handlers"}));
    ASSERT_NE(sheet.hList, nullptr);
    EXPECT_EQ(sheet.Listed(), std::vector<std::string>{"Invoices"});
    EXPECT_NE(GetDlgItem(sheet.hPage, IDC_ADD_HANDLER), nullptr);
    EXPECT_NE(GetDlgItem(sheet.hPage, IDC_REMOVE_HANDLER), nullptr);
    EXPECT_NE(GetDlgItem(sheet.hPage, IDC_HANDLER_PROPERTIES), nullptr);
    // PSP_HASHELP: the sheet's Help button is on while the page is shown.
    HWND hHelp = GetDlgItem(sheet.hSheet, IDHELP);
    ASSERT_NE(hHelp, nullptr);
    EXPECT_TRUE(IsWindowEnabled(hHelp));

    SendMessageA(sheet.hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    sheet.Pump();
    EXPECT_EQ(SendMessageA(sheet.hSheet, PSM_GETCURRENTPAGEHWND, 0, 0), 0);
}

}  // namespace
