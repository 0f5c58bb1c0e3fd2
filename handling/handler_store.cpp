// Handler store over the Windows registry.
#include "handler_store.h"
#include "ansi_text.h"
#include "registry_tree.h"
#include "same_text.h"
#include "store_access.h"
#include "quorbit_facts.h"
#include "system_calls.h"
#include <stddef.h>

char szRootKey[CCH_ROOT_KEY] = QUORBIT_HANDLERS_KEY;

static char szEmptyClass[] = "";

// The values' names, for the UTF-16 reads and writes.
#define WIDE(szText) L"" szText

// No field: an option's read has no result to keep.
#define NO_FIELD ((size_t)-1)

// One value of a handler: how it is stored, where it goes in a HANDLER,
// and what a new handler starts with.
typedef struct tagHANDLERVALUE
{
    LPCWSTR wszName;
    DWORD   dwType;        // as written: REG_DWORD for an option, REG_SZ for a text
    size_t  offField;      // the field in a HANDLER
    DWORD   cbField;       // its size: 4 for an option, a text's capacity with its terminator
    size_t  offRead;       // a text's l...Read field, why it is what the read left it
    LPCSTR  szDefault;     // a new handler's text
    DWORD   dwDefault;     // a new handler's option
} HANDLERVALUE;

// A handler's five values, in the order they are read and written. The
// read, the write, the undo of a refused write and a new handler's values
// all walk this table.
static constexpr HANDLERVALUE aHandlerValues[] = {
    {WIDE(REGVAL_CONFIRM_DIALOG), REG_DWORD, offsetof(HANDLER, dwConfirmDialog), sizeof(DWORD), NO_FIELD, NULL, 1},
    {WIDE(REGVAL_PREVENT_OPEN), REG_DWORD, offsetof(HANDLER, dwPreventOpen), sizeof(DWORD), NO_FIELD, NULL, 1},
    {WIDE(REGVAL_SENDER_EMAIL), REG_SZ, offsetof(HANDLER, szSenderEmailAddress), CCH_SENDER_EMAIL,
     offsetof(HANDLER, lSenderEmailAddressRead), "sender@example.com", 0},
    {WIDE(REGVAL_FILE_PATH), REG_SZ, offsetof(HANDLER, szFilePath), CCH_FILE_PATH, offsetof(HANDLER, lFilePathRead),
     "\"Specify a path and file name\"", 0},
    {WIDE(REGVAL_DEBUG), REG_DWORD, offsetof(HANDLER, dwDebug), sizeof(DWORD), NO_FIELD, NULL, 0},
};
#define CVALUES (sizeof(aHandlerValues) / sizeof(aHandlerValues[0]))

// The bytes of a HANDLER the table's rows from i on account for.
static constexpr size_t TableBytes(size_t i)
{
    return i == CVALUES ? 0
                        : aHandlerValues[i].cbField + (aHandlerValues[i].offRead != NO_FIELD ? sizeof(LONG) : 0) +
                              TableBytes(i + 1);
}
// A field added to HANDLER and not to the table would be neither read nor
// written, nor put back when a save is undone.
static_assert(sizeof(HANDLER) == sizeof(((HANDLER*)NULL)->szName) + TableBytes(0),
              "every field of HANDLER but its name is a value of aHandlerValues");

// The field row v describes in *lpHandler.
static BYTE* FieldOf(const HANDLER* lpHandler, const HANDLERVALUE& v)
{
    return (BYTE*)lpHandler + v.offField;
}

// Key names have at most 255 characters.
#define CCH_KEY_NAME_MAX 256

// Reads a REG_DWORD (or up to 4 bytes of anything) into *pdwField.
static void RegistryReadDword(HKEY hk, LPCWSTR wszValue, DWORD* pdwField)
{
    DWORD dwValue = 0;
    DWORD cb = sizeof(dwValue);

    if (RegQueryValueExW(hk, wszValue, NULL, NULL, (LPBYTE)&dwValue, &cb) == ERROR_SUCCESS)
        *pdwField = dwValue;
}

