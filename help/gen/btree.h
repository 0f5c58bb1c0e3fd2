// The B+ trees of a help file: the internal directory, |CONTEXT, |TTLBTREE
// and |KWBTREE all share one layout of header, leaf pages and index pages.
#ifndef QUORBIT_HELP_BTREE_H
#define QUORBIT_HELP_BTREE_H

#include "byte_writer.h"

#include <cstddef>
#include <vector>

struct BTreeKind
{
    unsigned flags;
    unsigned pageSize;
    const char* structure;  // the key and value letters, at most 15
};

// A leaf entry is key then value; an index entry is the key of a child's
// first entry then the child's page number.
struct BTreeEntry
{
    Bytes key;
    Bytes value;
};

// A leaf page: its page number and the position of its first entry.
struct BTreeLeaf
{
    unsigned page;
    size_t first;
};

// The bytes a leaf page of the kind holds after its header: no leaf entry,
// key and value, may be larger.
size_t BTreeLeafRoom(const BTreeKind& kind);

// Writes the tree of the entries, which are sorted already: leaves first,
// in order, then each level of index pages, the root last. Fails, leaving
// out unchanged, when there is no entry or one does not fit a page. The
// leaf pages are listed in leaves when it is given.
bool BuildBTree(const BTreeKind& kind, const std::vector<BTreeEntry>& entries, Bytes& out,
                std::vector<BTreeLeaf>* leaves = nullptr);

#endif
