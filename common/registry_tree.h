// A registry key deleted with everything below it, as RegDeleteTree does
// on Vista and later, which XP lacks: without recursion, and without ever
// following a registry link.
#ifndef QUORBIT_REGISTRY_TREE_H
#define QUORBIT_REGISTRY_TREE_H

#include <windows.h>

// Deletes one key, hParent's sub-key pwszName, which has no sub-keys.
typedef LONG(WINAPI* REGDELETEKEYPROC)(HKEY hParent, LPCWSTR pwszName);

// The key itself, a link too: RegDeleteKey opens a link's target and
// deletes that.
LONG WINAPI DeleteOneKey(HKEY hParent, LPCWSTR pwszName);

// Deletes hParent's sub-key pwszName and every key below it, children
// first, each with pfnDeleteKey (NULL: DeleteOneKey). Every key is opened
// with REG_OPTION_OPEN_LINK and the right to delete it, so a link below is
// deleted, never what it points to, and a key that may not be deleted is
// refused before anything below it is touched. ERROR_SUCCESS when it is
// gone; otherwise the first error, ERROR_FILE_NOT_FOUND when it was not
// there, with the keys deleted until then gone. A delete that reports
// success and leaves the key there stops with ERROR_CANTWRITE.
LONG DeleteKeyTree(HKEY hParent, LPCWSTR pwszName, REGDELETEKEYPROC pfnDeleteKey);

#endif
