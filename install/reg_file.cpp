// Reads a registry export line by line. Every line is split off on the
// file's own bytes first and only then converted: a conversion of the whole
// text could join a line to the one before (in a double-byte code page a
// lead byte takes the line feed after it as its second byte).
#include "reg_file.h"
#include "quorbit_facts.h"

const WCHAR c_wszHandlersKey[] = L"" QUORBIT_HANDLERS_KEY;
const WCHAR c_wszMachine[] = L"HKEY_LOCAL_MACHINE\\";

namespace {

const WCHAR c_wszWow6432Node[] = L"Wow6432Node";
const int c_cchMachine = ARRAYSIZE(c_wszMachine) - 1;
const int c_cchWow6432Node = ARRAYSIZE(c_wszWow6432Node) - 1;
const int c_cchHandlersKey = ARRAYSIZE(c_wszHandlersKey) - 1;

// Bytes gathered on the reader's heap.
struct BYTES
{
    BYTE* pb;
    DWORD cb;
    DWORD cbMax;
};

struct READER
{
    HANDLE hHeap;
    BOOL fHeaderRead;
    BOOL fAnsiStrings;      // REGEDIT4: hex(1), hex(2) and hex(7) data is ANSI text
    const WCHAR* pwszKey;   // the key values go to; NULL before any, or after a removal
    REGOP* pLast;
    REGFILEREAD* pRead;
    // A hex value that goes on in the next line.
    BOOL fContinued;
    BYTES hex;
    DWORD dwHexType;
    const WCHAR* pwszHexName;
    int iHexLine;
};

// Room for cb more bytes.
BOOL Reserve(HANDLE hHeap, BYTES* pBytes, DWORD cb)
{
    if (pBytes->cb + cb > pBytes->cbMax)
    {
        DWORD cbMax = (pBytes->cb + cb) * 2 + 64;
        BYTE* pb = pBytes->pb == NULL ? (BYTE*)HeapAlloc(hHeap, 0, cbMax)
                                      : (BYTE*)HeapReAlloc(hHeap, 0, pBytes->pb, cbMax);
        if (pb == NULL)
            return FALSE;
        pBytes->pb = pb;
        pBytes->cbMax = cbMax;
    }
    return TRUE;
}

BOOL Append(HANDLE hHeap, BYTES* pBytes, const void* pv, DWORD cb)
{
    if (!Reserve(hHeap, pBytes, cb))
        return FALSE;
    CopyMemory(pBytes->pb + pBytes->cb, pv, cb);
    pBytes->cb += cb;
    return TRUE;
}

BOOL IsBlank(WCHAR ch)
{
    return ch == L' ' || ch == L'\t';
}

const WCHAR* SkipBlanks(const WCHAR* p, const WCHAR* pEnd)
{
    while (p < pEnd && IsBlank(*p))
        p++;
    return p;
}

WCHAR UpperAscii(WCHAR ch)
{
    return ch >= L'a' && ch <= L'z' ? (WCHAR)(ch - L'a' + L'A') : ch;
}

// Whether the text at p starts with the cch characters at pwszWord (all of
// it when cch is -1), ASCII letters in any case.
BOOL StartsWith(const WCHAR* p, const WCHAR* pEnd, const WCHAR* pwszWord, int cch = -1)
{
    for (; cch != 0 && *pwszWord != L'\0'; p++, pwszWord++, cch--)
    {
        if (p >= pEnd || UpperAscii(*p) != UpperAscii(*pwszWord))
            return FALSE;
    }
    return TRUE;
}

// The length of the handlers' root at p, as a file may name it, followed by
// pEnd or a backslash; 0 when p names another key.
int RootLength(const WCHAR* p, const WCHAR* pEnd)
{
    // SOFTWARE\, where the 64-bit view shows Wow6432Node\ next.
    const int cchFirst = (int)(wcschr(c_wszHandlersKey, L'\\') + 1 - c_wszHandlersKey);
    const WCHAR* q = p + c_cchMachine + cchFirst;
    if (!StartsWith(p, pEnd, c_wszMachine) || !StartsWith(p + c_cchMachine, pEnd, c_wszHandlersKey, cchFirst))
        return 0;
    if (StartsWith(q, pEnd, c_wszWow6432Node) && q + c_cchWow6432Node < pEnd && q[c_cchWow6432Node] == L'\\')
        q += c_cchWow6432Node + 1;
    if (!StartsWith(q, pEnd, c_wszHandlersKey + cchFirst))
        return 0;
    q += c_cchHandlersKey - cchFirst;
    return q == pEnd || *q == L'\\' ? (int)(q - p) : 0;
}

int HexDigit(WCHAR ch)
{
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    ch = UpperAscii(ch);
    return ch >= L'A' && ch <= L'F' ? ch - L'A' + 10 : -1;
}

// One to eight hex digits at *pp; *pp is left after them.
BOOL ReadHexNumber(const WCHAR** pp, const WCHAR* pEnd, DWORD* pdw)
{
    const WCHAR* p = *pp;
    DWORD dw = 0;
    int cDigits = 0;
    for (; p < pEnd && HexDigit(*p) >= 0; p++, cDigits++)
        dw = dw * 16 + (DWORD)HexDigit(*p);
    if (cDigits == 0 || cDigits > 8)
        return FALSE;
    *pp = p;
    *pdw = dw;
    return TRUE;
}

REGREFUSAL AddOp(READER* r, REGOPKIND kind, int iLine, const WCHAR* pwszKey, const WCHAR* pwszValue, DWORD dwType,
                 const BYTE* pbData, DWORD cbData)
{
    REGOP* pOp = (REGOP*)HeapAlloc(r->hHeap, HEAP_ZERO_MEMORY, sizeof(REGOP));
    if (pOp == NULL)
        return REGFILE_NO_MEMORY;
    pOp->kind = kind;
    pOp->iLine = iLine;
    pOp->pwszKey = pwszKey;
    pOp->pwszValue = pwszValue;
    pOp->dwType = dwType;
    pOp->pbData = pbData;
    pOp->cbData = cbData;
    if (r->pLast == NULL)
        r->pRead->pFirst = pOp;
    else
        r->pLast->pNext = pOp;
    r->pLast = pOp;
    return REGFILE_READ;
}

// A quoted text at *pp, whose only escapes are \\ and \", as the registry
// editors write them, and \r and \n for the carriage return and line feed
// that reg export writes so; *pp is left after the closing quote.
BOOL ReadQuoted(READER* r, const WCHAR** pp, const WCHAR* pEnd, WCHAR** ppwsz)
{
    const WCHAR* p = *pp + 1;
    WCHAR* pwsz = (WCHAR*)HeapAlloc(r->hHeap, 0, (pEnd - p + 1) * sizeof(WCHAR));
    int cch = 0;
    if (pwsz == NULL)
        return FALSE;
    for (; p < pEnd && *p != L'"'; p++)
    {
        WCHAR ch = *p;
        if (ch == L'\\')
        {
            if (++p == pEnd || (*p != L'\\' && *p != L'"' && *p != L'r' && *p != L'n'))
                return FALSE;
            ch = *p == L'r' ? L'\r' : *p == L'n' ? L'\n' : *p;
        }
        pwsz[cch++] = ch;
    }
    if (p == pEnd)
        return FALSE;
    pwsz[cch] = L'\0';
    *pp = p + 1;
    *ppwsz = pwsz;
    return TRUE;
}

// The hex value gathered so far, as one change. In a REGEDIT4 file the
// text types are written in the ANSI code page: they are stored as UTF-16,
// as the registry editors store them.
REGREFUSAL FinishHexValue(READER* r)
{
    BYTE* pb = r->hex.pb;
    DWORD cb = r->hex.cb;
    r->fContinued = FALSE;
    r->hex.pb = NULL;
    r->hex.cb = r->hex.cbMax = 0;
    if (r->fAnsiStrings && cb > 0 &&
        (r->dwHexType == REG_SZ || r->dwHexType == REG_EXPAND_SZ || r->dwHexType == REG_MULTI_SZ))
    {
        int cch = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, (const char*)pb, (int)cb, NULL, 0);
        WCHAR* pwsz = cch > 0 ? (WCHAR*)HeapAlloc(r->hHeap, 0, cch * sizeof(WCHAR)) : NULL;
        if (cch <= 0)
            return REGFILE_BAD_VALUE;
        if (pwsz == NULL)
            return REGFILE_NO_MEMORY;
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, (const char*)pb, (int)cb, pwsz, cch);
        pb = (BYTE*)pwsz;
        cb = cch * sizeof(WCHAR);
    }
    return AddOp(r, REGOP_SET_VALUE, r->iHexLine, r->pwszKey, r->pwszHexName, r->dwHexType, pb, cb);
}

