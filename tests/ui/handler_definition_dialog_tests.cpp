// The "Message Handler Definition" dialog, run through the page's buttons
// in a real property sheet, with the real open-file dialog and an address
// book double.
#include "ui_test.h"
#include "ansi_text.h"
#include "handler_editor.h"
#include "client_objects.h"
#include <mapitags.h>
#include <functional>

namespace {

typedef UiTest HandlerDefinitionDialog;
typedef std::vector<std::string> Names;

const std::string ROOT = TEST_ROOT_KEY;

DWORD StoredDword(const std::string& name, const char* szValue)
{
    StoredValue v = ReadStored(ROOT + "\\" + name, szValue);
    EXPECT_TRUE(v.present) << szValue;
    EXPECT_EQ((DWORD)REG_DWORD, v.type) << szValue;
    DWORD dw = 0xdeadbeef;
    if (v.data.size() == 4)
        memcpy(&dw, v.data.data(), 4);
    return dw;
}

// A stored text with its terminator, which must be written.
std::string StoredText(const std::string& name, const char* szValue)
{
    StoredValue v = ReadStored(ROOT + "\\" + name, szValue);
    EXPECT_TRUE(v.present) << szValue;
    EXPECT_EQ((DWORD)REG_SZ, v.type) << szValue;
    if (v.data.empty() || v.data.back() != 0)
        return "<not terminated>";
    return std::string((const char*)v.data.data());
}

// Fills a file of that path, creating its folders.
void MakeFile(const std::string& path)
{
    for (size_t i = 3; (i = path.find('\\', i)) != std::string::npos; i++)
        CreateDirectoryA(path.substr(0, i).c_str(), NULL);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
    CloseHandle(h);
}

// A folder of the test's own whose path has no blank (the temporary
// folder's may, through the user name).
std::string TestFolder()
{
    return "C:\\quorbit-ui-tests\\";
}

TEST_F(HandlerDefinitionDialog, FirstAddShowsTheRecordAsLoadedAndCancelChangesNothing)
{
    OptionsSheet& s = Sheet();
    // The root key's own values are no handler's.
    WriteString(ROOT, "FilePath", "c:\\root-value.exe");
    WriteDword(ROOT, "PreventOpen", 0);
    HWND hSeen = NULL;

    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        hSeen = hDlg;
        EXPECT_EQ((Shown{"", "sender@example.com", "\"Specify a path and file name\"", true, true, false}),
                  Read(hDlg));
        EXPECT_EQ(s.hSheet, GetWindow(hDlg, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(s.hSheet)) << "the dialog is modal to the options dialog";
        Click(hDlg, IDC_DEFINITION_CANCEL);
    });
    s.ClickPage(IDC_ADD_HANDLER);

    ASSERT_NE(nullptr, hSeen);
    EXPECT_EQ(Names(), s.Listed());
    EXPECT_EQ(Names(), SubKeys(ROOT)) << "no key with an empty name";
    EXPECT_EQ((Shown{"", "sender@example.com", "\"Specify a path and file name\"", true, true, false}),
              ShownBy(IDC_ADD_HANDLER));
}

TEST_F(HandlerDefinitionDialog, AddSavesWhatWasTypedListsItAndSelectsIt)
{
    StoreHandler("Existing", "old@example.com", "c:\\old.exe");
    OptionsSheet& s = Sheet();

    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        TypeInto(GetDlgItem(hDlg, IDC_HANDLER_NAME), "Invoices");
        TypeInto(GetDlgItem(hDlg, IDC_SENDER_EMAIL_ADDRESS), "billing@example.com");
        TypeInto(GetDlgItem(hDlg, IDC_FILE_PATH), "c:\\tools\\invoice.exe");
        Click(hDlg, IDC_PREVENT_OPEN);    // on -> off
        Click(hDlg, IDC_DEBUG);           // off -> on
        Click(hDlg, IDC_DEFINITION_OK);
        EXPECT_FALSE(IsOpen(hDlg));
    });
    s.ClickPage(IDC_ADD_HANDLER);

    EXPECT_EQ((Names{"Existing", "Invoices"}), s.Listed());
    EXPECT_EQ(1, s.Selected());
    EXPECT_EQ(1u, StoredDword("Invoices", "ConfirmDialog"));
    EXPECT_EQ(0u, StoredDword("Invoices", "PreventOpen"));
    EXPECT_EQ(1u, StoredDword("Invoices", "Debug"));
    EXPECT_EQ("billing@example.com", StoredText("Invoices", "SenderEmailAddress"));
    EXPECT_EQ("c:\\tools\\invoice.exe", StoredText("Invoices", "FilePath"));
    // The next Add starts from what was saved.
    EXPECT_EQ((Shown{"", "billing@example.com", "c:\\tools\\invoice.exe", false, true, true}),
              ShownBy(IDC_ADD_HANDLER));
}

