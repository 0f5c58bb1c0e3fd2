// Handler store over the Windows registry.
#include "handler_store.h"
#include "message_check.h"
#include "store_ids.h"

char  szHandlerName[CCH_HANDLER_NAME] = "";
char  szSenderEmailAddress[CCH_SENDER_EMAIL] = "sender@example.com";
char  szFilePath[CCH_FILE_PATH] = "\"Specify a path and file name\"";
DWORD dwPreventOpen = 1;
DWORD dwConfirmDialog = 1;
DWORD dwDebug = 0;

char szRootKey[CCH_ROOT_KEY] = "SOFTWARE\\Quorbit\\Message Handlers";

// Working buffers of the enumeration and the search.
static char szName[CCH_KEY_NAME];
static char szHandlerKey[CCH_HANDLER_KEY];
static char szHandlerEmailAddress[CCH_SENDER_EMAIL];

static char szEmptyClass[] = "";

REGCREATEKEYEXA pfnRegCreateKeyExA = RegCreateKeyExA;
REGDELETEKEYA pfnRegDeleteKeyA = RegDeleteKeyA;

// Reads a REG_DWORD (or up to 4 bytes of anything) into *pdwField.
static void RegistryReadDword(HKEY hk, const char* szValue, DWORD* pdwField)
{
    DWORD dwValue = 0;
    DWORD cb = sizeof(dwValue);

    if (RegQueryValueExA(hk, szValue, NULL, NULL, (LPBYTE)&dwValue, &cb) == ERROR_SUCCESS)
        *pdwField = dwValue;
}

// Reads a text value into szField only when the text and its terminator fit
// in cchField; a missing, too long or unterminated value leaves the field
// as it was. Returns TRUE when the field was written.
static BOOL RegistryReadString(HKEY hk, const char* szValue, char* szField, DWORD cchField)
{
    // One byte more than the largest field, for a value stored without its
    // terminator.
    char szBuffer[CCH_FILE_PATH + 1];
    DWORD cb = cchField;

    if (cchField > CCH_FILE_PATH)
        return FALSE;
    if (RegQueryValueExA(hk, szValue, NULL, NULL, (LPBYTE)szBuffer, &cb) != ERROR_SUCCESS)
        return FALSE;
    szBuffer[cb] = '\0';
    if (lstrlenA(szBuffer) >= (int)cchField)
        return FALSE;
    lstrcpyA(szField, szBuffer);
    return TRUE;
}

static LONG RegistryWriteDword(HKEY hk, const char* szValue, DWORD dwValue)
{
    return RegSetValueExA(hk, szValue, 0, REG_DWORD, (const BYTE*)&dwValue, sizeof(dwValue));
}