// Reads the text value wszValue of hk as stored, in UTF-16: the A functions
// would read "C:\Lab" for a stored "C:\" with an L with stroke and "ab",
// another path. A REG_EXPAND_SZ is the same text, never expanded. On
// success wszText (CCH_FILE_PATH + 1 units) holds it and szText (cchField
// bytes) its exact spelling in the code page, each when given; the text and
// its terminator fit in cchField there. Otherwise both are left as they
// were, and the result says why: ERROR_FILE_NOT_FOUND,
// ERROR_DATATYPE_MISMATCH, ERROR_MORE_DATA, ERROR_NO_UNICODE_TRANSLATION,
// or the registry's reason.
static LONG RegistryReadText(HKEY hk, LPCWSTR wszValue, DWORD cchField, WCHAR* wszText, char* szText)
{
    // One unit more than the largest field, for a value stored without its
    // terminator. A text of cchField characters or more never fits.
    WCHAR wszBuffer[CCH_FILE_PATH + 1];
    // Room for a double-byte spelling of the largest field, to tell one
    // that is too long from one that has no spelling.
    char szBuffer[2 * CCH_FILE_PATH];
    DWORD dwType = REG_NONE;
    DWORD cb = cchField * sizeof(WCHAR);
    BOOL fExact = FALSE;
    int cbAnsi;
    LONG lResult;

    if (cchField > CCH_FILE_PATH)
        return ERROR_INVALID_PARAMETER;
    lResult = RegQueryValueExW(hk, wszValue, NULL, &dwType, (LPBYTE)wszBuffer, &cb);
    // A value too long for the buffer comes with its type too; one that
    // did not come is taken as text, too long.
    if ((lResult == ERROR_SUCCESS || (lResult == ERROR_MORE_DATA && dwType != REG_NONE)) && dwType != REG_SZ &&
        dwType != REG_EXPAND_SZ)
        return ERROR_DATATYPE_MISMATCH;
    if (lResult != ERROR_SUCCESS)
        return lResult;
    wszBuffer[cb / sizeof(WCHAR)] = L'\0';
    if ((DWORD)lstrlenW(wszBuffer) >= cchField)
        return ERROR_MORE_DATA;
    cbAnsi = AnsiFromWide(wszBuffer, szBuffer, sizeof(szBuffer), &fExact);
    if (cbAnsi != 0 && !fExact)
        return ERROR_NO_UNICODE_TRANSLATION;
    if (cbAnsi == 0 || (DWORD)cbAnsi > cchField)
        return ERROR_MORE_DATA;
    if (wszText != NULL)
        lstrcpyW(wszText, wszBuffer);
    if (szText != NULL)
        lstrcpyA(szText, szBuffer);
    return ERROR_SUCCESS;
}

// The name of the sub-key i of hk in the code page, read as the registry
// holds it (UTF-16) and converted without best fit. ERROR_SUCCESS, or
// ERROR_NO_UNICODE_TRANSLATION for a name without an exact spelling there:
// szName then holds it with the default character ("?") for what it lacks,
// which is how it is listed (empty when even that does not fit), and no
// key has that name. Any other result ends an enumeration.
static LONG RegistryEnumName(HKEY hk, DWORD i, char* szName, int cchName)
{
    WCHAR wszName[CCH_KEY_NAME_MAX];
    DWORD cch = CCH_KEY_NAME_MAX;
    BOOL fExact = FALSE;
    LONG lResult = RegEnumKeyExW(hk, i, wszName, &cch, NULL, NULL, NULL, NULL);

    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (AnsiFromWide(wszName, szName, cchName, &fExact) == 0)
        szName[0] = '\0';
    return fExact ? ERROR_SUCCESS : ERROR_NO_UNICODE_TRANSLATION;
}

// Whether an enumeration goes on after RegistryEnumName's result.
static BOOL IsListed(LONG lResult)
{
    return lResult == ERROR_SUCCESS || lResult == ERROR_NO_UNICODE_TRANSLATION;
}