TEST_F(HandlerDefinitionDialog, AnEmptyNameIsRefusedWithABoxAndTheDialogStaysOpen)
{
    OptionsSheet& s = Sheet();
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        Click(hDlg, IDC_DEFINITION_OK);
        ASSERT_EQ(1u, answerer.boxes.size());
        ExpectBox(0, "Error 00000000 in Message Handling\nThe handler must have a name.", "exclamation", hDlg);
        EXPECT_TRUE(IsOpen(hDlg));
        EXPECT_EQ(Names(), SubKeys(ROOT));

        // An empty address would match no message.
        TypeInto(GetDlgItem(hDlg, IDC_HANDLER_NAME), "Second try");
        TypeInto(GetDlgItem(hDlg, IDC_SENDER_EMAIL_ADDRESS), "");
        Click(hDlg, IDC_DEFINITION_OK);
        ExpectBox(1, "The handler must have the sender's e-mail address: without one it handles no message.",
                  "exclamation", hDlg);
        EXPECT_TRUE(IsOpen(hDlg));
        EXPECT_EQ(Names(), SubKeys(ROOT));

        TypeInto(GetDlgItem(hDlg, IDC_SENDER_EMAIL_ADDRESS), "second@example.com");
        Click(hDlg, IDC_DEFINITION_OK);
        EXPECT_FALSE(IsOpen(hDlg));
    });
    s.ClickPage(IDC_ADD_HANDLER);

    EXPECT_EQ(Names{"Second try"}, SubKeys(ROOT));
    EXPECT_EQ(Names{"Second try"}, s.Listed());
}

TEST_F(HandlerDefinitionDialog, ANameWithABackslashIsRefusedAndNothingIsSaved)
{
    OptionsSheet& s = Sheet();
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        TypeInto(GetDlgItem(hDlg, IDC_HANDLER_NAME), "Sales\\Orders");
        Click(hDlg, IDC_DEFINITION_OK);
        ASSERT_EQ(1u, answerer.boxes.size());
        ExpectBox(0, "A handler name cannot contain a backslash (\\).", "exclamation", hDlg);
        EXPECT_TRUE(IsOpen(hDlg));
        Click(hDlg, IDC_DEFINITION_CANCEL);
    });
    s.ClickPage(IDC_ADD_HANDLER);

    EXPECT_EQ(Names(), SubKeys(ROOT));
    EXPECT_EQ(Names(), s.Listed());
}

