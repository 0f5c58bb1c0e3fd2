#include "help_file.h"
#include "btree.h"
#include "context_hash.h"
#include "font_table.h"
#include "keyword_index.h"
#include "topic_file.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace {

const uint32_t kNone = 0xFFFFFFFF;
const BTreeKind kTitleTree = {0x0002, 0x0800, "Lz"};

bool ContextFile(const HelpSource& source, const std::vector<uint32_t>& offsets, Bytes& out,
                 std::string& error)
{
    // The viewer compares hashes as signed numbers, so that is the order.
    // The markup refuses two names of one hash, with their lines.
    std::map<int32_t, uint32_t> byHash;
    for (size_t i = 0; i < source.topics.size(); i++)
    {
        const std::string& name = source.topics[i].context;
        if (!IsValidContextName(name))
        {
            error = "context name \"" + name + "\" is not allowed";
            return false;
        }
        byHash[static_cast<int32_t>(ContextHash(name))] = offsets[i];
    }
    std::vector<BTreeEntry> entries;
    for (const auto& item : byHash)
    {
        BTreeEntry e;
        ByteWriter(e.key).U32(static_cast<uint32_t>(item.first));
        ByteWriter(e.value).U32(item.second);
        entries.push_back(e);
    }
    return BuildBTree({0x0002, 0x0800, "L4"}, entries, out);
}

// Each topic's title by its offset, for the viewer's lists of topics. The
// offsets grow in source order, which is the order the tree needs.
bool TitleFile(const HelpSource& source, const std::vector<uint32_t>& offsets, Bytes& out, std::string& error)
{
    std::vector<BTreeEntry> entries;
    for (size_t i = 0; i < source.topics.size(); i++)
    {
        BTreeEntry e;
        ByteWriter(e.key).U32(offsets[i]);
        ByteWriter(e.value).Text(source.topics[i].title, true);
        entries.push_back(e);
    }
    if (!BuildBTree(kTitleTree, entries, out))
    {
        error = "a topic title is longer than " + std::to_string(MaxTopicTitleLength()) + " bytes";
        return false;
    }
    return true;
}

Bytes SystemFile(const HelpSource& source, uint32_t contentsOffset)
{
    Bytes out;
    ByteWriter w(out);
    w.U16(0x036C);
    w.U16(21);  // WinHelp 3.1
    w.U16(1);
    w.U32(0);   // no date, so that a build is reproducible
    w.U16(0);   // uncompressed topics in 4096-byte blocks
    w.U16(1);   // title
    w.U16(static_cast<unsigned>(source.title.size() + 1));
    w.Text(source.title, true);
    w.U16(3);   // contents topic
    w.U16(4);
    w.U32(contentsOffset);
    return out;
}

void FileHeader(ByteWriter& w, size_t used)
{
    // The viewer takes the reserved size as the file's end, so no slack.
    w.U32(static_cast<uint32_t>(used + 9));
    w.U32(static_cast<uint32_t>(used));
    w.U8(0);
}

}

size_t MaxTopicTitleLength()
{
    // The entry is the topic's offset, then the title and its NUL.
    return BTreeLeafRoom(kTitleTree) - 4 - 1;
}

bool CaptionFits(const std::string& caption, std::string& why)
{
    // The record's data is the caption and its NUL.
    if (caption.size() < 0xFFFF)
        return true;
    why = "the caption is " + std::to_string(caption.size()) + " bytes long, more than the 65534 a record takes";
    return false;
}

bool BuildHelpFile(const HelpSource& source, Bytes& out, std::string& error)
{
    if (source.topics.empty())
    {
        error = "no topic";
        return false;
    }
    if (!CaptionFits(source.title, error))
        return false;
    TopicFile topics;
    if (!BuildTopicFile(source, topics, error))
        return false;

    // Sorted by name, byte by byte, as the directory must be.
    std::map<std::string, Bytes> files;
    if (!ContextFile(source, topics.topicOffsets, files["|CONTEXT"], error) ||
        !TitleFile(source, topics.topicOffsets, files["|TTLBTREE"], error) ||
        !AddKeywordIndex(source, topics.topicOffsets, files, error))
        return false;
    files["|CTXOMAP"] = Bytes{0, 0};  // no numeric context ids
    files["|FONT"] = FontFile();
    files["|SYSTEM"] = SystemFile(source, topics.topicOffsets[0]);
    files["|TOPIC"] = topics.bytes;

    out.clear();
    ByteWriter w(out);
    w.U32(0x00035F3F);
    w.U32(0);  // directory start, patched below
    w.U32(kNone);
    w.U32(0);  // file size, patched below

    std::vector<BTreeEntry> entries;
    for (const auto& file : files)
    {
        BTreeEntry e;
        ByteWriter(e.key).Text(file.first, true);
        ByteWriter(e.value).U32(static_cast<uint32_t>(out.size()));
        entries.push_back(e);
        FileHeader(w, file.second.size());
        w.Append(file.second);
    }

    Bytes directory;  // a handful of short names: it always builds
    BuildBTree({0x0402, 0x0400, "z4"}, entries, directory);
    PatchU32(out, 4, static_cast<uint32_t>(out.size()));
    FileHeader(w, directory.size());
    w.Append(directory);
    PatchU32(out, 12, static_cast<uint32_t>(out.size()));
    return true;
}
