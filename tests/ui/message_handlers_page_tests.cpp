// The "Message Handlers" page inside a real comctl32 property sheet.
#include "ui_test.h"
#include "handler_store.h"
#include "help_contents.h"
#include "client_objects.h"
#include "message_check.h"
#include "message_handlers_page.h"
#include "recorder_client.h"
#include "resource.h"
#include <commctrl.h>
#include <prsht.h>

namespace {

typedef UiTest MessageHandlersPage;
typedef std::vector<std::string> Names;

LRESULT Notify(HWND hPage, UINT code)
{
    NMHDR nmh;
    nmh.hwndFrom = GetParent(hPage);
    nmh.idFrom = 0;
    nmh.code = code;
    SetWindowLongA(hPage, DWL_MSGRESULT, 0xdeadbeef);
    return QuorbitDlgProc(hPage, WM_NOTIFY, 0, (LPARAM)&nmh);
}

TEST_F(MessageHandlersPage, FirstActivationOnAnEmptyComputerCreatesNothingAndListsNothing)
{
    ASSERT_FALSE(KeyExists(TEST_ROOT_KEY));
    OptionsSheet& s = Sheet();

    ASSERT_NE(nullptr, s.hPage);
    EXPECT_EQ("Message Handlers", TextOf(s.hPage));
    EXPECT_EQ(Names(), s.Listed());
    EXPECT_EQ(LB_ERR, s.Selected());
    s.ClickPage(IDC_REMOVE_HANDLER);
    EXPECT_FALSE(KeyExists("SOFTWARE\\Quorbit"));
}

TEST_F(MessageHandlersPage, ListsTheStoredHandlersInStoreOrderOnceAtEveryActivation)
{
    StoreHandler("Orders", "orders@example.com", "c:\\orders.exe");
    StoreHandler("Invoices", "billing@example.com", "c:\\invoices.exe");
    OptionsSheet& s = Sheet();
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), s.Listed());
    EXPECT_EQ(2u, s.Listed().size());
    EXPECT_EQ(0, s.Selected());

    // Changed behind the page while another page is in front.
    s.ShowOtherPage();
    StoreHandler("Claims", "claims@example.com", "c:\\claims.exe");
    s.ShowHandlersPage();
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), s.Listed());
    EXPECT_EQ(3u, s.Listed().size());

    s.ShowOtherPage();
    s.ShowHandlersPage();
    EXPECT_EQ(3u, s.Listed().size()) << "a handler listed twice";
}

TEST_F(MessageHandlersPage, RemoveDeletesAtOnceAndSelectsTheFollowingOrLastEntry)
{
    struct Case
    {
        int removeAt;
        int selectedAfter;
    } cases[] = {{1, 1}, {2, 1}, {0, 0}};

    for (const Case& c : cases)
    {
        SCOPED_TRACE("remove index " + std::to_string(c.removeAt));
        StoreHandler("A", "a@example.com", "a.exe");
        StoreHandler("B", "b@example.com", "b.exe");
        StoreHandler("C", "c@example.com", "c.exe");
        OptionsSheet& s = Sheet();
        Names before = s.Listed();
        ASSERT_EQ(3u, before.size());

        s.Select(c.removeAt);
        s.ClickPage(IDC_REMOVE_HANDLER);

        Names expected = before;
        expected.erase(expected.begin() + c.removeAt);
        EXPECT_EQ(expected, s.Listed());
        EXPECT_EQ(expected, SubKeys(TEST_ROOT_KEY));
        EXPECT_EQ(c.selectedAfter, s.Selected());
        EXPECT_TRUE(answerer.boxes.empty()) << "Remove asks nothing";

        // The options dialog's Cancel brings nothing back.
        Click(s.hSheet, IDCANCEL);
        s.Pump();
        EXPECT_EQ(expected, SubKeys(TEST_ROOT_KEY));
        sheet.reset();
        ResetStore();
    }
}

TEST_F(MessageHandlersPage, RemovingTheOnlyEntryLeavesNothingSelected)
{
    StoreHandler("Only", "only@example.com", "only.exe");
    OptionsSheet& s = Sheet();
    s.ClickPage(IDC_REMOVE_HANDLER);

    EXPECT_EQ(Names(), s.Listed());
    EXPECT_EQ(LB_ERR, s.Selected());
    EXPECT_EQ(Names(), SubKeys(TEST_ROOT_KEY));
}

TEST_F(MessageHandlersPage, RemoveAndPropertiesWithNothingSelectedDoNothing)
{
    StoreHandler("Kept", "kept@example.com", "kept.exe");
    OptionsSheet& s = Sheet();
    s.Select(-1);
    // The handler the page loaded last must not count as a selection.
    HANDLER kept = lastLoadedAtLoad;
    lstrcpyA(kept.szName, "Kept");
    RememberLoadedHandler(&kept);

    s.ClickPage(IDC_REMOVE_HANDLER);
    s.ClickPage(IDC_HANDLER_PROPERTIES);
    // A double-click on the list is no command of the page either.
    s.Select(0);
    SendMessageA(s.hPage, WM_COMMAND, MAKEWPARAM(IDC_HANDLER_LIST, LBN_DBLCLK), (LPARAM)s.hList);

    EXPECT_EQ(Names{"Kept"}, SubKeys(TEST_ROOT_KEY));
    EXPECT_EQ(Names{"Kept"}, s.Listed());
    EXPECT_TRUE(answerer.boxes.empty());
    // The fixture fails on any dialog that appeared.
}

