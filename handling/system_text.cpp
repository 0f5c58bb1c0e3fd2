#include "system_text.h"

LPSTR SystemErrorText(DWORD dwError, char* szText, int cchText)
{
    char szNumber[40];
    int cch = (int)FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szText, (DWORD)cchText, NULL);

    if (cch <= 0 || cch >= cchText)
    {
        wsprintfA(szNumber, "System error %lu.", dwError);
        lstrcpynA(szText, szNumber, cchText);
        return szText;
    }
    while (cch > 0 && (szText[cch - 1] == '\r' || szText[cch - 1] == '\n' || szText[cch - 1] == ' '))
        szText[--cch] = '\0';
    return szText;
}