// A change the registry refuses: the handlers run and are listed, every
// change says it was not made and what to do, and nothing is listed that is
// not stored. On Vista and 7 the token decides the advice, and a client
// whose writes Windows would virtualize writes nothing at all.
TEST_F(HandlerDefinitionDialog, ARefusedChangeIsReportedWithWhatToDoAndNothingIsListedThatIsNotStored)
{
    const std::string limited =
        "\n\nWindows runs the mail client without administrator rights. Make the change in the handler editor, "
        "Quorbit Message Handlers, which asks for them, or run the mail client as administrator.\n\n"
        "Open the handler editor now?";
    const std::string standard =
        "\n\nOnly an administrator can change message handlers. Ask an administrator to make the change.";
    const std::string halfChanged =
        "\n\nWhat was stored before could not be put back either: the handler may be stored half changed.";
    enum Refused { READ_ONLY, READ_ONLY_AND_CREATE_DELETE, FILE_PATH_WRITES, VIRTUALIZED };
    enum Change { SAVE_ORDERS, ADD_NEW, REMOVE_ORDERS };
    const struct
    {
        const char* szWhy;
        Refused refused;
        DWORD dwElevationType;  // 0: Windows XP
        Change change;
        int answer;
        const std::string& middle;  // between the system's reason and the advice
        const std::string& advice;
    } cases[] = {
        {"a key the user may only read", READ_ONLY, TokenElevationTypeFull, SAVE_ORDERS, 0, "", standard},
        // Windows also refuses a new key below a key the user may not
        // change, and the deletion of a key; Wine does not check those two.
        {"a new key", READ_ONLY_AND_CREATE_DELETE, TokenElevationTypeFull, ADD_NEW, 0, "", standard},
        {"a deletion", READ_ONLY_AND_CREATE_DELETE, TokenElevationTypeFull, REMOVE_ORDERS, 0, "", standard},
        {"a write refused halfway, and again when putting back", FILE_PATH_WRITES, TokenElevationTypeFull,
         SAVE_ORDERS, 0, halfChanged, standard},
        {"virtualized, filtered", VIRTUALIZED, TokenElevationTypeLimited, ADD_NEW, IDYES, "", limited},
        {"virtualized, no UAC", VIRTUALIZED, TokenElevationTypeDefault, ADD_NEW, 0, "", standard},
        {"filtered, No", READ_ONLY_AND_CREATE_DELETE, TokenElevationTypeLimited, REMOVE_ORDERS, IDNO, "", limited},
        {"Windows XP", READ_ONLY_AND_CREATE_DELETE, 0, REMOVE_ORDERS, 0, "", standard},
    };
    char szModule[MAX_PATH];
    GetModuleFileNameA(NULL, szModule, MAX_PATH);
    std::string editor = szModule;
    editor = editor.substr(0, editor.rfind('\\') + 1) + "QuorbitHandlers.exe";
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.szWhy);
        ResetStore();
        system.editorStarts.clear();
        answerer.boxes.clear();
        StoreHandler("Orders", "orders@example.com", "c:\\orders.exe");
        // Windows refuses what virtualization does not redirect.
        SetStoreReadOnly(c.refused == READ_ONLY || c.refused == READ_ONLY_AND_CREATE_DELETE);
        system.RefuseCreateAndDelete(c.refused == READ_ONLY_AND_CREATE_DELETE);
        system.RefuseValueWrites(c.refused == FILE_PATH_WRITES ? "FilePath" : NULL, -1);
        system.PlayToken(c.refused == VIRTUALIZED, c.dwElevationType);
        OptionsSheet& s = Sheet();
        ASSERT_EQ(Names{"Orders"}, s.Listed());
        HWND hOwner = s.hSheet;
        if (c.answer != 0)
            answerer.Answer(c.answer);
        if (c.change == REMOVE_ORDERS)
            s.ClickPage(IDC_REMOVE_HANDLER);
        else
        {
            driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
                hOwner = hDlg;
                if (c.change == ADD_NEW)
                    TypeInto(GetDlgItem(hDlg, IDC_HANDLER_NAME), "New");
                TypeInto(GetDlgItem(hDlg, IDC_FILE_PATH), "c:\\changed.exe");
                Click(hDlg, IDC_DEFINITION_OK);
                EXPECT_TRUE(IsOpen(hDlg));
                Click(hDlg, IDC_DEFINITION_CANCEL);
            });
            s.ClickPage(c.change == ADD_NEW ? IDC_ADD_HANDLER : IDC_HANDLER_PROPERTIES);
        }

        ASSERT_EQ(1u, answerer.boxes.size());
        EXPECT_EQ(std::string("The message handler ") +
                      (c.change == REMOVE_ORDERS ? "\"Orders\" could not be removed."
                                                 : c.change == ADD_NEW ? "\"New\" could not be saved."
                                                                       : "\"Orders\" could not be saved.") +
                      "\n\n" + SystemText(ERROR_ACCESS_DENIED) + c.middle + c.advice,
                  answerer.boxes[0].text);
        EXPECT_EQ("Message Handling", answerer.boxes[0].caption);
        EXPECT_EQ(&c.advice == &limited ? "Yes|No" : "OK", answerer.boxes[0].buttons);
        EXPECT_EQ("exclamation", answerer.boxes[0].icon);
        EXPECT_EQ(hOwner, answerer.boxes[0].owner);
        EXPECT_EQ(c.answer == IDYES ? std::vector<std::string>{"runas " + editor} : std::vector<std::string>(),
                  system.editorStarts);
        EXPECT_EQ(Names{"Orders"}, SubKeys(ROOT));
        EXPECT_EQ(Names{"Orders"}, s.Listed());
        EXPECT_EQ(0, s.Selected());
        sheet.reset();
    }
}

// Run by the CTest entry that starts the tests in Japanese, code page 932;
// skipped in the others.
TEST_F(HandlerDefinitionDialog, CodePage932NamesAreReadByCharacters)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932";
    // One character whose second byte is that of a backslash.
    const std::string name = "\x83\x5C" "x" "\x83\x5C";
    OptionsSheet& s = Sheet();
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        SetDlgItemTextA(hDlg, IDC_HANDLER_NAME, (name + "\\").c_str());
        Click(hDlg, IDC_DEFINITION_OK);
        ExpectBox(0, "A handler name cannot contain a backslash (\\).", "exclamation", hDlg);
        SetDlgItemTextA(hDlg, IDC_HANDLER_NAME, name.c_str());
        Click(hDlg, IDC_DEFINITION_OK);
    });
    s.ClickPage(IDC_ADD_HANDLER);
    EXPECT_EQ(1u, answerer.boxes.size());
    EXPECT_EQ(Names{name}, SubKeys(ROOT));
    EXPECT_EQ(Names{name}, s.Listed());

    // Texts cut to fit a box keep whole characters: no lone first half.
    char sz[5] = "";
    CopyCharacters(sz, sizeof(sz), "x\x83\x5C\x83\x5C");
    EXPECT_STREQ("x\x83\x5C", sz);
}

