// Telling the user that a change to the stored handlers did not happen.
#ifndef QUORBIT_STORE_FAILURE_H
#define QUORBIT_STORE_FAILURE_H

#include <windows.h>

// Shows, in a box owned by hOwner: the message handler "<szName>" could not
// be <szAction>, the system's reason for lResult, that the handler may be
// half changed when the store could not undo what it began (fUndone
// FALSE), and for a refusal of access what to do: for an administrator
// whose token UAC filtered, the elevated handler editor, which the box
// offers to start; for anyone else, to ask an administrator.
void ShowStoreFailure(HWND hOwner, const char* szName, const char* szAction, LONG lResult, BOOL fUndone);

#endif
