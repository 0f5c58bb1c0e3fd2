// A registry export imported as handler-import.exe imports it: read once,
// checked whole, and written under the machine's one lock for imports,
// with what it did said in plain words.
#ifndef QUORBIT_REG_IMPORT_H
#define QUORBIT_REG_IMPORT_H

#include <windows.h>

// The mutex that lets one import at a time run on the computer, in every
// session: held from the first read of the registry to the end of the
// undo.
extern const WCHAR c_wszImportMutex[];

// How long an import waits for another one to finish.
#define IMPORT_WAIT_MS (10 * 60 * 1000)

// Points at which a caller acts during an import: pfnStep before each
// change is checked (fWriting FALSE) or made, and before each key a
// removal deletes, with the change's line; pfnWaiting once the import
// starts waiting for another one. Either may be NULL.
typedef struct tagIMPORTHOOKS
{
    void (*pfnStep)(void* pv, BOOL fWriting, int iLine);
    void (*pfnWaiting)(void* pv);
    void* pv;
} IMPORTHOOKS;

// Imports the file pwszFile into HKEY_LOCAL_MACHINE\SOFTWARE\Quorbit\Message
// Handlers, waiting up to msWait for another import, and writes to hOut
// what it did: 0 when it was imported; 1 when nothing was, and why.
// pHooks may be NULL. What it reads goes on hHeap.
int ImportRegFile(HANDLE hHeap, const WCHAR* pwszFile, HANDLE hOut, DWORD msWait, const IMPORTHOOKS* pHooks);

#endif
