// The program text of a handler: a program, in quotes when its path holds a
// blank, optionally followed by arguments of its own. Left to the system,
// the text would be read again by readers of its own: CreateProcess cuts an
// unquoted text at each blank in turn, shortest first, looks a name without
// a folder up in the current folder first, and appends ".exe" to a quoted
// part that goes on; cmd.exe reads a batch file's whole line with its own
// rules. So the text is settled here, once, into one file by its full path
// and the arguments that follow it, or refused.
#ifndef QUORBIT_PROGRAM_PATH_H
#define QUORBIT_PROGRAM_PATH_H

#include <windows.h>

// Whether szText begins with a full path: a drive and its root ("C:\",
// "C:/") or a UNC path ("\\server\share").
BOOL IsFullPath(const char* szText);

// Finds the program file szName names, ".exe" added when the name has no
// extension; a folder is never the program. A full path names its own
// file; a bare file name (no folder, no drive, no "%") is looked for where
// the system looks, but never in the current folder: the client's own
// folder, the system folder, the 16-bit system folder, the Windows folder,
// then each full path in PATH. Any other name finds nothing. TRUE with the
// file's full path, as the system opens it, in szFound (cchFound
// characters); FALSE, szFound empty, when there is no such file.
BOOL FindProgramFile(const char* szName, char* szFound, DWORD cchFound);

// How the launch reads a program text.
typedef enum tagPROGRAMTEXT
{
    PROGRAM_AS_WRITTEN,       // quoted, or without a blank or tab: the one program it names
    PROGRAM_SETTLED,          // unquoted with a blank, and it means one program
    PROGRAM_AMBIGUOUS,        // unquoted with a blank, and it may mean several
    PROGRAM_NOT_FOUND,        // it names no program
    PROGRAM_RELATIVE,         // neither a full path nor a bare file name
    PROGRAM_UNPAIRED_QUOTES,  // its double quotes do not pair
    PROGRAM_QUOTE_GOES_ON,    // text follows the quoted program without a blank
    PROGRAM_BATCH_PATH,       // a batch file whose path holds a "%"
    PROGRAM_BATCH_ARGUMENTS,  // a batch file, and cmd.exe would not read its arguments as text
    PROGRAM_ESCAPED_QUOTE,    // a program whose C runtime would read a quote in its arguments as text
    PROGRAM_LEADING_BLANK     // it begins with a blank or a tab
} PROGRAMTEXT;

// Whether ch ends a program path in an unquoted text: a blank or a tab.
BOOL IsBlank(char ch);
// The first blank or tab in szText, or its terminator.
const char* FindBlank(const char* szText);

// Whether the system runs szPath through cmd.exe: its extension begins
// with ".bat" or ".cmd", in any case.
BOOL IsBatchFile(const char* szPath);

// The folder the program at the full path szProgram starts in, into
// szFolder (cchFolder characters): its own, where nobody plants who may not
// change the program, and which it and a batch file's bare names are
// looked up in first. cmd.exe takes no share as its current folder: a batch
// file on one starts in the system folder. FALSE when it does not fit;
// szFolder is then empty.
BOOL FolderToStartIn(const char* szProgram, char* szFolder, DWORD cchFolder);

// Settles the program szText means, never guessing. The program is a full
// path or a bare file name (FindProgramFile); quotes must pair, and a
// quoted program must be followed by a blank or by nothing. An unquoted
// text with a blank has as readings its leading parts that end at a blank,
// or at its end, and name a program file (longer parts that name the same
// file count once). It is settled only when it has exactly one reading and,
// for a full path, the text does not go on as a path after it: no longer
// leading part, up to a later "\" or "/", a blank or the end, names an
// existing folder. "C:\Program", which the system completes with ".exe",
// followed by " Files\T\imp.exe" where the folder "C:\Program Files"
// exists, is where a path goes on, not where a program ends.
// For PROGRAM_AS_WRITTEN and PROGRAM_SETTLED, szProgram (cchProgram
// characters) receives the program's full path and *ppszArgs points into
// szText just after the program. A batch file's text is settled only when
// cmd.exe can read no part of it otherwise: for PROGRAM_BATCH_ARGUMENTS
// *ppszArgs points at the first character of its arguments that cmd.exe
// would read as more than text (one of & | < > ^ ( ) outside double quotes,
// a "%" anywhere, a line break); for PROGRAM_BATCH_PATH szProgram holds
// the path with its "%". Any other program's arguments are read by its C
// runtime: for PROGRAM_ESCAPED_QUOTE *ppszArgs points at a double quote
// that follows an odd run of backslashes, which the runtime reads as text
// ("C:\Out Dir\" must be written "C:\Out Dir\\"). A text that begins with a
// blank is PROGRAM_LEADING_BLANK.
PROGRAMTEXT SettleProgramText(const char* szText, char* szProgram, DWORD cchProgram, const char** ppszArgs);

// Puts szText in quotes when it has a blank, is not in quotes and names a
// program file as a whole, provided the quotes fit in cchText characters.
// A program followed by arguments names no file as a whole and is left as
// it is. TRUE when the text was quoted.
BOOL QuoteProgramPath(char* szText, int cchText);

#endif
