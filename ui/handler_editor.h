// The elevated handler editor, QuorbitHandlers.exe beside this module: where
// an administrator whose mail client runs with a filtered token (UAC)
// changes the handlers.
#ifndef QUORBIT_HANDLER_EDITOR_H
#define QUORBIT_HANDLER_EDITOR_H

#include <windows.h>

// The editor's file name, beside Quorbit.dll.
#define HANDLER_EDITOR_FILE "QuorbitHandlers.exe"

// Starts the editor elevated (the verb "runas") and does not wait for it.
// A failure, other than the user's No to Windows' question, is shown in a
// box owned by hOwner.
void StartHandlerEditor(HWND hOwner);

#endif
