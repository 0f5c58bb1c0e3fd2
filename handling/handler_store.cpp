// Handler store over the Windows registry.
#include "handler_store.h"
#include "registry_tree.h"
#include "store_access.h"

char szRootKey[CCH_ROOT_KEY] = "SOFTWARE\\Quorbit\\Message Handlers";

// Working buffer of the enumeration and the search.
static char szName[CCH_KEY_NAME];

static char szEmptyClass[] = "";

// The five values, in the order they are read and written.
static const char* const aszValueNames[] = {REGVAL_CONFIRM_DIALOG, REGVAL_PREVENT_OPEN, REGVAL_SENDER_EMAIL,
                                            REGVAL_FILE_PATH, REGVAL_DEBUG};
#define CVALUES (sizeof(aszValueNames) / sizeof(aszValueNames[0]))

REGCREATEKEYEXA pfnRegCreateKeyExA = RegCreateKeyExA;
REGSETVALUEEXA pfnRegSetValueExA = RegSetValueExA;
REGDELETEKEYW pfnRegDeleteKeyW = DeleteOneKey;

// Reads a REG_DWORD (or up to 4 bytes of anything) into *pdwField.
static void RegistryReadDword(HKEY hk, const char* szValue, DWORD* pdwField)
{
    DWORD dwValue = 0;
    DWORD cb = sizeof(dwValue);

    if (RegQueryValueExA(hk, szValue, NULL, NULL, (LPBYTE)&dwValue, &cb) == ERROR_SUCCESS)
        *pdwField = dwValue;
}

// Reads a REG_SZ value into szField only when the text and its terminator
// fit in cchField; a missing, too long or unterminated value, or one of
// another type, leaves the field as it was. Returns TRUE when the field was
// written.
static BOOL RegistryReadString(HKEY hk, const char* szValue, char* szField, DWORD cchField)
{
    // One byte more than the largest field, for a value stored without its
    // terminator.
    char szBuffer[CCH_FILE_PATH + 1];
    DWORD dwType = REG_NONE;
    DWORD cb = cchField;

    if (cchField > CCH_FILE_PATH)
        return FALSE;
    if (RegQueryValueExA(hk, szValue, NULL, &dwType, (LPBYTE)szBuffer, &cb) != ERROR_SUCCESS || dwType != REG_SZ)
        return FALSE;
    szBuffer[cb] = '\0';
    if (lstrlenA(szBuffer) >= (int)cchField)
        return FALSE;
    lstrcpyA(szField, szBuffer);
    return TRUE;
}

static LONG RegistryWriteDword(HKEY hk, const char* szValue, DWORD dwValue)
{
    return pfnRegSetValueExA(hk, szValue, 0, REG_DWORD, (const BYTE*)&dwValue, sizeof(dwValue));
}