// Nothing is stored cut: a cut name is another handler, a cut sender
// another sender, a cut path another program.
TEST_F(HandlerDefinitionDialog, TextsLongerThanTheirFieldsCannotBeTypedAndAreRefusedOnOk)
{
    OptionsSheet& s = Sheet();
    const struct
    {
        int id;
        size_t cchKept;
        const char* text;
    } fields[] = {{IDC_HANDLER_NAME, 39, "The handler's name is too long. It can have at most 39 characters."},
                  {IDC_SENDER_EMAIL_ADDRESS, 79,
                   "The sender's e-mail address is too long. It can have at most 79 characters."},
                  {IDC_FILE_PATH, 127, "The program's path is too long. It can have at most 127 characters."}};
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        for (const auto& f : fields)
        {
            TypeInto(GetDlgItem(hDlg, f.id), std::string(200, 'x'));
            EXPECT_EQ(f.cchKept, ItemText(hDlg, f.id).size());
        }
        // Put there other than by typing, as a double-byte code page lets
        // more bytes through: OK refuses, naming the field.
        for (const auto& f : fields)
        {
            SetDlgItemTextA(hDlg, f.id, std::string(f.cchKept + 1, 'y').c_str());
            Click(hDlg, IDC_DEFINITION_OK);
            ExpectBox(answerer.boxes.size() - 1, f.text, "exclamation", hDlg);
            EXPECT_TRUE(IsOpen(hDlg));
            SetDlgItemTextA(hDlg, f.id, std::string(f.cchKept, 'k').c_str());
        }
        Click(hDlg, IDC_DEFINITION_OK);
    });
    s.ClickPage(IDC_ADD_HANDLER);

    EXPECT_EQ(3u, answerer.boxes.size());
    const std::string name(39, 'k');
    EXPECT_EQ(Names{name}, SubKeys(ROOT));
    EXPECT_EQ(std::string(79, 'k'), StoredText(name, "SenderEmailAddress"));
    EXPECT_EQ(std::string(127, 'k'), StoredText(name, "FilePath"));
}

TEST_F(HandlerDefinitionDialog, PropertiesShowsTheStoredHandlerAndTheNextAddKeepsAllButItsName)
{
    StoreHandler("Importer", "import@example.com", "c:\\import.exe", /*confirm*/ 0, /*prevent*/ 1, /*debug*/ 1);
    OptionsSheet& s = Sheet();

    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        EXPECT_EQ((Shown{"Importer", "import@example.com", "c:\\import.exe", true, false, true}),
                  Read(hDlg));
        Click(hDlg, IDC_DEFINITION_CANCEL);
    });
    s.ClickPage(IDC_HANDLER_PROPERTIES);
    EXPECT_EQ(Names{"Importer"}, s.Listed());

    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        EXPECT_EQ((Shown{"", "import@example.com", "c:\\import.exe", true, false, true}),
                  Read(hDlg));
        Click(hDlg, IDC_DEFINITION_CANCEL);
    });
    s.ClickPage(IDC_ADD_HANDLER);
    EXPECT_EQ(Names{"Importer"}, SubKeys(ROOT));
}

