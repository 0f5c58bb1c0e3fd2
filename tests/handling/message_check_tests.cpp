#include <gtest/gtest.h>
#include "box_answerer.h"
#include "handler_store.h"
#include "client_objects.h"
#include "error_box.h"
#include "message_check.h"
#include "planted_files.h"
#include "played_system.h"
#include "recorder_client.h"
#include "test_registry.h"
#include <mapiutil.h>
#include <mapicode.h>

namespace {

const char* const kSender = "orders@example.com";
const char* const kQuestion = "Do you want to process this document?";

// One opened item from kSender, through the client's callback.
class MessageCheck : public ::testing::Test
{
protected:
    OpenedItem m_item{kSender};
    ClientCallback& m_callback = m_item.callback;
    ClientMsgStore& m_store = m_item.store;
    ClientMessage& m_message = m_item.message;
    HWND m_hwndHost = m_item.hwndClient;
    PlayedSystem m_system;
    std::string m_recording;

    void SetUp() override
    {
        ResetStore();
        m_recording = PrepareRecording();
    }

    void TearDown() override
    {
        // Every exit releases what the check took, the address book and
        // what it opened included.
        EXPECT_EQ(1, m_store.m_cRef);
        EXPECT_EQ(1, m_message.m_cRef);
        EXPECT_EQ(1, m_item.addrBook.m_cRef);
        EXPECT_TRUE(m_item.addrBook.EntriesReleased());
        ResetStore();
    }

    void StoreOrders(const std::string& program, DWORD confirm, DWORD prevent, DWORD debug)
    {
        StoreHandler("Orders", kSender, program, confirm, prevent, debug);
    }

    // Where the sender's SMTP address is: an SMTP sender has none; an
    // Exchange sender's is on the message, in the address book's entry for
    // it, or nowhere, the book refusing the entry.
    enum Exchange { SMTP_SENDER, SMTP_TYPED, SMTP_ON_MESSAGE, SMTP_IN_BOOK, SMTP_NOWHERE };
    void SetSmtpAddress(Exchange ex, const std::wstring& smtp)
    {
        const std::vector<BYTE> id = {0x00, 0x00, 0x00, 0x00, 0xDC, 0xA7};
        ClientAddrBook& book = m_item.addrBook;
        book.m_entries.clear();
        book.m_cOpenEntry = 0;
        book.m_hrOpenEntry = ex == SMTP_NOWHERE ? MAPI_E_NOT_FOUND : S_OK;
        if (ex == SMTP_SENDER)
            return;
        m_message.SetText(PROP_ID(PR_SENDER_ADDRTYPE), ex == SMTP_TYPED ? L"SMTP" : L"EX");
        if (ex == SMTP_TYPED || ex == SMTP_ON_MESSAGE)
            m_message.SetText(0x5D01, smtp);
        else
        {
            book.AddEntry(id, {})->SetText(0x39FE, smtp);
            m_message.m_props.push_back(MessageProp::Bin(PR_SENDER_ENTRYID, id));
        }
    }

    std::string Recorded(int timeoutMs = 15000, ProgramWorld* pWorld = nullptr)
    {
        std::string cmd;
        return WaitForRecording(m_recording, &cmd, timeoutMs, pWorld) ? cmd : "<nothing started>";
    }
};

TEST_F(MessageCheck, UnknownSenderShowsAndStartsNothing)
{
    StoreHandler("Reports", "reports@example.com", RecorderPath(), 0, 1, 0);
    StoreHandler("Invoices", "invoices@example.com", RecorderPath(), 0, 1, 0);
    BoxAnswerer boxes;
    HCURSOR hBefore = GetCursor();

    EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));

    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(hBefore, GetCursor());
    EXPECT_EQ("<nothing started>", Recorded(1000));
}

TEST_F(MessageCheck, MessageWithoutSenderIsNotLookedUp)
{
    m_message.m_props.clear();
    BoxAnswerer boxes;

    EXPECT_EQ(MAPI_E_NOT_FOUND, CheckMessage(&m_callback));

    EXPECT_TRUE(boxes.boxes.empty());
    // The search would have created the root key.
    EXPECT_FALSE(KeyExists(TEST_ROOT_KEY));
}

