// The window of the one property sheet a program shows. PropertySheetA
// returns only when a modal sheet closes; its callback (PSH_USECALLBACK)
// learns the window as soon as the sheet exists, for the client's
// GetWindow and for whatever drives the sheet while it is up.
#ifndef QUORBIT_SHEET_WINDOW_H
#define QUORBIT_SHEET_WINDOW_H

#include <windows.h>

// NULL until the sheet is created.
extern HWND hwndSheet;

// The sheet's pfnCallback: keeps its window in hwndSheet.
int CALLBACK SheetCallback(HWND hwnd, UINT uMsg, LPARAM lParam);

#endif
