// The |TOPIC internal file: topic headers and paragraph records laid out
// in uncompressed 4096-byte blocks.
#ifndef QUORBIT_HELP_TOPIC_FILE_H
#define QUORBIT_HELP_TOPIC_FILE_H

#include "byte_writer.h"
#include "help_source.h"

#include <cstdint>
#include <string>
#include <vector>

struct TopicFile
{
    Bytes bytes;                          // content of |TOPIC
    std::vector<uint32_t> topicOffsets;   // TOPICOFFSET of each topic, source order
};

// Whether the paragraph can be written as one record: its text within what
// the record counts, its record header and formatting codes within one
// topic block. Gives the reason when it cannot.
bool ParagraphFits(const HelpParagraph& para, std::string& why);

// Encodes every topic of the source. Jumps are resolved by context hash;
// fails with a reason when a jump names no topic or a record is too large.
bool BuildTopicFile(const HelpSource& source, TopicFile& out, std::string& error);

#endif
