// Boxes for changes the store refused.
#include "store_failure.h"
#include "message_check.h"

void ShowStoreFailure(HWND hOwner, const char* szName, const char* szAction, LONG lResult)
{
    // Names of keys made by hand run to 255 characters, and a reason that
    // does not fit in its buffer gives way to the error's number: the text
    // stays within the 1,024 characters wsprintfA writes at most.
    char szText[1024];
    char szReason[256];
    int cch;

    cch = (int)FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, (DWORD)lResult,
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szReason, sizeof(szReason), NULL);
    if (cch <= 0)
        cch = wsprintfA(szReason, "System error %ld.", lResult);
    // The system's text ends in a line break.
    while (cch > 0 && (szReason[cch - 1] == '\r' || szReason[cch - 1] == '\n' || szReason[cch - 1] == ' '))
        szReason[--cch] = '\0';

    wsprintfA(szText, "The message handler \"%.255s\" could not be %.20s.\n\n%s%s", szName, szAction, szReason,
              lResult == ERROR_ACCESS_DENIED ? "\n\nOnly an administrator can change message handlers." : "");
    ErrorMessageBox(hOwner, 0, NULL, szText);
}
