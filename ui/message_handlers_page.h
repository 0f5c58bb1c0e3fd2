// The "Message Handlers" page of the client's options dialog (template
// IDD_MESSAGE_HANDLERS): lists, adds, edits and removes the stored handlers.
#ifndef QUORBIT_MESSAGE_HANDLERS_PAGE_H
#define QUORBIT_MESSAGE_HANDLERS_PAGE_H

#include <windows.h>

// Background of the page and its buttons and labels: the button-face colour
// read when the page was created, and a solid brush of it (NULL while no
// page exists or when it could not be created). Shared by every page.
extern COLORREF GrayColor;
extern HBRUSH   hBrush;

// The page's dialog procedure, handed to the client with template 102 and
// ghInstDLL. Every change reaches the store at once; OK, Apply and Cancel of
// the options dialog save or undo nothing.
INT_PTR CALLBACK QuorbitDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
