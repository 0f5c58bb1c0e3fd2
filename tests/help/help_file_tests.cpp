// The built Quorbit.HLP: read back by the tests' own reader, and a reader
// that notices the faults the viewer would stumble over; and the HTML Help
// project built beside it, which must agree with it.
#include <gtest/gtest.h>
#include "help_reader.h"
#include "help_source.h"
#include "help_source_text.h"

#include <windows.h>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes BuiltFile()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string s(path);
    s = s.substr(0, s.find_last_of('\\') + 1) + "Quorbit.HLP";
    std::ifstream in(s, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Le32(const Bytes& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void Put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// File offset of an internal file's header, found in the directory's leaf.
size_t FileAt(const Bytes& b, const std::string& name)
{
    size_t dir = Le32(b, 4);
    auto it = std::search(b.begin() + dir, b.end(), name.c_str(), name.c_str() + name.size() + 1);
    return Le32(b, (it - b.begin()) + name.size() + 1);
}

size_t NameInDirectory(const Bytes& b, const std::string& name)
{
    size_t dir = Le32(b, 4);
    return std::search(b.begin() + dir, b.end(), name.c_str(), name.c_str() + name.size() + 1) - b.begin();
}

// A file of the HTML Help project the build wrote for Quorbit.chm.
std::string ChmSource(const std::string& name)
{
    std::ifstream in(std::string(QUORBIT_CHM_SOURCES) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string AllText(const ReadHelp& help)
{
    std::string all;
    for (const ReadTopic& t : help.topics)
        for (const ReadParagraph& p : t.paragraphs)
            all += p.text + "\n";
    return all;
}

class BuiltHelp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        file = BuiltFile();
        ASSERT_FALSE(file.empty()) << "Quorbit.HLP is not beside the test program";
        ASSERT_EQ("", ReadHelpFile(file, help));
    }
    Bytes file;
    ReadHelp help;
};

TEST_F(BuiltHelp, OpensAtItsContentsTopic)
{
    const ReadTopic* contents = help.Contents();
    ASSERT_NE(nullptr, contents);
    EXPECT_EQ("Quorbit Message Handlers", contents->title);
    EXPECT_EQ(contents, &help.topics[0]);
    EXPECT_EQ("Quorbit Message Handlers Help", help.title);
    // The topic shows its own title as its first line.
    EXPECT_EQ(contents->title, contents->paragraphs[0].text);
    EXPECT_NE(std::string::npos, ChmSource("Quorbit.hhp").find("\nTitle=Quorbit Message Handlers Help\r\n"));
}

// The .chm's contents list the same topics in the same order.
TEST_F(BuiltHelp, ContentsLeadsToEveryOtherTopic)
{
    std::set<const ReadTopic*> reached;
    std::vector<std::string> titles{help.Contents()->title};
    for (const ReadParagraph& p : help.Contents()->paragraphs)
        for (const auto& jump : p.jumps)
            if (reached.insert(help.Find(jump.second)).second)
                titles.push_back(help.Find(jump.second)->title);
    EXPECT_EQ(help.topics.size() - 1, reached.size());
    EXPECT_EQ(0u, reached.count(help.Contents()));
    EXPECT_GE(help.topics.size(), 6u);

    std::vector<std::string> listed;
    for (const SitemapEntry& entry : ReadSitemap(ChmSource("Quorbit.hhc")))
    {
        listed.push_back(entry.at(0).second);
        EXPECT_NE(std::string::npos, ChmSource(entry.at(1).second).find("<title>" + listed.back() + "</title>"))
            << entry.at(1).second;
    }
    EXPECT_EQ(titles, listed);
}

TEST_F(BuiltHelp, DescribesEveryControlAndTheCommandLine)
{
    std::string all = AllText(help);
    for (const char* s : {"Current Message Handlers", "Add...", "Remove", "Properties...", "Help",
                          "Message Handler Name", "Messages sent from the following email address",
                          "Should be handled by the following application", "Browse...",
                          "Prevent the message from opening", "Prompt for a confirmation first",
                          "Debug", "OK", "Cancel", "Do you want to process this document?",
                          "D:\\Tools\\import.exe \"MessageID\" \"001FA0\"",
                          "\"C:\\Program Files\\Import Tool\\import.exe\" \"MessageID\" \"001FA0\"",
                          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorbit\\Message Handlers",
                          "every user of the computer"})
        EXPECT_NE(std::string::npos, all.find(s)) << s;
}

TEST_F(BuiltHelp, HeadingsAreBoldAndLargerThanText)
{
    const ReadParagraph& title = help.topics[1].paragraphs[0];
    ASSERT_FALSE(title.fonts.empty());
    EXPECT_TRUE(help.fonts[title.fonts[0]].first);
    const ReadParagraph& body = help.topics[1].paragraphs[1];
    ASSERT_FALSE(body.fonts.empty());
    EXPECT_FALSE(help.fonts[body.fonts[0]].first);
    EXPECT_GT(help.fonts[title.fonts[0]].second, help.fonts[body.fonts[0]].second);
}

// Each keyword of the source is listed once, whatever its case, and leads
// to exactly the topics that give it.
TEST_F(BuiltHelp, EveryKeywordLeadsToItsTopics)
{
    HelpSource source;
    std::string error;
    ASSERT_TRUE(ParseHelpSource(HelpSourceText(), source, error)) << error;
    auto lower = [](std::string s) { return std::string(CharLowerA(&s[0])); };
    std::map<std::string, std::set<std::string>> expected, listed;  // keyword -> titles
    for (const HelpTopic& topic : source.topics)
        for (const std::string& keyword : topic.keywords)
            expected[lower(keyword)].insert(topic.title);
    for (const ReadKeyword& k : help.keywords)
        for (uint32_t offset : k.offsets)
            listed[lower(k.text)].insert(help.AtOffset(offset)->title);
    EXPECT_EQ(expected, listed);
    EXPECT_EQ(listed.size(), help.keywords.size());
    EXPECT_GT(listed["administrator"].size(), 1u) << "a keyword of several topics";
    for (const char* k : {"preventopen", "quotes", "debug", "command line", "registry"})
        EXPECT_FALSE(listed[k].empty()) << k;

    // The .chm's index: the keyword, then each topic's page, named by its
    // title when there are several.
    std::map<std::string, std::string> titleOf;  // page -> title
    for (const HelpTopic& topic : source.topics)
        titleOf[topic.context + ".htm"] = topic.title;
    std::vector<SitemapEntry> index = ReadSitemap(ChmSource("Quorbit.hhk"));
    listed.clear();
    for (const SitemapEntry& entry : index)
        for (const auto& param : entry)
            if (param.first == "Local")
                listed[lower(entry.at(0).second)].insert(titleOf[param.second]);
    EXPECT_EQ(expected, listed);
    EXPECT_EQ(listed.size(), index.size());
}

// Each damage must be reported, with the fault it causes.
struct Damage
{
    const char* name;
    void (*apply)(Bytes&);
    const char* fault;
};

const Damage kDamages[] = {
    {"directory magic", [](Bytes& b) { b[Le32(b, 4) + 9] ^= 0xFF; }, "bad B+ tree magic"},
    {"directory levels", [](Bytes& b) { b[Le32(b, 4) + 9 + 32] = 0; }, "bad B+ tree header"},
    {"directory order", [](Bytes& b) { b[NameInDirectory(b, "|SYSTEM") + 1] = 'A'; }, "out of order"},
    {"missing |FONT", [](Bytes& b) { b[NameInDirectory(b, "|FONT") + 4] = 'U'; }, "missing internal file |FONT"},
    {"missing |CONTEXT", [](Bytes& b) { b[NameInDirectory(b, "|CONTEXT") + 2] = 'A'; }, "missing internal file |CONTEXT"},
    {"file past the end",
     [](Bytes& b) { Put32(b, NameInDirectory(b, "|TOPIC") + 7, static_cast<uint32_t>(b.size() - 20)); },
     "sizes do not fit"},
    {"truncated", [](Bytes& b) { b.resize(b.size() - 1); }, "file size"},
    {"NextBlock past the blocks",
     [](Bytes& b) { Put32(b, FileAt(b, "|TOPIC") + 9 + 12 + 12, 0x7F000C); }, "TOPICPOS points nowhere"},
    {"NextBlock inside a record",
     [](Bytes& b) { Put32(b, FileAt(b, "|TOPIC") + 9 + 12 + 12, Le32(b, FileAt(b, "|TOPIC") + 9 + 12 + 12) + 1); },
     "PrevBlock"},
    {"Scroll points nowhere",
     [](Bytes& b) { Put32(b, FileAt(b, "|TOPIC") + 9 + 12 + 21 + 20, 0x3000); }, "Scroll points nowhere"},
    {"context offset",
     [](Bytes& b) { Put32(b, FileAt(b, "|CONTEXT") + 9 + 38 + 8 + 4, 0x7FFF); }, "offset names no topic"},
    {"missing |KWDATA", [](Bytes& b) { b[NameInDirectory(b, "|KWDATA") + 6] = 'B'; }, "missing internal file |KWDATA"},
    {"|KWDATA cut short",
     [](Bytes& b) { Put32(b, FileAt(b, "|KWDATA") + 4, Le32(b, FileAt(b, "|KWDATA") + 4) - 4); },
     "points outside |KWDATA"},
    {"keyword offset", [](Bytes& b) { Put32(b, FileAt(b, "|KWDATA") + 9, 0x7FFF); }, "|KWDATA: an offset names no topic"},
    {"|KWMAP leaves", [](Bytes& b) { b[FileAt(b, "|KWMAP") + 9] = 9; }, "|KWMAP does not describe"},
    {"title", [](Bytes& b) { b[FileAt(b, "|TTLBTREE") + 9 + 38 + 8 + 4] ^= 0x20; }, "titles are not the topics'"},
};

void PrintTo(const Damage& d, std::ostream* os)
{
    *os << d.name;
}

class DamagedHelp : public ::testing::TestWithParam<Damage>
{
};

TEST_P(DamagedHelp, IsReported)
{
    Bytes file = BuiltFile();
    ASSERT_FALSE(file.empty());
    GetParam().apply(file);
    ReadHelp help;
    std::string fault = ReadHelpFile(file, help);
    EXPECT_NE(std::string::npos, fault.find(GetParam().fault)) << "reported: " << fault;
}

INSTANTIATE_TEST_SUITE_P(Faults, DamagedHelp, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                             std::string n;
                             for (const char* p = info.param.name; *p; p++)
                                 n += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

TEST(DamagedHelpContents, ContentsOffsetThatNamesNoTopicIsReported)
{
    Bytes file = BuiltFile();
    ASSERT_FALSE(file.empty());
    // |SYSTEM ends with record 3, whose last four bytes are the offset.
    size_t sys = FileAt(file, "|SYSTEM");
    size_t end = sys + 9 + Le32(file, sys + 4);
    ASSERT_EQ(3u, file[end - 8]);
    Put32(file, end - 4, 0x7FFF);
    ReadHelp help;
    EXPECT_EQ("|SYSTEM: contents offset names no topic", ReadHelpFile(file, help));
}

}
