// Text in the ANSI code page, which may be double-byte (932 and others):
// there the second byte of a character may have the value of a backslash
// or of another plain character, so text is searched by characters.
#ifndef QUORBIT_ANSI_TEXT_H
#define QUORBIT_ANSI_TEXT_H

#include <windows.h>

// Whether szText holds the single-byte character ch.
BOOL HasCharacter(const char* szText, char ch);

#endif