// Hex bytes separated by commas, as in "01,ab,\": a backslash at the end
// says the bytes go on in the next line.
REGREFUSAL ReadHexBytes(READER* r, const WCHAR* p, const WCHAR* pEnd)
{
    for (;;)
    {
        p = SkipBlanks(p, pEnd);
        if (p == pEnd)
            return FinishHexValue(r);
        if (*p == L'\\')
        {
            if (SkipBlanks(p + 1, pEnd) != pEnd)
                return REGFILE_BAD_VALUE;
            r->fContinued = TRUE;
            return REGFILE_READ;
        }
        if (pEnd - p < 2 || HexDigit(p[0]) < 0 || HexDigit(p[1]) < 0)
            return REGFILE_BAD_VALUE;
        BYTE b = (BYTE)(HexDigit(p[0]) * 16 + HexDigit(p[1]));
        if (!Append(r->hHeap, &r->hex, &b, 1))
            return REGFILE_NO_MEMORY;
        p = SkipBlanks(p + 2, pEnd);
        if (p < pEnd && *p == L',')
            p++;
        else if (p < pEnd && *p != L'\\')
            return REGFILE_BAD_VALUE;
    }
}

// [key] or [-key]: the handlers' root or a key below it, the name ending at
// the line's last ']', within the registry's limits.
REGREFUSAL ReadKeyLine(READER* r, const WCHAR* p, const WCHAR* pEnd, int iLine)
{
    BOOL fRemove = FALSE;
    const WCHAR* pClose = NULL;
    const WCHAR* pSub;
    int cLevels = 1;  // the root's, one more for each backslash in it
    int cchRoot;
    WCHAR* pwszKey;

    if (++p < pEnd && *p == L'-')
    {
        fRemove = TRUE;
        p++;
    }
    for (const WCHAR* q = p; q < pEnd; q++)
    {
        if (*q == L']')
            pClose = q;
    }
    if (pClose == NULL || SkipBlanks(pClose + 1, pEnd) != pEnd)
        return REGFILE_NOT_A_LINE;
    cchRoot = RootLength(p, pClose);
    if (cchRoot == 0)
        return REGFILE_OUTSIDE_ROOT;
    for (const WCHAR* q = c_wszHandlersKey; *q != L'\0'; q++)
        cLevels += *q == L'\\';
    pSub = p + cchRoot;
    if (pSub < pClose)
    {
        // Parts below the root: none empty, none the 64-bit view's own.
        pSub++;
        for (const WCHAR* pPart = pSub;; pPart++)
        {
            const WCHAR* q = pPart;
            while (q < pClose && *q != L'\\')
                q++;
            if (q == pPart)
                return REGFILE_NOT_A_LINE;
            if (q - pPart == c_cchWow6432Node && StartsWith(pPart, q, c_wszWow6432Node))
                return REGFILE_WOW6432NODE;
            if (q - pPart > REG_MAX_NAME)
                return REGFILE_NAME_TOO_LONG;
            if (++cLevels > REG_MAX_LEVELS)
                return REGFILE_TOO_DEEP;
            if (q == pClose)
                break;
            pPart = q;
        }
        if (c_cchMachine + c_cchHandlersKey + 1 + (pClose - pSub) > REG_MAX_PATH)
            return REGFILE_PATH_TOO_LONG;
    }
    pwszKey = CopyRegText(r->hHeap, pSub, (int)(pClose - pSub));
    if (pwszKey == NULL)
        return REGFILE_NO_MEMORY;
    r->pwszKey = fRemove ? NULL : pwszKey;
    return AddOp(r, fRemove ? REGOP_DELETE_KEY : REGOP_KEY, iLine, pwszKey, NULL, 0, NULL, 0);
}

