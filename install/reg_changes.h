// The changes a registry file asks for, made below one key, all or nothing.
#ifndef QUORBIT_REG_CHANGES_H
#define QUORBIT_REG_CHANGES_H

#include "reg_file.h"

// Told the line of each change before it is looked at or made.
typedef void (*REGPROGRESSPROC)(void* pv, int iLine);

// Finds the first change whose key is, or lies below, a registry link
// below hRoot, or that removes a key with a link in its tree: a file the
// import would take outside hRoot. ERROR_SUCCESS with *ppOp NULL when
// there is none; with *ppOp at that change and *ppwszLink naming the link
// below hRoot (on hHeap) when there is; or the error that stopped the
// search. Changes nothing.
LONG FindRegLink(HANDLE hHeap, HKEY hRoot, const REGOP* pFirst, REGPROGRESSPROC pfnProgress, void* pv,
                 const REGOP** ppOp, WCHAR** ppwszLink);

// Makes the changes below hRoot (open for reading and writing), in order,
// relative to it, one key level at a time and never through a link. When
// one fails, the ones made before it are undone, newest first, and what
// was there before is back, a removed key's rights too: ERROR_SUCCESS, or
// the failing change's error, with *ppFailed pointing at that change and
// *pfUndone FALSE only when something could not be put back. Removing the
// root itself empties it, so that a file can replace every handler. Copies
// of what was there go on hHeap.
LONG MakeRegChanges(HANDLE hHeap, HKEY hRoot, const REGOP* pFirst, REGPROGRESSPROC pfnProgress, void* pv,
                    const REGOP** ppFailed, BOOL* pfUndone);

#endif