static LONG RegistryWriteString(HKEY hk, const char* szValue, const char* szText)
{
    return pfnRegSetValueExA(hk, szValue, 0, REG_SZ, (const BYTE*)szText, lstrlenA(szText) + 1);
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
        lResult = pfnRegCreateKeyExA(HKEY_LOCAL_MACHINE, szName, 0, szEmptyClass, REG_OPTION_NON_VOLATILE,
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

DWORD RegistryOpen(const char* szName, HKEY* phkHandle)
{
    DWORD dwDisposition = 0;

    if (RegistryOpenForWriting(szName, phkHandle, &dwDisposition) == ERROR_SUCCESS)
        return dwDisposition;
    // Without administrator rights HKLM\SOFTWARE refuses full access; the
    // existing key can still be read, so the search and the list keep
    // working. Writes through this handle then fail, and say so.
    if (RegistryOpenForReading(szName, phkHandle) == ERROR_SUCCESS)
        return REG_OPENED_EXISTING_KEY;
    return 0;
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
        goto Cleanup;
    }

    lstrcpyA(lpHandler->szName, szHandler);
    RegistryReadDword(hk, REGVAL_CONFIRM_DIALOG, &lpHandler->dwConfirmDialog);
    RegistryReadDword(hk, REGVAL_PREVENT_OPEN, &lpHandler->dwPreventOpen);
    RegistryReadString(hk, REGVAL_SENDER_EMAIL, lpHandler->szSenderEmailAddress, CCH_SENDER_EMAIL);
    RegistryReadString(hk, REGVAL_FILE_PATH, lpHandler->szFilePath, CCH_FILE_PATH);
    RegistryReadDword(hk, REGVAL_DEBUG, &lpHandler->dwDebug);

Cleanup:
    RegistryClose(hk);
    RegistryClose(hkRoot);
    return lResult;
}

LONG RegistrySet(HKEY hkHandle, const HANDLER* lpHandler)
{
    LONG lResult;

    if (hkHandle == NULL)
        return ERROR_INVALID_HANDLE;
    // All five are written even after a failure, as a caller that ignores
    // the result has always had them written.
    lResult = RegistryWriteDword(hkHandle, REGVAL_CONFIRM_DIALOG, lpHandler->dwConfirmDialog);
    FirstFailure(&lResult, RegistryWriteDword(hkHandle, REGVAL_PREVENT_OPEN, lpHandler->dwPreventOpen));
    FirstFailure(&lResult, RegistryWriteString(hkHandle, REGVAL_SENDER_EMAIL, lpHandler->szSenderEmailAddress));
    FirstFailure(&lResult, RegistryWriteString(hkHandle, REGVAL_FILE_PATH, lpHandler->szFilePath));
    FirstFailure(&lResult, RegistryWriteDword(hkHandle, REGVAL_DEBUG, lpHandler->dwDebug));
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
        LONG lResult = RegQueryValueExA(hk, aszValueNames[i], NULL, NULL, NULL, &cb);

        if (lResult == ERROR_FILE_NOT_FOUND)
            continue;
        if (lResult == ERROR_SUCCESS)
        {
            // One byte at least: LocalAlloc of 0 bytes is no buffer.
            aSaved[i].lpb = (BYTE*)LocalAlloc(LMEM_FIXED, cb + 1);
            aSaved[i].cb = cb;
            lResult = aSaved[i].lpb == NULL ? ERROR_NOT_ENOUGH_MEMORY
                                            : RegQueryValueExA(hk, aszValueNames[i], NULL, &aSaved[i].dwType,
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
            lResult = pfnRegSetValueExA(hk, aszValueNames[i], 0, aSaved[i].dwType, aSaved[i].lpb, aSaved[i].cb);
        else
        {
            lResult = RegDeleteValueA(hk, aszValueNames[i]);
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
    lResult = RegistrySet(hk, lpHandler);
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
    return DeleteKeyTree(hkParent, szSubKey, pfnRegDeleteKeyW);
}

// Whether hk has a sub-key that the ANSI enumeration names szName.
static BOOL SubKeyIsListed(HKEY hk, const char* szName)
{
    char sz[CCH_KEY_NAME];

    for (DWORD i = 0; RegEnumKeyA(hk, i, sz, CCH_KEY_NAME) == ERROR_SUCCESS; i++)
    {
        if (lstrcmpiA(sz, szName) == 0)
            return TRUE;
    }
    return FALSE;
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
    for (DWORD i = 0; RegEnumKeyA(hkRoot, i, szName, CCH_KEY_NAME) == ERROR_SUCCESS; i++)
        pfnName(szName, pv);
    RegistryClose(hkRoot);
}

HRESULT RegistryFindHandler(const char* szSender, LPHANDLER lpHandler)
{
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
        if (RegEnumKeyA(hkRoot, i, szName, CCH_KEY_NAME) != ERROR_SUCCESS)
            break;
        // A key deleted since the enumeration, or whose name does not come
        // back through the code page, is skipped.
        if (RegOpenKeyExA(hkRoot, szName, 0, KEY_QUERY_VALUE, &hkHandler) != ERROR_SUCCESS)
        {
            hkHandler = NULL;
            continue;
        }
        // Only the address, for every key: the search costs one read per
        // handler. A key whose address cannot be read matches nothing, not
        // even an empty address.
        fMatch = RegistryReadString(hkHandler, REGVAL_SENDER_EMAIL, szHandlerEmailAddress, CCH_SENDER_EMAIL) &&
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
