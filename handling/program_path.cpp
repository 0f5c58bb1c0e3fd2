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

// Whether szPart ends in the extension of a program, as written: the
// system then adds nothing to find it. The dot is never the second byte of
// a double-byte character, and neither of the letters after it can start
// one, so the last four bytes are these four characters.
static BOOL NamesProgramExtension(const char* szPart)
{
    int cch = lstrlenA(szPart);

    return cch >= 4 && (lstrcmpiA(szPart + cch - 4, ".exe") == 0 || lstrcmpiA(szPart + cch - 4, ".com") == 0);
}

PROGRAMTEXT SettleProgramText(const char* szText, char* szProgram, DWORD cchProgram, const char** ppszArgs)
{
    char szPart[MAX_PATH];
    char szFound[MAX_PATH];
    char szReading[MAX_PATH] = "";
    const char* pReading = NULL;
    BOOL fNamesExtension = FALSE;
    int cReadings = 0;
    char chBefore = '\0';

    szProgram[0] = '\0';
    *ppszArgs = NULL;
    if (szText[0] == '"' || !HasCharacter(szText, ' '))
        return PROGRAM_AS_WRITTEN;

    // Every part that ends at the first blank of a run, or at the end of
    // the text. Walked by characters, as a double-byte code page asks.
    for (const char* p = szText;; chBefore = *p, p = CharNextA(p))
    {
        int cch = (int)(p - szText);
        if ((*p == ' ' || *p == '\0') && cch > 0 && chBefore != ' ' && cch < MAX_PATH)
        {
            lstrcpynA(szPart, szText, cch + 1);
            if (FindProgramFile(szPart, szFound, MAX_PATH) && ++cReadings == 1)
            {
                pReading = p;
                fNamesExtension = NamesProgramExtension(szPart);
                lstrcpyA(szReading, szFound);
            }
        }
        if (*p == '\0')
            break;
    }

    if (cReadings == 0)
        return PROGRAM_NOT_FOUND;
    if (cReadings > 1 || (!fNamesExtension && HasCharacter(pReading, '\\')) ||
        (DWORD)lstrlenA(szReading) >= cchProgram)
        return PROGRAM_AMBIGUOUS;
    lstrcpyA(szProgram, szReading);
    *ppszArgs = pReading;
    return PROGRAM_SETTLED;
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
