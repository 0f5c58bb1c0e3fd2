// Handler store over the Windows registry.
#include "handler_store.h"
#include "message_check.h"
#include "resource.h"

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

static void RegistryWriteDword(HKEY hk, const char* szValue, DWORD dwValue)
{
    RegSetValueExA(hk, szValue, 0, REG_DWORD, (const BYTE*)&dwValue, sizeof(dwValue));
}

static void RegistryWriteString(HKEY hk, const char* szValue, const char* szText)
{
    RegSetValueExA(hk, szValue, 0, REG_SZ, (const BYTE*)szText, lstrlenA(szText) + 1);
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

DWORD RegistryOpen(const char* szName, HKEY* phkHandle)
{
    HKEY hk = NULL;
    DWORD dwDisposition = 0;

    if (pfnRegCreateKeyExA(HKEY_LOCAL_MACHINE, szName, 0, szEmptyClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, NULL, &hk, &dwDisposition) != ERROR_SUCCESS)
    {
        // Without administrator rights HKLM\SOFTWARE refuses full access;
        // the existing key can still be read, so the search and the list
        // keep working. Writes through this handle then fail harmlessly.
        dwDisposition = 0;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, szName, 0, KEY_READ, &hk) == ERROR_SUCCESS)
            dwDisposition = REG_OPENED_EXISTING_KEY;
        else
            hk = NULL;
    }
    *phkHandle = hk;
    return dwDisposition;
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

void RegistrySet(HKEY hkHandle)
{
    if (hkHandle == NULL)
        return;
    RegistryWriteDword(hkHandle, REGVAL_CONFIRM_DIALOG, dwConfirmDialog);
    RegistryWriteDword(hkHandle, REGVAL_PREVENT_OPEN, dwPreventOpen);
    RegistryWriteString(hkHandle, REGVAL_SENDER_EMAIL, szSenderEmailAddress);
    RegistryWriteString(hkHandle, REGVAL_FILE_PATH, szFilePath);
    RegistryWriteDword(hkHandle, REGVAL_DEBUG, dwDebug);
}

void RegistryClose(HKEY hkHandle)
{
    if (hkHandle != NULL)
        RegCloseKey(hkHandle);
}

void RegistryDelete(HKEY hkHandle, const char* lpSubKey)
{
    // An empty name would name the parent itself.
    if (hkHandle != NULL && lpSubKey != NULL && lpSubKey[0] != '\0')
        RegDeleteKeyA(hkHandle, lpSubKey);
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

    szHandlerKey[0] = '\0';
    szHandlerEmailAddress[0] = '\0';

    RegistryOpen(szRootKey, &hkRoot);
    if (hkRoot == NULL || lpszSenderEmail == NULL)
        goto Cleanup;
    if (RegQueryInfoKeyA(hkRoot, NULL, NULL, NULL, &cSubKeys, NULL, NULL, NULL, NULL, NULL, NULL,
                         NULL) != ERROR_SUCCESS)
        goto Cleanup;

    // Last index first: of several handlers for one address, the one at the
    // highest index wins.
    for (DWORD i = cSubKeys; i-- > 0;)
    {
        if (RegEnumKeyA(hkRoot, i, szName, CCH_KEY_NAME) != ERROR_SUCCESS)
            break;
        // A name made outside the dialogs may be too long for the path.
        if (!RegistryHandlerKeyPath(szHandlerKey, CCH_HANDLER_KEY, szName))
            continue;

        RegistryOpen(szHandlerKey, &hkHandler);
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