TEST_F(MessageHandlersPage, AddListsNothingWhenTheDialogCannotBeShown)
{
    StoreHandler("A", "a@example.com", "a.exe");
    OptionsSheet& s = Sheet();
    // A module without the definition template.
    ghInstDLL = GetModuleHandleA("kernel32.dll");
    s.ClickPage(IDC_ADD_HANDLER);
    EXPECT_EQ(Names{"A"}, s.Listed());
    EXPECT_EQ(Names{"A"}, SubKeys(TEST_ROOT_KEY));
}

TEST_F(MessageHandlersPage, NamesTooLongForTheRecordCanBeRemovedButNotEdited)
{
    // Made outside the page: longer than the 39 characters a name may have.
    std::string longName(60, 'L');
    StoreHandler(longName, "long@example.com", "long.exe");
    StoreHandler("Short", "short@example.com", "short.exe");
    OptionsSheet& s = Sheet();
    ASSERT_EQ(SubKeys(TEST_ROOT_KEY), s.Listed());
    int iLong = s.Listed()[0] == longName ? 0 : 1;

    s.Select(iLong);
    s.ClickPage(IDC_HANDLER_PROPERTIES);
    ASSERT_EQ(1u, answerer.boxes.size()) << "Properties must say why it does nothing";
    ExpectBox(0,
              "This handler's name is longer than 39 characters and cannot be edited here. "
              "It can still be removed.",
              "information", s.hSheet);

    s.ClickPage(IDC_REMOVE_HANDLER);
    EXPECT_EQ(Names{"Short"}, SubKeys(TEST_ROOT_KEY));
    EXPECT_EQ(Names{"Short"}, s.Listed());
    EXPECT_EQ("sender@example.com", ShownBy(IDC_ADD_HANDLER).sender) << "nothing of the long handler was loaded";
}

TEST_F(MessageHandlersPage, PropertiesOrRemoveOnAHandlerRemovedMeanwhileListAfreshAndCreateNothing)
{
    StoreHandler("Gone", "gone@example.com", "gone.exe");
    StoreHandler("Kept", "kept@example.com", "kept.exe");
    OptionsSheet& s = Sheet();
    // Another Options dialog, or an administrator's script.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, TEST_ROOT_KEY "\\Gone");
    s.Select(s.Listed()[0] == "Gone" ? 0 : 1);

    s.ClickPage(IDC_HANDLER_PROPERTIES);

    ExpectBox(0, "The message handler \"Gone\" no longer exists. Another user or program has removed it.",
              "information", s.hSheet);
    EXPECT_EQ(Names{"Kept"}, s.Listed());
    EXPECT_EQ(Names{"Kept"}, SubKeys(TEST_ROOT_KEY));

    // Removing one that is gone already takes it off the list without a word.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, TEST_ROOT_KEY "\\Kept");
    s.ClickPage(IDC_REMOVE_HANDLER);
    EXPECT_EQ(Names(), s.Listed());
    EXPECT_EQ(1u, answerer.boxes.size());
    EXPECT_EQ(Names(), SubKeys(TEST_ROOT_KEY));

    // One that is listed but not found by its name is still there: it has
    // no spelling in the code page (no best-fit "L" either), stays listed,
    // and cannot be read.
    HKEY hk = NULL;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorbit\\Message Handlers\\\u0141\u0429", 0, NULL, 0,
                    KEY_ALL_ACCESS, NULL, &hk, NULL);
    RegCloseKey(hk);
    s.ShowOtherPage();
    s.ShowHandlersPage();
    s.ClickPage(IDC_REMOVE_HANDLER);
    ExpectBox(1, "The message handler \"??\" could not be removed.\n\n" + SystemText(ERROR_NO_UNICODE_TRANSLATION),
              "exclamation", s.hSheet);
    s.ClickPage(IDC_HANDLER_PROPERTIES);
    ExpectBox(2, "The message handler \"??\" could not be read.\n\n" + SystemText(ERROR_NO_UNICODE_TRANSLATION),
              "exclamation", s.hSheet);
    EXPECT_EQ(Names{"??"}, s.Listed());
    EXPECT_EQ(0, s.Selected());
}