// "name"=data or @=data, where data is "text", dword:n, hex:bytes,
// hex(type):bytes or a removal, -.
REGREFUSAL ReadValueLine(READER* r, const WCHAR* p, const WCHAR* pEnd, int iLine)
{
    WCHAR* pwszName = NULL;
    WCHAR* pwszText = NULL;
    DWORD dw = 0;

    if (r->pwszKey == NULL)
        return REGFILE_VALUE_WITHOUT_KEY;
    if (*p == L'@')
    {
        pwszName = CopyRegText(r->hHeap, p, 0);
        p++;
    }
    else if (!ReadQuoted(r, &p, pEnd, &pwszName))
        return REGFILE_BAD_VALUE;
    if (pwszName == NULL)
        return REGFILE_NO_MEMORY;
    if (lstrlenW(pwszName) > REG_MAX_VALUE_NAME)
        return REGFILE_VALUE_NAME_TOO_LONG;
    p = SkipBlanks(p, pEnd);
    if (p == pEnd || *p != L'=')
        return REGFILE_BAD_VALUE;
    p = SkipBlanks(p + 1, pEnd);

    if (p < pEnd && *p == L'-' && SkipBlanks(p + 1, pEnd) == pEnd)
        return AddOp(r, REGOP_DELETE_VALUE, iLine, r->pwszKey, pwszName, 0, NULL, 0);
    if (p < pEnd && *p == L'"')
    {
        if (!ReadQuoted(r, &p, pEnd, &pwszText) || SkipBlanks(p, pEnd) != pEnd)
            return REGFILE_BAD_VALUE;
        return AddOp(r, REGOP_SET_VALUE, iLine, r->pwszKey, pwszName, REG_SZ, (const BYTE*)pwszText,
                     (lstrlenW(pwszText) + 1) * sizeof(WCHAR));
    }
    if (StartsWith(p, pEnd, L"dword:"))
    {
        BYTE* pb = NULL;
        p += 6;
        if (!ReadHexNumber(&p, pEnd, &dw) || SkipBlanks(p, pEnd) != pEnd)
            return REGFILE_BAD_VALUE;
        pb = (BYTE*)HeapAlloc(r->hHeap, 0, sizeof(DWORD));
        if (pb == NULL)
            return REGFILE_NO_MEMORY;
        CopyMemory(pb, &dw, sizeof(DWORD));
        return AddOp(r, REGOP_SET_VALUE, iLine, r->pwszKey, pwszName, REG_DWORD, pb, sizeof(DWORD));
    }
    if (StartsWith(p, pEnd, L"hex:"))
    {
        p += 4;
        dw = REG_BINARY;
    }
    else if (StartsWith(p, pEnd, L"hex("))
    {
        p += 4;
        if (!ReadHexNumber(&p, pEnd, &dw) || !StartsWith(p, pEnd, L"):"))
            return REGFILE_BAD_VALUE;
        if (dw == REG_LINK)
            return REGFILE_LINK_VALUE;
        p += 2;
    }
    else
        return REGFILE_BAD_VALUE;
    r->dwHexType = dw;
    r->pwszHexName = pwszName;
    r->iHexLine = iLine;
    return ReadHexBytes(r, p, pEnd);
}

