// The "Message Handlers" page of the client's options dialog (template
// IDD_MESSAGE_HANDLERS): lists, adds, edits and removes the stored handlers.
#ifndef QUORBIT_MESSAGE_HANDLERS_PAGE_H
#define QUORBIT_MESSAGE_HANDLERS_PAGE_H

#include "handler_store.h"
#include <prsht.h>

// Background of the page and its buttons and labels: the button-face colour
// read when the page was created, and a solid brush of it (NULL while no
// page exists or when it could not be created). Shared by every page.
extern COLORREF GrayColor;
extern HBRUSH   hBrush;

// The handler loaded last: by a check that matched (the extension hands
// RememberLoadedHandler to CheckMessage), by Properties, or as the
// definition dialog saved it. Nothing runs from it. It is kept for Add
// alone, which starts from it, its name aside, rather than from empty
// fields: a new handler is most often one that exists with another name
// and sender. Until a handler is loaded it holds a placeholder sender and
// program, and asks first and keeps the message from opening.
void RememberLoadedHandler(const HANDLER* lpHandler);
void GetLastLoadedHandler(LPHANDLER lpHandler);

// Describes the page as the client receives it: the first
// PROPSHEETPAGEA_V1_SIZE (40) bytes of *lppsp, the fields of the first
// version, since the client's records may be no larger; with Help, the
// template and QuorbitDlgProc of ghInstDLL. Nothing past them is written.
void DescribeHandlersPage(LPPROPSHEETPAGEA lppsp);

// The page's dialog procedure, handed to the client with template 102 and
// ghInstDLL. Every change reaches the store at once; OK, Apply and Cancel of
// the options dialog save or undo nothing.
INT_PTR CALLBACK QuorbitDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
