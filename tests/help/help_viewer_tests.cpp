// WinHelpA with HELP_CONTENTS on Quorbit.HLP by its full path, as the page
// and the dialog call it on Windows XP, opens the platform's viewer at the
// contents topic; its Index lists the keywords.
#include <gtest/gtest.h>
#include "help_reader.h"
#include "help_source.h"
#include "help_source_text.h"
#include "help_viewer.h"

#include <prsht.h>

namespace {

class HelpViewer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ContentsOfBuiltFile(title, firstText));
        owner = CreateWindowA("STATIC", "Help owner", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        ASSERT_NE((HWND)NULL, owner);
    }
    void TearDown() override
    {
        EXPECT_TRUE(CloseViewer(owner));
        DestroyWindow(owner);
    }
    std::string title, firstText, file = BuiltHelpPath();
    HWND owner = NULL;
};

TEST_F(HelpViewer, ContentsCommandShowsTheContentsTopic)
{
    ForeignBoxWatch boxes;
    EXPECT_TRUE(WinHelpA(owner, file.c_str(), HELP_CONTENTS, 0));
    ViewerShown shown = WaitForViewer(firstText, 20000);

    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0];
    ASSERT_NE((HWND)NULL, shown.hwnd) << "no viewer window";
    // The topic pane starts with the contents topic's title, then its text.
    EXPECT_EQ(0u, shown.text.find(title)) << shown.text;
    EXPECT_NE(std::string::npos, shown.text.find(firstText)) << shown.text;
    EXPECT_NE(std::string::npos, shown.text.find("What a message handler is")) << shown.text;
}

TEST_F(HelpViewer, ViewerQuitsWhenAsked)
{
    ForeignBoxWatch boxes;
    ASSERT_TRUE(WinHelpA(owner, file.c_str(), HELP_CONTENTS, 0));
    ViewerShown shown = WaitForViewer(firstText, 20000);
    ASSERT_NE((HWND)NULL, shown.hwnd);
    EXPECT_TRUE(WinHelpA(owner, file.c_str(), HELP_QUIT, 0));
    for (int i = 0; i < 50 && IsWindow(shown.hwnd); i++)
        Sleep(100);
    EXPECT_FALSE(IsWindow(shown.hwnd));
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0];
}

// The Index lists the file's keywords in its order, and a keyword of one
// topic opens that topic (Wine's Index follows no keyword of several).
TEST_F(HelpViewer, IndexListsTheKeywordsAndOpensATopic)
{
    ReadHelp help;
    ASSERT_TRUE(ReadBuiltFile(help));
    std::vector<std::string> keywords;
    size_t chosen = help.keywords.size();
    for (const ReadKeyword& k : help.keywords)
    {
        if (k.offsets.size() == 1 && k.offsets[0] != help.contentsOffset)
            chosen = keywords.size();
        keywords.push_back(k.text);
    }
    ASSERT_LT(chosen, keywords.size());
    const ReadTopic* topic = help.AtOffset(help.keywords[chosen].offsets[0]);

    ForeignBoxWatch boxes;
    ASSERT_TRUE(WinHelpA(owner, file.c_str(), HELP_CONTENTS, 0));
    IndexShown index = OpenIndex(WaitForViewer(firstText, 20000), 20000);
    ASSERT_NE((HWND)NULL, index.sheet) << "no Index";
    EXPECT_EQ(keywords, index.keywords);
    SendMessageA(index.list, LB_SETCURSEL, chosen, 0);
    PostMessageA(index.sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ViewerShown shown = WaitForViewer(topic->paragraphs[1].text.substr(0, 40), 20000);
    EXPECT_EQ(0u, shown.text.find(topic->title)) << keywords[chosen] << ": " << shown.text;
    EXPECT_FALSE(IsWindow(index.sheet));
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0];
}

// Each topic, looked up by its context name as a jump looks it up, opens
// in the viewer with its own title first.
TEST_F(HelpViewer, EveryContextOpensItsTopic)
{
    HelpSource source;
    std::string error;
    ASSERT_TRUE(ParseHelpSource(HelpSourceText(), source, error)) << error;
    ASSERT_GE(source.topics.size(), 6u);

    ForeignBoxWatch boxes;
    for (const HelpTopic& topic : source.topics)
    {
        std::string cmd = "winhlp32.exe -i " + topic.context + " " + file;
        STARTUPINFOA si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) << cmd;
        ViewerShown shown = WaitForViewer(topic.title, 20000);
        if (shown.hwnd)
            PostMessageA(shown.hwnd, WM_CLOSE, 0, 0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 10000)) << topic.context;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        EXPECT_EQ(0u, shown.text.find(topic.title)) << topic.context << ": " << shown.text;
    }
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0];
}

}
