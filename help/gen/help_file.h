// A whole WinHelp 3.1 file: the internal files |CONTEXT, |CTXOMAP, |FONT,
// |SYSTEM, |TOPIC and |TTLBTREE, the keyword index when the topics have
// keywords, and the internal directory that finds them.
#ifndef QUORBIT_HELP_FILE_H
#define QUORBIT_HELP_FILE_H

#include "byte_writer.h"
#include "help_source.h"

#include <cstddef>
#include <string>

// The longest topic title, in bytes, whose entry fits a page of the title
// tree.
size_t MaxTopicTitleLength();

// Whether the caption fits the title record of |SYSTEM, which counts its
// bytes in 16 bits. Gives the reason when it does not.
bool CaptionFits(const std::string& caption, std::string& why);

// Builds the file for a source ParseHelpSource accepted; its first topic is
// the contents. Fails with a reason on a context name the hash cannot
// take, or on a title or keyword too long for a tree page.
bool BuildHelpFile(const HelpSource& source, Bytes& out, std::string& error);

#endif
