// Handler store over the Windows registry.
#include "handler_store.h"
#include "ansi_text.h"
#include "registry_tree.h"
#include "store_access.h"
#include "quorbit_facts.h"
#include "system_calls.h"

char szRootKey[CCH_ROOT_KEY] = QUORBIT_HANDLERS_KEY;

static char szEmptyClass[] = "";

// The values' names, for the UTF-16 reads and writes.
#define WIDE(szText) L"" szText

// The five values, in the order they are read and written.
static const WCHAR* const awszValueNames[] = {WIDE(REGVAL_CONFIRM_DIALOG), WIDE(REGVAL_PREVENT_OPEN),
                                              WIDE(REGVAL_SENDER_EMAIL), WIDE(REGVAL_FILE_PATH), WIDE(REGVAL_DEBUG)};
#define CVALUES (sizeof(awszValueNames) / sizeof(awszValueNames[0]))

// Key names have at most 255 characters.
#define CCH_KEY_NAME_MAX 256

// Reads a REG_DWORD (or up to 4 bytes of anything) into *pdwField.
static void RegistryReadDword(HKEY hk, const char* szValue, DWORD* pdwField)
{
    DWORD dwValue = 0;
    DWORD cb = sizeof(dwValue);

    if (RegQueryValueExA(hk, szValue, NULL, NULL, (LPBYTE)&dwValue, &cb) == ERROR_SUCCESS)
        *pdwField = dwValue;
}

// Reads a REG_SZ value into szField only when the text and its terminator fit
// in cchField and the text has an exact spelling in the code page. It is read
// as stored, in UTF-16: the A functions would read "C:\Lab" for a stored
// "C:\" with an L with stroke and "ab", another path. A missing, too long or
// unterminated value, one of another type, or one without that spelling
// leaves the field as it was. Returns TRUE when the field was written.
static BOOL RegistryReadString(HKEY hk, LPCWSTR wszValue, char* szField, DWORD cchField)
{
    // One character more than the largest field, for a value stored without
    // its terminator. A text of cchField characters or more never fits.
    WCHAR wszBuffer[CCH_FILE_PATH + 1];
    char szBuffer[CCH_FILE_PATH];
    DWORD dwType = REG_NONE;
    DWORD cb = cchField * sizeof(WCHAR);
    BOOL fExact = FALSE;

    if (cchField > CCH_FILE_PATH)
        return FALSE;
    if (RegQueryValueExW(hk, wszValue, NULL, &dwType, (LPBYTE)wszBuffer, &cb) != ERROR_SUCCESS || dwType != REG_SZ)
        return FALSE;
    wszBuffer[cb / sizeof(WCHAR)] = L'\0';
    if (AnsiFromWide(wszBuffer, szBuffer, (int)cchField, &fExact) == 0 || !fExact)
        return FALSE;
    lstrcpyA(szField, szBuffer);
    return TRUE;
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
        if (lstrcmpiA(sz, szName) == 0)
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
    RegistryReadDword(hk, REGVAL_CONFIRM_DIALOG, &lpHandler->dwConfirmDialog);
    RegistryReadDword(hk, REGVAL_PREVENT_OPEN, &lpHandler->dwPreventOpen);
    RegistryReadString(hk, WIDE(REGVAL_SENDER_EMAIL), lpHandler->szSenderEmailAddress, CCH_SENDER_EMAIL);
    RegistryReadString(hk, WIDE(REGVAL_FILE_PATH), lpHandler->szFilePath, CCH_FILE_PATH);
    RegistryReadDword(hk, REGVAL_DEBUG, &lpHandler->dwDebug);

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
    LONG lResult;

    lResult = RegistryWriteDword(hkHandle, WIDE(REGVAL_CONFIRM_DIALOG), lpHandler->dwConfirmDialog);
    FirstFailure(&lResult, RegistryWriteDword(hkHandle, WIDE(REGVAL_PREVENT_OPEN), lpHandler->dwPreventOpen));
    FirstFailure(&lResult,
                 RegistryWriteString(hkHandle, WIDE(REGVAL_SENDER_EMAIL), lpHandler->szSenderEmailAddress));
    FirstFailure(&lResult, RegistryWriteString(hkHandle, WIDE(REGVAL_FILE_PATH), lpHandler->szFilePath));
    FirstFailure(&lResult, RegistryWriteDword(hkHandle, WIDE(REGVAL_DEBUG), lpHandler->dwDebug));
    return lResult;
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
    for (DWORD i = 0; i < CVALUES; i++)
    {
        DWORD cb = 0;
        LONG lResult = RegQueryValueExW(hk, awszValueNames[i], NULL, NULL, NULL, &cb);

        if (lResult == ERROR_FILE_NOT_FOUND)
            continue;
        if (lResult == ERROR_SUCCESS)
        {
            // One byte at least: LocalAlloc of 0 bytes is no buffer.
            aSaved[i].lpb = (BYTE*)LocalAlloc(LMEM_FIXED, cb + 1);
            aSaved[i].cb = cb;
            lResult = aSaved[i].lpb == NULL ? ERROR_NOT_ENOUGH_MEMORY
                                            : RegQueryValueExW(hk, awszValueNames[i], NULL, &aSaved[i].dwType,
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

    for (DWORD i = 0; i < CVALUES; i++)
    {
        LONG lResult;

        if (aSaved[i].fPresent)
            lResult = gSystemCalls.pfnRegSetValueExW(hk, awszValueNames[i], 0, aSaved[i].dwType, aSaved[i].lpb,
                                                     aSaved[i].cb);
        else
        {
            lResult = RegDeleteValueW(hk, awszValueNames[i]);
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
    for (DWORD i = 0; i < CVALUES; i++)
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

HRESULT RegistryFindHandler(const char* szSender, LPHANDLER lpHandler)
{
    char szName[CCH_KEY_NAME];
    char szHandlerEmailAddress[CCH_SENDER_EMAIL];
    HRESULT hr = S_FALSE;
    HKEY hkRoot = NULL;
    HKEY hkHandler = NULL;
    DWORD cSubKeys = 0;
    BOOL fMatch;
    LONG lResult;

    if (szSender == NULL || lpHandler == NULL)
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
        // handler. A key whose address cannot be read matches nothing, not
        // even an empty address.
        fMatch = RegistryReadString(hkHandler, WIDE(REGVAL_SENDER_EMAIL), szHandlerEmailAddress, CCH_SENDER_EMAIL) &&
                 lstrcmpiA(szSender, szHandlerEmailAddress) == 0;
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
    return hr;
}
