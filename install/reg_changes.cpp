// Changes below one key with an undo list: before each change, what it
// will replace is copied; a change that fails undoes the others, newest
// first. Only what was changed is touched again, so a key the user may not
// write that the file never reached stays as it was.
#include "reg_changes.h"

namespace {

const DWORD c_cchMaxKeyName = 256;
const DWORD c_cchMaxValueName = 16384;

struct VALUESNAP
{
    const WCHAR* pwszName;
    DWORD dwType;
    BYTE* pb;
    DWORD cb;
    VALUESNAP* pNext;
};

struct KEYSNAP
{
    WCHAR* pwszName;
    VALUESNAP* pValues;
    KEYSNAP* pSubkeys;
    KEYSNAP* pNext;
};

enum UNDOKIND
{
    UNDO_DELETE_KEY,    // a key the changes created
    UNDO_SET_VALUE,     // a value they replaced or removed
    UNDO_DELETE_VALUE,  // a value they added
    UNDO_RESTORE_KEY    // a key they removed, with all below it
};

struct UNDO
{
    UNDOKIND kind;
    const WCHAR* pwszKey;
    VALUESNAP value;
    const KEYSNAP* pKey;
    UNDO* pPrev;
};

struct CHANGES
{
    HANDLE hHeap;
    HKEY hRoot;
    UNDO* pUndo;  // the newest
};

WCHAR* CopyKeyName(HANDLE hHeap, const WCHAR* pwsz, int cch)
{
    WCHAR* pwszCopy = (WCHAR*)HeapAlloc(hHeap, 0, (cch + 1) * sizeof(WCHAR));
    if (pwszCopy != NULL)
    {
        CopyMemory(pwszCopy, pwsz, cch * sizeof(WCHAR));
        pwszCopy[cch] = L'\0';
    }
    return pwszCopy;
}

// Reads a value whole; the name is not copied.
LONG ReadValue(HANDLE hHeap, HKEY hKey, const WCHAR* pwszName, VALUESNAP* pValue)
{
    DWORD cb = 0;
    LONG lError = RegQueryValueExW(hKey, pwszName, NULL, NULL, NULL, &cb);
    while (lError == ERROR_SUCCESS)
    {
        BYTE* pb = (BYTE*)HeapAlloc(hHeap, 0, cb + 1);
        if (pb == NULL)
            return ERROR_NOT_ENOUGH_MEMORY;
        lError = RegQueryValueExW(hKey, pwszName, NULL, &pValue->dwType, pb, &cb);
        if (lError == ERROR_SUCCESS)
        {
            pValue->pwszName = pwszName;
            pValue->pb = pb;
            pValue->cb = cb;
            break;
        }
        HeapFree(hHeap, 0, pb);
        if (lError == ERROR_MORE_DATA)  // it grew meanwhile
            lError = ERROR_SUCCESS;
    }
    return lError;
}

// Copies the values and keys below hKey into *pSnap.
LONG CopyKey(HANDLE hHeap, HKEY hKey, KEYSNAP* pSnap)
{
    WCHAR wszKey[c_cchMaxKeyName];
    WCHAR* pwszValue = (WCHAR*)HeapAlloc(hHeap, 0, c_cchMaxValueName * sizeof(WCHAR));
    LONG lError = pwszValue != NULL ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
    DWORD cch;

    for (DWORD i = 0; lError == ERROR_SUCCESS; i++)
    {
        VALUESNAP* pValue = (VALUESNAP*)HeapAlloc(hHeap, HEAP_ZERO_MEMORY, sizeof(VALUESNAP));
        cch = c_cchMaxValueName;
        if (pValue == NULL)
            lError = ERROR_NOT_ENOUGH_MEMORY;
        else
            lError = RegEnumValueW(hKey, i, pwszValue, &cch, NULL, NULL, NULL, NULL);
        if (lError == ERROR_SUCCESS)
        {
            const WCHAR* pwszName = CopyKeyName(hHeap, pwszValue, (int)cch);
            lError = pwszName != NULL ? ReadValue(hHeap, hKey, pwszName, pValue) : ERROR_NOT_ENOUGH_MEMORY;
            pValue->pNext = pSnap->pValues;
            pSnap->pValues = pValue;
        }
    }
    for (DWORD i = 0; lError == ERROR_NO_MORE_ITEMS || lError == ERROR_SUCCESS; i++)
    {
        KEYSNAP* pSub = (KEYSNAP*)HeapAlloc(hHeap, HEAP_ZERO_MEMORY, sizeof(KEYSNAP));
        HKEY hSub = NULL;
        cch = c_cchMaxKeyName;
        if (pSub == NULL)
        {
            lError = ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
        lError = RegEnumKeyExW(hKey, i, wszKey, &cch, NULL, NULL, NULL, NULL);
        if (lError != ERROR_SUCCESS)
            break;
        pSub->pwszName = CopyKeyName(hHeap, wszKey, (int)cch);
        lError = pSub->pwszName != NULL ? RegOpenKeyExW(hKey, wszKey, 0, KEY_READ, &hSub) : ERROR_NOT_ENOUGH_MEMORY;
        if (lError == ERROR_SUCCESS)
        {
            lError = CopyKey(hHeap, hSub, pSub);
            RegCloseKey(hSub);
        }
        pSub->pNext = pSnap->pSubkeys;
        pSnap->pSubkeys = pSub;
    }
    if (pwszValue != NULL)
        HeapFree(hHeap, 0, pwszValue);
    return lError == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : lError;
}

// Puts a copied key back below hParent, over whatever is there now; ""
// is hParent itself.
LONG RestoreKey(HKEY hParent, const WCHAR* pwszKey, const KEYSNAP* pSnap)
{
    HKEY hKey = NULL;
    LONG lError = pwszKey[0] == L'\0'
                      ? RegOpenKeyExW(hParent, pwszKey, 0, KEY_READ | KEY_WRITE, &hKey)
                      : RegCreateKeyExW(hParent, pwszKey, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, &hKey, NULL);
    if (lError != ERROR_SUCCESS)
        return lError;
    for (const VALUESNAP* pValue = pSnap->pValues; pValue != NULL; pValue = pValue->pNext)
    {
        LONG l = RegSetValueExW(hKey, pValue->pwszName, 0, pValue->dwType, pValue->pb, pValue->cb);
        if (lError == ERROR_SUCCESS)
            lError = l;
    }
    for (const KEYSNAP* pSub = pSnap->pSubkeys; pSub != NULL; pSub = pSub->pNext)
    {
        LONG l = RestoreKey(hKey, pSub->pwszName, pSub);
        if (lError == ERROR_SUCCESS)
            lError = l;
    }
    RegCloseKey(hKey);
    return lError;
}

// Deletes the keys below hKey, and its values too when fValues.
LONG DeleteContents(HKEY hKey, BOOL fValues)
{
    WCHAR wszName[c_cchMaxKeyName];
    DWORD cch = c_cchMaxKeyName;
    LONG lError;

    while ((lError = RegEnumKeyExW(hKey, 0, wszName, &cch, NULL, NULL, NULL, NULL)) == ERROR_SUCCESS)
    {
        lError = DeleteKeyTree(hKey, wszName);
        if (lError != ERROR_SUCCESS)
            return lError;
        cch = c_cchMaxKeyName;
    }
    if (lError != ERROR_NO_MORE_ITEMS || !fValues)
        return lError == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : lError;
    for (;;)
    {
        WCHAR* pwszValue = (WCHAR*)HeapAlloc(GetProcessHeap(), 0, c_cchMaxValueName * sizeof(WCHAR));
        cch = c_cchMaxValueName;
        lError = pwszValue != NULL ? RegEnumValueW(hKey, 0, pwszValue, &cch, NULL, NULL, NULL, NULL)
                                   : ERROR_NOT_ENOUGH_MEMORY;
        if (lError == ERROR_SUCCESS)
            lError = RegDeleteValueW(hKey, pwszValue);
        if (pwszValue != NULL)
            HeapFree(GetProcessHeap(), 0, pwszValue);
        if (lError != ERROR_SUCCESS)
            return lError == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : lError;
    }
}

UNDO* NewUndo(CHANGES* pChanges)
{
    return (UNDO*)HeapAlloc(pChanges->hHeap, HEAP_ZERO_MEMORY, sizeof(UNDO));
}

void Remember(CHANGES* pChanges, UNDO* pUndo, UNDOKIND kind, const WCHAR* pwszKey)
{
    pUndo->kind = kind;
    pUndo->pwszKey = pwszKey;
    pUndo->pPrev = pChanges->pUndo;
    pChanges->pUndo = pUndo;
}

// [key]: created with any keys missing on the way; undone by deleting the
// first of them that was missing.
LONG CreateKey(CHANGES* pChanges, const REGOP* pOp)
{
    const WCHAR* pwszKey = pOp->pwszKey;
    WCHAR* pwszMissing = NULL;
    UNDO* pUndo = NewUndo(pChanges);
    HKEY hKey = NULL;
    LONG lError;

    if (pUndo == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    for (int i = 0; pwszKey[0] != L'\0' && pwszMissing == NULL; i++)
    {
        if (pwszKey[i] != L'\\' && pwszKey[i] != L'\0')
            continue;
        WCHAR* pwszPart = CopyKeyName(pChanges->hHeap, pwszKey, i);
        if (pwszPart == NULL)
            return ERROR_NOT_ENOUGH_MEMORY;
        lError = RegOpenKeyExW(pChanges->hRoot, pwszPart, 0, KEY_READ, &hKey);
        if (lError == ERROR_FILE_NOT_FOUND)
            pwszMissing = pwszPart;
        else if (lError == ERROR_SUCCESS)
            RegCloseKey(hKey);
        if (pwszKey[i] == L'\0')
            break;
    }
    lError = RegCreateKeyExW(pChanges->hRoot, pwszKey, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, &hKey, NULL);
    if (lError != ERROR_SUCCESS)
        return lError;
    RegCloseKey(hKey);
    if (pwszMissing != NULL)
        Remember(pChanges, pUndo, UNDO_DELETE_KEY, pwszMissing);
    return ERROR_SUCCESS;
}

// [-key]: copied first, then deleted; the root is emptied.
LONG RemoveKey(CHANGES* pChanges, const REGOP* pOp)
{
    UNDO* pUndo = NewUndo(pChanges);
    KEYSNAP* pSnap = (KEYSNAP*)HeapAlloc(pChanges->hHeap, HEAP_ZERO_MEMORY, sizeof(KEYSNAP));
    HKEY hKey = NULL;
    LONG lError;

    if (pUndo == NULL || pSnap == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    lError = RegOpenKeyExW(pChanges->hRoot, pOp->pwszKey, 0, KEY_READ, &hKey);
    if (lError == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (lError != ERROR_SUCCESS)
        return lError;
    lError = CopyKey(pChanges->hHeap, hKey, pSnap);
    RegCloseKey(hKey);
    if (lError != ERROR_SUCCESS)
        return lError;
    // Put back whole, however far the deletion got.
    pUndo->pKey = pSnap;
    Remember(pChanges, pUndo, UNDO_RESTORE_KEY, pOp->pwszKey);
    if (pOp->pwszKey[0] == L'\0')
        return DeleteContents(pChanges->hRoot, TRUE);
    return DeleteKeyTree(pChanges->hRoot, pOp->pwszKey);
}

// "name"=data and "name"=-: what the value held is remembered, or that
// there was none.
LONG ChangeValue(CHANGES* pChanges, const REGOP* pOp)
{
    UNDO* pUndo = NewUndo(pChanges);
    HKEY hKey = NULL;
    LONG lError;
    BOOL fExisted;

    if (pUndo == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    lError = RegOpenKeyExW(pChanges->hRoot, pOp->pwszKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &hKey);
    if (lError != ERROR_SUCCESS)
        return lError;
    lError = ReadValue(pChanges->hHeap, hKey, pOp->pwszValue, &pUndo->value);
    fExisted = lError == ERROR_SUCCESS;
    if (lError == ERROR_SUCCESS || lError == ERROR_FILE_NOT_FOUND)
    {
        if (pOp->kind == REGOP_SET_VALUE)
            lError = RegSetValueExW(hKey, pOp->pwszValue, 0, pOp->dwType, pOp->pbData, pOp->cbData);
        else
            lError = fExisted ? RegDeleteValueW(hKey, pOp->pwszValue) : ERROR_SUCCESS;
    }
    RegCloseKey(hKey);
    if (lError == ERROR_SUCCESS && (fExisted || pOp->kind == REGOP_SET_VALUE))
    {
        pUndo->value.pwszName = pOp->pwszValue;
        Remember(pChanges, pUndo, fExisted ? UNDO_SET_VALUE : UNDO_DELETE_VALUE, pOp->pwszKey);
    }
    return lError;
}

// TRUE when every change made is undone.
BOOL Undo(CHANGES* pChanges)
{
    BOOL fUndone = TRUE;
    for (const UNDO* pUndo = pChanges->pUndo; pUndo != NULL; pUndo = pUndo->pPrev)
    {
        HKEY hKey = NULL;
        LONG lError;
        switch (pUndo->kind)
        {
        case UNDO_DELETE_KEY:
            lError = DeleteKeyTree(pChanges->hRoot, pUndo->pwszKey);
            break;
        case UNDO_RESTORE_KEY:
            lError = RestoreKey(pChanges->hRoot, pUndo->pwszKey, pUndo->pKey);
            break;
        default:
            lError = RegOpenKeyExW(pChanges->hRoot, pUndo->pwszKey, 0, KEY_SET_VALUE, &hKey);
            if (lError == ERROR_SUCCESS && pUndo->kind == UNDO_SET_VALUE)
                lError = RegSetValueExW(hKey, pUndo->value.pwszName, 0, pUndo->value.dwType, pUndo->value.pb,
                                        pUndo->value.cb);
            else if (lError == ERROR_SUCCESS)
                lError = RegDeleteValueW(hKey, pUndo->value.pwszName);
            if (hKey != NULL)
                RegCloseKey(hKey);
            break;
        }
        if (lError != ERROR_SUCCESS && lError != ERROR_FILE_NOT_FOUND)
            fUndone = FALSE;
    }
    pChanges->pUndo = NULL;
    return fUndone;
}

}  // namespace

LONG DeleteKeyTree(HKEY hParent, const WCHAR* pwszSubKey)
{
    HKEY hKey = NULL;
    LONG lError = RegOpenKeyExW(hParent, pwszSubKey, 0, KEY_READ | KEY_WRITE, &hKey);
    if (lError == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (lError != ERROR_SUCCESS)
        return lError;
    lError = DeleteContents(hKey, FALSE);
    RegCloseKey(hKey);
    return lError == ERROR_SUCCESS ? RegDeleteKeyW(hParent, pwszSubKey) : lError;
}

LONG MakeRegChanges(HANDLE hHeap, HKEY hRoot, const REGOP* pFirst, const REGOP** ppFailed, BOOL* pfUndone)
{
    CHANGES changes = {hHeap, hRoot, NULL};
    LONG lError = ERROR_SUCCESS;

    *ppFailed = NULL;
    *pfUndone = TRUE;
    for (const REGOP* pOp = pFirst; pOp != NULL && lError == ERROR_SUCCESS; pOp = pOp->pNext)
    {
        if (pOp->kind == REGOP_KEY)
            lError = CreateKey(&changes, pOp);
        else if (pOp->kind == REGOP_DELETE_KEY)
            lError = RemoveKey(&changes, pOp);
        else
            lError = ChangeValue(&changes, pOp);
        if (lError != ERROR_SUCCESS)
        {
            *ppFailed = pOp;
            *pfUndone = Undo(&changes);
        }
    }
    return lError;
}
