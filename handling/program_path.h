// The program text of a handler: a program path, in quotes when it holds a
// blank, optionally followed by arguments of its own. The system cuts an
// unquoted text at each blank or tab in turn, shortest first, so
// "C:\Program Files\T\imp.exe" would start C:\Program.exe where such a file
// exists.
#ifndef QUORBIT_PROGRAM_PATH_H
#define QUORBIT_PROGRAM_PATH_H

#include <windows.h>

// Finds the program file szName names: ".exe" added when the name has no
// extension, and a name without a folder looked for in the folders of the
// process's search mode (SearchPathA's order, which need not be
// CreateProcessA's). TRUE with the file's full path in szFound (cchFound
// characters); FALSE, szFound empty, when there is no such file.
BOOL FindProgramFile(const char* szName, char* szFound, DWORD cchFound);

// How the launch reads a program text.
typedef enum tagPROGRAMTEXT
{
    PROGRAM_AS_WRITTEN,  // quoted, or without a blank or tab: the system reads it
    PROGRAM_SETTLED,     // unquoted with a blank, and it means one program
    PROGRAM_AMBIGUOUS,   // unquoted with a blank, and it may mean several
    PROGRAM_NOT_FOUND    // unquoted with a blank, and it names no program
} PROGRAMTEXT;

// Whether ch ends a program path in an unquoted text: a blank or a tab.
BOOL IsBlank(char ch);
// The first blank or tab in szText, or its terminator.
const char* FindBlank(const char* szText);

// Settles the program of an unquoted text with a blank, never guessing.
// Its readings are its leading parts that end at a blank, or at its end,
// and name a program file (longer parts that name the same file count
// once). It is settled only when it has exactly one reading and the text
// does not go on as a path after it: no longer leading part, up to a later
// "\" or "/", names an existing folder. "C:\Program", which the system
// completes with ".exe", followed by " Files\T\imp.exe" where the folder
// "C:\Program Files" exists, is where a path goes on, not where a program
// ends: with "imp.exe" missing that text names no program. For
// PROGRAM_SETTLED, szProgram (cchProgram characters) receives the program's
// full path and *ppszArgs points into szText at the blank that ends the
// reading.
PROGRAMTEXT SettleProgramText(const char* szText, char* szProgram, DWORD cchProgram, const char** ppszArgs);

// Puts szText in quotes when it has a blank, is not in quotes and names a
// program file as a whole, provided the quotes fit in cchText characters.
// A program followed by arguments names no file as a whole and is left as
// it is. TRUE when the text was quoted.
BOOL QuoteProgramPath(char* szText, int cchText);

#endif
