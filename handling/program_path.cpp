// Program texts: which program an unquoted text means, if it means one.
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

// Blanks end a program path as the system reads a command line: blanks
// and tabs. Neither byte is ever the second byte of a double-byte character.
BOOL IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

const char* FindBlank(const char* szText)
{
    const char* pBlank = FindCharacter(szText, ' ');
    const char* pTab = FindCharacter(szText, '\t');
    return pTab < pBlank ? pTab : pBlank;
}

// Whether the text goes on as a path after pEnd: a longer leading part of
// it, up to a later path separator (the system takes "/" as it takes "\"),
// names an existing folder. "C:\Program" in "C:\Program Files\T\imp.exe"
// is where a path goes on, not where a program ends.
static BOOL PathGoesOn(const char* szText, const char* pEnd)
{
    char szPart[MAX_PATH];

    for (const char* p = pEnd; *p != '\0' && p - szText < MAX_PATH; p = CharNextA(p))
    {
        if (*p != '\\' && *p != '/')
            continue;
        lstrcpynA(szPart, szText, (int)(p - szText) + 1);
        DWORD dwAttributes = GetFileAttributesA(szPart);
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return TRUE;
    }
    return FALSE;
}

PROGRAMTEXT SettleProgramText(const char* szText, char* szProgram, DWORD cchProgram, const char** ppszArgs)
{
    char szPart[MAX_PATH];
    char szFound[MAX_PATH];
    char szReading[MAX_PATH] = "";
    const char* pReading = NULL;
    int cReadings = 0;
    char chBefore = '\0';

    szProgram[0] = '\0';
    *ppszArgs = NULL;
    if (szText[0] == '"' || *FindBlank(szText) == '\0')
        return PROGRAM_AS_WRITTEN;

    // Every part that ends at the first blank of a run, or at the end of
    // the text. Walked by characters, as a double-byte code page asks.
    for (const char* p = szText;; chBefore = *p, p = CharNextA(p))
    {
        int cch = (int)(p - szText);
        if ((IsBlank(*p) || *p == '\0') && cch > 0 && !IsBlank(chBefore) && cch < MAX_PATH)
        {
            lstrcpynA(szPart, szText, cch + 1);
            // A longer part that names the same file ("imp.exe ." is
            // imp.exe) is no other reading: the system takes the shorter.
            if (FindProgramFile(szPart, szFound, MAX_PATH) && lstrcmpiA(szFound, szReading) != 0 &&
                ++cReadings == 1)
            {
                pReading = p;
                lstrcpyA(szReading, szFound);
            }
        }
        if (*p == '\0')
            break;
    }

    if (cReadings > 1)
        return PROGRAM_AMBIGUOUS;
    if (cReadings == 0 || PathGoesOn(szText, pReading))
        return PROGRAM_NOT_FOUND;
    if ((DWORD)lstrlenA(szReading) >= cchProgram)
        return PROGRAM_AMBIGUOUS;
    lstrcpyA(szProgram, szReading);
    *ppszArgs = pReading;
    return PROGRAM_SETTLED;
}

BOOL QuoteProgramPath(char* szText, int cchText)
{
    char szFound[MAX_PATH];
    int cch = lstrlenA(szText);

    if (szText[0] == '"' || *FindBlank(szText) == '\0' || cch + 2 >= cchText)
        return FALSE;
    if (!FindProgramFile(szText, szFound, MAX_PATH))
        return FALSE;
    MoveMemory(szText + 1, szText, cch);
    szText[0] = '"';
    szText[cch + 1] = '"';
    szText[cch + 2] = '\0';
    return TRUE;
}