static LONG RegistryWriteString(HKEY hk, const char* szValue, const char* szText)
{
    return RegSetValueExA(hk, szValue, 0, REG_SZ, (const BYTE*)szText, lstrlenA(szText) + 1);
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

LONG RegistryOpenForWriting(const char* szName, HKEY* phkHandle, DWORD* pdwDisposition)
{
    HKEY hk = NULL;
    DWORD dwDisposition = 0;
    LONG lResult = pfnRegCreateKeyExA(HKEY_LOCAL_MACHINE, szName, 0, szEmptyClass, REG_OPTION_NON_VOLATILE,
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

void RegistryGet(HKEY hkHandle)
{
    if (hkHandle == NULL)
        return;
    RegistryReadDword(hkHandle, REGVAL_CONFIRM_DIALOG, &dwConfirmDialog);
    RegistryReadDword(hkHandle, REGVAL_PREVENT_OPEN, &dwPreventOpen);
    RegistryReadString(hkHandle, REGVAL_SENDER_EMAIL, szSenderEmailAddress, CCH_SENDER_EMAIL);
    RegistryReadString(hkHandle, REGVAL_FILE_PATH, szFilePath, CCH_FILE_PATH);
    RegistryReadDword(hkHandle, REGVAL_DEBUG, &dwDebug);
}

LONG RegistrySet(HKEY hkHandle)
{
    LONG lResult;

    if (hkHandle == NULL)
        return ERROR_INVALID_HANDLE;
    // All five are written even after a failure, as a caller that ignores
    // the result has always had them written.
    lResult = RegistryWriteDword(hkHandle, REGVAL_CONFIRM_DIALOG, dwConfirmDialog);
    FirstFailure(&lResult, RegistryWriteDword(hkHandle, REGVAL_PREVENT_OPEN, dwPreventOpen));
    FirstFailure(&lResult, RegistryWriteString(hkHandle, REGVAL_SENDER_EMAIL, szSenderEmailAddress));
    FirstFailure(&lResult, RegistryWriteString(hkHandle, REGVAL_FILE_PATH, szFilePath));
    FirstFailure(&lResult, RegistryWriteDword(hkHandle, REGVAL_DEBUG, dwDebug));
    return lResult;
}

void RegistryClose(HKEY hkHandle)
{
    if (hkHandle != NULL)
        RegCloseKey(hkHandle);
}

// Deletes szSubKey of hkParent and everything below it, deepest first.
// RegDeleteTreeA would do this, but Windows XP has none. Each key is opened
// with the right to delete it, so a key the user may not delete is refused
// here, before anything below it is touched. The registry nests at most 512
// levels deep, which bounds the recursion.
static LONG RegistryDeleteTree(HKEY hkParent, const char* szSubKey)
{
    // Key names have at most 255 characters.
    char szChild[256];
    HKEY hk = NULL;
    LONG lResult = RegOpenKeyExA(hkParent, szSubKey, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, &hk);

    if (lResult != ERROR_SUCCESS)
        return lResult;
    // Index 0 every time: each pass removes the child it found.
    while ((lResult = RegEnumKeyA(hk, 0, szChild, sizeof(szChild))) == ERROR_SUCCESS)
    {
        lResult = RegistryDeleteTree(hk, szChild);
        if (lResult != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(hk);
    if (lResult != ERROR_NO_MORE_ITEMS)
        return lResult;
    return pfnRegDeleteKeyA(hkParent, szSubKey);
}

LONG RegistryDelete(HKEY hkHandle, const char* lpSubKey)
{
    if (hkHandle == NULL)
        return ERROR_INVALID_HANDLE;
    // An empty name would name the parent itself.
    if (lpSubKey == NULL || lpSubKey[0] == '\0')
        return ERROR_INVALID_NAME;
    return RegistryDeleteTree(hkHandle, lpSubKey);
}

void RegistryEnumKeys(HWND HDlg, HKEY hkHandle)
{
    HWND hList = GetDlgItem(HDlg, IDC_HANDLER_LIST);

    if (hkHandle == NULL)
        return;
    for (DWORD i = 0; RegEnumKeyA(hkHandle, i, szName, CCH_KEY_NAME) == ERROR_SUCCESS; i++)
        SendMessageA(hList, LB_ADDSTRING, 0, (LPARAM)szName);
    SendMessageA(hList, LB_SETCURSEL, 0, 0);
}

void RegistryList(HWND HDlg)
{
    HKEY hkRoot = NULL;

    if (RegistryOpen(szRootKey, &hkRoot) != REG_CREATED_NEW_KEY)
        RegistryEnumKeys(HDlg, hkRoot);
    RegistryClose(hkRoot);
}

HRESULT RegistryFindHandler(void)
{
    HRESULT hr = S_FALSE;
    HKEY hkRoot = NULL;
    HKEY hkHandler = NULL;
    DWORD cSubKeys = 0;

    LONG lResult;

    szHandlerKey[0] = '\0';
    szHandlerEmailAddress[0] = '\0';

    if (lpszSenderEmail == NULL)
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
        // A name made outside the dialogs may be too long for the path.
        if (!RegistryHandlerKeyPath(szHandlerKey, CCH_HANDLER_KEY, szName))
            continue;

        // A key deleted since the enumeration, or whose name does not come
        // back through the code page, is not made anew here.
        RegistryOpenForReading(szHandlerKey, &hkHandler);
        // A key whose address cannot be read matches nothing.
        if (RegistryReadString(hkHandler, REGVAL_SENDER_EMAIL, szHandlerEmailAddress, CCH_SENDER_EMAIL) &&
            lstrcmpiA(lpszSenderEmail, szHandlerEmailAddress) == 0)
        {
            RegistryGet(hkHandler);
            hr = S_OK;
            break;
        }
        RegistryClose(hkHandler);
        hkHandler = NULL;
    }

Cleanup:
    RegistryClose(hkHandler);
    RegistryClose(hkRoot);
    return hr;
}
