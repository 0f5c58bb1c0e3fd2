// The time stamps of a compiled HTML Help file. chmcmd writes the time of
// the build into the file's header and into the #SYSTEM file inside it, so
// that two builds of one source differ; setting both from the source makes
// the .chm the same from build to build.
#ifndef QUORBIT_HELP_CHM_STAMPS_H
#define QUORBIT_HELP_CHM_STAMPS_H

#include "byte_writer.h"

#include <cstdint>
#include <string>

// A stamp made from the text of the help source: the same text gives the
// same stamp, a changed text almost always another.
uint32_t SourceStamp(const std::string& text);

// Writes stamp over the time stamp at offset 16 of the file's header and
// over the time-stamp record (code 10) of its #SYSTEM file. Fails with a
// reason, leaving chm unchanged, when the file is not laid out the way
// chmcmd lays it out: a version 3 header, its directory of PMGL chunks and
// #SYSTEM stored uncompressed in the first content section.
bool SetChmStamps(Bytes& chm, uint32_t stamp, std::string& error);

#endif