// 4 or 5 for the header of that version, blanks around it; 0 otherwise.
int HeaderVersion(const WCHAR* p, const WCHAR* pEnd)
{
    static const WCHAR c_wszVersion4[] = L"REGEDIT4";
    static const WCHAR c_wszVersion5[] = L"Windows Registry Editor Version 5.00";
    while (pEnd > p && IsBlank(pEnd[-1]))
        pEnd--;
    p = SkipBlanks(p, pEnd);
    if (pEnd - p == ARRAYSIZE(c_wszVersion4) - 1 && memcmp(p, c_wszVersion4, sizeof(c_wszVersion4) - 2) == 0)
        return 4;
    if (pEnd - p == ARRAYSIZE(c_wszVersion5) - 1 && memcmp(p, c_wszVersion5, sizeof(c_wszVersion5) - 2) == 0)
        return 5;
    return 0;
}

BOOL IsControl(WCHAR ch)
{
    // C0 and C1 controls, DEL; a tab is a blank.
    return (ch < 0x20 && ch != L'\t') || (ch >= 0x7F && ch <= 0x9F);
}

// The first character of the line that the reader refuses: a NUL anywhere,
// another control character outside a key's name and outside quoted text,
// where the export writes them as they stand. NULL when there is none.
const WCHAR* FindControl(const WCHAR* p, const WCHAR* pEnd, BOOL fKeyLine, BOOL fValueLine)
{
    BOOL fQuoted = FALSE;
    for (; p < pEnd; p++)
    {
        if (*p == L'\0')
            return p;
        if (fValueLine && *p == L'"')
            fQuoted = !fQuoted;
        else if (fQuoted && *p == L'\\' && p + 1 < pEnd && p[1] != L'\0')
            p++;  // \" or \\: the escaped character is text
        else if (!fKeyLine && !fQuoted && IsControl(*p))
            return p;
    }
    return NULL;
}

