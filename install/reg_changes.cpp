// Changes below one key with an undo list: before each change, what it
// will replace is copied; a change that fails undoes the others, newest
// first. Only what was changed is touched again, so a key the user may not
// write that the file never reached stays as it was.
//
// Keys are opened one level at a time, each with REG_OPTION_OPEN_LINK: a
// path opened whole follows every link on its way. The levels of the key
// opened last stay open for the next change, which in an export is mostly
// the same key or one beside it. Trees are walked with loops, never with
// recursion, so a deep key needs no stack.
#include "reg_changes.h"
#include "registry_tree.h"

namespace {

const DWORD c_cchMaxValueName = 16384;
const SECURITY_INFORMATION c_siKey = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                     DACL_SECURITY_INFORMATION;
// What a key found on the way to a link says.
const LONG c_lLinkFound = ERROR_CANT_RESOLVE_FILENAME;

struct VALUESNAP
{
    const WCHAR* pwszName;
    DWORD dwType;
    BYTE* pb;
    DWORD cb;
    VALUESNAP* pNext;
};

// A key as it was, with its rights. The rest serves the walks over it.
struct KEYSNAP
{
    WCHAR* pwszName;
    PSECURITY_DESCRIPTOR pSecurity;
    VALUESNAP* pValues;  // in the registry's order
    KEYSNAP* pSubkeys;
    KEYSNAP* pNext;
    KEYSNAP* pParent;
    HKEY hKey;
    DWORD iNext;        // copy: the next sub-key to enumerate
    KEYSNAP* pLastSub;  // copy: where the next one goes
    VALUESNAP* pLastValue;
    BOOL fMade;       // restore: made again, with its values and rights
    BOOL fWritable;   // restore: hKey may write values and create keys
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
    const WCHAR* pwszKey;  // below the root: its first cchKey characters
    int cchKey;
    VALUESNAP value;
    KEYSNAP* pKey;
    UNDO* pPrev;
};

// One open level of the key opened last: level 0 is the root, level i the
// key named by the first cchEnd characters of pwszPath.
struct LEVEL
{
    HKEY hKey;
    REGSAM sam;
    int cchEnd;
};

struct CHANGES
{
    HANDLE hHeap;
    HKEY hRoot;
    UNDO* pUndo;  // the newest
    BOOL fFindLinks;
    const WCHAR* pwszPath;
    LEVEL* pLevels;
    int cLevels;
    int cMaxLevels;
    WCHAR* pwszValueName;  // c_cchMaxValueName characters
};

BOOL InitChanges(CHANGES* c, HANDLE hHeap, HKEY hRoot)
{
    ZeroMemory(c, sizeof(*c));
    c->hHeap = hHeap;
    c->hRoot = hRoot;
    c->cMaxLevels = 16;
    c->pLevels = (LEVEL*)HeapAlloc(hHeap, 0, c->cMaxLevels * sizeof(LEVEL));
    c->pwszValueName = (WCHAR*)HeapAlloc(hHeap, 0, c_cchMaxValueName * sizeof(WCHAR));
    if (c->pLevels == NULL || c->pwszValueName == NULL)
        return FALSE;
    c->pLevels[0].hKey = hRoot;
    c->pLevels[0].sam = KEY_READ | KEY_WRITE;
    c->pLevels[0].cchEnd = 0;
    c->cLevels = 1;
    return TRUE;
}

// Closes the levels from cKeep on; the root stays.
void ClosePath(CHANGES* c, int cKeep)
{
    while (c->cLevels > cKeep && c->cLevels > 1)
        RegCloseKey(c->pLevels[--c->cLevels].hKey);
}

// Whether hKey, opened with REG_OPTION_OPEN_LINK, is a link: its target is
// the REG_LINK value SymbolicLinkValue.
BOOL IsLink(HKEY hKey)
{
    DWORD dwType = REG_NONE;
    return RegQueryValueExW(hKey, L"SymbolicLinkValue", NULL, &dwType, NULL, NULL) == ERROR_SUCCESS &&
           dwType == REG_LINK;
}

// The part of c->pwszPath that level i names, into wszName.
void LevelName(const CHANGES* c, int i, WCHAR* pwszName)
{
    int ichStart = i == 1 ? 0 : c->pLevels[i - 1].cchEnd + 1;
    int cch = c->pLevels[i].cchEnd - ichStart;
    CopyMemory(pwszName, c->pwszPath + ichStart, cch * sizeof(WCHAR));
    pwszName[cch] = L'\0';
}

// Opens level i again with sam added to its rights.
LONG ReopenLevel(CHANGES* c, int i, REGSAM sam)
{
    WCHAR wszName[REG_MAX_NAME + 1];
    HKEY hKey = NULL;
    LONG lError;

    if (i == 0 || (c->pLevels[i].sam & sam) == sam)
        return ERROR_SUCCESS;
    sam |= c->pLevels[i].sam;
    LevelName(c, i, wszName);
    lError = RegOpenKeyExW(c->pLevels[i - 1].hKey, wszName, REG_OPTION_OPEN_LINK, sam, &hKey);
    if (lError == ERROR_SUCCESS)
    {
        RegCloseKey(c->pLevels[i].hKey);
        c->pLevels[i].hKey = hKey;
        c->pLevels[i].sam = sam;
    }
    return lError;
}

void Remember(CHANGES* c, UNDO* pUndo, UNDOKIND kind, const WCHAR* pwszKey, int cchKey)
{
    pUndo->kind = kind;
    pUndo->pwszKey = pwszKey;
    pUndo->cchKey = cchKey;
    pUndo->pPrev = c->pUndo;
    c->pUndo = pUndo;
}

// Opens the key named by the first cchKey characters of pwszKey, the last
// level with samLast, the ones on the way for reading; the levels it
// shares with the key open before stay open. fCreate: a missing level is
// created, and recorded for the undo. With c->fFindLinks a level that is
// a link stops it with c_lLinkFound, that level open last.
LONG OpenPath(CHANGES* c, const WCHAR* pwszKey, int cchKey, REGSAM samLast, BOOL fCreate)
{
    WCHAR wszName[REG_MAX_NAME + 1];
    int cKeep = 1;
    int ich = 0;
    LONG lError = ERROR_SUCCESS;

    // The levels shared with the key open now, one part at a time.
    for (; cKeep < c->cLevels; cKeep++)
    {
        int ichStart = cKeep == 1 ? 0 : c->pLevels[cKeep - 1].cchEnd + 1;
        int ichEnd = c->pLevels[cKeep].cchEnd;
        if (ichEnd > cchKey || (ichEnd < cchKey && pwszKey[ichEnd] != L'\\') ||
            memcmp(pwszKey + ichStart, c->pwszPath + ichStart, (ichEnd - ichStart) * sizeof(WCHAR)) != 0)
            break;
    }
    ClosePath(c, cKeep);
    c->pwszPath = pwszKey;
    ich = cKeep == 1 ? 0 : c->pLevels[cKeep - 1].cchEnd + 1;
    while (ich < cchKey && lError == ERROR_SUCCESS)
    {
        LEVEL* pParent = &c->pLevels[c->cLevels - 1];
        int ichEnd = ich;
        HKEY hKey = NULL;
        DWORD dwDisposition = 0;
        while (ichEnd < cchKey && pwszKey[ichEnd] != L'\\')
            ichEnd++;
        REGSAM sam = ichEnd == cchKey ? KEY_READ | samLast : KEY_READ;
        if (ichEnd - ich > REG_MAX_NAME)
            return ERROR_INVALID_NAME;
        if (c->cLevels == c->cMaxLevels)
        {
            LEVEL* p = (LEVEL*)HeapReAlloc(c->hHeap, 0, c->pLevels, 2 * c->cMaxLevels * sizeof(LEVEL));
            if (p == NULL)
                return ERROR_NOT_ENOUGH_MEMORY;
            c->pLevels = p;
            c->cMaxLevels *= 2;
            pParent = &c->pLevels[c->cLevels - 1];
        }
        CopyMemory(wszName, pwszKey + ich, (ichEnd - ich) * sizeof(WCHAR));
        wszName[ichEnd - ich] = L'\0';
        lError = RegOpenKeyExW(pParent->hKey, wszName, REG_OPTION_OPEN_LINK, sam, &hKey);
        if (lError == ERROR_FILE_NOT_FOUND && fCreate)
        {
            UNDO* pUndo = (UNDO*)HeapAlloc(c->hHeap, HEAP_ZERO_MEMORY, sizeof(UNDO));
            lError = pUndo != NULL ? ReopenLevel(c, c->cLevels - 1, KEY_CREATE_SUB_KEY) : ERROR_NOT_ENOUGH_MEMORY;
            // A key made on the way gets a key made below it next.
            sam |= ichEnd < cchKey ? KEY_CREATE_SUB_KEY : 0;
            if (lError == ERROR_SUCCESS)
                lError = RegCreateKeyExW(pParent->hKey, wszName, 0, NULL, REG_OPTION_NON_VOLATILE, sam, NULL, &hKey,
                                         &dwDisposition);
            if (lError == ERROR_SUCCESS && dwDisposition == REG_CREATED_NEW_KEY)
                Remember(c, pUndo, UNDO_DELETE_KEY, pwszKey, ichEnd);
        }
        if (lError != ERROR_SUCCESS)
            break;
        c->pLevels[c->cLevels].hKey = hKey;
        c->pLevels[c->cLevels].sam = sam;
        c->pLevels[c->cLevels].cchEnd = ichEnd;
        c->cLevels++;
        if (c->fFindLinks && IsLink(hKey))
            lError = c_lLinkFound;
        ich = ichEnd + 1;
    }
    if (lError == ERROR_SUCCESS)
        lError = ReopenLevel(c, c->cLevels - 1, KEY_READ | samLast);
    return lError;
}

// The parent of the key at pwszKey's first cchKey characters, open; the
// key's own name in pwszName. cchKey is not 0.
LONG OpenParent(CHANGES* c, const WCHAR* pwszKey, int cchKey, WCHAR* pwszName, HKEY* phParent)
{
    int ich = cchKey;
    LONG lError;
    while (ich > 0 && pwszKey[ich - 1] != L'\\')
        ich--;
    lError = OpenPath(c, pwszKey, ich > 0 ? ich - 1 : 0, KEY_READ, FALSE);
    CopyMemory(pwszName, pwszKey + ich, (cchKey - ich) * sizeof(WCHAR));
    pwszName[cchKey - ich] = L'\0';
    *phParent = c->pLevels[c->cLevels - 1].hKey;
    return lError;
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

// The key pSnap->hKey itself: its values, in order, and its rights.
LONG CopyOneKey(CHANGES* c, KEYSNAP* pSnap)
{
    LONG lError = ERROR_SUCCESS;
    DWORD cb = 0;

    for (DWORD i = 0; lError == ERROR_SUCCESS; i++)
    {
        VALUESNAP* pValue = (VALUESNAP*)HeapAlloc(c->hHeap, HEAP_ZERO_MEMORY, sizeof(VALUESNAP));
        DWORD cch = c_cchMaxValueName;
        const WCHAR* pwszName;
        if (pValue == NULL)
            return ERROR_NOT_ENOUGH_MEMORY;
        lError = RegEnumValueW(pSnap->hKey, i, c->pwszValueName, &cch, NULL, NULL, NULL, NULL);
        if (lError != ERROR_SUCCESS)
            break;
        pwszName = CopyRegText(c->hHeap, c->pwszValueName, (int)cch);
        lError = pwszName != NULL ? ReadValue(c->hHeap, pSnap->hKey, pwszName, pValue) : ERROR_NOT_ENOUGH_MEMORY;
        if (pSnap->pLastValue == NULL)
            pSnap->pValues = pValue;
        else
            pSnap->pLastValue->pNext = pValue;
        pSnap->pLastValue = pValue;
    }
    if (lError != ERROR_NO_MORE_ITEMS)
        return lError;
    lError = RegGetKeySecurity(pSnap->hKey, c_siKey, NULL, &cb);
    if (lError == ERROR_INSUFFICIENT_BUFFER)
    {
        pSnap->pSecurity = HeapAlloc(c->hHeap, 0, cb);
        lError = pSnap->pSecurity != NULL ? RegGetKeySecurity(pSnap->hKey, c_siKey, pSnap->pSecurity, &cb)
                                          : ERROR_NOT_ENOUGH_MEMORY;
    }
    return lError;
}

// Copies the tree below pTop->hKey into pTop: only the keys' names, or with
// fWhole their values and rights too. A link below pTop stops it with
// c_lLinkFound and *ppLink at the link's copy. pTop->hKey stays open.
LONG CopyTree(CHANGES* c, KEYSNAP* pTop, BOOL fWhole, KEYSNAP** ppLink)
{
    WCHAR wszName[REG_MAX_NAME + 1];
    KEYSNAP* p = pTop;
    LONG lError = fWhole ? CopyOneKey(c, p) : ERROR_SUCCESS;

    while (lError == ERROR_SUCCESS)
    {
        DWORD cch = ARRAYSIZE(wszName);
        KEYSNAP* pSub;
        lError = RegEnumKeyExW(p->hKey, p->iNext, wszName, &cch, NULL, NULL, NULL, NULL);
        if (lError == ERROR_NO_MORE_ITEMS)
        {
            lError = ERROR_SUCCESS;
            if (p == pTop)
                break;
            RegCloseKey(p->hKey);
            p->hKey = NULL;
            p = p->pParent;
            continue;
        }
        if (lError != ERROR_SUCCESS)
            break;
        p->iNext++;
        pSub = (KEYSNAP*)HeapAlloc(c->hHeap, HEAP_ZERO_MEMORY, sizeof(KEYSNAP));
        if (pSub == NULL || (pSub->pwszName = CopyRegText(c->hHeap, wszName, (int)cch)) == NULL)
        {
            lError = ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
        pSub->pParent = p;
        if (p->pLastSub == NULL)
            p->pSubkeys = pSub;
        else
            p->pLastSub->pNext = pSub;
        p->pLastSub = pSub;
        lError = RegOpenKeyExW(p->hKey, wszName, REG_OPTION_OPEN_LINK, KEY_READ, &pSub->hKey);
        if (lError == ERROR_SUCCESS)
        {
            p = pSub;
            if (IsLink(p->hKey))
                lError = c_lLinkFound;
            else if (fWhole)
                lError = CopyOneKey(c, p);
        }
    }
    if (lError == c_lLinkFound)
        *ppLink = p;
    for (; p != pTop; p = p->pParent)
    {
        if (p->hKey != NULL)
            RegCloseKey(p->hKey);
        p->hKey = NULL;
    }
    return lError;
}

// Opens p->hKey again, with the right to write.
LONG MakeWritable(KEYSNAP* p)
{
    HKEY hKey = NULL;
    LONG lError = ERROR_SUCCESS;
    if (!p->fWritable)
        lError = RegOpenKeyExW(p->hKey, L"", REG_OPTION_OPEN_LINK, KEY_READ | KEY_WRITE, &hKey);
    if (lError == ERROR_SUCCESS && !p->fWritable)
    {
        RegCloseKey(p->hKey);
        p->hKey = hKey;
        p->fWritable = TRUE;
    }
    return lError;
}

// Opens the copied key p below its parent, open: the key still there for
// reading, and one that is gone made again.
LONG OpenOrMake(KEYSNAP* p)
{
    KEYSNAP* pParent = p->pParent;
    LONG lError = RegOpenKeyExW(pParent->hKey, p->pwszName, REG_OPTION_OPEN_LINK, KEY_READ, &p->hKey);
    if (lError != ERROR_FILE_NOT_FOUND)
        return lError;
    lError = MakeWritable(pParent);
    if (lError == ERROR_SUCCESS)
        lError = RegCreateKeyExW(pParent->hKey, p->pwszName, 0, NULL, REG_OPTION_NON_VOLATILE,
                                 KEY_READ | KEY_WRITE | WRITE_DAC | WRITE_OWNER, NULL, &p->hKey, NULL);
    p->fMade = p->fWritable = lError == ERROR_SUCCESS;
    return lError;
}

// The copied values, in order, into a key made again; into a key that is
// still there only when it lost some (the emptied root).
LONG RestoreValues(KEYSNAP* p)
{
    BOOL fLost = p->fMade;
    LONG lError = ERROR_SUCCESS;
    for (const VALUESNAP* v = p->pValues; v != NULL && !fLost; v = v->pNext)
        fLost = RegQueryValueExW(p->hKey, v->pwszName, NULL, NULL, NULL, NULL) == ERROR_FILE_NOT_FOUND;
    if (!fLost)
        return ERROR_SUCCESS;
    lError = MakeWritable(p);
    // Those left go first, so that all come back in their order.
    for (const VALUESNAP* v = p->pValues; v != NULL && lError == ERROR_SUCCESS && !p->fMade; v = v->pNext)
    {
        lError = RegDeleteValueW(p->hKey, v->pwszName);
        if (lError == ERROR_FILE_NOT_FOUND)
            lError = ERROR_SUCCESS;
    }
    for (const VALUESNAP* v = p->pValues; v != NULL && lError == ERROR_SUCCESS; v = v->pNext)
        lError = RegSetValueExW(p->hKey, v->pwszName, 0, v->dwType, v->pb, v->cb);
    return lError;
}

// Done with p: a key made again gets its rights last, after its keys and
// values, which they may forbid writing.
LONG FinishKey(CHANGES* c, KEYSNAP* p)
{
    LONG lError = ERROR_SUCCESS;
    if (p->fMade && p->pSecurity != NULL)
    {
        lError = RegSetKeySecurity(p->hKey, c_siKey, p->pSecurity);
        if (lError != ERROR_SUCCESS)  // an owner this user may not give: the rights at least
            RegSetKeySecurity(p->hKey, DACL_SECURITY_INFORMATION, p->pSecurity);
    }
    if (p->hKey != c->hRoot)
        RegCloseKey(p->hKey);
    p->hKey = NULL;
    return lError;
}

// Puts back a copied tree whose top, pTop, is open: every key that is gone
// is made again with its values and rights; a key still there is opened
// for reading only. The first error, having put back what it could.
LONG RestoreTree(CHANGES* c, KEYSNAP* pTop)
{
    LONG lFirst = ERROR_SUCCESS;
    KEYSNAP* p = pTop;
    for (;;)
    {
        KEYSNAP* pNext = NULL;
        if (p->hKey != NULL)
        {
            LONG lError = RestoreValues(p);
            lFirst = lFirst != ERROR_SUCCESS ? lFirst : lError;
            pNext = p->pSubkeys;
        }
        while (pNext == NULL)
        {
            if (p->hKey != NULL)
            {
                LONG lError = FinishKey(c, p);
                lFirst = lFirst != ERROR_SUCCESS ? lFirst : lError;
            }
            if (p == pTop)
                return lFirst;
            pNext = p->pNext;
            p = p->pParent;
        }
        p = pNext;
        LONG lError = OpenOrMake(p);
        if (lError != ERROR_SUCCESS)
            p->hKey = NULL;
        lFirst = lFirst != ERROR_SUCCESS ? lFirst : lError;
    }
}

// [key]: created one level at a time, each level made recorded.
LONG CreateKey(CHANGES* c, const REGOP* pOp)
{
    return OpenPath(c, pOp->pwszKey, lstrlenW(pOp->pwszKey), KEY_READ | KEY_WRITE, TRUE);
}

// Deletes the root's keys and then its values. A key or value still there
// after its delete stops it: it would be found forever.
LONG EmptyRoot(CHANGES* c)
{
    WCHAR wszGone[REG_MAX_NAME + 1] = L"";
    WCHAR wszName[REG_MAX_NAME + 1];
    DWORD cch = ARRAYSIZE(wszName);
    DWORD cValues = 0;
    LONG lError;

    ClosePath(c, 1);
    while ((lError = RegEnumKeyExW(c->hRoot, 0, wszName, &cch, NULL, NULL, NULL, NULL)) == ERROR_SUCCESS)
    {
        lError = lstrcmpiW(wszName, wszGone) == 0 ? ERROR_CANTWRITE : DeleteKeyTree(c->hRoot, wszName, NULL);
        if (lError != ERROR_SUCCESS)
            return lError;
        lstrcpyW(wszGone, wszName);
        cch = ARRAYSIZE(wszName);
    }
    if (lError == ERROR_NO_MORE_ITEMS)
        lError = RegQueryInfoKeyW(c->hRoot, NULL, NULL, NULL, NULL, NULL, NULL, &cValues, NULL, NULL, NULL, NULL);
    for (DWORD i = 0; i <= cValues && lError == ERROR_SUCCESS; i++)
    {
        cch = c_cchMaxValueName;
        lError = RegEnumValueW(c->hRoot, 0, c->pwszValueName, &cch, NULL, NULL, NULL, NULL);
        if (lError == ERROR_SUCCESS)
            lError = i < cValues ? RegDeleteValueW(c->hRoot, c->pwszValueName) : ERROR_CANTWRITE;
    }
    return lError == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : lError;
}

// [-key]: copied first, with the rights of every key, then deleted; the
// root is emptied.
LONG RemoveKey(CHANGES* c, const REGOP* pOp)
{
    WCHAR wszName[REG_MAX_NAME + 1];
    UNDO* pUndo = (UNDO*)HeapAlloc(c->hHeap, HEAP_ZERO_MEMORY, sizeof(UNDO));
    KEYSNAP* pSnap = (KEYSNAP*)HeapAlloc(c->hHeap, HEAP_ZERO_MEMORY, sizeof(KEYSNAP));
    KEYSNAP* pLink = NULL;
    const int cchKey = lstrlenW(pOp->pwszKey);
    HKEY hParent = c->hRoot;
    LONG lError = ERROR_SUCCESS;

    if (pUndo == NULL || pSnap == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (cchKey == 0)
    {
        ClosePath(c, 1);
        pSnap->hKey = c->hRoot;
    }
    else
    {
        lError = OpenParent(c, pOp->pwszKey, cchKey, wszName, &hParent);
        if (lError == ERROR_SUCCESS)
            lError = RegOpenKeyExW(hParent, wszName, REG_OPTION_OPEN_LINK, KEY_READ, &pSnap->hKey);
        if (lError == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        if (lError != ERROR_SUCCESS)
            return lError;
    }
    lError = CopyTree(c, pSnap, TRUE, &pLink);
    if (cchKey != 0)
        RegCloseKey(pSnap->hKey);
    pSnap->hKey = NULL;
    if (lError != ERROR_SUCCESS)
        return lError;
    // Put back whole, however far the deletion got.
    pUndo->pKey = pSnap;
    Remember(c, pUndo, UNDO_RESTORE_KEY, pOp->pwszKey, cchKey);
    return cchKey == 0 ? EmptyRoot(c) : DeleteKeyTree(hParent, wszName, NULL);
}

// "name"=data and "name"=-: what the value held is remembered, or that
// there was none.
LONG ChangeValue(CHANGES* c, const REGOP* pOp)
{
    UNDO* pUndo = (UNDO*)HeapAlloc(c->hHeap, HEAP_ZERO_MEMORY, sizeof(UNDO));
    HKEY hKey = NULL;
    LONG lError;
    BOOL fExisted;

    if (pUndo == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    lError = OpenPath(c, pOp->pwszKey, lstrlenW(pOp->pwszKey), KEY_QUERY_VALUE | KEY_SET_VALUE, FALSE);
    if (lError != ERROR_SUCCESS)
        return lError;
    hKey = c->pLevels[c->cLevels - 1].hKey;
    lError = ReadValue(c->hHeap, hKey, pOp->pwszValue, &pUndo->value);
    fExisted = lError == ERROR_SUCCESS;
    if (lError == ERROR_SUCCESS || lError == ERROR_FILE_NOT_FOUND)
    {
        if (pOp->kind == REGOP_SET_VALUE)
            lError = RegSetValueExW(hKey, pOp->pwszValue, 0, pOp->dwType, pOp->pbData, pOp->cbData);
        else
            lError = fExisted ? RegDeleteValueW(hKey, pOp->pwszValue) : ERROR_SUCCESS;
    }
    if (lError == ERROR_SUCCESS && (fExisted || pOp->kind == REGOP_SET_VALUE))
    {
        pUndo->value.pwszName = pOp->pwszValue;
        Remember(c, pUndo, fExisted ? UNDO_SET_VALUE : UNDO_DELETE_VALUE, pOp->pwszKey, lstrlenW(pOp->pwszKey));
    }
    return lError;
}

// One change undone.
LONG UndoOne(CHANGES* c, const UNDO* pUndo)
{
    WCHAR wszName[REG_MAX_NAME + 1];
    HKEY hParent = NULL;
    KEYSNAP parent;
    LONG lError;

    switch (pUndo->kind)
    {
    case UNDO_DELETE_KEY:
        lError = OpenParent(c, pUndo->pwszKey, pUndo->cchKey, wszName, &hParent);
        return lError == ERROR_SUCCESS ? DeleteKeyTree(hParent, wszName, NULL) : lError;
    case UNDO_RESTORE_KEY:
        if (pUndo->cchKey == 0)
        {
            ClosePath(c, 1);
            pUndo->pKey->hKey = c->hRoot;
            pUndo->pKey->fWritable = TRUE;
            return RestoreTree(c, pUndo->pKey);
        }
        // The parent in a copy of its own, which the walk may open again.
        ZeroMemory(&parent, sizeof(parent));
        lError = OpenParent(c, pUndo->pwszKey, pUndo->cchKey, wszName, &hParent);
        if (lError == ERROR_SUCCESS)
            lError = RegOpenKeyExW(hParent, L"", REG_OPTION_OPEN_LINK, KEY_READ, &parent.hKey);
        if (lError != ERROR_SUCCESS)
            return lError;
        pUndo->pKey->pwszName = wszName;
        pUndo->pKey->pParent = &parent;
        lError = OpenOrMake(pUndo->pKey);
        if (lError == ERROR_SUCCESS)
            lError = RestoreTree(c, pUndo->pKey);
        RegCloseKey(parent.hKey);
        return lError;
    default:
        lError = OpenPath(c, pUndo->pwszKey, pUndo->cchKey, KEY_QUERY_VALUE | KEY_SET_VALUE, FALSE);
        if (lError != ERROR_SUCCESS)
            return lError;
        if (pUndo->kind == UNDO_SET_VALUE)
            return RegSetValueExW(c->pLevels[c->cLevels - 1].hKey, pUndo->value.pwszName, 0, pUndo->value.dwType,
                                  pUndo->value.pb, pUndo->value.cb);
        return RegDeleteValueW(c->pLevels[c->cLevels - 1].hKey, pUndo->value.pwszName);
    }
}

// TRUE when every change made is undone.
BOOL Undo(CHANGES* c)
{
    BOOL fUndone = TRUE;
    for (const UNDO* pUndo = c->pUndo; pUndo != NULL; pUndo = pUndo->pPrev)
    {
        LONG lError = UndoOne(c, pUndo);
        if (lError != ERROR_SUCCESS && lError != ERROR_FILE_NOT_FOUND)
            fUndone = FALSE;
    }
    c->pUndo = NULL;
    return fUndone;
}

// The path below the root of pLink, found below the key pwszKey, on hHeap.
WCHAR* LinkPath(HANDLE hHeap, const WCHAR* pwszKey, int cchKey, const KEYSNAP* pTop, const KEYSNAP* pLink)
{
    int cch = cchKey;
    WCHAR* pwsz;
    for (const KEYSNAP* p = pLink; p != pTop; p = p->pParent)
        cch += 1 + lstrlenW(p->pwszName);
    pwsz = (WCHAR*)HeapAlloc(hHeap, 0, (cch + 1) * sizeof(WCHAR));
    if (pwsz == NULL)
        return NULL;
    pwsz[cch] = L'\0';
    for (const KEYSNAP* p = pLink; p != pTop; p = p->pParent)
    {
        int cchName = lstrlenW(p->pwszName);
        cch -= cchName;
        CopyMemory(pwsz + cch, p->pwszName, cchName * sizeof(WCHAR));
        pwsz[--cch] = L'\\';
    }
    CopyMemory(pwsz, pwszKey, cchKey * sizeof(WCHAR));
    // Below the root itself no backslash leads.
    return cchKey == 0 ? pwsz + 1 : pwsz;
}

void FreeChanges(CHANGES* c)
{
    ClosePath(c, 1);
    if (c->pLevels != NULL)
        HeapFree(c->hHeap, 0, c->pLevels);
    if (c->pwszValueName != NULL)
        HeapFree(c->hHeap, 0, c->pwszValueName);
}

}  // namespace

LONG FindRegLink(HANDLE hHeap, HKEY hRoot, const REGOP* pFirst, REGPROGRESSPROC pfnProgress, void* pv,
                 const REGOP** ppOp, WCHAR** ppwszLink)
{
    CHANGES c;
    LONG lError = InitChanges(&c, hHeap, hRoot) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;

    *ppOp = NULL;
    *ppwszLink = NULL;
    c.fFindLinks = TRUE;
    for (const REGOP* pOp = pFirst; pOp != NULL && lError == ERROR_SUCCESS; pOp = pOp->pNext)
    {
        const int cchKey = lstrlenW(pOp->pwszKey);
        KEYSNAP top;
        KEYSNAP* pLink = NULL;
        if (pOp->kind != REGOP_KEY && pOp->kind != REGOP_DELETE_KEY)
            continue;
        pfnProgress(pv, pOp->iLine);
        lError = OpenPath(&c, pOp->pwszKey, cchKey, KEY_READ, FALSE);
        if (lError == c_lLinkFound)
        {
            *ppOp = pOp;
            *ppwszLink = CopyRegText(hHeap, pOp->pwszKey, c.pLevels[c.cLevels - 1].cchEnd);
            break;
        }
        if (lError == ERROR_SUCCESS && pOp->kind == REGOP_DELETE_KEY)
        {
            // Every key the removal would delete.
            ZeroMemory(&top, sizeof(top));
            top.hKey = c.pLevels[c.cLevels - 1].hKey;
            lError = CopyTree(&c, &top, FALSE, &pLink);
            if (lError == c_lLinkFound)
            {
                *ppOp = pOp;
                *ppwszLink = LinkPath(hHeap, pOp->pwszKey, cchKey, &top, pLink);
            }
        }
        // A key missing, or one this user may not read, hides no link: the
        // change itself finds what stops it, and names its line.
        if (lError != c_lLinkFound && lError != ERROR_NOT_ENOUGH_MEMORY)
        {
            ClosePath(&c, 1);
            lError = ERROR_SUCCESS;
        }
    }
    FreeChanges(&c);
    if (lError == c_lLinkFound)
        return *ppwszLink != NULL ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
    return lError;
}

LONG MakeRegChanges(HANDLE hHeap, HKEY hRoot, const REGOP* pFirst, REGPROGRESSPROC pfnProgress, void* pv,
                    const REGOP** ppFailed, BOOL* pfUndone)
{
    CHANGES c;
    LONG lError = InitChanges(&c, hHeap, hRoot) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;

    *ppFailed = lError == ERROR_SUCCESS ? NULL : pFirst;
    *pfUndone = TRUE;
    for (const REGOP* pOp = pFirst; pOp != NULL && lError == ERROR_SUCCESS; pOp = pOp->pNext)
    {
        pfnProgress(pv, pOp->iLine);
        if (pOp->kind == REGOP_KEY)
            lError = CreateKey(&c, pOp);
        else if (pOp->kind == REGOP_DELETE_KEY)
            lError = RemoveKey(&c, pOp);
        else
            lError = ChangeValue(&c, pOp);
        if (lError != ERROR_SUCCESS)
        {
            *ppFailed = pOp;
            ClosePath(&c, 1);
            *pfUndone = Undo(&c);
        }
    }
    FreeChanges(&c);
    return lError;
}