TEST_F(MessageCheck, UnreadableSenderOrStoreIsAFailureWithoutABox)
{
    StoreOrders(RecorderPath(), 0, 1, 0);
    m_message.m_hrGetProps = MAPI_E_NO_ACCESS;
    BoxAnswerer boxes;

    EXPECT_EQ(E_FAIL, CheckMessage(&m_callback));

    // A sender answered as a number is unreadable too.
    m_message.m_hrGetProps = S_OK;
    m_message.m_props.clear();
    m_message.m_props.push_back(MessageProp::Long(PROP_TAG(PT_LONG, PROP_ID(PR_SENDER_EMAIL_ADDRESS)), 0x1234));
    m_message.SetEntryId({0x00});
    EXPECT_EQ(E_FAIL, CheckMessage(&m_callback));

    // Handlers stored where this user may not read them.
    m_message.m_props.clear();
    m_message.SetSender(kSender);
    m_message.SetEntryId({0x00});
    SetStoreUnreadable();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), CheckMessage(&m_callback));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ("<nothing started>", Recorded(1000));
}

TEST_F(MessageCheck, FailingGetObjectIsReportedAndReturned)
{
    m_callback.m_hrGetObject = E_FAIL;
    BoxAnswerer boxes;

    EXPECT_EQ(E_FAIL, CheckMessage(&m_callback));

    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("Message Handling", boxes.boxes[0].caption);
    EXPECT_EQ("Error 80004005 in Message Handling\nAn error occured while getting a pointer to the message.",
              boxes.boxes[0].text);
    EXPECT_EQ("OK", boxes.boxes[0].buttons);
    EXPECT_EQ("exclamation", boxes.boxes[0].icon);
    EXPECT_EQ(m_hwndHost, boxes.boxes[0].owner);
}

TEST_F(MessageCheck, ItemWithoutAMessageLetsTheClientOpenIt)
{
    StoreOrders(RecorderPath(), 0, 1, 0);
    m_callback.m_pMessage = NULL;
    BoxAnswerer boxes;

    EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(0, m_message.m_cGetProps);
}

TEST_F(MessageCheck, ConfirmedHandlerRunsTheProgramAndStopsTheOpening)
{
    StoreOrders(RecorderPath(), 1, 1, 0);
    BoxAnswerer boxes;
    boxes.Answer(IDYES);

    EXPECT_EQ(E_ABORT, CheckMessage(&m_callback));

    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(kQuestion, boxes.boxes[0].text);
    EXPECT_EQ("Message Handling", boxes.boxes[0].caption);
    EXPECT_EQ("Yes|No", boxes.boxes[0].buttons);
    EXPECT_EQ("none", boxes.boxes[0].icon);
    EXPECT_EQ(m_hwndHost, boxes.boxes[0].owner);
    EXPECT_EQ(RecorderPath() + " \"MessageID\" \"001FA0\"", Recorded());
}

TEST_F(MessageCheck, AnsweringNoStartsNothingWhateverPreventOpenSays)
{
    StoreOrders(RecorderPath(), 1, 1, 1);
    BoxAnswerer boxes;
    boxes.Answer(IDNO);
    HCURSOR hBefore = GetCursor();

    EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));

    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(kQuestion, boxes.boxes[0].text);
    EXPECT_EQ(hBefore, boxes.boxes[0].cursor) << "no wait cursor before the answer";
    EXPECT_EQ("<nothing started>", Recorded(1000));
}

TEST_F(MessageCheck, OptionsOtherThanOneCountAsOff)
{
    StoreOrders(RecorderPath(), 2, 2, 2);
    BoxAnswerer boxes;
    // No cursor before the launch's wait cursor: none after it either.
    SetCursor(NULL);

    EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));

    EXPECT_EQ((HCURSOR)NULL, GetCursor());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(RecorderPath() + " \"MessageID\" \"001FA0\"", Recorded());
}

