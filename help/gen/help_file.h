// A whole WinHelp 3.1 file: the internal files |CONTEXT, |CTXOMAP, |FONT,
// |SYSTEM and |TOPIC, and the internal directory that finds them.
#ifndef QUORBIT_HELP_FILE_H
#define QUORBIT_HELP_FILE_H

#include "byte_writer.h"
#include "help_source.h"

#include <string>

// Builds the file for a parsed source; its first topic is the contents.
// Fails with a reason on a context name the hash cannot take or on two
// names with one hash.
bool BuildHelpFile(const HelpSource& source, Bytes& out, std::string& error);

#endif
