// Program texts: which program a text means, if it means one, and whether
// it can be started as it is meant.
#include "program_path.h"
#include "ansi_text.h"
#include "full_paths.h"
#include "same_text.h"

// The system takes "/" as it takes "\". Callers walk text by characters:
// in a double-byte code page a second byte may have the value of "\".
static BOOL IsSeparator(char ch)
{
    return ch == '\\' || ch == '/';
}

BOOL IsFullPath(const char* szText)
{
    char chDrive = (char)(szText[0] | 0x20);

    if (IsSeparator(szText[0]) && IsSeparator(szText[1]))
        return szText[2] != '\0' && !IsSeparator(szText[2]);
    return chDrive >= 'a' && chDrive <= 'z' && szText[1] == ':' && IsSeparator(szText[2]);
}

// A file name without any folder: no separator, no drive, and no "%", which
// would be a variable that nobody expands.
static BOOL IsBareName(const char* szName)
{
    return szName[0] != '\0' && !HasCharacter(szName, '\\') && !HasCharacter(szName, '/') &&
           !HasCharacter(szName, ':') && !HasCharacter(szName, '%');
}

// The "." that begins the extension of szPath's file name, or NULL.
static const char* FindExtension(const char* szPath)
{
    const char* pExtension = NULL;

    for (const char* p = szPath; *p != '\0'; p = CharNextA(p))
    {
        if (IsSeparator(*p))
            pExtension = NULL;
        else if (*p == '.')
            pExtension = p;
    }
    return pExtension;
}

// The file the full path szPath names, ".exe" added when its name has no
// extension, by its full path as the system opens it: SearchPathA makes it
// so, without the trailing dots and blanks the system drops, and "run.bat."
// is known for the batch file it is. The name with ".exe" is asked for
// itself: SearchPathA adds the extension only where nothing has the bare
// name, and a folder C:\Tools\imp would hide C:\Tools\imp.exe. A folder is
// never the program.
static BOOL FindFullPath(const char* szPath, char* szFound, DWORD cchFound)
{
    char szName[MAX_PATH + 4];
    DWORD cch = 0;
    DWORD dwAttributes = INVALID_FILE_ATTRIBUTES;

    if (lstrlenA(szPath) < MAX_PATH)
    {
        lstrcpyA(szName, szPath);
        if (FindExtension(szName) == NULL)
            lstrcatA(szName, ".exe");
        cch = SearchPathA(NULL, szName, NULL, cchFound, szFound, NULL);
    }
    if (cch != 0 && cch < cchFound)
        dwAttributes = GetFileAttributesA(szFound);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        szFound[0] = '\0';
        return FALSE;
    }
    return TRUE;
}

// Looks for the bare name szName in the folder of cchFolder characters at
// szFolder, which must be a full path on its own: "C:" is drive C's current
// folder, "Tools" and "." are folders below the current one.
static BOOL FindInFolder(const char* szFolder, int cchFolder, const char* szName, char* szFound, DWORD cchFound)
{
    char szPath[MAX_PATH];
    int cch = cchFolder;

    if (cchFolder <= 0 || cchFolder + 1 + lstrlenA(szName) >= MAX_PATH)
        return FALSE;
    CopyMemory(szPath, szFolder, cchFolder);
    szPath[cch] = '\0';
    if (!IsFullPath(szPath))
        return FALSE;
    if (!IsSeparator(*CharPrevA(szFolder, szFolder + cchFolder)))
        szPath[cch++] = '\\';
    lstrcpyA(szPath + cch, szName);
    return FindFullPath(szPath, szFound, cchFound);
}

// Looks for the bare name szName in each folder of PATH, in order. An entry
// with a "%" names a variable that nobody expanded, not a folder.
static BOOL FindInPath(const char* szName, char* szFound, DWORD cchFound)
{
    DWORD cch = GetEnvironmentVariableA("PATH", NULL, 0);
    LPSTR lpszPath = cch != 0 ? (LPSTR)LocalAlloc(LMEM_FIXED, cch) : NULL;
    BOOL fFound = FALSE;

    if (lpszPath != NULL && GetEnvironmentVariableA("PATH", lpszPath, cch) < cch)
    {
        for (LPSTR p = lpszPath; !fFound && *p != '\0';)
        {
            LPSTR pEnd = (LPSTR)FindCharacter(p, ';');
            char chEnd = *pEnd;
            *pEnd = '\0';
            fFound = !HasCharacter(p, '%') && FindInFolder(p, (int)(pEnd - p), szName, szFound, cchFound);
            p = chEnd != '\0' ? pEnd + 1 : pEnd;
        }
    }
    LocalFree(lpszPath);
    return fFound;
}