TEST_F(MessageCheck, DebugShowsTheWholeCommandLineUnderTheWaitCursorBeforeTheLaunch)
{
    StoreOrders(RecorderPath(), 0, 0, 1);
    BoxAnswerer boxes;
    bool fStartedEarly = true;
    std::string recording = m_recording;
    boxes.WhileShown([&]() {
        std::string cmd;
        fStartedEarly = WaitForRecording(recording, &cmd, 300);
    });
    HCURSOR hBefore = GetCursor();

    EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));

    std::string expected = RecorderPath() + " \"MessageID\" \"001FA0\"";
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(expected + "\n\nProgram: " + RecorderPath() + "\nStart in: " + BinDir(), boxes.boxes[0].text);
    EXPECT_EQ("Message Handling", boxes.boxes[0].caption);
    EXPECT_EQ("OK", boxes.boxes[0].buttons);
    EXPECT_EQ("exclamation", boxes.boxes[0].icon);
    EXPECT_EQ((HWND)NULL, boxes.boxes[0].owner);
    EXPECT_EQ(LoadCursor(NULL, IDC_WAIT), boxes.boxes[0].cursor);
    EXPECT_FALSE(fStartedEarly);
    EXPECT_EQ(expected, Recorded());
    EXPECT_EQ(hBefore, GetCursor());
}

TEST_F(MessageCheck, ProgramThatCannotStartIsReportedInTheSystemsWords)
{
    StoreOrders("Z:\\nowhere\\missing-program.exe", 0, 1, 0);
    BoxAnswerer boxes;

    EXPECT_EQ(E_ABORT, CheckMessage(&m_callback));

    ASSERT_EQ(1u, boxes.boxes.size());
    ASSERT_FALSE(SystemText(ERROR_FILE_NOT_FOUND).empty());
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), boxes.boxes[0].text);
    EXPECT_EQ("Message Handling", boxes.boxes[0].caption);
    EXPECT_EQ("OK", boxes.boxes[0].buttons);
    EXPECT_EQ("information", boxes.boxes[0].icon);
    EXPECT_EQ((HWND)NULL, boxes.boxes[0].owner);
}

// An entry id that cannot reach the program: unreadable, answered as a
// number, or too long for any command line. The check says so, starts
// nothing, and lets the item open.
TEST_F(MessageCheck, AnEntryIdThatCannotReachTheProgramIsReportedAndTheItemOpens)
{
    const struct
    {
        const char* szWhat;
        std::vector<MessageProp> props;
        const char* szCode;
    } cases[] = {
        {"missing", {}, "8004010F"},
        {"a number", {MessageProp::Long(PROP_TAG(PT_LONG, PROP_ID(PR_ENTRYID)), 0x40)}, "80004005"},
        {"too long", {MessageProp::Bin(PR_ENTRYID, std::vector<BYTE>(17000, 0x42))}, "800700CE"},
    };
    StoreOrders(RecorderPath(), 0, 1, 0);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.szWhat);
        m_message.m_props = c.props;
        m_message.SetSender(kSender);
        BoxAnswerer boxes;

        EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));

        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ(std::string("Error ") + c.szCode + " in Message Handling\nAn error occured while processing the "
                                                      "message.",
                  boxes.boxes[0].text);
        EXPECT_EQ("exclamation", boxes.boxes[0].icon);
        EXPECT_EQ(m_hwndHost, boxes.boxes[0].owner);
    }
    EXPECT_EQ("<nothing started>", Recorded(1000));
}

TEST_F(MessageCheck, CommandLineKeepsTheProgramTextVerbatim)
{
    // Quotes, arguments of its own and trailing blanks stay as stored; one
    // blank separates it from the arguments, and an empty entry id gives "".
    StoreOrders("\"" + RecorderPath() + "\" /import  ", 0, 0, 0);
    m_message.m_props.clear();
    m_message.SetSender(kSender);
    m_message.SetEntryId({});

    EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));
    EXPECT_EQ("\"" + RecorderPath() + "\" /import   \"MessageID\" \"\"", Recorded());

    // A path without a blank, and arguments: the same.
    ASSERT_EQ(std::string::npos, RecorderPath().find(' '));
    StoreOrders(RecorderPath() + " /import", 0, 0, 0);
    m_recording = PrepareRecording();
    EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));
    EXPECT_EQ(RecorderPath() + " /import \"MessageID\" \"\"", Recorded());
}

