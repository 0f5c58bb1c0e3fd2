#include "help_file.h"
#include "context_hash.h"
#include "font_table.h"
#include "topic_file.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace {

const uint32_t kNone = 0xFFFFFFFF;

// A B+ tree of one leaf page, enough for a few hundred small entries.
// Entries are already encoded and sorted.
bool SingleLeafTree(unsigned flags, unsigned pageSize, const char* structure,
                    const std::vector<Bytes>& entries, Bytes& out)
{
    size_t used = 8;
    for (const Bytes& e : entries)
        used += e.size();
    if (used > pageSize || entries.empty())
        return false;

    ByteWriter w(out);
    w.U16(0x293B);
    w.U16(flags);
    w.U16(pageSize);
    std::string s(structure);
    w.Text(s, false);
    w.Zeros(16 - s.size());
    w.U16(0);       // must be zero
    w.U16(0);       // page splits
    w.U16(0);       // root page
    w.U16(0xFFFF);  // must be -1
    w.U16(1);       // total pages
    w.U16(1);       // levels
    w.U32(static_cast<uint32_t>(entries.size()));

    w.U16(static_cast<unsigned>(pageSize - used));  // free bytes at the page end
    w.U16(static_cast<unsigned>(entries.size()));
    w.U16(0xFFFF);  // no previous page
    w.U16(0xFFFF);  // no next page
    for (const Bytes& e : entries)
        w.Append(e);
    w.Zeros(pageSize - used);
    return true;
}

bool ContextFile(const HelpSource& source, const std::vector<uint32_t>& offsets, Bytes& out,
                 std::string& error)
{
    // The viewer compares hashes as signed numbers, so that is the order.
    std::map<int32_t, std::pair<uint32_t, std::string>> byHash;
    for (size_t i = 0; i < source.topics.size(); i++)
    {
        const std::string& name = source.topics[i].context;
        if (!IsValidContextName(name))
        {
            error = "context name \"" + name + "\" is not allowed";
            return false;
        }
        int32_t key = static_cast<int32_t>(ContextHash(name));
        auto found = byHash.find(key);
        if (found != byHash.end())
        {
            error = "context names " + found->second.second + " and " + name + " share one hash";
            return false;
        }
        byHash[key] = {offsets[i], name};
    }
    std::vector<Bytes> entries;
    for (const auto& item : byHash)
    {
        Bytes e;
        ByteWriter w(e);
        w.U32(static_cast<uint32_t>(item.first));
        w.U32(item.second.first);
        entries.push_back(e);
    }
    if (!SingleLeafTree(0x0002, 0x0800, "L4", entries, out))
    {
        error = "too many topics for one context page";
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

bool BuildHelpFile(const HelpSource& source, Bytes& out, std::string& error)
{
    if (source.topics.empty())
    {
        error = "no topic";
        return false;
    }
    TopicFile topics;
    if (!BuildTopicFile(source, topics, error))
        return false;

    // Sorted by name, byte by byte, as the directory must be.
    std::map<std::string, Bytes> files;
    if (!ContextFile(source, topics.topicOffsets, files["|CONTEXT"], error))
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

    std::vector<Bytes> entries;
    for (const auto& file : files)
    {
        Bytes e;
        ByteWriter ew(e);
        ew.Text(file.first, true);
        ew.U32(static_cast<uint32_t>(out.size()));
        entries.push_back(e);
        FileHeader(w, file.second.size());
        w.Append(file.second);
    }

    Bytes directory;
    if (!SingleLeafTree(0x0402, 0x0400, "z4", entries, directory))
    {
        error = "directory does not fit one page";
        return false;
    }
    PatchU32(out, 4, static_cast<uint32_t>(out.size()));
    FileHeader(w, directory.size());
    w.Append(directory);
    PatchU32(out, 12, static_cast<uint32_t>(out.size()));
    return true;
}
