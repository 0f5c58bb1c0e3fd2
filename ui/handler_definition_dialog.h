// The "Message Handler Definition" dialog (template IDD_HANDLER_DEFINITION):
// edits the handler named by szHandlerName, or a new one when it is empty.
#ifndef QUORBIT_HANDLER_DEFINITION_DIALOG_H
#define QUORBIT_HANDLER_DEFINITION_DIALOG_H

#include <windows.h>

// Run with DialogBoxParamA(ghInstDLL, MAKEINTRESOURCE(IDD_HANDLER_DEFINITION),
// owner, AddHandlerDlgProc, 0). Loads the handler into the current handler
// record when it opens. Ends with 1 after OK, when the record has been
// written to the store under the name now in szHandlerName, and with 0 after
// Cancel, when nothing was saved. Answers FALSE to every message.
INT_PTR CALLBACK AddHandlerDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

#endif
