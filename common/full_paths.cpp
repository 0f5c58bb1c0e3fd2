#include "full_paths.h"

BOOL PathBesideModule(HMODULE hModule, const char* szFile, char* szPath, DWORD cchPath)
{
    DWORD cch = GetModuleFileNameA(hModule, szPath, cchPath);
    char* pName = szPath;

    // XP leaves a path that fills the buffer unterminated.
    if (cch == 0 || cch >= cchPath)
    {
        szPath[0] = '\0';
        return FALSE;
    }
    // By characters: in a double-byte code page a second byte may be '\'.
    for (char* p = szPath; *p != '\0'; p = CharNextA(p))
    {
        if (*p == '\\')
            pName = p + 1;
    }
    if ((DWORD)(pName - szPath) + lstrlenA(szFile) >= cchPath)
    {
        szPath[0] = '\0';
        return FALSE;
    }
    lstrcpyA(pName, szFile);
    return TRUE;
}

// Completes the folder the system wrote at szPath, of cchFolder characters
// (0: none, more than cchPath: it did not fit), with szFile.
static BOOL PathInFolder(UINT cchFolder, const char* szFile, char* szPath, DWORD cchPath)
{
    UINT cchFile = lstrlenA(szFile);

    if (cchFolder == 0 || cchFolder + (cchFile != 0 ? 1 + cchFile : 0) >= cchPath)
    {
        szPath[0] = '\0';
        return FALSE;
    }
    if (cchFile != 0)
    {
        lstrcatA(szPath, "\\");
        lstrcatA(szPath, szFile);
    }
    return TRUE;
}

BOOL PathInSystemFolder(const char* szFile, char* szPath, DWORD cchPath)
{
    return PathInFolder(GetSystemDirectoryA(szPath, cchPath), szFile, szPath, cchPath);
}

BOOL PathInWindowsFolder(const char* szFile, char* szPath, DWORD cchPath)
{
    // The system's Windows folder: under Terminal Server GetWindowsDirectory
    // gives each user a folder of their own.
    return PathInFolder(GetSystemWindowsDirectoryA(szPath, cchPath), szFile, szPath, cchPath);
}

FARPROC SystemProcAddress(const char* szDll, const char* szProc)
{
    char szPath[MAX_PATH];
    HMODULE hModule;

    if (!PathInSystemFolder(szDll, szPath, MAX_PATH))
        return NULL;
    hModule = LoadLibraryA(szPath);
    return hModule != NULL ? GetProcAddress(hModule, szProc) : NULL;
}
