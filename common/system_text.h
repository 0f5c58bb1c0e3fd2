// The system's words for an error code, as every box that shows one uses
// them.
#ifndef QUORBIT_SYSTEM_TEXT_H
#define QUORBIT_SYSTEM_TEXT_H

#include <windows.h>

// Puts the system's text for dwError into szText (cchText bytes), without
// the line break it ends in; "System error <n>." when the system has none
// or it does not fit. Some texts name a file as "%1" ("%1 is not a valid
// Win32 application."): szFile takes its place, or "the file" when szFile
// is NULL. Returns szText.
LPSTR SystemErrorText(DWORD dwError, const char* szFile, char* szText, int cchText);

#endif