// Properties shows what the handler's own key holds, never what the
// handler loaded before it held; OK stores nothing the user did not change.
TEST_F(HandlerDefinitionDialog, PropertiesShowsOnlyTheHandlersOwnValuesAndOkKeepsThem)
{
    struct Value
    {
        const char* name;
        DWORD type;
        std::string bytes;
    };
    const std::string one("\1\0\0\0", 4), eight("\1\0\0\0\0\0\0\0", 8);
    const struct
    {
        const char* what;
        std::vector<Value> values;
        Shown shown;
    } cases[] = {
        {"missing", {{"Unrelated", REG_DWORD, one}}, {"Odd", "", "", false, false, false}},
        {"unreadable",
         {{"ConfirmDialog", REG_BINARY, eight},
          {"Debug", REG_QWORD, eight},
          {"SenderEmailAddress", REG_SZ, std::string(80, 's')},
          {"FilePath", REG_SZ, std::string(128, 'p')}},
         {"Odd", "", "", false, false, false}},
        {"wrong-typed",
         {{"PreventOpen", REG_DWORD, one},
          {"ConfirmDialog", REG_SZ, std::string("1", 2)},
          {"SenderEmailAddress", REG_BINARY, std::string("odd@example.com", 16)},
          {"FilePath", REG_EXPAND_SZ, std::string("c:\\%odd%.exe", 13)}},
         {"Odd", "", "c:\\%odd%.exe", true, false, false}},
        {"overlong",
         {{"Debug", REG_DWORD, one},
          {"SenderEmailAddress", REG_SZ, std::string(80, 's') + '\0'},
          {"FilePath", REG_SZ, std::string(128, 'p') + '\0'}},
         {"Odd", "", "", false, false, true}},
    };
    const Shown full{"Full", "full@example.com", "c:\\full.exe", true, true, true};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ResetStore();
        StoreHandler("Full", "full@example.com", "c:\\full.exe", 1, 1, 1);
        for (const Value& v : c.values)
            WriteRaw(ROOT + "\\Odd", v.name, v.type, v.bytes.data(), (DWORD)v.bytes.size());
        // The second time round, after OK, which needs an address.
        for (int i = 0; i < 2; i++)
        {
            Shown shown = c.shown, seen;
            if (i == 1)
                shown.sender = "odd@example.com";
            EXPECT_EQ(full, ShownBy(IDC_HANDLER_PROPERTIES, "Full"));
            driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
                seen = Read(hDlg);
                TypeInto(GetDlgItem(hDlg, IDC_SENDER_EMAIL_ADDRESS), "odd@example.com");
                Click(hDlg, IDC_DEFINITION_OK);
            });
            Choose("Odd");
            Sheet().ClickPage(IDC_HANDLER_PROPERTIES);
            EXPECT_EQ(shown, seen);
        }
        sheet.reset();
    }
    EXPECT_TRUE(answerer.boxes.empty());

    // A handler that cannot be read at all is not shown empty, to be saved
    // so.
    SetStoreUnreadable("Odd");
    EXPECT_EQ(full, ShownBy(IDC_HANDLER_PROPERTIES, "Full"));
    Choose("Odd");
    Sheet().ClickPage(IDC_HANDLER_PROPERTIES);
    ExpectBox(0, "The message handler \"Odd\" could not be read.\n\n" + SystemText(ERROR_ACCESS_DENIED),
              "exclamation", sheet->hSheet);
}

TEST_F(HandlerDefinitionDialog, TheListShowsTheSavedNameOnceAndSelectsIt)
{
    StoreHandler("Old", "same@example.com", "c:\\same.exe");
    OptionsSheet& s = Sheet();
    // Properties, renamed: the handler is saved as a further one.
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        TypeInto(GetDlgItem(hDlg, IDC_HANDLER_NAME), "New");
        Click(hDlg, IDC_DEFINITION_OK);
    });
    s.ClickPage(IDC_HANDLER_PROPERTIES);
    EXPECT_EQ((Names{"New", "Old"}), SubKeys(ROOT));
    EXPECT_EQ((Names{"Old", "New"}), s.Listed());
    EXPECT_EQ(1, s.Selected());
    EXPECT_EQ("same@example.com", StoredText("New", "SenderEmailAddress"));

    // Add under a stored name, in other letter case: that handler is
    // overwritten, and listed once.
    s.Select(-1);
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        TypeInto(GetDlgItem(hDlg, IDC_HANDLER_NAME), "OLD");
        TypeInto(GetDlgItem(hDlg, IDC_SENDER_EMAIL_ADDRESS), "other@example.com");
        Click(hDlg, IDC_DEFINITION_OK);
    });
    s.ClickPage(IDC_ADD_HANDLER);
    EXPECT_EQ((Names{"New", "Old"}), SubKeys(ROOT));
    EXPECT_EQ((Names{"Old", "New"}), s.Listed());
    EXPECT_EQ(0, s.Selected());
    EXPECT_EQ("other@example.com", StoredText("Old", "SenderEmailAddress"));

    // A name that a locale would take for a listed one is another one, and
    // listed apart ("\xDF" is no "ss").
    sheet.reset();
    StoreHandler("Strasse", "strasse@example.com", "c:\\same.exe");
    const std::string sharpS = InCodePage("Stra\xC3\x9F" "e");
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        TypeInto(GetDlgItem(hDlg, IDC_HANDLER_NAME), sharpS);
        Click(hDlg, IDC_DEFINITION_OK);
    });
    Sheet().ClickPage(IDC_ADD_HANDLER);
    ASSERT_EQ(4u, Sheet().Listed().size());
    EXPECT_EQ(sharpS, Sheet().Listed()[Sheet().Selected()]);
}