BOOL FindProgramFile(const char* szName, char* szFound, DWORD cchFound)
{
    // The client's own folder, the system folder, the 16-bit system folder
    // and the Windows folder: the system's order, without the current
    // folder that it takes after the first.
    char aszFolders[4][MAX_PATH];

    szFound[0] = '\0';
    if (IsFullPath(szName))
        return FindFullPath(szName, szFound, cchFound);
    if (!IsBareName(szName))
        return FALSE;
    PathBesideModule(NULL, "", aszFolders[0], MAX_PATH);
    PathInSystemFolder("", aszFolders[1], MAX_PATH);
    PathInWindowsFolder("system", aszFolders[2], MAX_PATH);
    PathInWindowsFolder("", aszFolders[3], MAX_PATH);
    for (int i = 0; i < 4; i++)
    {
        if (FindInFolder(aszFolders[i], lstrlenA(aszFolders[i]), szName, szFound, cchFound))
            return TRUE;
    }
    return FindInPath(szName, szFound, cchFound);
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

BOOL IsBatchFile(const char* szPath)
{
    const char* pExtension = FindExtension(szPath);

    if (pExtension == NULL)
        return FALSE;
    // Longer extensions that begin so count too: cmd.exe then reads a line
    // it can only read as it is meant.
    return ((pExtension[1] | 0x20) == 'b' && (pExtension[2] | 0x20) == 'a' && (pExtension[3] | 0x20) == 't') ||
           ((pExtension[1] | 0x20) == 'c' && (pExtension[2] | 0x20) == 'm' && (pExtension[3] | 0x20) == 'd');
}

BOOL FolderToStartIn(const char* szProgram, char* szFolder, DWORD cchFolder)
{
    const char* pName = szProgram;
    DWORD cch;

    if (IsBatchFile(szProgram) && IsSeparator(szProgram[0]) && IsSeparator(szProgram[1]))
        return PathInSystemFolder("", szFolder, cchFolder);
    for (const char* p = szProgram; *p != '\0'; p = CharNextA(p))
    {
        if (IsSeparator(*p))
            pName = p + 1;
    }
    // Without the last separator, but a drive's root keeps it: "C:" is
    // drive C's current folder.
    cch = (DWORD)(pName - szProgram);
    if (cch > 0 && !(cch == 3 && szProgram[1] == ':'))
        cch--;
    if (cch == 0 || cch >= cchFolder)
    {
        szFolder[0] = '\0';
        return FALSE;
    }
    lstrcpynA(szFolder, szProgram, cch + 1);
    return TRUE;
}

// Whether the double quotes in szText pair.
static BOOL QuotesPair(const char* szText)
{
    BOOL fOpen = FALSE;

    for (const char* p = FindCharacter(szText, '"'); *p != '\0'; p = FindCharacter(p + 1, '"'))
        fOpen = !fOpen;
    return !fOpen;
}

// The first character of szArgs that cmd.exe reads as more than text, or
// NULL: & | < > ^ ( ) outside double quotes are operators, "%" is expanded
// even inside them and cannot be escaped on a command line, and a line
// break ends the command. "!" is text: the line turns delayed expansion
// off. The quotes pair (SettleProgramText checks), so no quote is left
// open to swallow what follows.
static const char* FindCmdOperator(const char* szArgs)
{
    BOOL fQuoted = FALSE;

    for (const char* p = szArgs; *p != '\0'; p = CharNextA(p))
    {
        if (*p == '"')
            fQuoted = !fQuoted;
        else if (*p == '%' || *p == '\r' || *p == '\n' || (!fQuoted && HasCharacter("&|<>^()", *p)))
            return p;
    }
    return NULL;
}

// The first double quote in szArgs that a program's C runtime reads as
// text, or NULL: after an odd run of backslashes it keeps half the run and
// takes the quote as a character of the argument. "C:\Out Dir\" then opens
// a quote that nothing closes, and every argument after it runs into one;
// "C:\Out Dir\\" closes where it is written, and gives C:\Out Dir\. Walked by
// characters, as the runtime walks a double-byte code page.
static const char* FindEscapedQuote(const char* szArgs)
{
    int cBackslashes = 0;

    for (const char* p = szArgs; *p != '\0'; p = CharNextA(p))
    {
        if (*p == '"' && cBackslashes % 2 != 0)
            return p;
        cBackslashes = *p == '\\' ? cBackslashes + 1 : 0;
    }
    return NULL;
}

// Whether the text goes on as a path after pEnd: a longer leading part of
// it, up to a later path separator, a blank or its end, names an existing
// folder. "C:\Program" in "C:\Program Files\T\imp.exe" is where a path goes
// on, not where a program ends, and so is "C:\My" in "C:\My Tools -q" where
// the folder "C:\My Tools" exists. A part that ends in a run of blanks is
// the part before them.
static BOOL PathGoesOn(const char* szText, const char* pEnd)
{
    char szPart[MAX_PATH];
    char chBefore = '\0';

    for (const char* p = pEnd; p - szText < MAX_PATH; chBefore = *p, p = CharNextA(p))
    {
        if (p > pEnd && (IsSeparator(*p) || *p == '\0' || (IsBlank(*p) && !IsBlank(chBefore))))
        {
            lstrcpynA(szPart, szText, (int)(p - szText) + 1);
            DWORD dwAttributes = GetFileAttributesA(szPart);
            if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
                return TRUE;
        }
        if (*p == '\0')
            break;
    }
    return FALSE;
}

// The program that the cch characters at pName name, all of them.
static PROGRAMTEXT SettleName(const char* pName, int cch, char* szProgram, DWORD cchProgram)
{
    char szName[MAX_PATH];

    if (cch >= MAX_PATH)
        return PROGRAM_NOT_FOUND;
    lstrcpynA(szName, pName, cch + 1);
    if (!IsFullPath(szName) && !IsBareName(szName))
        return PROGRAM_RELATIVE;
    return FindProgramFile(szName, szProgram, cchProgram) ? PROGRAM_AS_WRITTEN : PROGRAM_NOT_FOUND;
}

// The one program an unquoted text with a blank can mean.
static PROGRAMTEXT SettleReadings(const char* szText, char* szProgram, DWORD cchProgram, const char** ppszArgs)
{
    char szPart[MAX_PATH];
    char szFound[MAX_PATH];
    char szReading[MAX_PATH] = "";
    const char* pReading = NULL;
    int cReadings = 0;
    char chBefore = '\0';
    BOOL fFullPath = IsFullPath(szText);
    // A text that is no full path begins with a bare name, or is refused;
    // its longer parts that hold a folder name nothing.
    int cchFirst = (int)(FindBlank(szText) - szText);

    lstrcpynA(szPart, szText, (cchFirst < MAX_PATH ? cchFirst : MAX_PATH - 1) + 1);
    if (!fFullPath && !IsBareName(szPart))
        return PROGRAM_RELATIVE;

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
            if (FindProgramFile(szPart, szFound, MAX_PATH) && !SameName(szFound, szReading) &&
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
    // Only a full path goes on into folders: a bare name's would be the
    // current folder's.
    if (cReadings == 0 || (fFullPath && PathGoesOn(szText, pReading)) || (DWORD)lstrlenA(szReading) >= cchProgram)
        return PROGRAM_NOT_FOUND;
    lstrcpyA(szProgram, szReading);
    *ppszArgs = pReading;
    return PROGRAM_SETTLED;
}

PROGRAMTEXT SettleProgramText(const char* szText, char* szProgram, DWORD cchProgram, const char** ppszArgs)
{
    PROGRAMTEXT pt;
    const char* pOperator;

    szProgram[0] = '\0';
    *ppszArgs = NULL;
    if (IsBlank(szText[0]))
        return PROGRAM_LEADING_BLANK;
    if (!QuotesPair(szText))
        return PROGRAM_UNPAIRED_QUOTES;
    if (szText[0] == '"')
    {
        // The system would append ".exe" to the quoted part and start
        // "C:\Program Files.exe" for "C:\Program Files"\T\imp.exe.
        const char* pClose = FindCharacter(szText + 1, '"');
        if (pClose[1] != '\0' && !IsBlank(pClose[1]))
            return PROGRAM_QUOTE_GOES_ON;
        pt = SettleName(szText + 1, (int)(pClose - szText - 1), szProgram, cchProgram);
        *ppszArgs = pClose + 1;
    }
    else if (*FindBlank(szText) == '\0')
    {
        pt = SettleName(szText, lstrlenA(szText), szProgram, cchProgram);
        *ppszArgs = szText + lstrlenA(szText);
    }
    else
        pt = SettleReadings(szText, szProgram, cchProgram, ppszArgs);

    if (pt != PROGRAM_AS_WRITTEN && pt != PROGRAM_SETTLED)
    {
        *ppszArgs = NULL;
        return pt;
    }
    // A program's arguments are read by its C runtime, where a backslash
    // may make a quote text.
    if (!IsBatchFile(szProgram))
    {
        const char* pQuote = FindEscapedQuote(*ppszArgs);
        if (pQuote == NULL)
            return pt;
        *ppszArgs = pQuote;
        return PROGRAM_ESCAPED_QUOTE;
    }
    // cmd.exe reads a batch file's line again: the path goes in quotes,
    // where only "%" still means something, and the arguments must be text.
    if (HasCharacter(szProgram, '%'))
    {
        *ppszArgs = NULL;
        return PROGRAM_BATCH_PATH;
    }
    pOperator = FindCmdOperator(*ppszArgs);
    if (pOperator == NULL)
        return pt;
    *ppszArgs = pOperator;
    return PROGRAM_BATCH_ARGUMENTS;
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
