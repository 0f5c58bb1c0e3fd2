// Handles the module keeps from the client for its whole life. The binding
// sets them (DllMain, Install); the dialogs read them.
#ifndef QUORBIT_HOST_HANDLES_H
#define QUORBIT_HOST_HANDLES_H

#include <windows.h>
#include <mapix.h>

extern HINSTANCE     ghInstDLL;   // this module, set at process attach
extern LPMAPISESSION lpSession;   // the client's session, set by Install
extern LPADRBOOK     lpAdrbook;   // the client's address book, set by Install

#endif
