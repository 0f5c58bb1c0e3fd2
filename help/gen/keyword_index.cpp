#include "keyword_index.h"
#include "btree.h"

#include <set>

namespace {

std::string Folded(const std::string& s)
{
    std::string f(s);
    for (char& c : f)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return f;
}

struct Keyword
{
    std::string text;
    std::set<uint32_t> topics;  // ascending, the order of a run in |KWDATA
};

}

bool IsValidKeyword(const std::string& keyword)
{
    if (keyword.empty())
        return false;
    for (char c : keyword)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= ' ' && c <= '/')))
            return false;
    return true;
}

bool AddKeywordIndex(const HelpSource& source, const std::vector<uint32_t>& topicOffsets,
                     std::map<std::string, Bytes>& files, std::string& error)
{
    std::map<std::string, Keyword> byFolded;  // sorted by the folded text
    for (size_t t = 0; t < source.topics.size(); t++)
    {
        for (const std::string& text : source.topics[t].keywords)
        {
            Keyword& k = byFolded[Folded(text)];
            if (k.text.empty())
                k.text = text;
            k.topics.insert(topicOffsets[t]);
        }
    }
    if (byFolded.empty())
        return true;

    Bytes data;
    ByteWriter d(data);
    std::vector<BTreeEntry> entries;
    for (const auto& item : byFolded)
    {
        BTreeEntry e;
        ByteWriter(e.key).Text(item.second.text, true);
        ByteWriter v(e.value);
        v.U16(static_cast<unsigned>(item.second.topics.size()));
        v.U32(static_cast<uint32_t>(data.size()));
        for (uint32_t offset : item.second.topics)
            d.U32(offset);
        entries.push_back(e);
    }
    Bytes tree;
    std::vector<BTreeLeaf> leaves;
    if (!BuildBTree({0x0002, 0x0800, "F24"}, entries, tree, &leaves))
    {
        error = "a keyword is too long for an index page";
        return false;
    }
    files["|KWBTREE"] = tree;
    files["|KWDATA"] = data;

    Bytes map;
    ByteWriter m(map);
    m.U16(static_cast<unsigned>(leaves.size()));
    for (const BTreeLeaf& leaf : leaves)
    {
        m.U32(static_cast<uint32_t>(leaf.first));
        m.U16(leaf.page);
    }
    files["|KWMAP"] = map;
    return true;
}