// Whether hk has a sub-key that the enumeration lists as szName.
static BOOL SubKeyIsListed(HKEY hk, const char* szName)
{
    char sz[CCH_KEY_NAME];

    for (DWORD i = 0; IsListed(RegistryEnumName(hk, i, sz, CCH_KEY_NAME)); i++)
    {
        if (SameName(sz, szName))
            return TRUE;
    }
    return FALSE;
}

// Values are written, as they are kept for an undo, in UTF-16, as the
// registry holds them: the A functions would put back a text without a
// spelling in the code page by best fit.
static LONG RegistryWriteDword(HKEY hk, const WCHAR* wszValue, DWORD dwValue)
{
    return gSystemCalls.pfnRegSetValueExW(hk, wszValue, 0, REG_DWORD, (const BYTE*)&dwValue, sizeof(dwValue));
}

// szText holds fewer than CCH_FILE_PATH bytes, the largest text field.
static LONG RegistryWriteString(HKEY hk, const WCHAR* wszValue, const char* szText)
{
    WCHAR wszText[CCH_FILE_PATH];
    int cch = MultiByteToWideChar(CP_ACP, 0, szText, -1, wszText, CCH_FILE_PATH);

    if (cch == 0)
        return ERROR_INVALID_PARAMETER;
    return gSystemCalls.pfnRegSetValueExW(hk, wszValue, 0, REG_SZ, (const BYTE*)wszText, cch * sizeof(WCHAR));
}

// Keeps the first failure of a sequence of registry calls in *plResult.
static void FirstFailure(LONG* plResult, LONG lResult)
{
    if (*plResult == ERROR_SUCCESS)
        *plResult = lResult;
}

BOOL RegistryHandlerKeyPath(char* szKey, int cchKey, const char* szHandler)
{
    if (lstrlenA(szRootKey) + 1 + lstrlenA(szHandler) >= cchKey)
    {
        szKey[0] = '\0';
        return FALSE;
    }
    lstrcpyA(szKey, szRootKey);
    lstrcatA(szKey, "\\");
    lstrcatA(szKey, szHandler);
    return TRUE;
}

