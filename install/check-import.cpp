// check-import.exe FILE.reg: whether a registry file writes and removes keys
// below HKEY_LOCAL_MACHINE\SOFTWARE\Quorbit\Message Handlers only, read the
// way reg.exe and regedit read it. import-handlers.cmd asks it before it
// imports anything. Exit code 0: handler keys only; 1: some other key;
// 2: not a registry export of version 4 or 5, or not readable.
//
// A program rather than lines of cmd: exports are UTF-16, which Wine's
// type, find and findstr stop reading at the first zero byte, and a key
// name may hold any character cmd treats as special.
#include <windows.h>
#include <shellapi.h>

namespace {

const WCHAR c_szRoot[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorbit\\Message Handlers";
const int c_cchRoot = ARRAYSIZE(c_szRoot) - 1;
const DWORD c_cbMaxFile = 64 * 1024 * 1024;

enum
{
    CHECK_HANDLERS_ONLY = 0,
    CHECK_OTHER_KEYS = 1,
    CHECK_NOT_AN_EXPORT = 2
};

// The importers end a line at a carriage return or a line feed alone as
// well as at both; a zero ends the text they look at.
bool IsLineEnd(WCHAR ch)
{
    return ch == L'\r' || ch == L'\n' || ch == L'\0';
}

// Whether the key named from pch, up to the line's last ']' as the importers
// read it, is the root or below it. Only ASCII letters match regardless of
// case: anything looser might accept a key the registry tells apart.
bool IsHandlerKey(const WCHAR* pch, const WCHAR* pchEnd)
{
    const WCHAR* pchClose = NULL;
    if (pch < pchEnd && *pch == L'-')
        pch++;  // a removal
    for (const WCHAR* p = pch; p < pchEnd; p++)
    {
        if (*p == L']')
            pchClose = p;
    }
    if (pchClose == NULL || pchClose - pch < c_cchRoot)
        return false;
    for (int i = 0; i < c_cchRoot; i++)
    {
        WCHAR ch = pch[i];
        if (ch >= L'a' && ch <= L'z')
            ch = (WCHAR)(ch - L'a' + L'A');
        WCHAR chRoot = c_szRoot[i];
        if (chRoot >= L'a' && chRoot <= L'z')
            chRoot = (WCHAR)(chRoot - L'a' + L'A');
        if (ch != chRoot)
            return false;
    }
    return pch + c_cchRoot == pchClose || pch[c_cchRoot] == L'\\';
}

// Checks the text line by line. A line is a key when a '[' comes before
// any character that starts a value or a comment, whatever precedes it:
// stricter than the importers, which skip blanks and tabs only.
int CheckText(const WCHAR* pwsz, const WCHAR* pwszEnd)
{
    const WCHAR* pchLine = pwsz;
    bool fHeader = true;
    while (pchLine < pwszEnd)
    {
        const WCHAR* pchEnd = pchLine;
        while (pchEnd < pwszEnd && !IsLineEnd(*pchEnd))
            pchEnd++;
        if (fHeader)
        {
            const WCHAR* p = pchLine;
            while (p < pchEnd && (*p == L' ' || *p == L'\t'))
                p++;
            int cch = (int)(pchEnd - p);
            if (!(cch == 8 && memcmp(p, L"REGEDIT4", 8 * sizeof(WCHAR)) == 0) &&
                !(cch == 36 && memcmp(p, L"Windows Registry Editor Version 5.00", 36 * sizeof(WCHAR)) == 0))
                return CHECK_NOT_AN_EXPORT;
            fHeader = false;
        }
        else
        {
            const WCHAR* p = pchLine;
            while (p < pchEnd && *p != L'[' && *p != L'"' && *p != L'@' && *p != L';' && *p != L'#')
                p++;
            if (p < pchEnd && *p == L'[' && !IsHandlerKey(p + 1, pchEnd))
                return CHECK_OTHER_KEYS;
        }
        pchLine = pchEnd < pwszEnd ? pchEnd + 1 : pwszEnd;
    }
    return fHeader ? CHECK_NOT_AN_EXPORT : CHECK_HANDLERS_ONLY;
}

// Reads the file as the importers do: UTF-16 after its byte order mark,
// otherwise text in the ANSI code page.
int CheckFile(const WCHAR* pwszPath)
{
    int iResult = CHECK_NOT_AN_EXPORT;
    HANDLE hFile = INVALID_HANDLE_VALUE;
    BYTE* pb = NULL;
    WCHAR* pwszAnsi = NULL;
    DWORD cb = 0;
    DWORD cbRead = 0;

    hFile = CreateFileW(pwszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        goto done;
    cb = GetFileSize(hFile, NULL);
    if (cb == INVALID_FILE_SIZE || cb > c_cbMaxFile)
        goto done;
    pb = (BYTE*)HeapAlloc(GetProcessHeap(), 0, cb + 1);
    if (pb == NULL || !ReadFile(hFile, pb, cb, &cbRead, NULL) || cbRead != cb)
        goto done;
    if (cb >= 2 && pb[0] == 0xFF && pb[1] == 0xFE)
    {
        const WCHAR* pwsz = (const WCHAR*)(pb + 2);
        iResult = CheckText(pwsz, pwsz + (cb - 2) / sizeof(WCHAR));
    }
    else if (cb > 0)
    {
        int cch = MultiByteToWideChar(CP_ACP, 0, (const char*)pb, (int)cb, NULL, 0);
        if (cch <= 0)
            goto done;
        pwszAnsi = (WCHAR*)HeapAlloc(GetProcessHeap(), 0, cch * sizeof(WCHAR));
        if (pwszAnsi == NULL || MultiByteToWideChar(CP_ACP, 0, (const char*)pb, (int)cb, pwszAnsi, cch) != cch)
            goto done;
        iResult = CheckText(pwszAnsi, pwszAnsi + cch);
    }

done:
    if (pwszAnsi != NULL)
        HeapFree(GetProcessHeap(), 0, pwszAnsi);
    if (pb != NULL)
        HeapFree(GetProcessHeap(), 0, pb);
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    return iResult;
}

}  // namespace

int main()
{
    int iResult = CHECK_NOT_AN_EXPORT;
    int cArgs = 0;
    LPWSTR* ppwszArgs = CommandLineToArgvW(GetCommandLineW(), &cArgs);
    if (ppwszArgs != NULL && cArgs == 2)
        iResult = CheckFile(ppwszArgs[1]);
    if (ppwszArgs != NULL)
        LocalFree(ppwszArgs);
    return iResult;
}
