#include "btree.h"

#include <string>
#include <utility>

namespace {

const unsigned kLeafHeader = 8;   // free bytes, entries, previous and next page
const unsigned kIndexHeader = 6;  // free bytes, entries, first child

// Splits n items into runs that each fit room bytes, in order; cost(i,
// first) is what item i takes as the first of its page or after another.
// Returns the first item of each run, or nothing when an item cannot fit.
template <class Cost>
std::vector<size_t> Pack(size_t n, size_t room, Cost cost)
{
    std::vector<size_t> starts;
    size_t used = 0;
    for (size_t i = 0; i < n; i++)
    {
        if (!starts.empty() && used + cost(i, false) <= room)
        {
            used += cost(i, false);
            continue;
        }
        used = cost(i, true);
        if (used > room)
            return std::vector<size_t>();
        starts.push_back(i);
    }
    return starts;
}

// Run r of starts, as [begin, end).
std::pair<size_t, size_t> Run(const std::vector<size_t>& starts, size_t r, size_t n)
{
    return {starts[r], r + 1 < starts.size() ? starts[r + 1] : n};
}

}

size_t BTreeLeafRoom(const BTreeKind& kind)
{
    return kind.pageSize - kLeafHeader;
}

bool BuildBTree(const BTreeKind& kind, const std::vector<BTreeEntry>& entries, Bytes& out,
                std::vector<BTreeLeaf>* leaves)
{
    std::vector<size_t> starts = Pack(entries.size(), BTreeLeafRoom(kind), [&](size_t i, bool) {
        return entries[i].key.size() + entries[i].value.size();
    });
    if (starts.empty())
        return false;

    std::vector<Bytes> pages;
    std::vector<std::pair<unsigned, const Bytes*>> children;  // page number, first key
    for (size_t p = 0; p < starts.size(); p++)
    {
        std::pair<size_t, size_t> run = Run(starts, p, entries.size());
        Bytes page;
        ByteWriter w(page);
        w.U16(0);  // free bytes, filled in below
        w.U16(static_cast<unsigned>(run.second - run.first));
        w.U16(p == 0 ? 0xFFFF : static_cast<unsigned>(p - 1));
        w.U16(p + 1 < starts.size() ? static_cast<unsigned>(p + 1) : 0xFFFF);
        for (size_t i = run.first; i < run.second; i++)
        {
            w.Append(entries[i].key);
            w.Append(entries[i].value);
        }
        pages.push_back(page);
        children.push_back({static_cast<unsigned>(p), &entries[run.first].key});
        if (leaves)
            leaves->push_back({static_cast<unsigned>(p), run.first});
    }

    // Each index page names its first child in its header and every
    // further child by that child's first key; the first child needs no
    // key because a search starts there.
    unsigned levels = 1;
    while (children.size() > 1)
    {
        starts = Pack(children.size(), kind.pageSize - kIndexHeader, [&](size_t i, bool first) {
            return first ? 0 : children[i].second->size() + 2;
        });
        std::vector<std::pair<unsigned, const Bytes*>> parents;
        for (size_t p = 0; p < starts.size(); p++)
        {
            std::pair<size_t, size_t> run = Run(starts, p, children.size());
            Bytes page;
            ByteWriter w(page);
            w.U16(0);
            w.U16(static_cast<unsigned>(run.second - run.first - 1));
            w.U16(children[run.first].first);
            for (size_t i = run.first + 1; i < run.second; i++)
            {
                w.Append(*children[i].second);
                w.U16(children[i].first);
            }
            parents.push_back({static_cast<unsigned>(pages.size()), children[run.first].second});
            pages.push_back(page);
        }
        children.swap(parents);
        levels++;
    }

    out.clear();
    ByteWriter w(out);
    w.U16(0x293B);
    w.U16(kind.flags);
    w.U16(kind.pageSize);
    std::string structure(kind.structure);
    w.Text(structure, false);
    w.Zeros(16 - structure.size());
    w.U16(0);  // must be zero
    w.U16(static_cast<unsigned>(pages.size() - levels));  // page splits
    w.U16(children[0].first);                             // the root
    w.U16(0xFFFF);                                        // must be -1
    w.U16(static_cast<unsigned>(pages.size()));
    w.U16(levels);
    w.U32(static_cast<uint32_t>(entries.size()));
    for (Bytes& page : pages)
    {
        unsigned unused = kind.pageSize - static_cast<unsigned>(page.size());
        page[0] = static_cast<unsigned char>(unused & 0xFF);
        page[1] = static_cast<unsigned char>(unused >> 8);
        w.Append(page);
        w.Zeros(unused);
    }
    return true;
}
