#include "keyword_index.h"
#include "btree.h"

namespace {

const BTreeKind kKeywordTree = {0x0002, 0x0800, "F24"};

std::string Folded(const std::string& s)
{
    std::string f(s);
    for (char& c : f)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return f;
}

}

size_t MaxKeywordLength()
{
    // The entry is the keyword, its NUL, a count and an offset in |KWDATA.
    return BTreeLeafRoom(kKeywordTree) - 1 - 2 - 4;
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

std::vector<IndexKeyword> IndexKeywords(const HelpSource& source)
{
    std::map<std::string, IndexKeyword> byFolded;  // sorted by the folded text
    for (size_t t = 0; t < source.topics.size(); t++)
    {
        for (const std::string& text : source.topics[t].keywords)
        {
            IndexKeyword& k = byFolded[Folded(text)];
            if (k.text.empty())
                k.text = text;
            if (k.topics.empty() || k.topics.back() != t)
                k.topics.push_back(t);
        }
    }
    std::vector<IndexKeyword> keywords;
    for (const auto& item : byFolded)
        keywords.push_back(item.second);
    return keywords;
}

bool AddKeywordIndex(const HelpSource& source, const std::vector<uint32_t>& topicOffsets,
                     std::map<std::string, Bytes>& files, std::string& error)
{
    std::vector<IndexKeyword> keywords = IndexKeywords(source);
    if (keywords.empty())
        return true;

    Bytes data;
    ByteWriter d(data);
    std::vector<BTreeEntry> entries;
    for (const IndexKeyword& keyword : keywords)
    {
        BTreeEntry e;
        ByteWriter(e.key).Text(keyword.text, true);
        ByteWriter v(e.value);
        v.U16(static_cast<unsigned>(keyword.topics.size()));
        v.U32(static_cast<uint32_t>(data.size()));
        // Offsets grow in source order, so a run stays ascending.
        for (size_t t : keyword.topics)
            d.U32(topicOffsets[t]);
        entries.push_back(e);
    }
    Bytes tree;
    std::vector<BTreeLeaf> leaves;
    if (!BuildBTree(kKeywordTree, entries, tree, &leaves))
    {
        error = "a keyword is longer than " + std::to_string(MaxKeywordLength()) + " bytes";
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
