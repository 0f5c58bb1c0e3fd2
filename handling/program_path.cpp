// Program texts: finding the program an unquoted text means.
#include "program_path.h"
#include "ansi_text.h"

BOOL FindProgramFile(const char* szName, char* szFound, DWORD cchFound)
{
    DWORD cch;
    DWORD dwAttributes;

    szFound[0] = '\0';
    if (szName[0] == '\0')
        return FALSE;
    cch = SearchPathA(NULL, szName, ".exe", cchFound, szFound, NULL);
    if (cch == 0 || cch >= cchFound)
    {
        szFound[0] = '\0';
        return FALSE;
    }
    dwAttributes = GetFileAttributesA(szFound);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        szFound[0] = '\0';
        return FALSE;
    }
    return TRUE;
}

BOOL FindUnquotedProgram(const char* szText, char* szProgram, DWORD cchProgram)
{
    char szPart[MAX_PATH];
    char szFound[MAX_PATH];
    int cchText = lstrlenA(szText);
    BOOL fFound = FALSE;

    szProgram[0] = '\0';
    if (szText[0] == '"' || !HasCharacter(szText, ' ') || cchText >= MAX_PATH)
        return FALSE;
    if (FindProgramFile(szText, szProgram, cchProgram))
        return TRUE;
    // Each part that ends at a blank, shortest first: the last one found is
    // the longest. Walked by characters, as a double-byte code page asks.
    for (const char* p = szText; *p != '\0'; p = CharNextA(p))
    {
        if (*p != ' ' || p == szText)
            continue;
        lstrcpynA(szPart, szText, (int)(p - szText) + 1);
        if (FindProgramFile(szPart, szFound, MAX_PATH) && (DWORD)lstrlenA(szFound) < cchProgram)
        {
            lstrcpyA(szProgram, szFound);
            fFound = TRUE;
        }
    }
    return fFound;
}

BOOL QuoteProgramPath(char* szText, int cchText)
{
    char szFound[MAX_PATH];
    int cch = lstrlenA(szText);

    if (szText[0] == '"' || !HasCharacter(szText, ' ') || cch + 2 >= cchText)
        return FALSE;
    if (!FindProgramFile(szText, szFound, MAX_PATH))
        return FALSE;
    MoveMemory(szText + 1, szText, cch);
    szText[0] = '"';
    szText[cch + 1] = '"';
    szText[cch + 2] = '\0';
    return TRUE;
}
