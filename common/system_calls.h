// The system calls that tests replace, in one place. Wine grants what
// Windows refuses a standard user (a key created below a key the user may
// only read, a key deleted, a value written through a handle that was
// opened with the right), answers every token as that of an administrator
// without UAC, and would start the real handler editor; a handler program
// cannot see every argument of its own start. The product only ever calls
// through these.
#ifndef QUORBIT_SYSTEM_CALLS_H
#define QUORBIT_SYSTEM_CALLS_H

#include "registry_tree.h"
#include <shellapi.h>

typedef LONG(WINAPI* REGCREATEKEYEXA)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                      LPDWORD);
typedef LONG(WINAPI* REGSETVALUEEXW)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef BOOL(WINAPI* GETTOKENINFORMATION)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI* SHELLEXECUTEEXA)(LPSHELLEXECUTEINFOA);
typedef HRESULT(WINAPI* MAPIBUFFERALLOCATOR)(ULONG, LPVOID*);
typedef BOOL(WINAPI* CREATEPROCESSA)(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                     LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION);

typedef struct tagSYSTEMCALLS
{
    REGCREATEKEYEXA pfnRegCreateKeyExA;   // the store's create-or-open
    REGSETVALUEEXW pfnRegSetValueExW;     // the store's writes
    REGDELETEKEYPROC pfnDeleteKey;        // the store's delete of one key
    GETTOKENINFORMATION pfnGetTokenInformation;  // what the token allows
    // The handler editor's start. NULL: shell32's, bound at the first
    // start, since loading shell32 with the extension would slow every
    // start of the client.
    SHELLEXECUTEEXA pfnShellExecuteExA;
    CREATEPROCESSA pfnCreateProcessA;     // a handler program's start
    // The property readers' buffers. NULL: MAPI's own allocator, which
    // the programs that link this alone do not load.
    MAPIBUFFERALLOCATOR pfnMAPIAllocateBuffer;
} SYSTEMCALLS;

extern SYSTEMCALLS gSystemCalls;

#endif