// A program text starts the one file it means, by its full path, in its
// own folder, with its arguments as stored, or nothing, and a box says why.
// Unquoted with a blank, it may mean two (C:\Program.exe planted) or none;
// a bare name is never the current folder's, nor a PATH entry's that is no
// full path; cmd.exe and a program's C runtime get only arguments they read
// as written; text the code page cannot hold is unreadable. Plants are
// copies of the recorder, or of run.bat, which records its path, whether
// cmd.exe skips the current folder, and its arguments; the client's current
// folder and PATH are the test's own.
TEST_F(MessageCheck, AProgramTextStartsOnlyTheOneFileItMeansWithItsArguments)
{
    const std::string tools = "C:\\Program Files\\Quorbit Tests\\";
    const std::string own = "C:\\QuorbitTests\\";
    PlantedFiles programs({tools + "recorder.exe", own + "imp.exe", own + "path\\qtool.exe", own + "cwd\\x.txt"},
                          RecorderPath());
    PlantedFiles batchFiles({own + "run.bat", own + "hello.bat"});
    auto writeScript = [](const std::string& path, const std::string& line) {
        HANDLE hScript = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD cb = 0;
        WriteFile(hScript, line.data(), (DWORD)line.size(), &cb, NULL);
        CloseHandle(hScript);
    };
    writeScript(own + "run.bat", "@\"" + RecorderPath() + "\" \"%~f0\" \"%NoDefaultCurrentDirectoryInExePath%\" %*\r\n");
    // Its helper by bare name: cmd.exe looks in its current folder first.
    writeScript(own + "hello.bat", "@hello.exe %*\r\n");
    ClientFolders client(own + "cwd", "C:;" + own + "path");
    char szSystem[MAX_PATH];
    GetSystemDirectoryA(szSystem, MAX_PATH);
    const std::string cmd = std::string(szSystem) + "\\cmd.exe";
    const std::string batch = "\"" + cmd + "\" /d /v:off /c \"\"";
    auto ran = [&](const std::string& script) { return "\"" + RecorderPath() + "\" \"" + script + "\" \"1\""; };
    const std::string relative = "is not a full path, so Windows would look for the program in the mail client's "
                                 "current folder.";
    const std::string tooLong = "Error 800700CE in Message Handling\nAn error occured while processing the message.";
    const wchar_t* const jsmith = L"/O=CORP/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=JSMITH";
    const char* const jsmithA = "/O=CORP/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=JSMITH";
    const struct
    {
        std::vector<std::string> planted;  // for the row alone
        std::string text;                  // the program text, in UTF-8, stored in UTF-16
        std::string line;                  // the command line before the message's arguments, when one is built
        std::string file;                  // the file that starts; none when ""
        std::string box = "";              // what the box says, when nothing starts (a part of it)
        std::string recorded = "";         // what the program got, when not the command line
        HRESULT hr = E_ABORT;
        int cchLine = 0;                   // the line's length with its terminator, made so by the entry id
        const wchar_t* sender = L"orders@example.com";  // the message's address; NULL: in 8-bit text alone
        std::string stored = kSender;                   // the handler's address, in UTF-8
        std::string narrow = kSender;                   // that 8-bit text, in UTF-8
        Exchange ex = SMTP_SENDER;                      // the sender's type, and where its SMTP address is
        std::wstring smtp = L"";
        int opens = 0;                                  // address-book entries the check opens
        DWORD type = REG_SZ;                            // of the handler's two texts
        std::string reads = "";                         // the program's first argument, when a row asks
    } rows[] = {
        {{}, tools + "recorder.exe /quiet", "\"" + tools + "recorder.exe\" /quiet", tools + "recorder.exe"},
        {{}, tools + "recorder.exe\t/quiet", "\"" + tools + "recorder.exe\"\t/quiet", tools + "recorder.exe"},
        {{}, own + "imp C:\\data\\in.txt", own + "imp C:\\data\\in.txt", own + "imp.exe"},
        {{}, own + "imp.exe .", own + "imp.exe .", own + "imp.exe"},
        {{}, own + "imp.exe C:\\R&D 50%OS%", own + "imp.exe C:\\R&D 50%OS%", own + "imp.exe"},
        {{own + "imp\\x.txt"}, own + "imp -x", own + "imp -x", own + "imp.exe"},
        {{}, " " + own + "imp.exe -x", "", "", ", begins with a blank."},
        // Backslashes before a quote: the C runtime reads half of an even
        // run, and takes the quote after an odd one as text.
        {{}, own + "imp.exe \"C:\\Out Dir\\\"", "", "", "double the backslashes before the double quote"},
        {{}, own + "imp.exe \"C:\\Out Dir\\\\\"", own + "imp.exe \"C:\\Out Dir\\\\\"", own + "imp.exe", "", "", E_ABORT, 0,
         L"orders@example.com", kSender, kSender, SMTP_SENDER, L"", 0, REG_SZ, "C:\\Out Dir\\"},
        {{"C:\\Program.exe"}, tools + "recorder.exe /quiet", "", "", "so it may name more than one program."},
        {{"C:\\Program.exe"}, tools + "missing.exe /quiet", "", "", "File not found."},
        {{"C:\\Program.exe"}, "C:/Program Files/Quorbit Tests/missing.exe /quiet", "", "", "File not found."},
        {{"C:\\Program.exe"}, "C:\\Program Files/Quorbit Tests/missing.exe /quiet", "", "", "File not found."},
        {{"C:\\Program.exe"}, "C:\\Program Files -q", "", "", "File not found."},
        // Batch files: cmd.exe by its full path, the batch file's in quotes.
        {{}, own + "run.bat C:\\data\\in.txt", batch + own + "run.bat\" C:\\data\\in.txt", own + "run.bat", "",
         ran(own + "run.bat") + " C:\\data\\in.txt"},
        {{own + "R&D\\run.bat", own + "cwd\\D\\run.bat"}, own + "R&D\\run.bat", batch + own + "R&D\\run.bat\"",
         own + "R&D\\run.bat", "", ran(own + "R&D\\run.bat")},
        {{own + "a^b\\run.bat", own + "ab\\run.bat"}, own + "a^b\\run.bat", batch + own + "a^b\\run.bat\"",
         own + "a^b\\run.bat", "", ran(own + "a^b\\run.bat")},
        {{own + "cwd\\D\\in.txt.exe"}, own + "run.bat C:\\R&D\\in.txt", "", "", "hold \"&\" outside double quotes"},
        {{}, own + "run.bat 50%OS%^x a^^b", "", "", "hold \"%\", which cmd.exe would not pass on as text"},
        {{}, own + "run.bat a\nb", "", "", "hold a line break, which cmd.exe would not pass on as text"},
        {{own + "%OS%\\run.bat", own + "Windows_NT\\run.bat"}, own + "%OS%\\run.bat", "", "",
         "names the batch file " + own + "%OS%\\run.bat,"},
        {{own + "cwd\\hello.exe", own + "path\\hello.exe"}, own + "hello.bat", batch + own + "hello.bat\"",
         own + "hello.bat", "", "hello.exe"},
        // Names without a full path.
        {{own + "cwd\\qtool.exe"}, "qtool", "\"" + own + "path\\qtool.exe\"", own + "path\\qtool.exe"},
        {{own + "cwd\\qtool.exe", "C:\\qtool.exe"}, "qtool /x", "\"" + own + "path\\qtool.exe\" /x",
         own + "path\\qtool.exe"},
        {{own + "cwd\\Scripts\\run.bat"}, "Scripts\\run.bat a", "", "", relative},
        {{own + "cwd\\Tools\\imp.exe"}, "C:Tools\\imp.exe /q", "", "", relative},
        {{own + "cwd\\%ProgramFiles%\\T\\imp.exe"}, "%ProgramFiles%\\T\\imp.exe /q", "", "", relative},
        // Quotes.
        {{}, "\"" + tools + "recorder.exe", "", "", "do not pair"},
        {{"C:\\Program Files\\Quorbit Tests.exe"}, "\"C:\\Program Files\\Quorbit Tests\"\\recorder.exe /q", "", "",
         "text follows the closing double quote without a blank"},
        // Text the code page cannot hold, best fit would make another.
        {{own + "Lab\\imp.exe"}, own + "\xC5\x81" "ab\\imp.exe /q", "", "", "has no program to start"},
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, L"\uFF4Frders@example.com"},
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, L"orders@example.com", "orders@examp\xC5\x82" "e.com"},
        {{}, RecorderPath(), RecorderPath(), RecorderPath(), "", "", E_ABORT, 0, NULL},
        // Senders in 8-bit text alone, widened with the code page: the same
        // text up to letter case, and nothing a locale would take for it
        // (the search's own table has the other folds).
        {{}, RecorderPath(), RecorderPath(), RecorderPath(), "", "", E_ABORT, 0, NULL, "J\xC3\x9CRG@example.com",
         "j\xC3\xBCrg@example.com"},
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, NULL, "invoices@strasse-partner.de",
         "invoices@stra\xC3\x9F" "e-partner.de"},
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, L"", ""},
        // Exchange senders, by their directory address or SMTP address; the
        // address book only when the directory address matched no handler
        // address there was.
        {{}, RecorderPath(), RecorderPath(), RecorderPath(), "", "", E_ABORT, 0, jsmith, "jsmith@example.com", "",
         SMTP_ON_MESSAGE, L"JSmith@Example.com"},
        {{}, RecorderPath(), RecorderPath(), RecorderPath(), "", "", E_ABORT, 0, jsmith, "jsmith@example.com", "",
         SMTP_IN_BOOK, L"jsmith@example.com", 1},
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, jsmith, "jsmith@example.com", "", SMTP_NOWHERE, L"", 1},
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, L"/O=CORP/OU=EXCHANGE ADMINISTRATIVE GROUP "
         "(FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=JDOE", "jsmith@example.com", "", SMTP_ON_MESSAGE, L"jdoe@example.com"},
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, jsmith, std::string(jsmithA).substr(0, 79), "",
         SMTP_IN_BOOK, L"jsmith@example.com", 1},
        {{}, RecorderPath(), RecorderPath(), RecorderPath(), "", "", E_ABORT, 0, L"/O=CORP/CN=ORDERS",
         "/o=corp/cn=orders", "", SMTP_IN_BOOK, L"jsmith@example.com"},
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, jsmith, "", "", SMTP_IN_BOOK, L"jsmith@example.com"},
        // Another type's SMTP address is not the sender's.
        {{}, RecorderPath(), "", "", "", "", S_FALSE, 0, L"someone@example.com", kSender, "", SMTP_TYPED,
         L"orders@example.com"},
        // Texts of the other type are the same texts, never expanded.
        {{own + "cwd\\%ProgramFiles%\\T\\imp.exe"}, "%ProgramFiles%\\T\\imp.exe /q", "", "", relative, "",
         E_ABORT, 0, L"orders@example.com", kSender, kSender, SMTP_SENDER, L"", 0, REG_EXPAND_SZ},
        // The line built against what CreateProcessA takes, terminator included.
        {{}, RecorderPath(), RecorderPath(), RecorderPath(), "", "", E_ABORT, 32767},
        {{}, RecorderPath(), RecorderPath(), "", tooLong, "", S_FALSE, 32768},
        {{}, tools + "recorder /quiet", "\"" + tools + "recorder.exe\" /quiet", "", tooLong, "", S_FALSE, 32768},
    };
    for (const auto& row : rows)
    {
        std::string text = row.text, line = row.line;
        bool fBatch = line.compare(0, batch.size(), batch) == 0;
        std::vector<BYTE> id = {0x00, 0x1F, 0xA0};
        if (row.cchLine != 0)
        {
            // " "MessageID" """, the terminator, and a blank more where the
            // digits, two a byte, cannot fill the line.
            size_t cchFixed = line.size() + 16 + fBatch;
            if ((row.cchLine - cchFixed) % 2 != 0)
            {
                text += " ";
                line += " ";
                cchFixed++;
            }
            id.assign((row.cchLine - cchFixed) / 2, 0xA5);
        }
        std::string hex;
        for (BYTE b : id)
            hex += "0123456789ABCDEF"[b >> 4], hex += "0123456789ABCDEF"[b & 15];
        std::string args = " \"MessageID\" \"" + hex + "\"";
        SCOPED_TRACE(text + " | " + row.stored + " | " + row.narrow);
        std::vector<std::string> recorders, scripts;
        for (const std::string& path : row.planted)
            (path.size() > 4 && path.substr(path.size() - 4) == ".bat" ? scripts : recorders).push_back(path);
        PlantedFiles planted(recorders, RecorderPath()), plantedScripts(scripts, own + "run.bat");
        StoreOrders("", 0, 1, 1);
        WriteUnicode(TEST_ROOT_KEY "\\Orders", "FilePath", text, row.type);
        WriteUnicode(TEST_ROOT_KEY "\\Orders", "SenderEmailAddress", row.stored, row.type);
        m_message.m_props.clear();
        if (row.sender != NULL)
            m_message.SetSender(std::wstring(row.sender));
        else
            m_message.m_props.push_back(MessageProp::Str(PR_SENDER_EMAIL_ADDRESS_A, InCodePage(row.narrow)));
        SetSmtpAddress(row.ex, row.smtp);
        m_message.SetEntryId(id);
        m_recording = PrepareRecording();
        PlayedSystem::launches.clear();
        BoxAnswerer boxes;
        EXPECT_EQ(row.hr, CheckMessage(&m_callback));
        // One box: what refused the text, or the Debug box, which shows the
        // command line the file starts with and names the files and the
        // folder by full paths. Every row runs whatever an earlier one
        // showed.
        std::string folder = row.file.substr(0, row.file.rfind('\\'));
        std::string files = "\n\nProgram: " + (fBatch ? cmd + "\nBatch file: " : "") + row.file + "\nStart in: " + folder;
        std::string shown = row.file.empty() ? row.box : (line + args + (fBatch ? "\"" : "") + files).substr(0, 2047);
        EXPECT_EQ(shown.empty() ? 0u : 1u, boxes.boxes.size());
        for (const BoxSeen& box : boxes.boxes)
        {
            if (row.file.empty())
                EXPECT_NE(std::string::npos, box.text.find(shown)) << box.text;
            else
                EXPECT_EQ(shown, box.text);
            EXPECT_EQ(row.file.empty() && row.hr == E_ABORT ? "information" : "exclamation", box.icon);
            EXPECT_EQ(row.hr == S_FALSE ? m_hwndHost : NULL, box.owner);
        }
        // Its own console, no handle of the client's, the platform's window.
        std::string launch = std::string("flags ") + (fBatch ? "00000430" : "00000030") +
                             ", no handles inherited, startup 68 bytes" + (fBatch ? ", environment given" : "");
        EXPECT_EQ(row.file.empty() ? std::vector<std::string>{} : std::vector<std::string>{launch},
                  PlayedSystem::launches);
        ProgramWorld world;
        EXPECT_EQ(row.file.empty() ? "<nothing started>" : (row.recorded.empty() ? line : row.recorded) + args,
                  Recorded(row.file.empty() ? 1000 : 15000, &world));
        EXPECT_EQ(row.opens, m_item.addrBook.m_cOpenEntry);
        EXPECT_TRUE(m_item.addrBook.EntriesReleased());
        if (row.file.empty())
            continue;
        // Its folder, its name, and the message's two arguments last.
        EXPECT_EQ(folder, world.folder);
        world.args.resize(std::max<size_t>(world.args.size(), 3));
        EXPECT_EQ("MessageID", world.args[world.args.size() - 2]);
        EXPECT_EQ(hex, world.args.back());
        EXPECT_EQ(row.reads.empty() ? world.args[1] : row.reads, world.args[1]);
    }
}

