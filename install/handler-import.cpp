// handler-import.exe FILE.reg: imports message handlers from a registry
// export into HKEY_LOCAL_MACHINE\SOFTWARE\Quorbit\Message Handlers, the way
// import-handlers.cmd promises. The file is opened and read once; what was
// read is checked whole and then written by this program, so no other
// reader can see other lines, or another file, than the ones checked. As a
// 32-bit program it writes the 32-bit view on 64-bit Windows, the one the
// client reads, and its manifest keeps Windows from virtualizing a write
// that HKLM refuses.
//
// Exit code 0: imported; 1: nothing was imported, and it says why; 2: usage.
#include "reg_changes.h"
#include "reg_file.h"
#include "registry_tree.h"
#include "system_text.h"
#include <shellapi.h>

namespace {

const WCHAR c_wszSays[] = L"import-handlers: ";
const WCHAR c_wszNothing[] = L"; nothing was imported";
const DWORD c_cbMaxFile = 64 * 1024 * 1024;
const WCHAR c_wszMaxFile[] = L"64 MB";
// Progress on files of this many lines, every few seconds.
const int c_cLinesForProgress = 1000;
const DWORD c_msProgress = 3000;

struct PROGRESS
{
    int cLines;
    DWORD dwLast;
    const WCHAR* pwszDoing;
};

// Writes the pieces, up to a NULL, and a line end: to the console in
// Unicode, or in the console's code page when the output goes to a file or
// a pipe.
void Say(const WCHAR* pwsz, ...)
{
    HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD dwMode = 0;
    BOOL fConsole = GetConsoleMode(hOut, &dwMode);
    UINT uCodePage = GetConsoleOutputCP() != 0 ? GetConsoleOutputCP() : GetOEMCP();
    va_list args;

    va_start(args, pwsz);
    for (const WCHAR* pwszPiece = pwsz; pwszPiece != NULL; pwszPiece = va_arg(args, const WCHAR*))
    {
        DWORD cchPiece = (DWORD)lstrlenW(pwszPiece);
        DWORD cbWritten = 0;
        int cb;
        char* psz;
        if (fConsole)
        {
            WriteConsoleW(hOut, pwszPiece, cchPiece, &cbWritten, NULL);
            continue;
        }
        cb = WideCharToMultiByte(uCodePage, 0, pwszPiece, (int)cchPiece, NULL, 0, NULL, NULL);
        psz = cb > 0 ? (char*)HeapAlloc(GetProcessHeap(), 0, cb) : NULL;
        if (psz != NULL)
        {
            WideCharToMultiByte(uCodePage, 0, pwszPiece, (int)cchPiece, psz, cb, NULL, NULL);
            WriteFile(hOut, psz, (DWORD)cb, &cbWritten, NULL);
            HeapFree(GetProcessHeap(), 0, psz);
        }
    }
    va_end(args);
    if (fConsole)
        WriteConsoleW(hOut, L"\r\n", 2, &dwMode, NULL);
    else
        WriteFile(hOut, "\r\n", 2, &dwMode, NULL);
}

// The system's words for dwError, in pwszText.
const WCHAR* ErrorText(DWORD dwError, WCHAR* pwszText, int cchText)
{
    char szText[512];
    SystemErrorText(dwError, NULL, szText, sizeof(szText));
    if (MultiByteToWideChar(CP_ACP, 0, szText, -1, pwszText, cchText) == 0)
        pwszText[0] = L'\0';
    return pwszText;
}

// Tells the line every few seconds on a large file.
void SayProgress(void* pv, int iLine)
{
    PROGRESS* pProgress = (PROGRESS*)pv;
    WCHAR wszLine[64];
    if (pProgress->cLines < c_cLinesForProgress || GetTickCount() - pProgress->dwLast < c_msProgress)
        return;
    pProgress->dwLast = GetTickCount();
    wsprintfW(wszLine, L"line %d of %d", iLine, pProgress->cLines);
    Say(c_wszSays, pProgress->pwszDoing, wszLine, NULL);
}

// Reads the whole file, at most c_cbMaxFile bytes, into *ppb. A folder
// answers ERROR_DIRECTORY.
DWORD ReadWholeFile(HANDLE hHeap, const WCHAR* pwszFile, BYTE** ppb, DWORD* pcb)
{
    HANDLE hFile = CreateFileW(pwszFile, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD dwError = ERROR_SUCCESS;
    DWORD cb = 0;
    DWORD cbRead = 0;
    BYTE* pb = NULL;

    if (hFile == INVALID_HANDLE_VALUE)
    {
        // A folder cannot be opened so: Windows says access is denied.
        dwError = GetLastError();
        DWORD dwAttributes = GetFileAttributesW(pwszFile);
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return ERROR_DIRECTORY;
        return dwError;
    }
    cb = GetFileSize(hFile, NULL);
    if (cb == INVALID_FILE_SIZE || cb > c_cbMaxFile)
        dwError = ERROR_FILE_TOO_LARGE;
    else if ((pb = (BYTE*)HeapAlloc(hHeap, 0, cb + 1)) == NULL)
        dwError = ERROR_NOT_ENOUGH_MEMORY;
    else if (!ReadFile(hFile, pb, cb, &cbRead, NULL))
        dwError = GetLastError();
    else if (cbRead != cb)
        dwError = ERROR_HANDLE_EOF;
    CloseHandle(hFile);
    *ppb = pb;
    *pcb = cb;
    return dwError;
}

void SayRefused(const WCHAR* pwszFile, const REGFILEREAD* pRead)
{
    WCHAR wszLine[80];
    WCHAR wszLimit[80];
    const WCHAR* pwszWhy = L" is not a key, a value or a comment";
    const WCHAR* pwszEncoding = L"UTF-8";

    wsprintfW(wszLine, L" line %d", pRead->iLine);
    switch (pRead->refusal)
    {
    case REGFILE_NOT_AN_EXPORT:
        Say(c_wszSays, L"\"", pwszFile, L"\" is not a registry export", c_wszNothing, NULL);
        return;
    case REGFILE_ENCODING:
        if (pRead->encoding == REGENC_UTF16_NO_BOM)
            pwszEncoding = L"UTF-16 without a byte order mark";
        else if (pRead->encoding == REGENC_UTF16_BIG_ENDIAN)
            pwszEncoding = L"big-endian UTF-16";
        Say(c_wszSays, L"\"", pwszFile, L"\" is saved as ", pwszEncoding,
            L"; save it as Unicode (UTF-16) or ANSI", c_wszNothing, NULL);
        return;
    case REGFILE_OUTSIDE_ROOT:
        Say(c_wszSays, L"\"", pwszFile, L"\" holds keys outside HKLM\\", c_wszHandlersKey, L" (", wszLine + 1, L")",
            c_wszNothing, NULL);
        return;
    case REGFILE_CONTROL_CHARACTER:
        wsprintfW(wszLine, L" line %d holds a control character (0x%02X)", pRead->iLine, pRead->chControl);
        pwszWhy = L"";
        break;
    case REGFILE_NOT_TEXT:
        pwszWhy = L" holds bytes that are no text in this code page";
        break;
    case REGFILE_VALUE_WITHOUT_KEY:
        pwszWhy = L" holds a value outside any key";
        break;
    case REGFILE_BAD_VALUE:
        pwszWhy = L" holds a value that cannot be read";
        break;
    case REGFILE_WOW6432NODE:
        pwszWhy = L" names a key Wow6432Node, which would hide the handlers from the mail client";
        break;
    case REGFILE_TOO_DEEP:
        wsprintfW(wszLimit, L" names a key more than %d levels deep", REG_MAX_LEVELS);
        pwszWhy = wszLimit;
        break;
    case REGFILE_NAME_TOO_LONG:
        wsprintfW(wszLimit, L" names a key longer than %d characters", REG_MAX_NAME);
        pwszWhy = wszLimit;
        break;
    case REGFILE_PATH_TOO_LONG:
        wsprintfW(wszLimit, L" names a key whose whole name is longer than %d characters", REG_MAX_PATH);
        pwszWhy = wszLimit;
        break;
    case REGFILE_NO_MEMORY:
        pwszWhy = L": there is not enough memory to read it";
        break;
    default:
        break;
    }
    Say(c_wszSays, L"\"", pwszFile, L"\"", wszLine, pwszWhy, c_wszNothing, NULL);
}

// Whether the changes name a key, which makes the root when it is missing.
BOOL NamesKey(const REGOP* pFirst)
{
    for (const REGOP* pOp = pFirst; pOp != NULL; pOp = pOp->pNext)
    {
        if (pOp->kind == REGOP_KEY)
            return TRUE;
    }
    return FALSE;
}

// Makes the handlers' root; *ppwszMade names the first key below
// HKEY_LOCAL_MACHINE that had to be made, on hHeap, or is NULL.
LONG MakeRoot(HANDLE hHeap, HKEY* phRoot, WCHAR** ppwszMade)
{
    WCHAR* pwszKey = CopyRegText(hHeap, c_wszHandlersKey, lstrlenW(c_wszHandlersKey));
    HKEY hKey = NULL;

    *ppwszMade = NULL;
    if (pwszKey == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    // The shortest path that is missing, one level up at a time.
    for (WCHAR* p = pwszKey + lstrlenW(pwszKey); p > pwszKey; p--)
    {
        if (*p != L'\\' && *p != L'\0')
            continue;
        WCHAR ch = *p;
        *p = L'\0';
        LONG lError = RegOpenKeyExW(HKEY_LOCAL_MACHINE, pwszKey, 0, KEY_READ, &hKey);
        *p = ch;
        if (lError != ERROR_FILE_NOT_FOUND)
            break;
        *ppwszMade = CopyRegText(hHeap, pwszKey, (int)(p - pwszKey));
    }
    if (hKey != NULL)
        RegCloseKey(hKey);
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, c_wszHandlersKey, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, phRoot,
                           NULL);
}

// Says what stopped the import at pOp, or before any change with pOp NULL.
void SayNotWritten(const WCHAR* pwszFile, const REGOP* pOp, LONG lError, BOOL fUndone)
{
    WCHAR wszError[512];
    WCHAR wszLine[40];

    if (lError == ERROR_ACCESS_DENIED && pOp == NULL)
    {
        Say(c_wszSays, L"only an administrator can change message handlers; run this as an administrator", NULL);
        return;
    }
    wszLine[0] = L'\0';
    if (pOp != NULL)
        wsprintfW(wszLine, L" line %d", pOp->iLine);
    Say(c_wszSays, L"\"", pwszFile, L"\"", wszLine, pOp != NULL ? L" could not be written: " : L" was not imported: ",
        ErrorText(lError, wszError, 512),
        !fUndone ? L" What was there before could not all be put back." : pOp != NULL ? L" Nothing was imported." : L"",
        NULL);
}

int ImportFile(HANDLE hHeap, const WCHAR* pwszFile)
{
    REGFILEREAD read;
    PROGRESS progress = {0, GetTickCount(), L""};
    WCHAR wszError[512];
    WCHAR wszLine[40];
    BYTE* pb = NULL;
    DWORD cb = 0;
    HKEY hRoot = NULL;
    WCHAR* pwszMade = NULL;
    WCHAR* pwszLink = NULL;
    const REGOP* pFailed = NULL;
    BOOL fUndone = TRUE;
    LONG lError;

    lError = (LONG)ReadWholeFile(hHeap, pwszFile, &pb, &cb);
    if (lError == ERROR_FILE_NOT_FOUND || lError == ERROR_PATH_NOT_FOUND)
    {
        Say(c_wszSays, L"there is no file \"", pwszFile, L"\"", NULL);
        return 1;
    }
    if (lError == ERROR_DIRECTORY)
    {
        Say(c_wszSays, L"\"", pwszFile, L"\" is a folder; give the name of a registry file", c_wszNothing, NULL);
        return 1;
    }
    if (lError == ERROR_FILE_TOO_LARGE)
    {
        Say(c_wszSays, L"\"", pwszFile, L"\" is larger than ", c_wszMaxFile, L", the most this program reads",
            c_wszNothing, NULL);
        return 1;
    }
    if (lError != ERROR_SUCCESS)
    {
        Say(c_wszSays, L"\"", pwszFile, L"\" cannot be read: ", ErrorText(lError, wszError, 512),
            L" Nothing was imported.", NULL);
        return 1;
    }
    ZeroMemory(&read, sizeof(read));
    ReadRegFile(hHeap, pb, cb, &read);
    if (read.refusal != REGFILE_READ)
    {
        SayRefused(pwszFile, &read);
        return 1;
    }
    progress.cLines = read.iLine;

    // A root that is missing is made only for a file that names a key;
    // there is nothing to remove below it, nor any link.
    lError = RegOpenKeyExW(HKEY_LOCAL_MACHINE, c_wszHandlersKey, 0, KEY_READ | KEY_WRITE, &hRoot);
    if (lError == ERROR_SUCCESS)
    {
        progress.pwszDoing = L"looking for registry links, ";
        lError = FindRegLink(hHeap, hRoot, read.pFirst, SayProgress, &progress, &pFailed, &pwszLink);
        if (lError == ERROR_SUCCESS && pFailed != NULL)
        {
            RegCloseKey(hRoot);
            wsprintfW(wszLine, L" line %d", pFailed->iLine);
            Say(c_wszSays, L"\"", pwszFile, L"\"", wszLine, L" reaches the registry link ", c_wszMachine,
                c_wszHandlersKey, pwszLink[0] != L'\0' ? L"\\" : L"", pwszLink, L", which the import does not follow",
                c_wszNothing, NULL);
            return 1;
        }
    }
    else if (lError == ERROR_FILE_NOT_FOUND && !NamesKey(read.pFirst))
    {
        Say(c_wszSays, L"imported \"", pwszFile, L"\"", NULL);
        return 0;
    }
    else if (lError == ERROR_FILE_NOT_FOUND)
        lError = MakeRoot(hHeap, &hRoot, &pwszMade);
    if (lError != ERROR_SUCCESS)
    {
        if (hRoot != NULL)
            RegCloseKey(hRoot);
        SayNotWritten(pwszFile, NULL, lError, TRUE);
        return 1;
    }
    progress.pwszDoing = L"";
    lError = MakeRegChanges(hHeap, hRoot, read.pFirst, SayProgress, &progress, &pFailed, &fUndone);
    RegCloseKey(hRoot);
    if (lError == ERROR_SUCCESS)
    {
        Say(c_wszSays, L"imported \"", pwszFile, L"\"", NULL);
        return 0;
    }
    // What this import created goes too: nothing of it is left.
    if (fUndone && pwszMade != NULL)
    {
        LONG lDeleted = DeleteKeyTree(HKEY_LOCAL_MACHINE, pwszMade, NULL);
        fUndone = lDeleted == ERROR_SUCCESS || lDeleted == ERROR_FILE_NOT_FOUND;
    }
    SayNotWritten(pwszFile, pFailed, lError, fUndone);
    return 1;
}

}  // namespace

int main()
{
    int iResult = 2;
    int cArgs = 0;
    LPWSTR* ppwszArgs = CommandLineToArgvW(GetCommandLineW(), &cArgs);
    HANDLE hHeap = HeapCreate(0, 0, 0);

    if (ppwszArgs == NULL || hHeap == NULL)
        iResult = 1;
    else if (cArgs != 2)
        Say(L"usage: handler-import.exe FILE.reg", NULL);
    else
        iResult = ImportFile(hHeap, ppwszArgs[1]);
    if (hHeap != NULL)
        HeapDestroy(hHeap);
    if (ppwszArgs != NULL)
        LocalFree(ppwszArgs);
    return iResult;
}
