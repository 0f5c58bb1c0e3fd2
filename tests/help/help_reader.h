// A reader of WinHelp files, and of HTML Help contents and index files, for
// the tests, written apart from the generator so that the two cannot share
// a mistake. It walks a WinHelp file the way the viewer does and reports the
// first structural fault it meets.
#ifndef QUORBIT_TEST_HELP_READER_H
#define QUORBIT_TEST_HELP_READER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ReadParagraph
{
    std::string text;
    std::vector<unsigned> fonts;  // descriptor indices used, in order
    std::vector<std::pair<std::string, uint32_t>> jumps;  // hotspot text, context hash
};

struct ReadTopic
{
    uint32_t pos = 0;     // TOPICPOS of its header record
    uint32_t offset = 0;  // TOPICOFFSET, as the viewer computes it
    std::string title;
    std::vector<ReadParagraph> paragraphs;
};

struct ReadKeyword
{
    std::string text;
    std::vector<uint32_t> offsets;  // TOPICOFFSETs of its topics
};

struct ReadHelp
{
    std::map<std::string, std::vector<unsigned char>> files;  // internal files by name
    std::string title;
    uint32_t contentsOffset = 0xFFFFFFFF;
    std::vector<std::string> faces;
    std::vector<std::pair<bool, unsigned>> fonts;  // bold, half-points
    std::map<int32_t, uint32_t> contexts;          // hash -> TOPICOFFSET
    std::vector<ReadTopic> topics;
    std::vector<ReadKeyword> keywords;             // in the Index's order

    // The topic a context hash, or a TOPICOFFSET, leads to, or null.
    const ReadTopic* Find(uint32_t hash) const;
    const ReadTopic* AtOffset(uint32_t offset) const;
    const ReadTopic* Contents() const;
};

// Empty on success, else a description of the first fault.
std::string ReadHelpFile(const std::vector<unsigned char>& file, ReadHelp& out);

// One entry of an HTML Help contents (.hhc) or index (.hhk) file: the
// names and values of its params, in order, with HTML's escapes undone.
typedef std::vector<std::pair<std::string, std::string>> SitemapEntry;

std::vector<SitemapEntry> ReadSitemap(const std::string& text);

#endif
