// Boxes for changes the store refused.
#include "store_failure.h"
#include "ansi_text.h"
#include "message_check.h"
#include "system_text.h"

void ShowStoreFailure(HWND hOwner, const char* szName, const char* szAction, LONG lResult, BOOL fUndone)
{
    // Names of keys made by hand run to 255 characters, 510 bytes in a
    // double-byte code page: with the reason, the text stays within the
    // 1,024 characters wsprintfA writes at most.
    char szText[1024];
    char szShownName[512];
    char szReason[256];

    CopyCharacters(szShownName, sizeof(szShownName), szName);
    wsprintfA(szText, "The message handler \"%s\" could not be %.20s.\n\n%s%s%s", szShownName, szAction,
              SystemErrorText((DWORD)lResult, szReason, sizeof(szReason)),
              fUndone ? "" : "\n\nWhat was stored before could not be put back either: the handler may be stored "
                             "half changed.",
              lResult == ERROR_ACCESS_DENIED ? "\n\nOnly an administrator can change message handlers." : "");
    ErrorMessageBox(hOwner, 0, NULL, szText);
}
