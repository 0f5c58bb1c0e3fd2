// The changes a registry file asks for, made below one key, all or nothing.
#ifndef QUORBIT_REG_CHANGES_H
#define QUORBIT_REG_CHANGES_H

#include "reg_file.h"

// Makes the changes below hRoot (open for reading and writing), in order,
// relative to it: nothing can reach a key outside it. When one fails, the
// ones made before it are undone, newest first, and what was there before
// is back: ERROR_SUCCESS, or the failing change's error, with *ppFailed
// pointing at that change and *pfUndone FALSE only when something could not
// be put back. Removing the root itself empties it, so that a file can
// replace every handler. Copies of what was there go on hHeap.
LONG MakeRegChanges(HANDLE hHeap, HKEY hRoot, const REGOP* pFirst, const REGOP** ppFailed, BOOL* pfUndone);

// Deletes szSubKey of hParent with everything below it (RegDeleteTree is
// Vista and later). ERROR_SUCCESS when it is gone, missing before included.
LONG DeleteKeyTree(HKEY hParent, const WCHAR* pwszSubKey);

#endif