REGREFUSAL ReadLine(READER* r, const WCHAR* pLine, const WCHAR* pEnd, int iLine)
{
    const WCHAR* p = SkipBlanks(pLine, pEnd);
    const BOOL fBody = r->fHeaderRead && !r->fContinued;
    const WCHAR* pControl = FindControl(pLine, pEnd, fBody && p < pEnd && *p == L'[',
                                        fBody && p < pEnd && (*p == L'"' || *p == L'@'));

    if (pControl != NULL)
    {
        r->pRead->chControl = *pControl;
        return REGFILE_CONTROL_CHARACTER;
    }
    if (!r->fHeaderRead)
    {
        int iVersion = HeaderVersion(pLine, pEnd);
        if (iVersion == 0)
            return REGFILE_NOT_AN_EXPORT;
        r->fHeaderRead = TRUE;
        r->fAnsiStrings = iVersion == 4;
        return REGFILE_READ;
    }
    if (r->fContinued)
        return ReadHexBytes(r, pLine, pEnd);
    if (p == pEnd || *p == L';' || *p == L'#')
        return REGFILE_READ;
    if (*p == L'[')
        return ReadKeyLine(r, p, pEnd, iLine);
    if (*p == L'"' || *p == L'@')
        return ReadValueLine(r, p, pEnd, iLine);
    return REGFILE_NOT_A_LINE;
}

WCHAR Unit(const BYTE* pb, DWORD ib, BOOL fUtf16)
{
    return fUtf16 ? (WCHAR)(pb[ib] | (pb[ib + 1] << 8)) : (WCHAR)pb[ib];
}

// The line's bytes as UTF-16 in *pLine: as they are in a UTF-16 file,
// converted from the ANSI code page otherwise, refusing bytes it has no
// characters for (a lead byte without its second byte, say).
REGREFUSAL LineText(HANDLE hHeap, const BYTE* pb, DWORD cb, BOOL fUtf16, BYTES* pLine)
{
    int cch = 0;
    pLine->cb = 0;
    if (fUtf16 || cb == 0)
        return Append(hHeap, pLine, pb, cb) ? REGFILE_READ : REGFILE_NO_MEMORY;
    cch = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, (const char*)pb, (int)cb, NULL, 0);
    if (cch <= 0)
        return REGFILE_NOT_TEXT;
    if (!Reserve(hHeap, pLine, cch * sizeof(WCHAR)))
        return REGFILE_NO_MEMORY;
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, (const char*)pb, (int)cb, (WCHAR*)pLine->pb, cch);
    pLine->cb = cch * sizeof(WCHAR);
    return REGFILE_READ;
}

// Whether the bytes read as UTF-8 with characters beyond ASCII. Text in a
// code page rarely does: in 1252 it takes pairs like C3 BC. In a
// double-byte code page a file may read both ways, and is refused all the
// same: saved as UTF-16 it reads one way only.
BOOL IsUtf8(const BYTE* pb, DWORD cb)
{
    BOOL fBeyondAscii = FALSE;
    for (DWORD i = 0; i < cb;)
    {
        const BYTE b = pb[i];
        DWORD cTrail;
        BYTE bMin = 0x80;
        BYTE bMax = 0xBF;
        if (b < 0x80)
        {
            i++;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF)
            cTrail = 1;
        else if (b >= 0xE0 && b <= 0xEF)
        {
            // No overlong forms, no surrogates.
            cTrail = 2;
            bMin = b == 0xE0 ? 0xA0 : 0x80;
            bMax = b == 0xED ? 0x9F : 0xBF;
        }
        else if (b >= 0xF0 && b <= 0xF4)
        {
            cTrail = 3;
            bMin = b == 0xF0 ? 0x90 : 0x80;
            bMax = b == 0xF4 ? 0x8F : 0xBF;
        }
        else
            return FALSE;
        if (cb - i <= cTrail || pb[i + 1] < bMin || pb[i + 1] > bMax)
            return FALSE;
        for (DWORD j = 2; j <= cTrail; j++)
        {
            if (pb[i + j] < 0x80 || pb[i + j] > 0xBF)
                return FALSE;
        }
        i += cTrail + 1;
        fBeyondAscii = TRUE;
    }
    return fBeyondAscii;
}

