#include "sheet_window.h"
#include <commctrl.h>

HWND hwndSheet = NULL;

int CALLBACK SheetCallback(HWND hwnd, UINT uMsg, LPARAM lParam)
{
    (void)lParam;
    if (uMsg == PSCB_INITIALIZED)
        hwndSheet = hwnd;
    return 0;
}

int SheetTabCount(HWND hSheet)
{
    HWND hTab = (HWND)SendMessageA(hSheet, PSM_GETTABCONTROL, 0, 0);

    return hTab != NULL ? (int)SendMessageA(hTab, TCM_GETITEMCOUNT, 0, 0) : 0;
}

void GetSheetTabText(HWND hSheet, int iTab, char* szText, int cchText)
{
    HWND hTab = (HWND)SendMessageA(hSheet, PSM_GETTABCONTROL, 0, 0);
    TCITEMA item;

    szText[0] = '\0';
    ZeroMemory(&item, sizeof(item));
    item.mask = TCIF_TEXT;
    item.pszText = szText;
    item.cchTextMax = cchText;
    if (hTab != NULL)
        SendMessageA(hTab, TCM_GETITEMA, (WPARAM)iTab, (LPARAM)&item);
}