// What a check tells its caller it matched.
HANDLER loaded;
void KeepLoaded(const HANDLER* lpHandler)
{
    loaded = *lpHandler;
}

// A handler starts what its own key says or nothing: values it lacks come
// from no other handler.
TEST_F(MessageCheck, AHandlersMissingValuesNeverComeFromAnotherHandler)
{
    StoreOrders(RecorderPath(), 0, 1, 1);
    WriteString(TEST_ROOT_KEY "\\Bare", "SenderEmailAddress", "bare@example.com");
    StoreHandler("Overlong", "overlong@example.com", std::string(128, 'p'), 0, 1, 0);
    BoxAnswerer boxes;
    ZeroMemory(&loaded, sizeof(loaded));

    // Orders loads its program, Debug and PreventOpen first.
    EXPECT_EQ(E_ABORT, CheckMessage(&m_callback, KeepLoaded));
    EXPECT_EQ(RecorderPath() + " \"MessageID\" \"001FA0\"", Recorded());
    m_recording = PrepareRecording();

    const struct
    {
        const char* sender;
        HRESULT hr;
    } cases[] = {{"bare@example.com", S_FALSE}, {"overlong@example.com", E_ABORT}};
    for (const auto& c : cases)
    {
        m_message.m_props.clear();
        m_message.SetSender(c.sender);
        m_message.SetEntryId({0x00});
        EXPECT_EQ(c.hr, CheckMessage(&m_callback, KeepLoaded)) << c.sender;
    }
    ASSERT_EQ(3u, boxes.boxes.size()) << "one Debug box, then one box each, no Debug box";
    for (int i = 1; i <= 2; i++)
    {
        EXPECT_EQ("The message handler \"" + std::string(i == 1 ? "Bare" : "Overlong") +
                      "\" has no program to start: its program path " +
                      (i == 1 ? "is missing." : "is longer than 127 characters."),
                  boxes.boxes[i].text);
        EXPECT_EQ("information", boxes.boxes[i].icon);
        EXPECT_EQ("Message Handling", boxes.boxes[i].caption);
    }
    EXPECT_EQ("<nothing started>", Recorded(1000));
    // The caller learns the handler checked last, for the page's next Add.
    EXPECT_STREQ("overlong@example.com", loaded.szSenderEmailAddress);
    EXPECT_STREQ("", loaded.szFilePath);
}

