// The handler store: one registry key per message handler below
// HKLM\SOFTWARE\Quorbit\Message Handlers. It keeps no handler itself: each
// read fills a structure of the caller's.
#ifndef QUORBIT_HANDLER_STORE_H
#define QUORBIT_HANDLER_STORE_H

#include <windows.h>

// Capacities in characters, terminator included.
#define CCH_HANDLER_NAME    40
#define CCH_SENDER_EMAIL    80
#define CCH_FILE_PATH       128
#define CCH_ROOT_KEY        80
#define CCH_HANDLER_KEY     120
#define CCH_KEY_NAME        260

// Registry value names. The table of handler_store.cpp gives each its
// type, field and default, in the order they are read and written.
#define REGVAL_CONFIRM_DIALOG   "ConfirmDialog"
#define REGVAL_PREVENT_OPEN     "PreventOpen"
#define REGVAL_SENDER_EMAIL     "SenderEmailAddress"
#define REGVAL_FILE_PATH        "FilePath"
#define REGVAL_DEBUG            "Debug"

// "SOFTWARE\Quorbit\Message Handlers", below HKEY_LOCAL_MACHINE.
extern char szRootKey[CCH_ROOT_KEY];

// One stored handler, as RegistryReadHandler reads it: from its own key
// alone, into a structure the caller has zeroed. A value that is missing,
// unreadable, of another type or too long for its field stays as zeroed: an
// option is then off, and an empty text names no sender and no program. An
// option is on only when it holds exactly 1. Fill it by field name: the
// store walks its values from one table (handler_store.cpp).
typedef struct tagHANDLER
{
    char  szName[CCH_KEY_NAME];     // the key's name
    char  szSenderEmailAddress[CCH_SENDER_EMAIL];
    char  szFilePath[CCH_FILE_PATH];
    DWORD dwPreventOpen;
    DWORD dwConfirmDialog;
    DWORD dwDebug;
    // Why each text above is what the read left it: ERROR_SUCCESS when it
    // was read; ERROR_FILE_NOT_FOUND when the key lacks it,
    // ERROR_DATATYPE_MISMATCH when it is not text (REG_SZ, or REG_EXPAND_SZ
    // read as the same text, never expanded), ERROR_MORE_DATA when it is
    // too long for its field, ERROR_NO_UNICODE_TRANSLATION when it has no
    // exact spelling in the code page.
    LONG  lSenderEmailAddressRead;
    LONG  lFilePathRead;
} HANDLER, *LPHANDLER;

// The values a new handler starts with, into *lpHandler (its name empty).
void RegistryNewHandler(LPHANDLER lpHandler);

// One message's sender, as the search compares it, in UTF-16: the address
// the message gives (for an Exchange sender, its directory address) and,
// for an Exchange sender, its SMTP address where known (NULL otherwise).
// Read once, from the message, and searched with as it was read.
typedef struct tagSENDER
{
    LPWSTR lpszAddress;
    LPWSTR lpszSmtpAddress;
    BOOL   fExchange;       // its address type is "EX"
} SENDER, *LPSENDER;

// Builds "<root>\<name>" into szKey (cchKey characters). Returns FALSE and
// leaves szKey empty when the path would not fit.
BOOL RegistryHandlerKeyPath(char* szKey, int cchKey, const char* szHandler);

// Opens szName below HKLM for reading; never creates it. Returns the
// registry's status (ERROR_FILE_NOT_FOUND when there is no such key), with
// *phkHandle NULL on failure.
LONG RegistryOpenForReading(const char* szName, HKEY* phkHandle);

// Creates or opens szName below HKLM with full access, and nothing less:
// returns the registry's status (ERROR_ACCESS_DENIED for a user who may not
// change HKLM, and for a process whose writes Windows would redirect to the
// user's VirtualStore), with *phkHandle NULL on failure. *pdwDisposition, when
// given, tells whether the key was created.
LONG RegistryOpenForWriting(const char* szName, HKEY* phkHandle, DWORD* pdwDisposition);

// Fills *lpHandler, zeroed by the caller, from the handler key szHandler
// below the root and from nothing else: the one read of a handler's five
// values. An option is read from up to four bytes of any type; a text only
// from a REG_SZ or REG_EXPAND_SZ (never expanded: a user's environment may
// redefine %ProgramFiles%) that fits its field with its terminator, read
// as stored (UTF-16) and only when it has an exact spelling in the code
// page; its l...Read field says why not. Returns
// ERROR_SUCCESS, or the registry's reason with *lpHandler untouched:
// ERROR_FILE_NOT_FOUND when there is no such handler (or no root),
// ERROR_ACCESS_DENIED when its key may not be read,
// ERROR_NO_UNICODE_TRANSLATION for a name the list gives to a key whose
// name has no spelling in the code page. Opens keys for reading only, and
// creates none.
LONG RegistryReadHandler(const char* szHandler, LPHANDLER lpHandler);

void RegistryClose(HKEY hkHandle);

// Writes *lpHandler as the handler szHandler, all five values or none:
// when one is refused, the values the key held before are put back, or the
// key this call created is removed. Returns ERROR_SUCCESS or the registry's
// reason for the refusal; *pfUndone tells whether the undoing succeeded
// (TRUE when there was nothing to undo).
LONG RegistrySaveHandler(const char* szHandler, const HANDLER* lpHandler, BOOL* pfUndone);

// Deletes the sub-key lpSubKey of hkHandle with its values and all the keys
// below it. Returns ERROR_SUCCESS or the registry's reason; keys below it
// may be gone when a deeper one was refused. ERROR_FILE_NOT_FOUND means
// lpSubKey is not there at all; a key that is listed but cannot be reached
// by this name (it has no spelling in the code page) gives
// ERROR_NO_UNICODE_TRANSLATION. A process whose changes Windows would
// redirect to the VirtualStore gets ERROR_ACCESS_DENIED.
LONG RegistryDelete(HKEY hkHandle, const char* lpSubKey);

// Calls pfnName with the name of each stored handler, in enumeration
// order; a name without an exact spelling in the code page comes with "?"
// for what it lacks, never as a best-fit lookalike of another name. A
// missing root key is an empty store: nothing is created, and pfnName is
// not called.
typedef void (*HANDLERNAMEPROC)(const char* szName, void* pv);
void RegistryListHandlers(HANDLERNAMEPROC pfnName, void* pv);

// Finds the handler whose "SenderEmailAddress" is either of *lpSender's
// addresses (SameAddress: the same text up to letter case, and never an
// empty one), searching from the last sub-key to the first, and fills
// *lpHandler (zeroed by the caller) with RegistryReadHandler. A key whose
// name or address cannot be read, or has no exact spelling in the code
// page, matches nothing. S_OK when found, S_FALSE when not (*lpHandler
// untouched), or the registry's reason as an HRESULT when the root key is
// there but cannot be read. *pcCompared, when given, receives how many
// handlers' addresses were compared: none when the store holds no handler
// with an address. Every key is opened for reading, relative to the root:
// the search creates none, and names of any length are found.
HRESULT RegistryFindHandler(const SENDER* lpSender, LPHANDLER lpHandler, DWORD* pcCompared);

#endif
