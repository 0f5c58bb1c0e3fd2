// What the import says goes to the output it is given, a console in
// Unicode or a file or pipe in the console's code page; which is where the
// program's messages and its tests read them.
#include "reg_import.h"
#include "reg_changes.h"
#include "reg_file.h"
#include "registry_tree.h"
#include "system_text.h"

const WCHAR c_wszImportMutex[] = L"Global\\Quorbit handler import";

namespace {

const WCHAR c_wszSays[] = L"import-handlers: ";
const WCHAR c_wszNothing[] = L"; nothing was imported";
const DWORD c_cbMaxFile = 64 * 1024 * 1024;
const WCHAR c_wszMaxFile[] = L"64 MB";
// The registry's limits that a file's lines pass, and the words for each.
struct LIMIT
{
    REGREFUSAL refusal;
    const WCHAR* pwszWords;
    int iLimit;
};
const LIMIT c_limits[] = {
    {REGFILE_TOO_DEEP, L" names a key more than %d levels deep", REG_MAX_LEVELS},
    {REGFILE_NAME_TOO_LONG, L" names a key longer than %d characters", REG_MAX_NAME},
    {REGFILE_PATH_TOO_LONG, L" names a key whose whole name is longer than %d characters", REG_MAX_PATH},
    {REGFILE_VALUE_NAME_TOO_LONG, L" holds a value name longer than %d characters", REG_MAX_VALUE_NAME},
};
// Long work tells where it is this often.
const DWORD c_msProgress = 3000;

struct PROGRESS
{
    HANDLE hOut;
    int cLines;
    DWORD dwLast;
    const WCHAR* pwszDoing;
    BOOL fWriting;
    const IMPORTHOOKS* pHooks;
};

// Writes the pieces, up to a NULL, and a line end to hOut: to a console in
// Unicode, to a file or a pipe in the console's code page.
void Say(HANDLE hOut, const WCHAR* pwsz, ...)
{
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

// Tells the line every few seconds once the work has taken that long, and
// runs the caller's hook.
void SayProgress(void* pv, int iLine)
{
    PROGRESS* pProgress = (PROGRESS*)pv;
    WCHAR wszLine[64];
    if (pProgress->pHooks != NULL && pProgress->pHooks->pfnStep != NULL)
        pProgress->pHooks->pfnStep(pProgress->pHooks->pv, pProgress->fWriting, iLine);
    if (GetTickCount() - pProgress->dwLast < c_msProgress)
        return;
    pProgress->dwLast = GetTickCount();
    wsprintfW(wszLine, L"line %d of %d", iLine, pProgress->cLines);
    Say(pProgress->hOut, c_wszSays, pProgress->pwszDoing, wszLine, NULL);
}

// "10 minutes", "1 second": a time to wait, in words.
const WCHAR* WaitText(DWORD ms, WCHAR* pwszText)
{
    const DWORD dwMinutes = ms / 60000;
    const DWORD dwSeconds = (ms + 999) / 1000;
    if (ms % 60000 == 0)
        wsprintfW(pwszText, dwMinutes == 1 ? L"%lu minute" : L"%lu minutes", dwMinutes);
    else
        wsprintfW(pwszText, dwSeconds == 1 ? L"%lu second" : L"%lu seconds", dwSeconds);
    return pwszText;
}

// Takes the computer's one lock for imports into *phMutex: at once, or
// after saying that it waits, within msWait. WAIT_TIMEOUT when the other
// import did not finish in time. The lock of an import that ended without
// letting go is taken as well.
DWORD TakeImportLock(HANDLE hOut, DWORD msWait, const IMPORTHOOKS* pHooks, HANDLE* phMutex)
{
    WCHAR wszWait[40];
    HANDLE hMutex = CreateMutexW(NULL, FALSE, c_wszImportMutex);
    DWORD dwWait;

    if (hMutex == NULL && GetLastError() == ERROR_ACCESS_DENIED)  // made by another account
        hMutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, c_wszImportMutex);
    if (hMutex == NULL)
        return GetLastError();
    dwWait = WaitForSingleObject(hMutex, 0);
    if (dwWait == WAIT_TIMEOUT)
    {
        Say(hOut, c_wszSays, L"waiting for another import to finish, at most ", WaitText(msWait, wszWait), NULL);
        if (pHooks != NULL && pHooks->pfnWaiting != NULL)
            pHooks->pfnWaiting(pHooks->pv);
        dwWait = WaitForSingleObject(hMutex, msWait);
    }
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
    {
        *phMutex = hMutex;
        return ERROR_SUCCESS;
    }
    dwWait = dwWait == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError();
    CloseHandle(hMutex);
    return dwWait;
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

void SayRefused(HANDLE hOut, const WCHAR* pwszFile, const REGFILEREAD* pRead)
{
    WCHAR wszLine[80];
    WCHAR wszLimit[80];
    const WCHAR* pwszWhy = L" is not a key, a value or a comment";
    const WCHAR* pwszEncoding = L"UTF-8";

    wsprintfW(wszLine, L" line %d", pRead->iLine);
    switch (pRead->refusal)
    {
    case REGFILE_NOT_AN_EXPORT:
        Say(hOut, c_wszSays, L"\"", pwszFile, L"\" is not a registry export", c_wszNothing, NULL);
        return;
    case REGFILE_CUT_SHORT:
        Say(hOut, c_wszSays, L"\"", pwszFile, L"\" is cut short: the end of the file falls in the middle of a character",
            c_wszNothing, NULL);
        return;
    case REGFILE_ENCODING:
        if (pRead->encoding == REGENC_UTF16_NO_BOM)
            pwszEncoding = L"UTF-16 without a byte order mark";
        else if (pRead->encoding == REGENC_UTF16_BIG_ENDIAN)
            pwszEncoding = L"big-endian UTF-16";
        Say(hOut, c_wszSays, L"\"", pwszFile, L"\" is saved as ", pwszEncoding,
            L"; save it as Unicode (UTF-16) or ANSI", c_wszNothing, NULL);
        return;
    case REGFILE_OUTSIDE_ROOT:
        Say(hOut, c_wszSays, L"\"", pwszFile, L"\" holds keys outside HKLM\\", c_wszHandlersKey, L" (", wszLine + 1, L")",
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
    case REGFILE_LINK_VALUE:
        pwszWhy = L" holds a value of type hex(6), a registry link, which handlers never hold";
        break;
    case REGFILE_NO_MEMORY:
        pwszWhy = L": there is not enough memory to read it";
        break;
    default:
        break;
    }
    for (const LIMIT* pLimit = c_limits; pLimit < c_limits + ARRAYSIZE(c_limits); pLimit++)
    {
        if (pLimit->refusal != pRead->refusal)
            continue;
        wsprintfW(wszLimit, pLimit->pwszWords, pLimit->iLimit);
        pwszWhy = wszLimit;
    }
    Say(hOut, c_wszSays, L"\"", pwszFile, L"\"", wszLine, pwszWhy, c_wszNothing, NULL);
}

// Says what stopped the import at pOp, or before any change with pOp NULL.
void SayNotWritten(HANDLE hOut, const WCHAR* pwszFile, const REGOP* pOp, LONG lError, BOOL fUndone)
{
    WCHAR wszError[512];
    WCHAR wszLine[40];

    if (lError == ERROR_ACCESS_DENIED && pOp == NULL)
    {
        Say(hOut, c_wszSays, L"only an administrator can change message handlers; run this as an administrator", NULL);
        return;
    }
    wszLine[0] = L'\0';
    if (pOp != NULL)
        wsprintfW(wszLine, L" line %d", pOp->iLine);
    Say(hOut, c_wszSays, L"\"", pwszFile, L"\"", wszLine,
        pOp != NULL ? L" could not be written: " : L" was not imported: ", ErrorText(lError, wszError, 512),
        !fUndone ? L" What was there before could not all be put back." : pOp != NULL ? L" Nothing was imported." : L"",
        NULL);
}

// Says that the change at pOp (NULL: the root) reaches the link pwszLink.
void SayLink(HANDLE hOut, const WCHAR* pwszFile, const REGOP* pOp, const WCHAR* pwszLink, BOOL fUndone)
{
    WCHAR wszLine[40];
    wszLine[0] = L'\0';
    if (pOp != NULL)
        wsprintfW(wszLine, L" line %d", pOp->iLine);
    Say(hOut, c_wszSays, L"\"", pwszFile, L"\"", wszLine, L" reaches the registry link ", c_wszMachine, pwszLink,
        L", which the import does not follow",
        fUndone ? c_wszNothing : L". What was there before could not all be put back.", NULL);
}

}  // namespace

// The file is read whole and checked before the lock is taken; the
// registry is read and changed only under it.
int ImportRegFile(HANDLE hHeap, const WCHAR* pwszFile, HANDLE hOut, DWORD msWait, const IMPORTHOOKS* pHooks)
{
    REGFILEREAD read;
    PROGRESS progress = {hOut, 0, GetTickCount(), L"", FALSE, pHooks};
    WCHAR wszError[512];
    WCHAR wszWait[40];
    BYTE* pb = NULL;
    DWORD cb = 0;
    HANDLE hMutex = NULL;
    WCHAR* pwszLink = NULL;
    const REGOP* pFailed = NULL;
    BOOL fUndone = TRUE;
    LONG lError;

    lError = (LONG)ReadWholeFile(hHeap, pwszFile, &pb, &cb);
    if (lError == ERROR_FILE_NOT_FOUND || lError == ERROR_PATH_NOT_FOUND)
    {
        Say(hOut, c_wszSays, L"there is no file \"", pwszFile, L"\"", NULL);
        return 1;
    }
    if (lError == ERROR_DIRECTORY)
    {
        Say(hOut, c_wszSays, L"\"", pwszFile, L"\" is a folder; give the name of a registry file", c_wszNothing, NULL);
        return 1;
    }
    if (lError == ERROR_FILE_TOO_LARGE)
    {
        Say(hOut, c_wszSays, L"\"", pwszFile, L"\" is larger than ", c_wszMaxFile, L", the most this program reads",
            c_wszNothing, NULL);
        return 1;
    }
    if (lError != ERROR_SUCCESS)
    {
        Say(hOut, c_wszSays, L"\"", pwszFile, L"\" cannot be read: ", ErrorText(lError, wszError, 512),
            L" Nothing was imported.", NULL);
        return 1;
    }
    ZeroMemory(&read, sizeof(read));
    ReadRegFile(hHeap, pb, cb, &read);
    HeapFree(hHeap, 0, pb);
    if (read.refusal != REGFILE_READ)
    {
        SayRefused(hOut, pwszFile, &read);
        return 1;
    }
    progress.cLines = read.iLine;

    lError = (LONG)TakeImportLock(hOut, msWait, pHooks, &hMutex);
    if (lError == WAIT_TIMEOUT)
    {
        Say(hOut, c_wszSays, L"\"", pwszFile, L"\" was not imported: another import did not finish within ",
            WaitText(msWait, wszWait), NULL);
        return 1;
    }
    if (lError == ERROR_SUCCESS)
    {
        progress.pwszDoing = L"looking for registry links, ";
        lError = FindRegLink(hHeap, read.pFirst, SayProgress, &progress, &pFailed, &pwszLink);
    }
    if (lError == ERROR_SUCCESS && pwszLink == NULL)
    {
        progress.pwszDoing = L"";
        progress.fWriting = TRUE;
        lError = MakeRegChanges(hHeap, read.pFirst, SayProgress, &progress, &pFailed, &pwszLink, &fUndone);
    }
    if (hMutex != NULL)
    {
        ReleaseMutex(hMutex);
        CloseHandle(hMutex);
    }
    if (pwszLink != NULL)
        SayLink(hOut, pwszFile, pFailed, pwszLink, fUndone);
    else if (lError != ERROR_SUCCESS)
        SayNotWritten(hOut, pwszFile, pFailed, lError, fUndone);
    else
        Say(hOut, c_wszSays, L"imported \"", pwszFile, L"\"", NULL);
    return lError == ERROR_SUCCESS && pwszLink == NULL ? 0 : 1;
}
