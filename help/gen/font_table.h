// The fonts of the help file: which descriptor each kind of text uses, and
// the |FONT internal file that lists them.
#ifndef QUORBIT_HELP_FONT_TABLE_H
#define QUORBIT_HELP_FONT_TABLE_H

#include "byte_writer.h"
#include "help_source.h"

// Descriptor index for a run of the given kind in a paragraph of the given style.
unsigned FontFor(HelpParagraph::Style style, HelpRun::Kind kind);

// Content of |FONT (without its file header).
Bytes FontFile();

#endif
