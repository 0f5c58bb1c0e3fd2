#include "system_text.h"

LPSTR SystemErrorText(DWORD dwError, const char* szFile, char* szText, int cchText)
{
    char szMessage[512];
    char szNumber[40];
    const char* szInsert = szFile != NULL ? szFile : "the file";
    const int cchInsert = lstrlenA(szInsert);
    int cchOut = 0;
    int cch = (int)FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szMessage, sizeof(szMessage), NULL);

    if (cch <= 0 || cch >= (int)sizeof(szMessage))
        goto Number;
    while (cch > 0 && (szMessage[cch - 1] == '\r' || szMessage[cch - 1] == '\n' || szMessage[cch - 1] == ' '))
        szMessage[--cch] = '\0';
    // The inserts are left as written, and "%1" becomes the file. Neither
    // byte is ever the second byte of a double-byte character.
    for (const char* p = szMessage; *p != '\0';)
    {
        const char* pPiece = p;
        int cchPiece;
        if (p[0] == '%' && p[1] == '1' && (p[2] < '0' || p[2] > '9'))
        {
            pPiece = szInsert;
            cchPiece = cchInsert;
            p += 2;
        }
        else
        {
            cchPiece = (int)(CharNextA(p) - p);
            p += cchPiece;
        }
        if (cchOut + cchPiece >= cchText)
            goto Number;
        CopyMemory(szText + cchOut, pPiece, cchPiece);
        cchOut += cchPiece;
    }
    szText[cchOut] = '\0';
    return szText;

Number:
    wsprintfA(szNumber, "System error %lu.", dwError);
    lstrcpynA(szText, szNumber, cchText);
    return szText;
}