TEST_F(HandlerDefinitionDialog, OptionsShowCheckedOnlyForOne)
{
    // The message check takes an option as on only when it is exactly 1.
    StoreHandler("Odd", "odd@example.com", "c:\\odd.exe", /*confirm*/ 2, /*prevent*/ 0xFFFFFFFF, /*debug*/ 1);
    OptionsSheet& s = Sheet();
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        EXPECT_EQ((Shown{"Odd", "odd@example.com", "c:\\odd.exe", false, false, true}), Read(hDlg));
        Click(hDlg, IDC_DEFINITION_OK);
    });
    s.ClickPage(IDC_HANDLER_PROPERTIES);
    EXPECT_EQ(0u, StoredDword("Odd", "ConfirmDialog"));
    EXPECT_EQ(0u, StoredDword("Odd", "PreventOpen"));
    EXPECT_EQ(1u, StoredDword("Odd", "Debug"));
}

// Esc and the close box send IDCANCEL, which the dialog leaves alone;
// Enter presses the default button, OK.
TEST_F(HandlerDefinitionDialog, EscAndTheCloseBoxLeaveItOpenAndEnterActsAsOk)
{
    OptionsSheet& s = Sheet();
    const struct
    {
        const char* szKey;
        std::function<void(HWND hDlg, HWND hName)> press;
        bool fEnds;
    } cases[] = {
        {"Esc", [](HWND hDlg, HWND hName) { PressKey(hDlg, hName, VK_ESCAPE); }, false},
        {"close box", [&](HWND hDlg, HWND) { SendMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0), s.Pump(); }, false},
        {"Enter", [](HWND hDlg, HWND hName) { PressKey(hDlg, hName, VK_RETURN); }, true},
    };
    driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
        HWND hName = GetDlgItem(hDlg, IDC_HANDLER_NAME);
        TypeInto(hName, "Keyboard");
        for (const auto& c : cases)
        {
            SCOPED_TRACE(c.szKey);
            c.press(hDlg, hName);
            EXPECT_EQ(!c.fEnds, IsOpen(hDlg));
            EXPECT_EQ(c.fEnds ? Names{"Keyboard"} : Names(), SubKeys(ROOT));
        }
    });
    s.ClickPage(IDC_ADD_HANDLER);
    EXPECT_EQ(Names{"Keyboard"}, s.Listed());
}

// The address book.

class SenderBrowse : public HandlerDefinitionDialog
{
protected:
    // Browses for the sender in a dialog for handler "Pick" and answers
    // with what the book is scripted to (NULL: the client gave none);
    // returns the sender field after.
    std::string Browse(ClientAddrBook* pBook)
    {
        StoreHandler("Pick", "before@example.com", "c:\\pick.exe");
        lpAdrbook = pBook;
        std::string after = "<not run>";
        OptionsSheet& s = Sheet();
        driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
            hDlgSeen = hDlg;
            Click(hDlg, IDC_BROWSE_SENDER);
            after = ItemText(hDlg, IDC_SENDER_EMAIL_ADDRESS);
            EXPECT_TRUE(IsOpen(hDlg));
            Click(hDlg, IDC_DEFINITION_CANCEL);
        });
        s.ClickPage(IDC_HANDLER_PROPERTIES);
        return after;
    }
    HWND hDlgSeen = NULL;
};

MessageProp Email(const std::string& s) { return MessageProp::Str(PR_EMAIL_ADDRESS_A, s); }

// Whether a buffer from MAPIAllocateBuffer is still held: the process heap
// block that holds it is busy.
bool HeapBlockBusy(void* pv)
{
    bool fBusy = false;
    PROCESS_HEAP_ENTRY e;
    e.lpData = NULL;
    HANDLE hHeap = GetProcessHeap();
    HeapLock(hHeap);
    while (HeapWalk(hHeap, &e))
    {
        if ((e.wFlags & PROCESS_HEAP_ENTRY_BUSY) && (BYTE*)pv >= (BYTE*)e.lpData &&
            (BYTE*)pv < (BYTE*)e.lpData + e.cbData)
        {
            fBusy = true;
            break;
        }
    }
    HeapUnlock(hHeap);
    return fBusy;
}

TEST_F(SenderBrowse, TheFirstEntrysAddressGoesIntoTheFieldAndTheListIsFreed)
{
    ClientAddrBook book;
    book.m_answer = ClientAddrBook::Entries;
    book.AddRow({MessageProp::Str(PR_DISPLAY_NAME_A, "Ann Example"), Email("ann@example.com")});
    book.AddRow({Email("bob@example.com")});

    EXPECT_EQ("ann@example.com", Browse(&book));

    ASSERT_EQ(1, book.m_cAddress);
    EXPECT_EQ((ULONG_PTR)hDlgSeen, book.m_ulUIParam);
    EXPECT_EQ("Select Addressee", book.m_caption);
    ADRPARM expected;
    ZeroMemory(&expected, sizeof(expected));
    expected.ulFlags = 0x2D;
    expected.lpszCaption = book.m_adrparm.lpszCaption;
    expected.cDestFields = 1;
    EXPECT_EQ(0, memcmp(&expected, &book.m_adrparm, sizeof(expected))) << "a member other than these set";
    EXPECT_TRUE(book.m_fListWasNull);

    ASSERT_EQ(3u, book.m_allocated.size());
    for (void* pv : book.m_allocated)
        EXPECT_FALSE(HeapBlockBusy(pv)) << "MAPI memory of the address list not freed";
    // The record takes the address only on OK, and Cancel was pressed.
    EXPECT_EQ("before@example.com", StoredText("Pick", "SenderEmailAddress"));
    EXPECT_EQ("before@example.com", ShownBy(IDC_ADD_HANDLER).sender);
}

