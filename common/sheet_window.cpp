#include "sheet_window.h"
#include <prsht.h>

HWND hwndSheet = NULL;

int CALLBACK SheetCallback(HWND hwnd, UINT uMsg, LPARAM lParam)
{
    (void)lParam;
    if (uMsg == PSCB_INITIALIZED)
        hwndSheet = hwnd;
    return 0;
}
