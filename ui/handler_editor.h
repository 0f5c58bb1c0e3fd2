// The elevated handler editor, QuorbitHandlers.exe beside this module: where
// an administrator whose mail client runs with a filtered token (UAC)
// changes the handlers.
#ifndef QUORBIT_HANDLER_EDITOR_H
#define QUORBIT_HANDLER_EDITOR_H

#include <windows.h>
#include <shellapi.h>

// The editor's file name, beside Quorbit.dll.
#define HANDLER_EDITOR_FILE "QuorbitHandlers.exe"

// How the editor is started. NULL until first use, when shell32's is
// bound: loading shell32 with the extension would slow every client start.
// Tests put their own here.
typedef BOOL(WINAPI* SHELLEXECUTEEXA)(LPSHELLEXECUTEINFOA);
extern SHELLEXECUTEEXA pfnShellExecuteExA;

// Starts the editor elevated (the verb "runas") and does not wait for it.
// A failure, other than the user's No to Windows' question, is shown in a
// box owned by hOwner.
void StartHandlerEditor(HWND hOwner);

#endif
