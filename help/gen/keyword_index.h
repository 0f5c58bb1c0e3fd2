// The keyword index of a help file, which the viewer's Index lists:
// |KWBTREE holds each keyword with the number of its topics and where
// their list starts in |KWDATA, |KWDATA the topics' offsets, and |KWMAP the
// first keyword of each leaf page of |KWBTREE.
#ifndef QUORBIT_HELP_KEYWORD_INDEX_H
#define QUORBIT_HELP_KEYWORD_INDEX_H

#include "byte_writer.h"
#include "help_source.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// True when the keyword is not empty and uses only letters, digits, blanks
// and ! " # $ % & ' ( ) * + , - . /: on these, alphabetical order without
// regard to case is also plain byte order once letters are folded.
bool IsValidKeyword(const std::string& keyword);

// The longest keyword, in bytes, whose entry fits a page of |KWBTREE.
size_t MaxKeywordLength();

// A keyword as the Index lists it: spelled as first met, with the topics
// that give it in any case, by their place in the source, ascending.
struct IndexKeyword
{
    std::string text;
    std::vector<size_t> topics;
};

// The keywords of all topics in the Index's order, alphabetical without
// regard to case; keywords that differ only in case are one.
std::vector<IndexKeyword> IndexKeywords(const HelpSource& source);

// Adds |KWBTREE, |KWDATA and |KWMAP to files when any topic has keywords,
// and nothing otherwise, each keyword of IndexKeywords leading to its
// topics, given by their offsets.
// Fails with a reason when a keyword is longer than MaxKeywordLength.
bool AddKeywordIndex(const HelpSource& source, const std::vector<uint32_t>& topicOffsets,
                     std::map<std::string, Bytes>& files, std::string& error);

#endif
