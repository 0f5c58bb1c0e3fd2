#include "ansi_text.h"

const char* FindCharacter(const char* szText, char ch)
{
    const char* p = szText;

    while (*p != '\0' && *p != ch)
        p = CharNextA(p);
    return p;
}

BOOL HasCharacter(const char* szText, char ch)
{
    return ch != '\0' && *FindCharacter(szText, ch) != '\0';
}

void CopyCharacters(char* szDest, int cbDest, const char* szSrc)
{
    const char* pEnd = szSrc;

    // A lead byte is never copied without the byte that completes it.
    for (const char* pNext = CharNextA(pEnd); *pEnd != '\0' && pNext - szSrc < cbDest; pNext = CharNextA(pEnd))
        pEnd = pNext;
    CopyMemory(szDest, szSrc, pEnd - szSrc);
    szDest[pEnd - szSrc] = '\0';
}

int AnsiFromWide(LPCWSTR wszText, char* szText, int cbText, BOOL* pfExact)
{
    BOOL fUsedDefault = FALSE;
    int cb = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wszText, -1, szText, cbText, NULL, &fUsedDefault);

    *pfExact = cb != 0 && !fUsedDefault;
    return cb;
}
