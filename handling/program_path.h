// The program text of a handler: a program path, in quotes when it holds a
// blank, optionally followed by arguments of its own. The system cuts an
// unquoted text at each blank in turn, shortest first, so
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
    PROGRAM_AS_WRITTEN,  // quoted, or without a blank: the system reads it
    PROGRAM_SETTLED,     // unquoted with a blank, and it means one program
    PROGRAM_AMBIGUOUS,   // unquoted with a blank, and it may mean several
    PROGRAM_NOT_FOUND    // unquoted with a blank, and it names no program
} PROGRAMTEXT;

// Settles the program of an unquoted text with a blank, never guessing.
// Its readings are its leading parts that end at a blank, or at its end,
// and name a program file. It is settled only when it has exactly one
// reading, and that reading either names its ".exe" or ".com" as written
// or is followed by no backslash: a part such as "C:\Program", which the
// system completes with ".exe", followed by "Files\T\imp.exe", is where a
// path goes on, not where a program ends. For PROGRAM_SETTLED, szProgram
// (cchProgram characters) receives the program's full path and *ppszArgs
// points into szText at the blank that ends the reading.
PROGRAMTEXT SettleProgramText(const char* szText, char* szProgram, DWORD cchProgram, const char** ppszArgs);

// Puts szText in quotes when it has a blank, is not in quotes and names a
// program file as a whole, provided the quotes fit in cchText characters.
// A program followed by arguments names no file as a whole and is left as
// it is. TRUE when the text was quoted.
BOOL QuoteProgramPath(char* szText, int cchText);

#endif
