// Text in the ANSI code page, which may be double-byte (932 and others):
// there the second byte of a character may have the value of a backslash
// or of another plain character, so text is searched and cut by characters.
#ifndef QUORBIT_ANSI_TEXT_H
#define QUORBIT_ANSI_TEXT_H

#include <windows.h>

// The first single-byte character ch in szText, or its terminator.
const char* FindCharacter(const char* szText, char ch);

// Whether szText holds the single-byte character ch.
BOOL HasCharacter(const char* szText, char ch);

// Copies as many whole characters of szSrc as fit in cbDest bytes with the
// terminator, which it always writes (cbDest > 0).
void CopyCharacters(char* szDest, int cbDest, const char* szSrc);

// Converts the UTF-16 text wszText into szText (cbText bytes) without the
// best-fit mappings the A functions use ("\u0141" is not "L"): a character
// without a spelling of its own in the code page is written as the default
// character. Returns the bytes written, terminator included (with cbText 0,
// the bytes needed), or 0 when they do not fit; *pfExact tells whether
// every character was written as itself. A text that is not exact is not
// the text that was stored, and is not to be used as it.
int AnsiFromWide(LPCWSTR wszText, char* szText, int cbText, BOOL* pfExact);

#endif
