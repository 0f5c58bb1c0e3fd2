// The window of the one property sheet a program shows, and the texts of
// a sheet's tabs. PropertySheetA returns only when a modal sheet closes;
// its callback (PSH_USECALLBACK) learns the window as soon as the sheet
// exists, for the client's GetWindow and for whatever drives the sheet
// while it is up.
#ifndef QUORBIT_SHEET_WINDOW_H
#define QUORBIT_SHEET_WINDOW_H

#include <windows.h>

// NULL until the sheet is created.
extern HWND hwndSheet;

// The sheet's pfnCallback: keeps its window in hwndSheet.
int CALLBACK SheetCallback(HWND hwnd, UINT uMsg, LPARAM lParam);

// The number of tabs of the sheet hSheet.
int SheetTabCount(HWND hSheet);
// The text of tab iTab (from 0) of the sheet hSheet, cut to cchText
// characters with its terminator; empty when there is no such tab.
void GetSheetTabText(HWND hSheet, int iTab, char* szText, int cchText);

#endif
