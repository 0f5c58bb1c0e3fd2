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

bool Has(const std::string& output, const char* sz)
{
    return output.find(sz) != std::string::npos;
}

class Exthost : public ::testing::Test
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

TEST_F(Exthost, OpenWithYesRunsTheHandlerAndKeepsTheItemClosed)
{
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(RunExthost("open --from orders@example.com --entryid 001FA0 --answer yes", &output, &dwExit));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_TRUE(Has(output, "Install(context 7, build version 0x000D0000) -> S_OK")) << output;
    EXPECT_TRUE(Has(output, "    caption Message Handling\n"
                            "    text    Do you want to process this document?\n"
                            "    buttons Yes|No\n"
                            "    icon    none\n"
                            "    owner   the client's window\n"
                            "    answer  Yes\n"))
        << output;
    EXPECT_TRUE(Has(output, "OnOpen -> E_ABORT\n  OnOpenComplete(EEME_FAILED) -> S_FALSE\n"
                            "  the client does NOT open the item: E_ABORT stopped it\n"))
        << output;
    EXPECT_FALSE(Has(output, "OnRead")) << output;
    EXPECT_TRUE(Has(output, "release IOutlookExtItemEvents -> 0\n"
                            "  release IExchExtMessageEvents -> 0\n"
                            "  release IExchExt -> 0\n"
                            "  every reference the client handed out came back\n"))
        << output;
    std::string cmdLine;
    ASSERT_TRUE(WaitForRecording(m_recording, &cmdLine));
    EXPECT_EQ(cmdLine, "\"" + RecorderPath() + "\" \"MessageID\" \"001FA0\"");
}

TEST_F(Exthost, OpenWithNoOpensTheItem)
{
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(RunExthost("open --from orders@example.com --entryid 001FA0 --answer no", &output, &dwExit));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_TRUE(Has(output, "    answer  No\n")) << output;
    EXPECT_TRUE(Has(output, "OnOpen -> S_FALSE\n  OnOpenComplete(0) -> S_FALSE\n  the client opens the item\n"
                            "  OnRead -> S_FALSE\n"))
        << output;
    std::string cmdLine;
    EXPECT_FALSE(WaitForRecording(m_recording, &cmdLine, 1000)) << cmdLine;
}

// A new message, a reply or a forward has no sender yet: it opens, in every
// compose context the extension is loaded in.
TEST_F(Exthost, NewMessagesOpen)
{
    // No --context: a new message, context 6.
    for (const char* szContext : {"", "8", "11"})
    {
        std::string args = szContext[0] ? std::string("--context ") + szContext + " " : "";
        std::string install = std::string("Install(context ") + (szContext[0] ? szContext : "6") + ", ";
        std::string output;
        DWORD dwExit = 99;
        ASSERT_TRUE(RunExthost("open --compose " + args + "--answer yes", &output, &dwExit));
        EXPECT_EQ(dwExit, 0u) << output;
        EXPECT_TRUE(Has(output, (install + "build version 0x000D0000) -> S_OK").c_str())) << output;
        EXPECT_TRUE(Has(output, "OnOpen -> S_FALSE\n  OnOpenComplete(0) -> S_FALSE\n  the client opens the item\n"))
            << output;
        EXPECT_FALSE(Has(output, "message box")) << output;
    }
}

// The client's rule for every event method: an error stops the action.
TEST_F(Exthost, AnErrorFromOnOpenKeepsTheItemClosed)
{
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(RunExthost("open --compose", &output, &dwExit, BinDir() + "\\greedy_extension.dll"));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_TRUE(Has(output, "OnOpen -> E_FAIL\n  OnOpenComplete(EEME_FAILED) -> S_FALSE\n"
                            "  the client does NOT open the item: E_FAIL stopped it\n"))
        << output;
    EXPECT_FALSE(Has(output, "OnClose")) << output;
}

TEST_F(Exthost, ContextOutsideTheMapLoadsNothing)
{
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(RunExthost("open --from orders@example.com --entryid 00 --context 5 --answer yes", &output, &dwExit));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_TRUE(Has(output, "context 5 is not in the context map 00000111111100")) << output;
    EXPECT_FALSE(Has(output, "Install")) << output;
    EXPECT_TRUE(Has(output, "the client opens the item")) << output;
}

TEST_F(Exthost, OtherBuildVersionIsDeclined)
{
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(RunExthost("--build-version 000C0000 open --from orders@example.com --entryid 00 --answer yes",
                           &output, &dwExit));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_TRUE(Has(output, "Install(context 7, build version 0x000C0000) -> S_FALSE")) << output;
    EXPECT_FALSE(Has(output, "OnOpen")) << output;
    EXPECT_TRUE(Has(output, "the client opens the item")) << output;
    EXPECT_TRUE(Has(output, "release IExchExt -> 0")) << output;
}

TEST_F(Exthost, OptionsShowsTheClientsPageAndTheExtensionsPage)
{
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(RunExthost("options --close-after 700", &output, &dwExit));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_TRUE(Has(output, "GetMaxPageCount(EEPS_TOOLSOPTIONS) -> 1\n  GetPages -> S_OK, 1 page(s)\n")) << output;
    EXPECT_TRUE(Has(output, "  tab 1: \"General\"\n  tab 2: \"Message Handlers\"\n")) << output;
    EXPECT_TRUE(Has(output, "release IExchExtPropertySheets -> 0\n  release IExchExt -> 0\n")) << output;
}

TEST_F(Exthost, SurvivesAnExtensionAskingForMorePagesThanADialogHolds)
{
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(RunExthost("options --close-after 700", &output, &dwExit, BinDir() + "\\greedy_extension.dll"));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_TRUE(Has(output, "GetMaxPageCount(EEPS_TOOLSOPTIONS) -> 4294967295\n"
                            "  more pages than an options dialog can hold: none of them is asked for\n"))
        << output;
    EXPECT_TRUE(Has(output, "  tab 1: \"General\"\n  the options dialog closed")) << output;
}

}  // namespace
