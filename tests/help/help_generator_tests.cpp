// The generator: context hashes, compressed numbers, the markup's errors,
// files larger than one topic block and one keyword page, read back by the
// tests' reader, and the HTML Help project.
#include <gtest/gtest.h>
#include "byte_writer.h"
#include "context_hash.h"
#include "help_file.h"
#include "help_reader.h"
#include "help_source.h"
#include "html_help.h"

namespace {

TEST(ContextHash, MatchesTheViewersValues)
{
    EXPECT_EQ(0x25F4558Au, ContextHash("CONTENTS"));
    EXPECT_EQ(0x0EE9D73Au, ContextHash("second_topic"));
    EXPECT_EQ(0x0773D907u, ContextHash("third"));
    EXPECT_EQ(0xCC10AD9Fu, ContextHash("helpid_x"));
    EXPECT_EQ(ContextHash("contents"), ContextHash("CONTENTS"));
}

TEST(ContextHash, RefusesNamesItCannotHash)
{
    EXPECT_TRUE(IsValidContextName("a.Z_09"));
    for (const char* bad : {"", "a-b", "a b", "x!"})
        EXPECT_FALSE(IsValidContextName(bad)) << bad;
}

TEST(CompressedNumbers, ChangeSizeAtTheirLimits)
{
    Bytes b;
    ByteWriter w(b);
    w.CU16(127);
    w.CU16(128);
    EXPECT_EQ((Bytes{0xFE, 0x01, 0x01}), b);
    b.clear();
    w.CS16(63);
    w.CS16(64);
    w.CS16(-64);
    w.CS16(-65);
    EXPECT_EQ((Bytes{0xFE, 0x81, 0x80, 0x00, 0x7F, 0x7F}), b);
    b.clear();
    w.CS32(17);
    EXPECT_EQ((Bytes{0x22, 0x80}), b);
}

std::string ParseError(const std::string& text)
{
    HelpSource source;
    std::string error;
    EXPECT_FALSE(ParseHelpSource(text, source, error));
    return error;
}

TEST(HelpSourceMarkup, ReportsMistakesWithTheirLine)
{
    // A mistake inside a paragraph is reported on its own line.
    EXPECT_EQ("line 3: no topic {#nowhere}", ParseError("# A {#a}\nsee\n[b](#nowhere)\n"));
    EXPECT_EQ("line 4: unclosed **", ParseError("# A {#a}\n\n**bold** text\nthen **bold\nand more\n"));
    EXPECT_EQ("line 3: unclosed `", ParseError("# A {#a}\ntext\nthen `literal\n"));
    EXPECT_EQ("line 1: text before the first topic", ParseError("hello\n# A {#a}\n"));
    EXPECT_EQ("line 1: a topic is written # Title {#context}", ParseError("# A\n"));
    EXPECT_EQ("line 1: context names use only A-Z, a-z, 0-9, '.' and '_'", ParseError("# A {#a-b}\n"));
    const char* const notAscii[][2] = {{"# A {#a}\ncaf\xE9\n", "line 2, column 4: byte 0xE9"},
                                       {"# A {#a}\n  \tx\n", "line 2, column 3: a tab"},
                                       {"\xEF\xBB\xBF# A {#a}\n", "line 1, column 1: a byte-order mark (EF BB BF)"}};
    for (const auto& c : notAscii)
        EXPECT_EQ(c[1] + std::string(": only printable ASCII characters are allowed"), ParseError(c[0]));
    EXPECT_EQ("line 3: context NAME clashes with {#name} on line 1", ParseError("# A {#name}\n\n# B {#NAME}\n"));
    // Two different names can share a hash too.
    EXPECT_EQ("line 2: context zwvxewif clashes with {#yycqehbs} on line 1",
              ParseError("# A {#yycqehbs}\n# B {#zwvxewif}\n"));
    EXPECT_EQ("line 1: keywords outside a topic", ParseError("K: a\n# A {#a}\n"));
    EXPECT_EQ("line 3: keywords go right under the topic's heading", ParseError("# A {#a}\ntext\nK: a\n"));
    for (const char* empty : {"K:", "K: a;; b", "K: a;", "K:  ; a"})
        EXPECT_EQ("line 2: empty keyword", ParseError(std::string("# A {#a}\n") + empty + "\n")) << empty;
    EXPECT_EQ(0u, ParseError("# A {#a}\nK: a_b\n").find("line 2: keyword \"a_b\" may only use letters"));
}

// Each limit of the files, refused where the source gives it, with its
// line and name; what just fits builds and reads back.
TEST(HelpSourceMarkup, RefusesWhatTheFilesCannotHoldWithItsLine)
{
    std::string k(2034, 'k'), t(2036, 't');
    EXPECT_EQ("line 3: keyword \"" + k.substr(0, 40) + "...\" is 2034 bytes long, more than the 2033 an index page takes",
              ParseError("# A {#a}\nK: b\nK: c; " + k + "\n"));
    EXPECT_EQ("line 2: topic title \"" + t.substr(0, 40) + "...\" is 2036 bytes long, more than the 2035 a title page takes",
              ParseError("# A {#a}\n# " + t + " {#b}\n"));
    EXPECT_EQ(0u, ParseError("# A {#a}\n\nshort\n\n" + std::string(32765, 'x') + "\n").find("line 5: paragraph too long"));

    HelpSource source;
    std::string error;
    Bytes file;
    ASSERT_TRUE(ParseHelpSource("# " + t.substr(1) + " {#a}\nK: " + k.substr(1) + "\n" + std::string(32764, 'x') + "\n",
                                source, error))
        << error;
    ASSERT_TRUE(BuildHelpFile(source, file, error)) << error;
    ReadHelp help;
    ASSERT_EQ("", ReadHelpFile(file, help));
    EXPECT_EQ(t.substr(1), help.topics.at(0).title);
    EXPECT_EQ(k.substr(1), help.keywords.at(0).text);
    EXPECT_EQ(32764u, help.topics[0].paragraphs.at(1).text.size());
}

// A '[' is plain text unless it starts [text](#context), whose text runs to
// the first ']'.
TEST(HelpSourceMarkup, BracketsOutsideLinksArePlainText)
{
    HelpSource source;
    std::string error;
    ASSERT_TRUE(ParseHelpSource("# A {#a}\nPress [Tab] to move, then see [the other topic](#b).\n\n"
                                "Press [Tab] to move. [x]y](#b) [ [z](#b)\n# B {#b}\n",
                                source, error))
        << error;
    std::string runs;
    for (const HelpParagraph& para : source.topics[0].paragraphs)
        for (const HelpRun& run : para.runs)
            runs += (run.kind == HelpRun::Jump ? "<" + run.text + "|" + run.target + ">" : run.text) + "/";
    EXPECT_EQ("A/Press [Tab] to move, then see /<the other topic|b>/./Press [Tab] to move. [x]y](#b) [ /<z|b>/", runs);
    EXPECT_EQ("line 3: a link is written [text](#context)", ParseError("# A {#a}\ntext\nsee [b](#a\n"));
}

// The caption goes intact into the WinHelp file and the HTML Help project,
// and a '"', which the project's [WINDOWS] line cannot quote, is refused.
TEST(HelpSourceMarkup, CaptionReachesBothFilesIntact)
{
    EXPECT_EQ("line 2: the caption may not hold a \": the [WINDOWS] line of the HTML Help project cannot quote it",
              ParseError("# A {#a}\n.title Say \"hi\"\n"));
    HelpSource source;
    std::string error;
    Bytes file;
    ASSERT_TRUE(ParseHelpSource(".title R&D, <Tools> [1]; 'x'\n# A {#a}\n", source, error)) << error;
    ASSERT_TRUE(BuildHelpFile(source, file, error)) << error;
    ReadHelp help;
    ASSERT_EQ("", ReadHelpFile(file, help));
    EXPECT_EQ("R&D, <Tools> [1]; 'x'", help.title);
    TextFiles files;
    BuildHtmlHelp(source, "Q", files);
    for (const char* line : {"\r\nTitle=R&D, <Tools> [1]; 'x'\r\n", "\r\nmain=\"R&D, <Tools> [1]; 'x'\",\"Q.hhc\","})
        EXPECT_NE(std::string::npos, files["Q.hhp"].find(line)) << line;
}

TEST(HelpSourceMarkup, ReadsTopicsParagraphsAndRuns)
{
    HelpSource source;
    std::string error;
    ASSERT_TRUE(ParseHelpSource(".title T\n# One {#one}\nplain **bold** `lit` [go](#two)\nmore\n\n"
                                "## Head\n- item\n  goes on\n\n    code  line\n# Two {#two}\n",
                                source, error))
        << error;
    ASSERT_EQ(2u, source.topics.size());
    const HelpTopic& one = source.topics[0];
    ASSERT_EQ(5u, one.paragraphs.size());
    EXPECT_EQ(HelpParagraph::Title, one.paragraphs[0].style);
    const std::vector<HelpRun>& runs = one.paragraphs[1].runs;
    ASSERT_EQ(7u, runs.size());
    EXPECT_EQ(HelpRun::Bold, runs[1].kind);
    EXPECT_EQ(HelpRun::Literal, runs[3].kind);
    EXPECT_EQ(HelpRun::Jump, runs[5].kind);
    EXPECT_EQ("two", runs[5].target);
    EXPECT_EQ(" more", runs[6].text);
    EXPECT_EQ("item goes on", one.paragraphs[3].runs[0].text);
    EXPECT_EQ("code  line", one.paragraphs[4].runs[0].text);
}

// Each topic a page with its text, emphasis and jumps; the contents in
// the contents topic's order, then the topics it does not name; the index
// with each keyword once, leading to all its topics.
TEST(HtmlHelpBuild, PagesContentsIndexAndProject)
{
    HelpSource source;
    std::string error;
    ASSERT_TRUE(ParseHelpSource(".title T & Co\n# Start {#CONTENTS}\nK: Shared; R&D \"x\"\nSee [two](#two) **now** `a<b>`\n"
                                "- item\n- [one](#one)\n\n    x\n    y\n# One {#one}\nK: shared\nText.\n# Two {#two}\n"
                                "# Three {#three}\n",
                                source, error))
        << error;
    TextFiles files;
    BuildHtmlHelp(source, "Q", files);
    EXPECT_EQ(7u, files.size());
    for (const char* html : {"charset=windows-1252\">", "<title>Start</title>", "<h1>Start</h1>\r\n",
                             "<p>See <a href=\"two.htm\">two</a> <b>now</b> <code>a&lt;b&gt;</code></p>",
                             "<ul>\r\n<li>item</li>\r\n<li><a href=\"one.htm\">one</a></li>\r\n</ul>",
                             "<pre>x\r\ny</pre>\r\n</body>"})
        EXPECT_NE(std::string::npos, files["CONTENTS.htm"].find(html)) << html;
    EXPECT_NE(std::string::npos, files["one.htm"].find("<h1>One</h1>\r\n<p>Text.</p>"));

    EXPECT_EQ((std::vector<SitemapEntry>{{{"Name", "Start"}, {"Local", "CONTENTS.htm"}},
                                         {{"Name", "Two"}, {"Local", "two.htm"}},
                                         {{"Name", "One"}, {"Local", "one.htm"}},
                                         {{"Name", "Three"}, {"Local", "three.htm"}}}),
              ReadSitemap(files["Q.hhc"]));
    EXPECT_EQ((std::vector<SitemapEntry>{{{"Name", "R&D \"x\""}, {"Local", "CONTENTS.htm"}},
                                         {{"Name", "Shared"}, {"Name", "Start"}, {"Local", "CONTENTS.htm"},
                                          {"Name", "One"}, {"Local", "one.htm"}}}),
              ReadSitemap(files["Q.hhk"]));

    for (const char* line : {"Compiled file=Q.chm\r\n", "Contents file=Q.hhc\r\n", "Index file=Q.hhk\r\n",
                             "Default topic=CONTENTS.htm\r\n", "Title=T & Co\r\n",
                             "[FILES]\r\nCONTENTS.htm\r\none.htm\r\ntwo.htm\r\nthree.htm\r\n"})
        EXPECT_NE(std::string::npos, files["Q.hhp"].find(line)) << line;
}

// A source whose topics fill several blocks, with a paragraph longer than
// a block, links both ways, and keywords for several index leaves.
std::string LargeSource()
{
    std::string text = "# Start {#CONTENTS}\nK: keyword 000";
    for (int i = 1; i < 300; i++)
        text += "; keyword " + std::to_string(1000 + i).substr(1);
    text += "\nGo to [the end](#finish).\n\n";
    for (int i = 0; i < 300; i++)
        text += "Paragraph number " + std::to_string(i) + " of the first topic.\n\n";
    text += "# Finish {#finish}\nK: Keyword 299\n";
    text += std::string(6000, 'x') + "\n\nBack to [the start](#CONTENTS).\n";
    return text;
}

// A record's header and formatting codes never cross a topic block: a
// paragraph whose codes fill most of a block starts the next one, and one
// whose codes cannot fit a block is refused with its line.
TEST(HelpFileBuild, RecordHeadersStayInOneTopicBlock)
{
    std::string links;
    for (int i = 0; i < 660; i++)
        links += " [go](#a)";
    HelpSource source;
    std::string error;
    Bytes file;
    ASSERT_TRUE(ParseHelpSource("# A {#a}\n" + std::string(3000, 'x') + "\n\n**b**" + links + "\n", source, error));
    ASSERT_TRUE(BuildHelpFile(source, file, error)) << error;
    ReadHelp help;
    ASSERT_EQ("", ReadHelpFile(file, help));
    EXPECT_EQ(660u, help.topics[0].paragraphs.at(2).jumps.size());
    EXPECT_EQ(0u, ParseError("# A {#a}\n\ntext\n" + links + links.substr(0, 20 * 9) + "\n")
                      .find("line 3: paragraph too long: its links and bold or literal runs take 4117 bytes"));
}

TEST(HelpFileBuild, ManyBlocksReadBackWhole)
{
    HelpSource source;
    std::string error;
    ASSERT_TRUE(ParseHelpSource(LargeSource(), source, error)) << error;
    Bytes file, again;
    ASSERT_TRUE(BuildHelpFile(source, file, error)) << error;
    ASSERT_TRUE(BuildHelpFile(source, again, error));
    EXPECT_EQ(file, again);

    ReadHelp help;
    ASSERT_EQ("", ReadHelpFile(file, help));
    ASSERT_GT(help.files["|TOPIC"].size(), 3u * 4096);
    ASSERT_EQ(2u, help.topics.size());
    ASSERT_EQ(302u, help.topics[0].paragraphs.size());
    EXPECT_EQ("Paragraph number 299 of the first topic.", help.topics[0].paragraphs[301].text);
    EXPECT_EQ(std::string(6000, 'x'), help.topics[1].paragraphs[1].text);

    const ReadParagraph& there = help.topics[0].paragraphs[1];
    ASSERT_EQ(1u, there.jumps.size());
    EXPECT_EQ("the end", there.jumps[0].first);
    EXPECT_EQ(&help.topics[1], help.Find(there.jumps[0].second));
    const ReadParagraph& back = help.topics[1].paragraphs[2];
    ASSERT_EQ(1u, back.jumps.size());
    EXPECT_EQ(&help.topics[0], help.Find(back.jumps[0].second));
    EXPECT_EQ(&help.topics[0], help.Contents());

    // Several keyword leaves; keywords equal but for case are one, leading to both topics.
    ASSERT_EQ(300u, help.keywords.size());
    EXPECT_GT(help.files["|KWMAP"][0], 1u);
    EXPECT_EQ("keyword 299", help.keywords[299].text);
    EXPECT_EQ((std::vector<uint32_t>{help.topics[0].offset, help.topics[1].offset}), help.keywords[299].offsets);
}

}