// Whether the file is saved in an encoding this reader refuses, and which.
BOOL IsRefusedEncoding(const BYTE* pb, DWORD cb, REGENCODING* pEncoding)
{
    if (cb >= 2 && pb[0] == 0xFF && pb[1] == 0xFE)
        return FALSE;
    if (cb >= 3 && pb[0] == 0xEF && pb[1] == 0xBB && pb[2] == 0xBF)
        *pEncoding = REGENC_UTF8;
    else if (cb >= 2 && ((pb[0] == 0xFE && pb[1] == 0xFF) || (pb[0] == 0 && pb[1] != 0)))
        *pEncoding = REGENC_UTF16_BIG_ENDIAN;
    else if (cb >= 2 && pb[0] != 0 && pb[1] == 0)
        *pEncoding = REGENC_UTF16_NO_BOM;
    else if (IsUtf8(pb, cb))
        *pEncoding = REGENC_UTF8;
    else
        return FALSE;
    return TRUE;
}

}  // namespace

WCHAR* CopyRegText(HANDLE hHeap, const WCHAR* p, int cch)
{
    WCHAR* pwsz = (WCHAR*)HeapAlloc(hHeap, 0, (cch + 1) * sizeof(WCHAR));
    if (pwsz != NULL)
    {
        CopyMemory(pwsz, p, cch * sizeof(WCHAR));
        pwsz[cch] = L'\0';
    }
    return pwsz;
}

void ReadRegFile(HANDLE hHeap, const BYTE* pb, DWORD cb, REGFILEREAD* pRead)
{
    READER r;
    BYTES line = {NULL, 0, 0};
    const BOOL fUtf16 = cb >= 2 && pb[0] == 0xFF && pb[1] == 0xFE;
    const DWORD cbUnit = fUtf16 ? 2 : 1;
    DWORD ib = fUtf16 ? 2 : 0;
    DWORD cbEnd = cb;
    REGREFUSAL refusal = REGFILE_READ;
    int iLine = 0;

    ZeroMemory(&r, sizeof(r));
    r.hHeap = hHeap;
    r.pRead = pRead;
    if (IsRefusedEncoding(pb, cb, &pRead->encoding))
    {
        pRead->refusal = REGFILE_ENCODING;
        return;
    }
    if (fUtf16 && cb % 2 != 0)
    {
        pRead->refusal = REGFILE_CUT_SHORT;
        return;
    }
    if (cbEnd >= ib + cbUnit && Unit(pb, cbEnd - cbUnit, fUtf16) == 0x1A)
        cbEnd -= cbUnit;
    while (ib < cbEnd && refusal == REGFILE_READ)
    {
        DWORD ibLine = ib;
        WCHAR ch = 0;
        while (ib < cbEnd && (ch = Unit(pb, ib, fUtf16)) != L'\r' && ch != L'\n')
            ib += cbUnit;
        iLine++;
        refusal = LineText(hHeap, pb + ibLine, ib - ibLine, fUtf16, &line);
        if (refusal == REGFILE_READ)
            refusal = ReadLine(&r, (const WCHAR*)line.pb, (const WCHAR*)(line.pb + line.cb), iLine);
        if (ib < cbEnd)
        {
            ib += cbUnit;
            if (ch == L'\r' && ib < cbEnd && Unit(pb, ib, fUtf16) == L'\n')
                ib += cbUnit;
        }
    }
    // A value that goes on past the end, or no header.
    if (refusal == REGFILE_READ && r.fContinued)
        refusal = REGFILE_BAD_VALUE;
    else if (refusal == REGFILE_READ && !r.fHeaderRead)
        refusal = REGFILE_NOT_AN_EXPORT;
    if (line.pb != NULL)
        HeapFree(hHeap, 0, line.pb);
    pRead->refusal = refusal;
    pRead->iLine = iLine;
    if (refusal != REGFILE_READ)
        pRead->pFirst = NULL;
}
