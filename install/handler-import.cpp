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
#include "system_text.h"
#include "quorbit_facts.h"
#include <shellapi.h>

namespace {

const WCHAR c_wszRootKey[] = L"" QUORBIT_HANDLERS_KEY;
const WCHAR c_wszParentKey[] = L"" QUORBIT_HANDLERS_PARENT_KEY;
const WCHAR c_wszSays[] = L"import-handlers: ";
const DWORD c_cbMaxFile = 64 * 1024 * 1024;

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

// Reads the whole file, at most c_cbMaxFile bytes, into *ppb.
DWORD ReadWholeFile(HANDLE hHeap, const WCHAR* pwszFile, BYTE** ppb, DWORD* pcb)
{
    HANDLE hFile = CreateFileW(pwszFile, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD dwError = ERROR_SUCCESS;
    DWORD cb = 0;
    DWORD cbRead = 0;
    BYTE* pb = NULL;

    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError();
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
    const WCHAR* pwszWhy = L" is not a key, a value or a comment";

    wsprintfW(wszLine, L" line %d", pRead->iLine);
    switch (pRead->refusal)
    {
    case REGFILE_NOT_AN_EXPORT:
        Say(c_wszSays, L"\"", pwszFile, L"\" is not a registry export; nothing was imported", NULL);
        return;
    case REGFILE_OUTSIDE_ROOT:
        Say(c_wszSays, L"\"", pwszFile, L"\" holds keys outside HKLM\\SOFTWARE\\Quorbit\\Message Handlers (",
            wszLine + 1, L"); nothing was imported", NULL);
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
    case REGFILE_NO_MEMORY:
        pwszWhy = L": there is not enough memory to read it";
        break;
    default:
        break;
    }
    Say(c_wszSays, L"\"", pwszFile, L"\"", wszLine, pwszWhy, L"; nothing was imported", NULL);
}

// Opens the handlers' root for writing, creating it when missing;
// *ppwszMade names the first key that had to be created, or is NULL.
LONG OpenRoot(HKEY* phRoot, const WCHAR** ppwszMade)
{
    HKEY hKey = NULL;

    *ppwszMade = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, c_wszParentKey, 0, KEY_READ, &hKey) == ERROR_FILE_NOT_FOUND)
        *ppwszMade = c_wszParentKey;
    else if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, c_wszRootKey, 0, KEY_READ, &hKey) == ERROR_FILE_NOT_FOUND)
        *ppwszMade = c_wszRootKey;
    if (hKey != NULL)
        RegCloseKey(hKey);
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, c_wszRootKey, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, phRoot, NULL);
}

int ImportFile(HANDLE hHeap, const WCHAR* pwszFile)
{
    REGFILEREAD read;
    WCHAR wszError[512];
    WCHAR wszLine[40];
    BYTE* pb = NULL;
    DWORD cb = 0;
    HKEY hRoot = NULL;
    const WCHAR* pwszMade = NULL;
    const REGOP* pFailed = NULL;
    BOOL fUndone = TRUE;
    LONG lError;

    lError = (LONG)ReadWholeFile(hHeap, pwszFile, &pb, &cb);
    if (lError == ERROR_FILE_NOT_FOUND || lError == ERROR_PATH_NOT_FOUND)
    {
        Say(c_wszSays, L"there is no file \"", pwszFile, L"\"", NULL);
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

    lError = OpenRoot(&hRoot, &pwszMade);
    if (lError == ERROR_ACCESS_DENIED)
    {
        Say(c_wszSays, L"only an administrator can change message handlers; run this as an administrator", NULL);
        return 1;
    }
    if (lError != ERROR_SUCCESS)
    {
        Say(c_wszSays, L"\"", pwszFile, L"\" was not imported: ", ErrorText(lError, wszError, 512), NULL);
        return 1;
    }
    lError = MakeRegChanges(hHeap, hRoot, read.pFirst, &pFailed, &fUndone);
    RegCloseKey(hRoot);
    if (lError == ERROR_SUCCESS)
    {
        Say(c_wszSays, L"imported \"", pwszFile, L"\"", NULL);
        return 0;
    }
    // What this import created goes too: nothing of it is left.
    if (fUndone && pwszMade != NULL)
        fUndone = DeleteKeyTree(HKEY_LOCAL_MACHINE, pwszMade) == ERROR_SUCCESS;
    wsprintfW(wszLine, L" line %d", pFailed->iLine);
    Say(c_wszSays, L"\"", pwszFile, L"\"", wszLine, L" could not be written: ", ErrorText(lError, wszError, 512),
        fUndone ? L" Nothing was imported." : L" What was there before could not all be put back.", NULL);
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
