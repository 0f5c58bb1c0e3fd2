// Boxes for changes the store refused.
#include "store_failure.h"
#include "ansi_text.h"
#include "handler_editor.h"
#include "error_box.h"
#include "store_access.h"
#include "system_text.h"

void ShowStoreFailure(HWND hOwner, const char* szName, const char* szAction, LONG lResult, BOOL fUndone)
{
    // Names of keys made by hand run to 255 characters, 510 bytes in a
    // double-byte code page: with the reason and the advice, the text stays
    // within the 1,024 characters wsprintfA writes at most.
    char szText[1024];
    char szShownName[512];
    char szReason[256];
    const char* lpszAdvice = "";
    STOREACCESS access;

    ZeroMemory(&access, sizeof(access));
    if (lResult == ERROR_ACCESS_DENIED)
    {
        // An administrator under UAC may make the change elevated; anyone
        // else needs an administrator.
        GetStoreAccess(&access);
        lpszAdvice = access.fLimited
                         ? "\n\nWindows runs the mail client without administrator rights. Make the change in the "
                           "handler editor, Quorbit Message Handlers, which asks for them, or run the mail client "
                           "as administrator.\n\nOpen the handler editor now?"
                         : "\n\nOnly an administrator can change message handlers. Ask an administrator to make "
                           "the change.";
    }
    CopyCharacters(szShownName, sizeof(szShownName), szName);
    wsprintfA(szText, "The message handler \"%s\" could not be %.20s.\n\n%s%s%s", szShownName, szAction,
              SystemErrorText((DWORD)lResult, NULL, szReason, sizeof(szReason)),
              fUndone ? "" : "\n\nWhat was stored before could not be put back either: the handler may be stored "
                             "half changed.",
              lpszAdvice);
    if (!access.fLimited)
        ErrorMessageBox(hOwner, 0, NULL, szText);
    else if (MessageBoxA(hOwner, szText, szMessageBoxTitle, MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
        StartHandlerEditor(hOwner);
}
