// The program text of a handler: a program path, in quotes when it holds a
// blank, optionally followed by arguments of its own. The system cuts an
// unquoted text at each blank in turn, so "C:\Program Files\T\imp.exe"
// would start C:\Program.exe where such a file exists.
#ifndef QUORBIT_PROGRAM_PATH_H
#define QUORBIT_PROGRAM_PATH_H

#include <windows.h>

// Finds the file the system would start for szName, the way CreateProcessA
// does: ".exe" added when the name has none, the usual folders searched for
// a name without a folder. TRUE with the file's full path in szFound
// (cchFound characters); FALSE, szFound empty, when there is no such file.
BOOL FindProgramFile(const char* szName, char* szFound, DWORD cchFound);

// For an unquoted text with a blank: the program it means, taken as the
// longest leading part, ending at a blank or at the end of the text, that
// names a program file. TRUE with that file's full path in szProgram;
// FALSE for quoted text, text without a blank, or when no part names a file.
BOOL FindUnquotedProgram(const char* szText, char* szProgram, DWORD cchProgram);

// Puts szText in quotes when it has a blank, is not in quotes and names a
// program file as a whole, provided the quotes fit in cchText characters.
// A program followed by arguments names no file as a whole and is left as
// it is. TRUE when the text was quoted.
BOOL QuoteProgramPath(char* szText, int cchText);

#endif
