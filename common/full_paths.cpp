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

FARPROC SystemProcAddress(const char* szDll, const char* szProc)
{
    char szPath[MAX_PATH];
    UINT cch = GetSystemDirectoryA(szPath, MAX_PATH);
    HMODULE hModule;

    if (cch == 0 || cch + 1 + lstrlenA(szDll) >= MAX_PATH)
        return NULL;
    lstrcatA(szPath, "\\");
    lstrcatA(szPath, szDll);
    hModule = LoadLibraryA(szPath);
    return hModule != NULL ? GetProcAddress(hModule, szProc) : NULL;
}

BOOL PathInWindowsFolder(const char* szFile, char* szPath, DWORD cchPath)
{
    // The system's Windows folder: under Terminal Server GetWindowsDirectory
    // gives each user a folder of their own.
    UINT cch = GetSystemWindowsDirectoryA(szPath, cchPath);

    if (cch == 0 || cch + 1 + lstrlenA(szFile) >= cchPath)
    {
        szPath[0] = '\0';
        return FALSE;
    }
    lstrcatA(szPath, "\\");
    lstrcatA(szPath, szFile);
    return TRUE;
}
