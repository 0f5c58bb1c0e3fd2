// exthost, our stand-in for the mail client: how it reads a registration
// line, and what it prints and does when run against the built DLL.
#include "extension_loader.h"
#include "quorbit_dll.h"
#include "recorder_client.h"
#include "test_registry.h"
#include <gtest/gtest.h>

namespace {

struct LineCase
{
    const char* szSpec;
    HRESULT hr;
    const char* szPath;
    WORD wOrdinal;
    const char* szMap;
};

const LineCase lineCases[] = {
    {"4.0;C:\\Q\\Quorbit.dll;1;00000111111100", S_OK, "C:\\Q\\Quorbit.dll", 1, "00000111111100"},
    {"4.0;C:\\Q\\Quorbit.dll;1;0000011", S_OK, "C:\\Q\\Quorbit.dll", 1, "00000110000000"},
    {"4.0;C:\\Q\\Quorbit.dll;1", S_OK, "C:\\Q\\Quorbit.dll", 1, "00000000000000"},
    {"4.0;C:\\Q\\Quorbit.dll;7;11111111111111", S_OK, "C:\\Q\\Quorbit.dll", 7, "11111111111111"},
    {"C:\\Q\\Quorbit.dll", S_OK, "C:\\Q\\Quorbit.dll", 0, "00000111111100"},
    {"5.0;C:\\Q\\Quorbit.dll;1;00000111111100", E_INVALIDARG, "", 0, ""},
    {"4.0;;1;00000111111100", E_INVALIDARG, "", 0, ""},
    {"4.0;C:\\Q\\Quorbit.dll;x;00000111111100", E_INVALIDARG, "", 0, ""},
    {"4.0;C:\\Q\\Quorbit.dll;0;00000111111100", E_INVALIDARG, "", 0, ""},
    {"4.0;C:\\Q\\Quorbit.dll;1;00000211111100", E_INVALIDARG, "", 0, ""},
    {"", E_INVALIDARG, "", 0, ""},
};

class RegistrationLine : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(RegistrationLine, IsReadAsTheClientReadsIt)
{
    const LineCase& c = GetParam();
    LoadedExtension loaded;
    ASSERT_EQ(ParseRegistration(c.szSpec, DEFAULT_CONTEXT_MAP, &loaded), c.hr);
    if (c.hr != S_OK)
        return;
    EXPECT_STREQ(loaded.szPath, c.szPath);
    EXPECT_EQ(loaded.wOrdinal, c.wOrdinal);
    EXPECT_STREQ(loaded.szContextMap, c.szMap);
}

INSTANTIATE_TEST_SUITE_P(Lines, RegistrationLine, ::testing::ValuesIn(lineCases));

TEST(RegistrationLine, TheMapNamesContextsOneToFourteen)
{
    LoadedExtension loaded;
    ASSERT_EQ(ParseRegistration("4.0;Q.dll;1;00000111111100", DEFAULT_CONTEXT_MAP, &loaded), S_OK);
    for (ULONG ctx = 0; ctx <= 15; ctx++)
        EXPECT_EQ(ContextInMap(&loaded, ctx) != FALSE, ctx >= 6 && ctx <= 12) << ctx;
}

// Runs exthost with args against the DLL dll; its output and exit code.
bool RunExthost(const std::string& args, std::string* pOutput, DWORD* pdwExit, const std::string& dll = QuorbitPath())
{
    return RunCommand("\"" + BinDir() + "\\exthost.exe\" --dll \"" + dll + "\" " + args, "", pOutput, pdwExit);
}

// Whether the stored handler's program ran; not asked where the item
// never reaches the check.
enum HandlerRun
{
    NotAsked,
    Runs,
    DoesNotRun
};

// One run of exthost: what it is told, the extension it loads (ours unless
// named), what it prints and what it must not print. Each run exits with 0.
struct ExthostCase
{
    const char* szName;
    const char* szArgs;
    const char* szDll;
    std::vector<std::string> prints;
    std::vector<std::string> printsNot;
    HandlerRun run;
};

const ExthostCase exthostCases[] = {
    {"OpenWithYesRunsTheHandlerAndKeepsTheItemClosed",
     "open --from orders@example.com --entryid 001FA0 --answer yes", NULL,
     {"Install(context 7, build version 0x000D0000) -> S_OK",
      "    caption Message Handling\n"
      "    text    Do you want to process this document?\n"
      "    buttons Yes|No\n"
      "    icon    none\n"
      "    owner   the client's window\n"
      "    answer  Yes\n",
      "OnOpen -> E_ABORT\n  OnOpenComplete(EEME_FAILED) -> S_FALSE\n"
      "  the client does NOT open the item: E_ABORT stopped it\n",
      "release IOutlookExtItemEvents -> 0\n"
      "  release IExchExtMessageEvents -> 0\n"
      "  release IExchExt -> 0\n"
      "  every reference the client handed out came back\n"}, {"OnRead"}, Runs},
    // A colleague on the same Exchange server, by the SMTP address the
    // message keeps, or the one the address book answers.
    {"AnExchangeSenderRunsTheHandlerOfItsSmtpAddress",
     "open --from /O=CORP/CN=RECIPIENTS/CN=ORDERS --addrtype EX --smtp orders@example.com --entryid 001FA0 "
     "--answer yes", NULL,
     {"  the sender's address type is EX\n  the message keeps the sender's SMTP address orders@example.com\n",
      "OnOpen -> E_ABORT\n", "every reference the client handed out came back\n"}, {}, Runs},
    {"AnExchangeSenderRunsTheHandlerOfTheSmtpAddressItsEntryAnswers",
     "open --from \"/O=CORP/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=ORDERS\" "
     "--addrtype EX --book-smtp orders@example.com --entryid 001FA0 --answer yes", NULL,
     {"  the sender's address-book entry answers the SMTP address orders@example.com\n", "OnOpen -> E_ABORT\n",
      "every reference the client handed out came back\n"}, {}, Runs},
    {"OpenWithNoOpensTheItem", "open --from orders@example.com --entryid 001FA0 --answer no", NULL,
     {"    answer  No\n", "OnOpen -> S_FALSE\n  OnOpenComplete(0) -> S_FALSE\n  the client opens the item\n"
                        "  OnRead -> S_FALSE\n"}, {}, DoesNotRun},
    // A new message (no --context: context 6), a reply or a forward has no
    // sender yet: it opens, in every compose context the extension is
    // loaded in.
    {"NewMessageOpens", "open --compose --answer yes", NULL,
     {"Install(context 6, build version 0x000D0000) -> S_OK",
      "OnOpen -> S_FALSE\n  OnOpenComplete(0) -> S_FALSE\n  the client opens the item\n"}, {"message box"}, NotAsked},
    {"ReplyOpens", "open --compose --context 8 --answer yes", NULL,
     {"Install(context 8, build version 0x000D0000) -> S_OK",
      "OnOpen -> S_FALSE\n  OnOpenComplete(0) -> S_FALSE\n  the client opens the item\n"}, {"message box"}, NotAsked},
    {"ForwardOpens", "open --compose --context 11 --answer yes", NULL,
     {"Install(context 11, build version 0x000D0000) -> S_OK",
      "OnOpen -> S_FALSE\n  OnOpenComplete(0) -> S_FALSE\n  the client opens the item\n"}, {"message box"}, NotAsked},
    // The client's rule for every event method: an error stops the action.
    {"AnErrorFromOnOpenKeepsTheItemClosed", "open --compose", "greedy_extension.dll",
     {"OnOpen -> E_FAIL\n  OnOpenComplete(EEME_FAILED) -> S_FALSE\n"
      "  the client does NOT open the item: E_FAIL stopped it\n"}, {"OnClose"}, NotAsked},
    {"ContextOutsideTheMapLoadsNothing",
     "open --from orders@example.com --entryid 00 --context 5 --answer yes", NULL,
     {"context 5 is not in the context map 00000111111100", "the client opens the item"}, {"Install"}, NotAsked},
    {"OtherBuildVersionIsDeclined",
     "--build-version 000C0000 open --from orders@example.com --entryid 00 --answer yes", NULL,
     {"Install(context 7, build version 0x000C0000) -> S_FALSE", "the client opens the item",
      "release IExchExt -> 0"}, {"OnOpen"}, NotAsked},
    {"OptionsShowsTheClientsPageAndTheExtensionsPage", "options --close-after 700", NULL,
     {"GetMaxPageCount(EEPS_TOOLSOPTIONS) -> 1\n  GetPages -> S_OK, 1 page(s)\n",
      "  tab 1: \"General\"\n  tab 2: \"Message Handlers\"\n",
      "release IExchExtPropertySheets -> 0\n  release IExchExt -> 0\n"}, {}, NotAsked},
    {"SurvivesAnExtensionAskingForMorePagesThanADialogHolds",
     "options --close-after 700", "greedy_extension.dll",
     {"GetMaxPageCount(EEPS_TOOLSOPTIONS) -> 4294967295\n"
      "  more pages than an options dialog can hold: none of them is asked for\n",
      "  tab 1: \"General\"\n  the options dialog closed"}, {}, NotAsked},
};

void PrintTo(const ExthostCase& c, std::ostream* os)
{
    *os << c.szArgs;
}

class Exthost : public ::testing::TestWithParam<ExthostCase>
{
protected:
    void SetUp() override
    {
        ResetStore();
        StoreHandler("Orders", "orders@example.com", "\"" + RecorderPath() + "\"", 1, 1, 0);
        m_recording = PrepareRecording();
    }
    void TearDown() override
    {
        ResetStore();
    }
    std::string m_recording;
};

TEST_P(Exthost, PrintsWhatTheClientDoes)
{
    const ExthostCase& c = GetParam();
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(RunExthost(c.szArgs, &output, &dwExit, c.szDll ? BinDir() + "\\" + c.szDll : QuorbitPath()));
    EXPECT_EQ(dwExit, 0u) << output;
    for (const std::string& line : c.prints)
        EXPECT_NE(output.find(line), std::string::npos) << line << "\nin:\n" << output;
    for (const std::string& line : c.printsNot)
        EXPECT_EQ(output.find(line), std::string::npos) << line << "\nin:\n" << output;
    std::string cmdLine;
    if (c.run == Runs)
    {
        ASSERT_TRUE(WaitForRecording(m_recording, &cmdLine));
        EXPECT_EQ(cmdLine, "\"" + RecorderPath() + "\" \"MessageID\" \"001FA0\"");
    }
    else if (c.run == DoesNotRun)
    {
        EXPECT_FALSE(WaitForRecording(m_recording, &cmdLine, 1000)) << cmdLine;
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Exthost, ::testing::ValuesIn(exthostCases),
                         [](const ::testing::TestParamInfo<ExthostCase>& info) { return info.param.szName; });

}  // namespace