// Without a choice the field stays as it was; only a client that gave no
// address book is told of, so that the address is typed instead. An
// Exchange entry gives its SMTP address, from its row or from the entry
// its identifier opens; an address the field cannot hold is refused.
TEST_F(SenderBrowse, NothingChosenLeavesTheFieldAsItWas)
{
    const std::string directory = "/O=CORP/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=JSMITH";
    const std::vector<BYTE> id = {0x00, 0x00, 0x00, 0x00, 0xDC, 0xA7};
    const MessageProp exchange = MessageProp::Str(PR_ADDRTYPE_A, "EX");
    const std::string tooLong = "The e-mail address of this entry is too long to be kept (at most 79 characters). "
                                "Type the sender's e-mail address instead.";
    struct Case
    {
        const char* what;
        ClientAddrBook::Answer answer;
        std::vector<MessageProp> row;
        bool fBook;
        std::string after = "before@example.com";
        std::wstring entrySmtp = L"";  // the PR_SMTP_ADDRESS of the entry id opens to
        std::string box = "";
    } cases[] = {
        {"cancel", ClientAddrBook::Cancel, {}, true},
        {"failure", ClientAddrBook::Fail, {}, true},
        {"empty list", ClientAddrBook::EmptyList, {}, true},
        {"null list", ClientAddrBook::NullList, {}, true},
        {"entry without address", ClientAddrBook::Entries, {MessageProp::Str(PR_DISPLAY_NAME_A, "No Mail")}, true},
        {"address without text", ClientAddrBook::Entries, {MessageProp::NullStr(PR_EMAIL_ADDRESS_A)}, true},
        {"no address book", ClientAddrBook::Cancel, {}, false},
        {"Exchange entry", ClientAddrBook::Entries,
         {exchange, Email(directory), MessageProp::Str(PROP_TAG(PT_STRING8, 0x39FE), "jsmith@example.com")}, true,
         "jsmith@example.com"},
        {"Exchange entry, opened", ClientAddrBook::Entries,
         {exchange, Email(directory), MessageProp::Bin(PR_ENTRYID, id)}, true, "jsmith@example.com",
         L"jsmith@example.com"},
        {"Exchange entry without one", ClientAddrBook::Entries, {exchange, Email("/O=CORP/CN=JSMITH")}, true,
         "/O=CORP/CN=JSMITH"},
        {"too long", ClientAddrBook::Entries, {exchange, Email(directory)}, true, "before@example.com", L"",
         tooLong},
        {"SMTP address too long", ClientAddrBook::Entries, {exchange, MessageProp::Bin(PR_ENTRYID, id)}, true,
         "before@example.com", std::wstring(80, L'j'), tooLong},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ClientAddrBook book;
        book.m_answer = c.answer;
        if (!c.row.empty())
            book.AddRow(c.row);
        if (!c.entrySmtp.empty())
            book.AddEntry(id, {})->SetText(0x39FE, c.entrySmtp);
        answerer.boxes.clear();
        EXPECT_EQ(c.after, Browse(c.fBook ? &book : NULL));
        EXPECT_EQ(c.fBook ? 1 : 0, book.m_cAddress);
        if (!c.fBook)
            ExpectBox(0, "The address book is not available. Type the sender's e-mail address instead.",
                      "information", hDlgSeen);
        else if (!c.box.empty())
            ExpectBox(0, c.box, "exclamation", hDlgSeen);
        else
            EXPECT_TRUE(answerer.boxes.empty()) << "no message for nothing chosen";
        for (void* pv : book.m_allocated)
            EXPECT_FALSE(HeapBlockBusy(pv)) << "MAPI memory not freed";
        EXPECT_TRUE(book.EntriesReleased());
        sheet.reset();
    }
}

// The open-file dialog.

