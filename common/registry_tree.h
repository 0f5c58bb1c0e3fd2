// A registry key deleted with everything below it, as RegDeleteTree does
// on Vista and later, which XP lacks: without recursion, and without ever
// following a registry link; and the test whether a key is such a link.
#ifndef QUORBIT_REGISTRY_TREE_H
#define QUORBIT_REGISTRY_TREE_H

#include <windows.h>

// Deletes one key, hParent's sub-key pwszName, which has no sub-keys.
typedef LONG(WINAPI* REGDELETEKEYPROC)(HKEY hParent, LPCWSTR pwszName);

// The key itself, a link too: RegDeleteKey opens a link's target and
// deletes that.
LONG WINAPI DeleteOneKey(HKEY hParent, LPCWSTR pwszName);

// Deletes the key hKey is open on, which needs DELETE access and no
// sub-keys: a link opened with REG_OPTION_OPEN_LINK is deleted itself.
LONG DeleteOpenKey(HKEY hKey);

// What CheckNotLink answers for a registry link.
#define REGISTRY_LINK_FOUND ERROR_CANT_RESOLVE_FILENAME

// ERROR_SUCCESS when hKey, opened with REG_OPTION_OPEN_LINK as hParent's
// sub-key pwszName, is no registry link: opened again without that option
// it is the same key. A key created as a link is not, nor is there any
// while it names no target yet: REGISTRY_LINK_FOUND. A key that holds a
// value named SymbolicLinkValue is no link for that. ERROR_KEY_DELETED
// when hKey's key was deleted meanwhile.
LONG CheckNotLink(HKEY hParent, LPCWSTR pwszName, HKEY hKey);

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