TEST_F(MessageCheck, LongEntryIdentifiersReachTheProgramWhole)
{
    // Real stores' entry ids run to 150 bytes; this one is far longer than
    // any fixed command-line buffer would hold.
    std::vector<BYTE> id(1000);
    std::string hex;
    for (size_t i = 0; i < id.size(); i++)
    {
        id[i] = (BYTE)(0xA5 ^ i);
        char sz[3];
        wsprintfA(sz, "%02X", id[i]);
        hex += sz;
    }
    StoreOrders(RecorderPath(), 0, 0, 0);
    m_message.m_props.clear();
    m_message.SetSender(kSender);
    m_message.SetEntryId(id);

    EXPECT_EQ(S_FALSE, CheckMessage(&m_callback));
    EXPECT_EQ(RecorderPath() + " \"MessageID\" \"" + hex + "\"", Recorded());
}

TEST_F(MessageCheck, ASecondCheckWhileTheFirstAsksIsRefused)
{
    StoreOrders(RecorderPath(), 1, 1, 0);
    OpenedItem nested(kSender, {0x01});
    HRESULT hrNested = E_UNEXPECTED;

    BoxAnswerer boxes;
    boxes.Answer(IDYES);
    boxes.WhileShown([&]() { hrNested = CheckMessage(&nested.callback); });

    EXPECT_EQ(E_ABORT, CheckMessage(&m_callback));

    EXPECT_EQ(S_FALSE, hrNested);
    EXPECT_EQ(0, nested.callback.m_cGetObject);
    EXPECT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(RecorderPath() + " \"MessageID\" \"001FA0\"", Recorded());
}