class ProgramBrowse : public HandlerDefinitionDialog
{
protected:
    // Browses for the program, types chosen into the file dialog's name
    // field and presses Open (or Cancel when chosen is empty); returns the
    // program field after.
    std::string Browse(const std::string& chosen)
    {
        std::string after = "<not run>";
        OptionsSheet& s = Sheet();
        driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
            hDlgSeen = hDlg;
            TypeInto(GetDlgItem(hDlg, IDC_FILE_PATH), "c:\\before.exe");
            driver.When("Program to Run", [&](HWND hFile) {
                EXPECT_EQ(hDlg, GetWindow(hFile, GW_OWNER));
                EXPECT_FALSE(IsWindowEnabled(hDlg)) << "the definition dialog must wait for the file dialog";
                HWND hType = GetDlgItem(hFile, 0x470);   // cmb1, the file types
                char szType[64] = "";
                SendMessageA(hType, CB_GETLBTEXT, SendMessageA(hType, CB_GETCURSEL, 0, 0), (LPARAM)szType);
                EXPECT_STREQ("Program Files", szType);
                if (chosen.empty())
                {
                    Click(hFile, IDCANCEL);
                    return;
                }
                // The file name field: cmb13 (0x47C) in Wine 8's template, edt1
                // (0x480) in the older one.
                HWND hName = GetDlgItem(hFile, 0x47C) ? GetDlgItem(hFile, 0x47C) : GetDlgItem(hFile, 0x480);
                ASSERT_NE(nullptr, hName);
                SetWindowTextA(hName, chosen.c_str());
                Click(hFile, IDOK);
            });
            Click(hDlg, IDC_BROWSE_PROGRAM);
            after = ItemText(hDlg, IDC_FILE_PATH);
            EXPECT_TRUE(IsOpen(hDlg));
            Click(hDlg, IDC_DEFINITION_CANCEL);
        });
        s.ClickPage(IDC_ADD_HANDLER);
        return after;
    }
    HWND hDlgSeen = NULL;
};

TEST_F(ProgramBrowse, APathWithABlankIsQuotedAndOneWithoutIsKeptAsReturned)
{
    const std::string blank = TestFolder() + "Quorbit Tools\\import.exe";
    const std::string plain = TestFolder() + "QuorbitTools\\import.exe";
    MakeFile(blank);
    MakeFile(plain);
    char szBefore[MAX_PATH] = "", szAfter[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, szBefore);

    EXPECT_EQ("\"" + blank + "\"", Browse(blank));
    sheet.reset();
    EXPECT_EQ(plain, Browse(plain));
    EXPECT_TRUE(answerer.boxes.empty());
    // A program named without a folder is not looked for where the user
    // browsed last.
    GetCurrentDirectoryA(MAX_PATH, szAfter);
    EXPECT_STREQ(szBefore, szAfter);
    EXPECT_EQ(Names(), SubKeys(ROOT)) << "Browse saves nothing";
}

TEST_F(HandlerDefinitionDialog, ATypedPathWithABlankIsQuotedOnOkAndAProgramWithArgumentsIsNot)
{
    const std::string program = TestFolder() + "Quorbit Tools\\import.exe";
    MakeFile(program);
    const std::string cases[][2] = {
        {program, "\"" + program + "\""},
        {program.substr(0, program.size() - 4), "\"" + program.substr(0, program.size() - 4) + "\""},
        {program + " /batch", program + " /batch"},
        {"\"" + program + "\"", "\"" + program + "\""},
        {TestFolder() + "Quorbit Tools\\missing.exe", TestFolder() + "Quorbit Tools\\missing.exe"},
    };
    OptionsSheet& s = Sheet();
    for (const auto& c : cases)
    {
        driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
            TypeInto(GetDlgItem(hDlg, IDC_HANDLER_NAME), "Typed");
            TypeInto(GetDlgItem(hDlg, IDC_FILE_PATH), c[0]);
            Click(hDlg, IDC_DEFINITION_OK);
        });
        s.ClickPage(IDC_ADD_HANDLER);
        EXPECT_EQ(c[1], StoredText("Typed", "FilePath")) << c[0];
    }
}

TEST_F(ProgramBrowse, CancelInTheFileDialogChangesNothing)
{
    EXPECT_EQ("c:\\before.exe", Browse(""));
    EXPECT_TRUE(answerer.boxes.empty());
}

TEST_F(ProgramBrowse, APathTooLongForTheRecordIsRefusedWithABox)
{
    std::string folder = TestFolder();
    while (folder.size() < 120)
        folder += "deeper-folder\\";
    const std::string chosen = folder + "import.exe";
    MakeFile(chosen);

    EXPECT_EQ("c:\\before.exe", Browse(chosen));
    ASSERT_EQ(1u, answerer.boxes.size());
    ExpectBox(0,
              "The path of this program is too long to be kept (at most 127 characters). "
              "Choose a program with a shorter path.",
              "exclamation", hDlgSeen);
}

}  // namespace