// A process whose writes Windows would redirect to the user's VirtualStore
// may not change the machine-wide handlers: the change would not land
// where every user's client reads it.
static LONG RegistryRefusedByToken(void)
{
    STOREACCESS access;

    ZeroMemory(&access, sizeof(access));
    GetStoreAccess(&access);
    return access.fVirtualized ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

LONG RegistryOpenForWriting(const char* szName, HKEY* phkHandle, DWORD* pdwDisposition)
{
    HKEY hk = NULL;
    DWORD dwDisposition = 0;
    LONG lResult = RegistryRefusedByToken();

    if (lResult == ERROR_SUCCESS)
        lResult = gSystemCalls.pfnRegCreateKeyExA(HKEY_LOCAL_MACHINE, szName, 0, szEmptyClass, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, NULL, &hk, &dwDisposition);

    if (lResult != ERROR_SUCCESS)
    {
        hk = NULL;
        dwDisposition = 0;
    }
    *phkHandle = hk;
    if (pdwDisposition != NULL)
        *pdwDisposition = dwDisposition;
    return lResult;
}

LONG RegistryOpenForReading(const char* szName, HKEY* phkHandle)
{
    HKEY hk = NULL;
    LONG lResult = RegOpenKeyExA(HKEY_LOCAL_MACHINE, szName, 0, KEY_READ, &hk);

    *phkHandle = lResult == ERROR_SUCCESS ? hk : NULL;
    return lResult;
}

LONG RegistryReadHandler(const char* szHandler, LPHANDLER lpHandler)
{
    HKEY hkRoot = NULL;
    HKEY hk = NULL;
    LONG lResult = ERROR_INVALID_PARAMETER;

    // An empty name would open the root itself, whose values are no
    // handler's.
    if (szHandler == NULL || lpHandler == NULL || szHandler[0] == '\0' || lstrlenA(szHandler) >= CCH_KEY_NAME)
        goto Cleanup;
    lResult = RegistryOpenForReading(szRootKey, &hkRoot);
    if (lResult != ERROR_SUCCESS)
        goto Cleanup;
    lResult = RegOpenKeyExA(hkRoot, szHandler, 0, KEY_QUERY_VALUE, &hk);
    if (lResult != ERROR_SUCCESS)
    {
        hk = NULL;
        // Listed under this name, which no key has: it has no spelling in
        // the code page, and cannot be read.
        if (lResult == ERROR_FILE_NOT_FOUND && SubKeyIsListed(hkRoot, szHandler))
            lResult = ERROR_NO_UNICODE_TRANSLATION;
        goto Cleanup;
    }

    lstrcpyA(lpHandler->szName, szHandler);
    for (size_t i = 0; i < CVALUES; i++)
    {
        const HANDLERVALUE& v = aHandlerValues[i];

        if (v.dwType == REG_DWORD)
            RegistryReadDword(hk, v.wszName, (DWORD*)FieldOf(lpHandler, v));
        else
            *(LONG*)((BYTE*)lpHandler + v.offRead) =
                RegistryReadText(hk, v.wszName, v.cbField, NULL, (char*)FieldOf(lpHandler, v));
    }

Cleanup:
    RegistryClose(hk);
    RegistryClose(hkRoot);
    return lResult;
}

// Writes the five values of *lpHandler (its name aside), all of them, even
// after a refusal: the caller puts back what was there when one is
// refused. Returns ERROR_SUCCESS, or the registry's reason for the first
// value it could not write.
static LONG RegistryWriteHandler(HKEY hkHandle, const HANDLER* lpHandler)
{
    LONG lResult = ERROR_SUCCESS;

    for (size_t i = 0; i < CVALUES; i++)
    {
        const HANDLERVALUE& v = aHandlerValues[i];

        if (v.dwType == REG_DWORD)
            FirstFailure(&lResult, RegistryWriteDword(hkHandle, v.wszName, *(const DWORD*)FieldOf(lpHandler, v)));
        else
            FirstFailure(&lResult, RegistryWriteString(hkHandle, v.wszName, (const char*)FieldOf(lpHandler, v)));
    }
    return lResult;
}

void RegistryNewHandler(LPHANDLER lpHandler)
{
    ZeroMemory(lpHandler, sizeof(*lpHandler));
    for (size_t i = 0; i < CVALUES; i++)
    {
        const HANDLERVALUE& v = aHandlerValues[i];

        if (v.dwType == REG_DWORD)
            *(DWORD*)FieldOf(lpHandler, v) = v.dwDefault;
        else
            lstrcpynA((char*)FieldOf(lpHandler, v), v.szDefault, v.cbField);
    }
}

void RegistryClose(HKEY hkHandle)
{
    if (hkHandle != NULL)
        RegCloseKey(hkHandle);
}

// One value of a handler key as it stood before a save.
typedef struct tagSAVEDVALUE
{
    BOOL  fPresent;
    DWORD dwType;
    DWORD cb;
    BYTE* lpb;
} SAVEDVALUE;

// Keeps the five values of hk, whatever their size, for RestoreValues.
static LONG SaveValues(HKEY hk, SAVEDVALUE* aSaved)
{
    for (size_t i = 0; i < CVALUES; i++)
    {
        DWORD cb = 0;
        LONG lResult = RegQueryValueExW(hk, aHandlerValues[i].wszName, NULL, NULL, NULL, &cb);

        if (lResult == ERROR_FILE_NOT_FOUND)
            continue;
        if (lResult == ERROR_SUCCESS)
        {
            // One byte at least: LocalAlloc of 0 bytes is no buffer.
            aSaved[i].lpb = (BYTE*)LocalAlloc(LMEM_FIXED, cb + 1);
            aSaved[i].cb = cb;
            lResult = aSaved[i].lpb == NULL ? ERROR_NOT_ENOUGH_MEMORY
                                            : RegQueryValueExW(hk, aHandlerValues[i].wszName, NULL, &aSaved[i].dwType,
                                                               aSaved[i].lpb, &aSaved[i].cb);
        }
        if (lResult != ERROR_SUCCESS)
            return lResult;
        aSaved[i].fPresent = TRUE;
    }
    return ERROR_SUCCESS;
}

// Puts back what SaveValues kept: the values that were there, and none of
// those that were not. TRUE when all of it went back.
static BOOL RestoreValues(HKEY hk, const SAVEDVALUE* aSaved)
{
    BOOL fRestored = TRUE;

    for (size_t i = 0; i < CVALUES; i++)
    {
        LONG lResult;

        if (aSaved[i].fPresent)
            lResult = gSystemCalls.pfnRegSetValueExW(hk, aHandlerValues[i].wszName, 0, aSaved[i].dwType, aSaved[i].lpb,
                                                     aSaved[i].cb);
        else
        {
            lResult = RegDeleteValueW(hk, aHandlerValues[i].wszName);
            if (lResult == ERROR_FILE_NOT_FOUND)
                lResult = ERROR_SUCCESS;
        }
        if (lResult != ERROR_SUCCESS)
            fRestored = FALSE;
    }
    return fRestored;
}

LONG RegistrySaveHandler(const char* szHandler, const HANDLER* lpHandler, BOOL* pfUndone)
{
    char szKey[CCH_HANDLER_KEY];
    SAVEDVALUE aSaved[CVALUES];
    HKEY hk = NULL;
    DWORD dwDisposition = 0;
    BOOL fUndone = TRUE;
    LONG lResult = ERROR_INVALID_NAME;

    ZeroMemory(aSaved, sizeof(aSaved));
    if (!RegistryHandlerKeyPath(szKey, CCH_HANDLER_KEY, szHandler))
        goto Cleanup;
    lResult = RegistryOpenForWriting(szKey, &hk, &dwDisposition);
    if (lResult != ERROR_SUCCESS)
        goto Cleanup;
    // What cannot be kept could not be put back: nothing is written then.
    if (dwDisposition != REG_CREATED_NEW_KEY)
    {
        lResult = SaveValues(hk, aSaved);
        if (lResult != ERROR_SUCCESS)
            goto Cleanup;
    }
    lResult = RegistryWriteHandler(hk, lpHandler);
    if (lResult == ERROR_SUCCESS)
        goto Cleanup;

    // A key made for a handler that could not be written is taken away
    // again, so that it is neither listed nor searched.
    if (dwDisposition == REG_CREATED_NEW_KEY)
    {
        RegistryClose(hk);
        hk = NULL;
        fUndone = RegistryDelete(HKEY_LOCAL_MACHINE, szKey) == ERROR_SUCCESS;
    }
    else
        fUndone = RestoreValues(hk, aSaved);

Cleanup:
    RegistryClose(hk);
    for (size_t i = 0; i < CVALUES; i++)
        LocalFree(aSaved[i].lpb);
    if (pfUndone != NULL)
        *pfUndone = fUndone;
    return lResult;
}

// Deletes szSubKey of hkParent and everything below it, each key with the
// store's delete call. Names are wide: a name without a spelling in the
// code page comes back from the ANSI enumeration as "?", which names
// another key or none. A key the user may not delete is refused before
// anything below it is touched.
static LONG RegistryDeleteTree(HKEY hkParent, const WCHAR* szSubKey)
{
    return DeleteKeyTree(hkParent, szSubKey, gSystemCalls.pfnDeleteKey);
}

LONG RegistryDelete(HKEY hkHandle, const char* lpSubKey)
{
    WCHAR szSubKey[CCH_KEY_NAME];
    HKEY hk = NULL;
    LONG lResult;

    if (hkHandle == NULL)
        return ERROR_INVALID_HANDLE;
    // An empty name would name the parent itself.
    if (lpSubKey == NULL || lpSubKey[0] == '\0' ||
        MultiByteToWideChar(CP_ACP, 0, lpSubKey, -1, szSubKey, CCH_KEY_NAME) == 0)
        return ERROR_INVALID_NAME;
    lResult = RegistryRefusedByToken();
    if (lResult == ERROR_SUCCESS)
        lResult = RegistryDeleteTree(hkHandle, szSubKey);
    if (lResult != ERROR_FILE_NOT_FOUND)
        return lResult;

    // Only a key that is not there at all is gone. One still there lost a
    // key below it to someone else meanwhile; one listed under this name
    // but not found by it has no spelling in the code page.
    if (RegOpenKeyExW(hkHandle, szSubKey, 0, KEY_READ, &hk) == ERROR_SUCCESS)
    {
        RegCloseKey(hk);
        return ERROR_CANTOPEN;
    }
    return SubKeyIsListed(hkHandle, lpSubKey) ? ERROR_NO_UNICODE_TRANSLATION : ERROR_FILE_NOT_FOUND;
}

void RegistryListHandlers(HANDLERNAMEPROC pfnName, void* pv)
{
    char szName[CCH_KEY_NAME];
    HKEY hkRoot = NULL;

    if (RegistryOpenForReading(szRootKey, &hkRoot) != ERROR_SUCCESS)
        return;
    // A name without a spelling in the code page is listed all the same,
    // as "?" where it has none: it is there, and can be removed.
    for (DWORD i = 0; IsListed(RegistryEnumName(hkRoot, i, szName, CCH_KEY_NAME)); i++)
    {
        if (szName[0] != '\0')
            pfnName(szName, pv);
    }
    RegistryClose(hkRoot);
}

HRESULT RegistryFindHandler(const SENDER* lpSender, LPHANDLER lpHandler, DWORD* pcCompared)
{
    char szName[CCH_KEY_NAME];
    WCHAR wszAddress[CCH_FILE_PATH + 1];
    HRESULT hr = S_FALSE;
    HKEY hkRoot = NULL;
    HKEY hkHandler = NULL;
    DWORD cSubKeys = 0;
    DWORD cCompared = 0;
    BOOL fMatch;
    LONG lResult;

    if (lpSender == NULL || lpHandler == NULL)
        goto Cleanup;
    // No root: no handlers. A root that is there but cannot be read is the
    // store's failure, not "no handler".
    lResult = RegistryOpenForReading(szRootKey, &hkRoot);
    if (lResult == ERROR_SUCCESS)
        lResult = RegQueryInfoKeyA(hkRoot, NULL, NULL, NULL, &cSubKeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    if (lResult != ERROR_SUCCESS)
    {
        if (lResult != ERROR_FILE_NOT_FOUND)
            hr = HRESULT_FROM_WIN32(lResult);
        goto Cleanup;
    }

    // Last index first: of several handlers for one address, the one at the
    // highest index wins.
    for (DWORD i = cSubKeys; i-- > 0;)
    {
        lResult = RegistryEnumName(hkRoot, i, szName, CCH_KEY_NAME);
        if (!IsListed(lResult))
            break;
        // A key whose name has no spelling in the code page cannot be read,
        // and matches nothing; one deleted since the enumeration is skipped.
        if (lResult != ERROR_SUCCESS ||
            RegOpenKeyExA(hkRoot, szName, 0, KEY_QUERY_VALUE, &hkHandler) != ERROR_SUCCESS)
        {
            hkHandler = NULL;
            continue;
        }
        // Only the address, for every key: the search costs one read per
        // handler. It is read as the handler's record reads it, and one
        // that record would not hold matches nothing.
        fMatch = FALSE;
        if (RegistryReadText(hkHandler, WIDE(REGVAL_SENDER_EMAIL), CCH_SENDER_EMAIL, wszAddress, NULL) ==
            ERROR_SUCCESS)
        {
            // An empty address is none, and is not counted as compared.
            cCompared += wszAddress[0] != L'\0';
            fMatch = SameAddress(wszAddress, lpSender->lpszAddress) ||
                     SameAddress(wszAddress, lpSender->lpszSmtpAddress);
        }
        RegistryClose(hkHandler);
        hkHandler = NULL;
        // The match is read whole as any handler is; one removed meanwhile
        // is passed over.
        if (fMatch && RegistryReadHandler(szName, lpHandler) == ERROR_SUCCESS)
        {
            hr = S_OK;
            break;
        }
    }

Cleanup:
    RegistryClose(hkHandler);
    RegistryClose(hkRoot);
    if (pcCompared != NULL)
        *pcCompared = cCompared;
    return hr;
}