// The error report's text, chosen by which arguments are given.
TEST(ErrorMessageBox, ComposesItsTextFromTheArgumentsGiven)
{
    struct
    {
        long hr;
        const char* szFunction;
        const char* szMessage;
        std::string expected;
    } cases[] = {
        {E_FAIL, "Message Handling", NULL, "An unknown error occured."},
        {0, NULL, NULL, "An unknown error occured."},
        {0, NULL, "Just this.", "Just this."},
        {0, "Message Handling", "The handler must have a name.",
         "Error 00000000 in Message Handling\nThe handler must have a name."},
        {1, "Message Handling", "One.", "Error 00000001 in Message Handling\nOne."},
        {(long)0x8004010F, NULL, "No operation.", "Error 8004010F\nNo operation."},
    };
    for (const auto& c : cases)
    {
        BoxAnswerer boxes;
        ErrorMessageBox(NULL, c.hr, c.szFunction, c.szMessage);
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ(c.expected, boxes.boxes[0].text);
        EXPECT_EQ("Message Handling", boxes.boxes[0].caption);
        EXPECT_EQ("exclamation", boxes.boxes[0].icon);
        EXPECT_EQ("OK", boxes.boxes[0].buttons);
    }
}

TEST(ErrorMessageBox, CutsAnOverlongReportAtItsBuffer)
{
    std::string message(1000, 'm');
    std::string function(300, 'f');
    BoxAnswerer boxes;

    ErrorMessageBox(NULL, E_FAIL, function.c_str(), message.c_str());

    ASSERT_EQ(1u, boxes.boxes.size());
    std::string expected = ("Error 80004005 in " + function).substr(0, 255);
    EXPECT_EQ(expected, boxes.boxes[0].text);
}

}  // namespace
