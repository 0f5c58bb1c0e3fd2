#include "ansi_text.h"

BOOL HasCharacter(const char* szText, char ch)
{
    for (const char* p = szText; *p != '\0'; p = CharNextA(p))
    {
        if (*p == ch)
            return TRUE;
    }
    return FALSE;
}