// A check's box left up while the user looks at another handler in the
// Options dialog: the check starts and answers what it matched.
TEST_F(MessageHandlersPage, ACheckWaitingInItsBoxKeepsItsHandlerWhileTheUserOpensAnother)
{
    for (DWORD dwDebug : {0u, 1u})
    {
        SCOPED_TRACE(dwDebug ? "Debug box" : "confirmation box");
        ResetStore();
        StoreHandler("Orders", "orders@example.com", RecorderPath(), !dwDebug, 1, dwDebug);
        StoreHandler("Other", "other@example.com", "Z:\\nowhere\\other.exe", 0, 0, 0);
        OpenedItem item("orders@example.com");
        std::string recording = PrepareRecording();

        answerer.Answer(dwDebug ? IDOK : IDYES);
        answerer.WhileUp([&] {
            OptionsSheet& s = Sheet();
            s.Select(s.Listed()[0] == "Other" ? 0 : 1);
            driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
                EXPECT_EQ("Z:\\nowhere\\other.exe", ItemText(hDlg, IDC_FILE_PATH));
                Click(hDlg, IDC_DEFINITION_CANCEL);
            });
            s.ClickPage(IDC_HANDLER_PROPERTIES);
            sheet.reset();
        });

        // As the extension runs it, handing over the page's handler.
        EXPECT_EQ(E_ABORT, CheckMessage(&item.callback, RememberLoadedHandler));

        std::string cmdLine;
        EXPECT_TRUE(WaitForRecording(recording, &cmdLine));
        EXPECT_EQ(RecorderPath() + " \"MessageID\" \"001FA0\"", cmdLine);
        EXPECT_EQ(1u, answerer.boxes.size()) << "no launch failure";
        // Add starts from the handler loaded last.
        EXPECT_EQ("Z:\\nowhere\\other.exe", ShownBy(IDC_ADD_HANDLER).program);
        sheet.reset();
        answerer.boxes.clear();
    }
}

TEST_F(MessageHandlersPage, NotificationsAnswerZeroAndHelpSaysWhetherItOpened)
{
    OptionsSheet& s = Sheet();
    for (UINT code : {PSN_KILLACTIVE, PSN_APPLY, PSN_RESET, PSN_QUERYCANCEL, PSN_WIZNEXT})
    {
        SCOPED_TRACE(code);
        EXPECT_EQ(0, Notify(s.hPage, code));
        EXPECT_EQ(0, GetWindowLongA(s.hPage, DWL_MSGRESULT));
    }

    // PSN_HELP answers whether a viewer took the help (the help tests
    // check what it shows); the sheet's own Help button is shown for the
    // page.
    EXPECT_EQ(TRUE, Notify(s.hPage, PSN_HELP));
    EXPECT_EQ(TRUE, GetWindowLongA(s.hPage, DWL_MSGRESULT));
    CloseHelpWindows();
    HWND hHelp = GetDlgItem(s.hSheet, IDHELP);
    ASSERT_NE(nullptr, hHelp);
    EXPECT_TRUE(IsWindowVisible(hHelp) && IsWindowEnabled(hHelp));
}

TEST_F(MessageHandlersPage, PaintsButtonsLabelsAndItselfInTheButtonFaceColour)
{
    OptionsSheet& s = Sheet();
    ASSERT_NE(nullptr, hBrush);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GrayColor);
    LOGBRUSH lb;
    ASSERT_EQ((int)sizeof(lb), GetObjectA(hBrush, sizeof(lb), &lb));
    EXPECT_EQ((UINT)BS_SOLID, lb.lbStyle);
    EXPECT_EQ(GrayColor, lb.lbColor);

    HDC hdc = CreateCompatibleDC(NULL);
    for (UINT msg : {WM_CTLCOLORBTN, WM_CTLCOLORDLG, WM_CTLCOLORSTATIC})
    {
        SCOPED_TRACE(msg);
        SetBkColor(hdc, RGB(1, 2, 3));
        EXPECT_EQ((INT_PTR)hBrush, QuorbitDlgProc(s.hPage, msg, (WPARAM)hdc, 0));
        EXPECT_EQ(GrayColor, GetBkColor(hdc));
    }
    // The list and other controls keep the system's colours.
    for (UINT msg : {WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_CTLCOLORMSGBOX, WM_CTLCOLORSCROLLBAR})
    {
        SCOPED_TRACE(msg);
        SetBkColor(hdc, RGB(1, 2, 3));
        EXPECT_EQ(FALSE, QuorbitDlgProc(s.hPage, msg, (WPARAM)hdc, 0));
        EXPECT_EQ(RGB(1, 2, 3), GetBkColor(hdc));
    }

    HBRUSH hUsed = hBrush;
    sheet.reset();
    EXPECT_EQ(nullptr, hBrush) << "a destroyed page must not leave a deleted brush to hand out";
    EXPECT_EQ(0, GetObjectA(hUsed, sizeof(lb), &lb)) << "the brush was not deleted";
    SetBkColor(hdc, RGB(1, 2, 3));
    EXPECT_EQ(FALSE, QuorbitDlgProc(NULL, WM_CTLCOLORSTATIC, (WPARAM)hdc, 0));
    EXPECT_EQ(RGB(1, 2, 3), GetBkColor(hdc));
    DeleteDC(hdc);
}

}  // namespace
