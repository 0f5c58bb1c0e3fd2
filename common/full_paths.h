// Files opened by full path: beside a module, or in the system folder. A
// bare name lets the current folder, or the search path, decide which file
// is meant.
#ifndef QUORBIT_FULL_PATHS_H
#define QUORBIT_FULL_PATHS_H

#include <windows.h>

// Puts the full path of szFile in the folder of hModule (NULL: the
// program's) into szPath, of cchPath characters. FALSE when the path does
// not fit; szPath is then empty.
BOOL PathBesideModule(HMODULE hModule, const char* szFile, char* szPath, DWORD cchPath);

// Put the full path of szFile in the system folder, or in the system's
// Windows folder, into szPath, of cchPath characters; an empty szFile gives
// the folder itself, without a trailing backslash. FALSE when it does not
// fit; szPath is then empty.
BOOL PathInSystemFolder(const char* szFile, char* szPath, DWORD cchPath);
BOOL PathInWindowsFolder(const char* szFile, char* szPath, DWORD cchPath);

// Loads szDll from the system folder and returns its export szProc; NULL
// when either is missing. The DLL stays loaded.
FARPROC SystemProcAddress(const char* szDll, const char* szProc);

#endif
