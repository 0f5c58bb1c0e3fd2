// The "Message Handler Definition" dialog (template IDD_HANDLER_DEFINITION):
// edits one handler, or makes a new one.
#ifndef QUORBIT_HANDLER_DEFINITION_DIALOG_H
#define QUORBIT_HANDLER_DEFINITION_DIALOG_H

#include <windows.h>

// Run with DialogBoxParamA(ghInstDLL, MAKEINTRESOURCE(IDD_HANDLER_DEFINITION),
// owner, AddHandlerDlgProc, (LPARAM)lpHandler). Shows *lpHandler, a
// HANDLER: its szName is the handler edited, empty for a new one (NULL
// shows empty fields). Ends with 1 after OK, once the fields have been
// written to the store under the name typed and, as saved, into
// *lpHandler; and with 0 after Cancel, when nothing was saved and
// *lpHandler is as it was. Answers FALSE to every message.
INT_PTR CALLBACK AddHandlerDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

#endif
