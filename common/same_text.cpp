#include "same_text.h"

// One unit upper-cased by the file system's rules: without
// LCMAP_LINGUISTIC_CASING, and in the invariant locale, so that no user's
// locale takes part. ASCII, nearly every address, needs no call.
static WCHAR UpperUnit(WCHAR ch)
{
    WCHAR chUpper = ch;

    if (ch < 0x80)
        return (ch >= L'a' && ch <= L'z') ? (WCHAR)(ch - (L'a' - L'A')) : ch;
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &ch, 1, &chUpper, 1) != 1)
        return ch;
    return chUpper;
}

BOOL SameText(LPCWSTR wsz1, LPCWSTR wsz2)
{
    if (wsz1 == NULL || wsz2 == NULL)
        return wsz1 == wsz2;
    for (;; wsz1++, wsz2++)
    {
        // Most units are equal as they stand; only the others are cased.
        if (*wsz1 != *wsz2 && UpperUnit(*wsz1) != UpperUnit(*wsz2))
            return FALSE;
        if (*wsz1 == L'\0')
            return TRUE;
    }
}

BOOL SameAddress(LPCWSTR wsz1, LPCWSTR wsz2)
{
    return wsz1 != NULL && wsz2 != NULL && wsz1[0] != L'\0' && SameText(wsz1, wsz2);
}

// sz widened into wszBuffer (cchBuffer units), or into memory of its own
// when longer, which *pwszAllocated then holds for the caller to free
// with LocalFree. NULL when it cannot be widened.
static LPCWSTR WidenName(const char* sz, WCHAR* wszBuffer, int cchBuffer, LPWSTR* pwszAllocated)
{
    int cch;

    *pwszAllocated = NULL;
    if (sz == NULL)
        return NULL;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, sz, -1, wszBuffer, cchBuffer) != 0)
        return wszBuffer;
    cch = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, sz, -1, NULL, 0);
    if (cch == 0)
        return NULL;
    *pwszAllocated = (LPWSTR)LocalAlloc(LMEM_FIXED, cch * sizeof(WCHAR));
    if (*pwszAllocated == NULL ||
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, sz, -1, *pwszAllocated, cch) == 0)
        return NULL;
    return *pwszAllocated;
}

BOOL SameName(const char* sz1, const char* sz2)
{
    // Full paths and key names fit; longer names are widened on the heap.
    WCHAR wsz1[MAX_PATH + 1];
    WCHAR wsz2[MAX_PATH + 1];
    LPWSTR lpAllocated1 = NULL;
    LPWSTR lpAllocated2 = NULL;
    LPCWSTR lpWide1 = WidenName(sz1, wsz1, MAX_PATH + 1, &lpAllocated1);
    LPCWSTR lpWide2 = WidenName(sz2, wsz2, MAX_PATH + 1, &lpAllocated2);
    BOOL fSame = lpWide1 != NULL && lpWide2 != NULL && SameText(lpWide1, lpWide2);

    LocalFree(lpAllocated1);
    LocalFree(lpAllocated2);
    return fSame;
}
