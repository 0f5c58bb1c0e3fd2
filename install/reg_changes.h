// The changes a registry file asks for, made below the handlers' root, all
// or nothing, never through a registry link and never over another
// writer's work.
#ifndef QUORBIT_REG_CHANGES_H
#define QUORBIT_REG_CHANGES_H

#include "reg_file.h"

// Told the line of each change before it is looked at or made, and again
// before each key a removal deletes.
typedef void (*REGPROGRESSPROC)(void* pv, int iLine);

// Finds the first change whose key lies on or below a registry link,
// however far up, from HKEY_LOCAL_MACHINE down: each level is opened with
// REG_OPTION_OPEN_LINK and asked whether it is a link. ERROR_SUCCESS with
// *ppOp NULL when there is none; with *ppOp at that change and *ppwszLink
// naming the link below HKEY_LOCAL_MACHINE (on hHeap) when there is; or
// the error that stopped the search. A key missing or unreadable hides no
// link. Changes nothing, and reads no removal's tree: a link there is
// found while the removal is made.
LONG FindRegLink(HANDLE hHeap, const REGOP* pFirst, REGPROGRESSPROC pfnProgress, void* pv, const REGOP** ppOp,
                 WCHAR** ppwszLink);

// Makes the changes, in order: the root and the keys on the way to it are
// made for a file that names a key, and the root is opened for writing
// first, *ppFailed NULL when that fails. Every level is checked as
// FindRegLink checks it right before anything is created or written below
// it, and a removal copies each key, its class, volatility, rights and
// values, right before deleting it; one that reaches a link stops with
// REGISTRY_LINK_FOUND and *ppwszLink naming it (on hHeap).
//
// When a change fails, the undo takes back this import's own work, newest
// first: a key it created goes while it is empty, a value goes back while
// it holds what the import wrote, and a removed key comes back, as it was,
// while nobody made it again. What another writer did meanwhile stays.
// ERROR_SUCCESS, or the failing change's error with *ppFailed at it and
// *pfUndone FALSE only when something could not be put back. Removing the
// root itself empties it, so that a file can replace every handler. The
// copies are given back before it returns.
LONG MakeRegChanges(HANDLE hHeap, const REGOP* pFirst, REGPROGRESSPROC pfnProgress, void* pv,
                    const REGOP** ppFailed, WCHAR** ppwszLink, BOOL* pfUndone);

#endif
