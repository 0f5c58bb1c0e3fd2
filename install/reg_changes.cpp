// Changes below the handlers' root, with an undo list of this import's own
// work.
//
// Every key is reached from HKEY_LOCAL_MACHINE one level at a time, each
// level opened with REG_OPTION_OPEN_LINK and asked whether it is a link
// before anything is read, created or written below it: a path opened
// whole follows every link on its way, and a key created below a link's
// handle lands in the link's target. A handle stays on the key it was
// opened on, and no key ever becomes a link: one deleted and made again
// meanwhile answers ERROR_KEY_DELETED. The levels of the key opened last
// stay open for the next change, which in an export is mostly the same key
// or one beside it. Trees are walked with loops, never with recursion, so
// a deep key needs no stack.
#include "reg_changes.h"
#include "registry_tree.h"

namespace {

const SECURITY_INFORMATION c_siKey = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                     DACL_SECURITY_INFORMATION;
// A removal reads, lists and deletes each key, and makes a key below it
// where it may, to learn whether it is volatile.
const REGSAM c_samRemove = KEY_READ | DELETE | KEY_CREATE_SUB_KEY;
// Made for a moment below a key about to be deleted, to learn whether that
// key is volatile: below one, only volatile keys can be made. Neither XP
// nor Wine tells it otherwise.
const WCHAR c_wszProbe[] = L"{Quorbit import: is this key volatile?}";

struct VALUESNAP
{
    const WCHAR* pwszName;
    DWORD dwType;
    BYTE* pb;
    DWORD cb;
    BOOL fRemoved;  // the emptied root's: deleted by this import
    VALUESNAP* pNext;
};

// A key a removal reached, as it was right before it went.
struct KEYSNAP
{
    WCHAR* pwszName;
    WCHAR* pwszClass;  // NULL: none
    BOOL fVolatile;
    PSECURITY_DESCRIPTOR pSecurity;
    VALUESNAP* pValues;  // in the registry's order
    KEYSNAP* pSubkeys;   // in the registry's order
    KEYSNAP* pNext;
    BOOL fRemoved;  // deleted by this import
    BOOL fLost;     // still there, and keys or values below it were deleted
};

enum UNDOKIND
{
    UNDO_CREATED_KEY,  // a key this import created
    UNDO_VALUE,        // a value it set or removed
    UNDO_REMOVAL       // a key it removed, or the root it emptied
};

struct UNDO
{
    UNDOKIND kind;
    // The key's path from HKEY_LOCAL_MACHINE, its first cchPath characters;
    // UNDO_REMOVAL: the parent's.
    const WCHAR* pwszPath;
    int cchPath;
    const REGOP* pOp;   // UNDO_VALUE: what the import wrote or removed
    BOOL fExisted;      // UNDO_VALUE: there was a value, in value
    VALUESNAP value;
    KEYSNAP* pKey;      // UNDO_REMOVAL
    UNDO* pPrev;
};

// One open level: the key named by the first cchEnd characters of the path
// CHANGES::pwszOpen.
struct LEVEL
{
    HKEY hKey;
    REGSAM sam;
    int cchEnd;
};

struct CHANGES
{
    HANDLE hHeap;  // the copies and the undo: given back whole at the end
    REGPROGRESSPROC pfnProgress;
    void* pv;
    int iLine;       // the change being made
    UNDO* pUndo;     // the newest
    LEVEL* pLevels;  // level 0 is HKEY_LOCAL_MACHINE, which is not closed
    int cLevels;
    int cMaxLevels;
    WCHAR* pwszOpen;  // the path of the open levels
    WCHAR* pwszPath;  // the path of the change at hand
    const WCHAR* pwszKept;  // the path last kept for the undo
    int cchKept;
    WCHAR* pwszValueName;  // REG_MAX_VALUE_NAME + 1 characters
    WCHAR* pwszLink;       // the link found, from HKEY_LOCAL_MACHINE
};

// An open key of a walk over a tree: the key it copies and its sub-keys
// not yet walked. fMade: a key made again by the undo.
struct FRAME
{
    HKEY hKey;
    REGSAM sam;
    KEYSNAP* pSnap;
    KEYSNAP* pNextSub;
    BOOL fMade;
};

// A stack of frames on the process heap, given back when the walk ends.
struct FRAMES
{
    FRAME* p;
    int c;
    int cMax;
};

// ---- Levels: a path opened one key at a time -----------------------------

void* Alloc(CHANGES* c, SIZE_T cb)
{
    return HeapAlloc(c->hHeap, HEAP_ZERO_MEMORY, cb);
}

LEVEL* Last(CHANGES* c)
{
    return &c->pLevels[c->cLevels - 1];
}

LONG InitChanges(CHANGES* c, REGPROGRESSPROC pfnProgress, void* pv)
{
    ZeroMemory(c, sizeof(*c));
    c->hHeap = HeapCreate(0, 0, 0);
    if (c->hHeap == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    c->pfnProgress = pfnProgress;
    c->pv = pv;
    c->cMaxLevels = 16;
    c->pLevels = (LEVEL*)Alloc(c, c->cMaxLevels * sizeof(LEVEL));
    c->pwszOpen = (WCHAR*)Alloc(c, (REG_MAX_PATH + 1) * sizeof(WCHAR));
    c->pwszPath = (WCHAR*)Alloc(c, (REG_MAX_PATH + 1) * sizeof(WCHAR));
    c->pwszValueName = (WCHAR*)Alloc(c, (REG_MAX_VALUE_NAME + 1) * sizeof(WCHAR));
    if (c->pLevels == NULL || c->pwszOpen == NULL || c->pwszPath == NULL || c->pwszValueName == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    c->pLevels[0].hKey = HKEY_LOCAL_MACHINE;
    c->cLevels = 1;
    return ERROR_SUCCESS;
}

// Closes the levels from cKeep on.
void CloseLevels(CHANGES* c, int cKeep)
{
    while (c->cLevels > cKeep && c->cLevels > 1)
        RegCloseKey(c->pLevels[--c->cLevels].hKey);
}

void FreeChanges(CHANGES* c)
{
    if (c->pLevels != NULL)
        CloseLevels(c, 1);
    if (c->hHeap != NULL)
        HeapDestroy(c->hHeap);
}

// Into c->pwszPath: the path from HKEY_LOCAL_MACHINE of the key that
// pwszKey names below the root. Its length; -1 when it is too long.
int RootPath(CHANGES* c, const WCHAR* pwszKey)
{
    int cch = lstrlenW(c_wszHandlersKey);
    const int cchKey = lstrlenW(pwszKey);
    if (cch + 1 + cchKey > REG_MAX_PATH)
        return -1;
    CopyMemory(c->pwszPath, c_wszHandlersKey, cch * sizeof(WCHAR));
    if (cchKey > 0)
    {
        c->pwszPath[cch++] = L'\\';
        CopyMemory(c->pwszPath + cch, pwszKey, cchKey * sizeof(WCHAR));
        cch += cchKey;
    }
    c->pwszPath[cch] = L'\0';
    return cch;
}

// A copy of the path, for the undo, that lasts as long as c: the one made
// last when it starts so.
const WCHAR* KeepPath(CHANGES* c, const WCHAR* pwszPath, int cch)
{
    if (c->pwszKept == NULL || c->cchKept < cch || memcmp(c->pwszKept, pwszPath, cch * sizeof(WCHAR)) != 0)
    {
        const WCHAR* pwsz = CopyRegText(c->hHeap, pwszPath, cch);
        if (pwsz == NULL)
            return NULL;
        c->pwszKept = pwsz;
        c->cchKept = cch;
    }
    return c->pwszKept;
}

UNDO* NewUndo(CHANGES* c, UNDOKIND kind, const WCHAR* pwszPath, int cchPath)
{
    const WCHAR* pwszKept = KeepPath(c, pwszPath, cchPath);
    UNDO* pUndo = pwszKept != NULL ? (UNDO*)Alloc(c, sizeof(UNDO)) : NULL;
    if (pUndo != NULL)
    {
        pUndo->kind = kind;
        pUndo->pwszPath = pwszKept;
        pUndo->cchPath = cchPath;
    }
    return pUndo;
}

void Remember(CHANGES* c, UNDO* pUndo)
{
    pUndo->pPrev = c->pUndo;
    c->pUndo = pUndo;
}

void NoteLink(CHANGES* c, const WCHAR* pwszPath, int cch)
{
    c->pwszLink = CopyRegText(c->hHeap, pwszPath, cch);
}

// How many of the open levels the path goes through, HKEY_LOCAL_MACHINE
// included: those whose keys it names, character for character.
int SharedLevels(const CHANGES* c, const WCHAR* pwszPath, int cchPath)
{
    const int cchOpen = c->pLevels[c->cLevels - 1].cchEnd;
    int cchSame = 0;
    int cShared = 1;
    while (cchSame < cchOpen && cchSame < cchPath && c->pwszOpen[cchSame] == pwszPath[cchSame])
        cchSame++;
    for (; cShared < c->cLevels; cShared++)
    {
        const int ichEnd = c->pLevels[cShared].cchEnd;
        if (ichEnd > cchSame || (ichEnd < cchPath && pwszPath[ichEnd] != L'\\'))
            break;
    }
    return cShared;
}

// The last level, opened again on the same key with sam added.
LONG WidenLevel(CHANGES* c, REGSAM sam)
{
    LEVEL* pLast = Last(c);
    HKEY hKey = NULL;
    LONG lError;
    if (c->cLevels == 1 || (pLast->sam & sam) == sam)
        return ERROR_SUCCESS;
    lError = RegOpenKeyExW(pLast->hKey, L"", REG_OPTION_OPEN_LINK, pLast->sam | sam, &hKey);
    if (lError == ERROR_SUCCESS)
    {
        RegCloseKey(pLast->hKey);
        pLast->hKey = hKey;
        pLast->sam |= sam;
    }
    return lError;
}

// Creates pwszName below the last level, recorded for the undo as the
// first cchEnd characters of the path; *pfCreated FALSE when another writer
// made it first. The key made gets the right to make keys below it too.
LONG CreateLevel(CHANGES* c, const WCHAR* pwszName, const WCHAR* pwszPath, int cchEnd, REGSAM* psam, HKEY* phKey,
                 BOOL* pfCreated)
{
    UNDO* pUndo = NewUndo(c, UNDO_CREATED_KEY, pwszPath, cchEnd);
    DWORD dwDisposition = 0;
    LONG lError = pUndo != NULL ? WidenLevel(c, KEY_CREATE_SUB_KEY) : ERROR_NOT_ENOUGH_MEMORY;

    *psam |= KEY_CREATE_SUB_KEY;
    if (lError == ERROR_SUCCESS)
        lError = RegCreateKeyExW(Last(c)->hKey, pwszName, 0, NULL, REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK,
                                 *psam, NULL, phKey, &dwDisposition);
    *pfCreated = lError == ERROR_SUCCESS && dwDisposition == REG_CREATED_NEW_KEY;
    if (*pfCreated)
        Remember(c, pUndo);
    else if (pUndo != NULL)
        HeapFree(c->hHeap, 0, pUndo);
    return lError;
}

// Opens the part of pwszPath from ich to ichEnd below the last level, with
// sam, as the new last level. fCreate: a key that is missing is created.
// Any other is first asked whether it is a link; a link is noted, and not
// opened as a level.
LONG PushLevel(CHANGES* c, const WCHAR* pwszPath, int ich, int ichEnd, REGSAM sam, BOOL fCreate)
{
    WCHAR wszName[REG_MAX_NAME + 1];
    HKEY hKey = NULL;
    BOOL fCreated = FALSE;
    LONG lError;

    if (ichEnd - ich > REG_MAX_NAME)
        return ERROR_INVALID_NAME;
    if (c->cLevels == c->cMaxLevels)
    {
        LEVEL* p = (LEVEL*)HeapReAlloc(c->hHeap, 0, c->pLevels, 2 * c->cMaxLevels * sizeof(LEVEL));
        if (p == NULL)
            return ERROR_NOT_ENOUGH_MEMORY;
        c->pLevels = p;
        c->cMaxLevels *= 2;
    }
    CopyMemory(wszName, pwszPath + ich, (ichEnd - ich) * sizeof(WCHAR));
    wszName[ichEnd - ich] = L'\0';
    lError = RegOpenKeyExW(Last(c)->hKey, wszName, REG_OPTION_OPEN_LINK, sam, &hKey);
    if (lError == ERROR_FILE_NOT_FOUND && fCreate)
        lError = CreateLevel(c, wszName, pwszPath, ichEnd, &sam, &hKey, &fCreated);
    if (lError == ERROR_SUCCESS && !fCreated)
    {
        lError = CheckNotLink(Last(c)->hKey, wszName, hKey);
        if (lError == REGISTRY_LINK_FOUND)
            NoteLink(c, pwszPath, ichEnd);
    }
    if (lError != ERROR_SUCCESS)
    {
        if (hKey != NULL)
            RegCloseKey(hKey);
        return lError;
    }
    if (ich > 0)
        c->pwszOpen[ich - 1] = L'\\';
    CopyMemory(c->pwszOpen + ich, pwszPath + ich, (ichEnd - ich) * sizeof(WCHAR));
    c->pLevels[c->cLevels].hKey = hKey;
    c->pLevels[c->cLevels].sam = sam;
    c->pLevels[c->cLevels].cchEnd = ichEnd;
    c->cLevels++;
    return ERROR_SUCCESS;
}

// Opens the key at the first cchPath characters of pwszPath, a path from
// HKEY_LOCAL_MACHINE, as the last level, with samLast; the levels on the
// way for reading, those it shares with the key open before as they are.
// fCreate: a missing level is created, and recorded for the undo.
LONG OpenPath(CHANGES* c, const WCHAR* pwszPath, int cchPath, REGSAM samLast, BOOL fCreate)
{
    LONG lError = ERROR_SUCCESS;
    CloseLevels(c, SharedLevels(c, pwszPath, cchPath));
    while (lError == ERROR_SUCCESS && Last(c)->cchEnd < cchPath)
    {
        const int ich = c->cLevels == 1 ? 0 : Last(c)->cchEnd + 1;
        int ichEnd = ich;
        while (ichEnd < cchPath && pwszPath[ichEnd] != L'\\')
            ichEnd++;
        lError = PushLevel(c, pwszPath, ich, ichEnd, ichEnd == cchPath ? KEY_READ | samLast : KEY_READ, fCreate);
    }
    return lError == ERROR_SUCCESS ? WidenLevel(c, KEY_READ | samLast) : lError;
}

// The parent of the key at the first cchPath characters of pwszPath, open
// for reading as the last level; the key's own name in pwszName.
LONG OpenParent(CHANGES* c, const WCHAR* pwszPath, int cchPath, WCHAR* pwszName)
{
    int ich = cchPath;
    while (ich > 0 && pwszPath[ich - 1] != L'\\')
        ich--;
    if (ich == 0 || cchPath - ich > REG_MAX_NAME)
        return ERROR_INVALID_NAME;
    CopyMemory(pwszName, pwszPath + ich, (cchPath - ich) * sizeof(WCHAR));
    pwszName[cchPath - ich] = L'\0';
    return OpenPath(c, pwszPath, ich - 1, KEY_READ, FALSE);
}

// ---- Copies of keys and values -----------------------------------------

// Reads a value whole into *pValue; the name is not copied.
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

// The key's values, in the registry's order, into p.
LONG CopyValues(CHANGES* c, HKEY hKey, KEYSNAP* p)
{
    VALUESNAP** ppLast = &p->pValues;
    LONG lError = ERROR_SUCCESS;
    for (DWORD i = 0; lError == ERROR_SUCCESS; i++)
    {
        DWORD cch = REG_MAX_VALUE_NAME + 1;
        VALUESNAP* pValue;
        const WCHAR* pwszName;
        lError = RegEnumValueW(hKey, i, c->pwszValueName, &cch, NULL, NULL, NULL, NULL);
        if (lError != ERROR_SUCCESS)
            break;
        pValue = (VALUESNAP*)Alloc(c, sizeof(VALUESNAP));
        pwszName = CopyRegText(c->hHeap, c->pwszValueName, (int)cch);
        lError = pValue != NULL && pwszName != NULL ? ReadValue(c->hHeap, hKey, pwszName, pValue)
                                                    : ERROR_NOT_ENOUGH_MEMORY;
        if (lError == ERROR_FILE_NOT_FOUND)  // another writer's removal
            lError = ERROR_SUCCESS;
        else if (lError == ERROR_SUCCESS)
        {
            *ppLast = pValue;
            ppLast = &pValue->pNext;
        }
    }
    return lError == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : lError;
}

// The key's class, values and rights, into p.
LONG CopyKey(CHANGES* c, HKEY hKey, KEYSNAP* p)
{
    WCHAR wszClass[256];
    WCHAR* pwszClass = wszClass;
    DWORD cch = ARRAYSIZE(wszClass);
    DWORD cb = 0;
    LONG lError = RegQueryInfoKeyW(hKey, pwszClass, &cch, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    if (lError == ERROR_MORE_DATA)
    {
        pwszClass = (WCHAR*)Alloc(c, (++cch) * sizeof(WCHAR));
        lError = pwszClass != NULL ? RegQueryInfoKeyW(hKey, pwszClass, &cch, NULL, NULL, NULL, NULL, NULL, NULL,
                                                      NULL, NULL, NULL)
                                   : ERROR_NOT_ENOUGH_MEMORY;
    }
    if (lError == ERROR_SUCCESS && cch > 0 && (p->pwszClass = CopyRegText(c->hHeap, pwszClass, (int)cch)) == NULL)
        lError = ERROR_NOT_ENOUGH_MEMORY;
    if (lError == ERROR_SUCCESS)
        lError = CopyValues(c, hKey, p);
    if (lError == ERROR_SUCCESS)
        lError = RegGetKeySecurity(hKey, c_siKey, NULL, &cb);
    if (lError == ERROR_INSUFFICIENT_BUFFER)
    {
        p->pSecurity = Alloc(c, cb);
        lError = p->pSecurity != NULL ? RegGetKeySecurity(hKey, c_siKey, p->pSecurity, &cb)
                                      : ERROR_NOT_ENOUGH_MEMORY;
    }
    return lError;
}

// The names of the key's sub-keys, read once, into p.
LONG ListSubkeys(CHANGES* c, HKEY hKey, KEYSNAP* p)
{
    WCHAR wszName[REG_MAX_NAME + 1];
    KEYSNAP** ppLast = &p->pSubkeys;
    LONG lError = ERROR_SUCCESS;
    for (DWORD i = 0; lError == ERROR_SUCCESS; i++)
    {
        DWORD cch = ARRAYSIZE(wszName);
        KEYSNAP* pSub;
        lError = RegEnumKeyExW(hKey, i, wszName, &cch, NULL, NULL, NULL, NULL);
        if (lError != ERROR_SUCCESS)
            break;
        pSub = (KEYSNAP*)Alloc(c, sizeof(KEYSNAP));
        if (pSub == NULL || (pSub->pwszName = CopyRegText(c->hHeap, wszName, (int)cch)) == NULL)
            return ERROR_NOT_ENOUGH_MEMORY;
        *ppLast = pSub;
        ppLast = &pSub->pNext;
    }
    return lError == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : lError;
}

// ---- Walks over trees ----------------------------------------------------

BOOL InitFrames(FRAMES* pFrames)
{
    pFrames->c = 0;
    pFrames->cMax = 16;
    pFrames->p = (FRAME*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, pFrames->cMax * sizeof(FRAME));
    return pFrames->p != NULL;
}

// Room for one more frame, zeroed.
FRAME* NextFrame(FRAMES* pFrames)
{
    if (pFrames->c == pFrames->cMax)
    {
        FRAME* p = (FRAME*)HeapReAlloc(GetProcessHeap(), 0, pFrames->p, 2 * pFrames->cMax * sizeof(FRAME));
        if (p == NULL)
            return NULL;
        pFrames->p = p;
        pFrames->cMax *= 2;
    }
    ZeroMemory(&pFrames->p[pFrames->c], sizeof(FRAME));
    return &pFrames->p[pFrames->c];
}

// Closes the newest frame, telling the key above it of losses below.
void PopFrame(FRAMES* pFrames)
{
    FRAME* f = &pFrames->p[--pFrames->c];
    if (pFrames->c > 0 && (f->pSnap->fLost || f->pSnap->fRemoved))
        pFrames->p[pFrames->c - 1].pSnap->fLost = TRUE;
    if (f->hKey != NULL)
        RegCloseKey(f->hKey);
}

void FreeFrames(FRAMES* pFrames)
{
    while (pFrames->c > 0)
        PopFrame(pFrames);
    if (pFrames->p != NULL)
        HeapFree(GetProcessHeap(), 0, pFrames->p);
    pFrames->p = NULL;
}

// Pushes the frame of p's key below hParent, opened with sam (without
// KEY_CREATE_SUB_KEY where that is refused) and asked whether it is a
// link; with fList its sub-keys are listed into p, once.
LONG PushFrame(CHANGES* c, FRAMES* pFrames, HKEY hParent, KEYSNAP* p, REGSAM sam, BOOL fList)
{
    FRAME* f = NextFrame(pFrames);
    HKEY hKey = NULL;
    LONG lError = f != NULL ? RegOpenKeyExW(hParent, p->pwszName, REG_OPTION_OPEN_LINK, sam, &hKey)
                            : ERROR_NOT_ENOUGH_MEMORY;
    if (lError == ERROR_ACCESS_DENIED && (sam & KEY_CREATE_SUB_KEY) != 0)
    {
        sam &= ~KEY_CREATE_SUB_KEY;
        lError = RegOpenKeyExW(hParent, p->pwszName, REG_OPTION_OPEN_LINK, sam, &hKey);
    }
    if (lError == ERROR_SUCCESS)
        lError = CheckNotLink(hParent, p->pwszName, hKey);
    if (lError == ERROR_SUCCESS && fList)
        lError = ListSubkeys(c, hKey, p);
    if (lError != ERROR_SUCCESS)
    {
        if (hKey != NULL)
            RegCloseKey(hKey);
        return lError;
    }
    f->hKey = hKey;
    f->sam = sam;
    f->pSnap = p;
    f->pNextSub = p->pSubkeys;
    pFrames->c++;
    return ERROR_SUCCESS;
}

// The frame opened again on the same key with sam added.
LONG WidenFrame(FRAME* f, REGSAM sam)
{
    HKEY hKey = NULL;
    LONG lError;
    if ((f->sam & sam) == sam)
        return ERROR_SUCCESS;
    lError = RegOpenKeyExW(f->hKey, L"", REG_OPTION_OPEN_LINK, f->sam | sam, &hKey);
    if (lError == ERROR_SUCCESS)
    {
        RegCloseKey(f->hKey);
        f->hKey = hKey;
        f->sam |= sam;
    }
    return lError;
}

// Whether the key of f, whose sub-keys are gone, is volatile: not when one
// of them was not; otherwise a key made for a moment below it tells, where
// this user may make one.
LONG LearnVolatility(FRAME* f)
{
    HKEY hProbe = NULL;
    DWORD dwDisposition = 0;
    LONG lError;
    for (const KEYSNAP* p = f->pSnap->pSubkeys; p != NULL; p = p->pNext)
    {
        if (p->fRemoved && !p->fVolatile)
            return ERROR_SUCCESS;
    }
    lError = RegCreateKeyExW(f->hKey, c_wszProbe, 0, NULL, REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK, DELETE,
                             NULL, &hProbe, &dwDisposition);
    f->pSnap->fVolatile = lError == ERROR_CHILD_MUST_BE_VOLATILE;
    if (lError == ERROR_CHILD_MUST_BE_VOLATILE || lError == ERROR_ACCESS_DENIED)
        return ERROR_SUCCESS;
    if (lError == ERROR_SUCCESS && dwDisposition == REG_CREATED_NEW_KEY)
        lError = DeleteOpenKey(hProbe);
    if (hProbe != NULL)
        RegCloseKey(hProbe);
    return lError;
}

// Before each key a removal deletes: the progress, and a test's hook.
void KeyProgress(CHANGES* c)
{
    c->pfnProgress(c->pv, c->iLine);
}

// Copies the key of f, whose sub-keys are gone, and deletes it.
LONG RemoveFrameKey(CHANGES* c, FRAME* f)
{
    LONG lError;
    KeyProgress(c);
    lError = CopyKey(c, f->hKey, f->pSnap);
    if (lError == ERROR_SUCCESS)
        lError = LearnVolatility(f);
    if (lError == ERROR_SUCCESS)
        lError = DeleteOpenKey(f->hKey);
    f->pSnap->fRemoved = lError == ERROR_SUCCESS;
    return lError;
}

// Copies the values of f's key, the root, and deletes them.
LONG RemoveFrameValues(CHANGES* c, FRAME* f)
{
    LONG lError;
    KeyProgress(c);
    lError = CopyValues(c, f->hKey, f->pSnap);
    for (VALUESNAP* v = f->pSnap->pValues; v != NULL && lError == ERROR_SUCCESS; v = v->pNext)
    {
        lError = RegDeleteValueW(f->hKey, v->pwszName);
        v->fRemoved = lError == ERROR_SUCCESS;
        f->pSnap->fLost |= v->fRemoved;
        if (lError == ERROR_FILE_NOT_FOUND)  // another writer's removal
            lError = ERROR_SUCCESS;
    }
    return lError;
}

// The path from HKEY_LOCAL_MACHINE of the link a walk met: pLink, below the
// frames' keys, whose top is the key at the first cchTop characters of
// c->pwszPath.
void NoteWalkLink(CHANGES* c, int cchTop, const FRAMES* pFrames, const KEYSNAP* pLink)
{
    int cch = cchTop;
    WCHAR* pwsz;
    for (int i = 1; i <= pFrames->c; i++)
        cch += 1 + lstrlenW(i < pFrames->c ? pFrames->p[i].pSnap->pwszName : pLink->pwszName);
    pwsz = (WCHAR*)Alloc(c, (cch + 1) * sizeof(WCHAR));
    if (pwsz == NULL)
        return;
    CopyMemory(pwsz, c->pwszPath, cchTop * sizeof(WCHAR));
    for (int i = 1; i <= pFrames->c; i++)
    {
        lstrcatW(pwsz, L"\\");
        lstrcatW(pwsz, i < pFrames->c ? pFrames->p[i].pSnap->pwszName : pLink->pwszName);
    }
    c->pwszLink = pwsz;
}

// Removes the key pTop names below the last level, whose path is the first
// cchTop characters of c->pwszPath, with every key below it; the root
// (fRoot) loses its keys and values, and stays. Each key is opened with
// REG_OPTION_OPEN_LINK and asked whether it is a link, which stops the
// walk; its sub-keys are listed once, so a key another writer adds below it
// after that makes its delete fail, and one added to the root stays. Each
// key is copied right before it is deleted.
LONG RemoveTree(CHANGES* c, KEYSNAP* pTop, int cchTop, BOOL fRoot)
{
    FRAMES frames;
    const KEYSNAP* pLink = pTop;
    LONG lError = InitFrames(&frames) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;

    if (lError == ERROR_SUCCESS)
        lError = PushFrame(c, &frames, Last(c)->hKey, pTop, fRoot ? KEY_READ | KEY_SET_VALUE : c_samRemove, TRUE);
    if (lError == ERROR_FILE_NOT_FOUND)  // removed already
        lError = ERROR_SUCCESS;
    while (lError == ERROR_SUCCESS && frames.c > 0)
    {
        FRAME* f = &frames.p[frames.c - 1];
        KEYSNAP* pSub = f->pNextSub;
        if (pSub != NULL)
        {
            f->pNextSub = pSub->pNext;
            pLink = pSub;
            lError = PushFrame(c, &frames, f->hKey, pSub, c_samRemove, TRUE);
            if (lError == ERROR_FILE_NOT_FOUND)  // removed meanwhile by another writer
                lError = ERROR_SUCCESS;
            continue;
        }
        lError = fRoot && frames.c == 1 ? RemoveFrameValues(c, f) : RemoveFrameKey(c, f);
        if (lError == ERROR_SUCCESS)
            PopFrame(&frames);
    }
    if (lError == REGISTRY_LINK_FOUND)
        NoteWalkLink(c, cchTop, &frames, pLink);
    FreeFrames(&frames);
    return lError;
}


// ---- Putting back what a removal deleted --------------------------------

// The values of p into f's key: all of them, in order, into a key made
// again; into one still there only those deleted and still missing.
LONG PutBackValues(FRAME* f, const KEYSNAP* p)
{
    LONG lError = ERROR_SUCCESS;
    for (const VALUESNAP* v = p->pValues; v != NULL && lError == ERROR_SUCCESS; v = v->pNext)
    {
        if (!f->fMade && (!v->fRemoved || RegQueryValueExW(f->hKey, v->pwszName, NULL, NULL, NULL, NULL) !=
                                              ERROR_FILE_NOT_FOUND))
            continue;
        lError = WidenFrame(f, KEY_SET_VALUE);
        if (lError == ERROR_SUCCESS)
            lError = RegSetValueExW(f->hKey, v->pwszName, 0, v->dwType, v->pb, v->cb);
    }
    return lError;
}

// Pushes the frame of p's key below hParent: a key this import deleted is
// made again, with its class and volatility, unless another writer made it
// meanwhile, which then stays as it is and gets no frame; a key still there
// is opened for reading and asked whether it is a link. Then its values.
LONG PushPutBack(CHANGES* c, FRAMES* pFrames, HKEY hParent, KEYSNAP* p)
{
    FRAME* f = NextFrame(pFrames);
    DWORD dwOptions = (p->fVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE) | REG_OPTION_OPEN_LINK;
    DWORD dwDisposition = 0;
    LONG lError;

    if (f == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (!p->fRemoved)
    {
        lError = PushFrame(c, pFrames, hParent, p, KEY_READ, FALSE);
        return lError == ERROR_SUCCESS ? PutBackValues(&pFrames->p[pFrames->c - 1], p) : lError;
    }
    f->sam = KEY_READ | KEY_WRITE | WRITE_DAC | WRITE_OWNER;
    lError = RegCreateKeyExW(hParent, p->pwszName, 0, p->pwszClass, dwOptions, f->sam, NULL, &f->hKey,
                             &dwDisposition);
    if (lError == ERROR_SUCCESS && dwDisposition != REG_CREATED_NEW_KEY)
    {
        RegCloseKey(f->hKey);
        f->hKey = NULL;
    }
    // hParent may make keys: a key refused is one that another writer made,
    // which this user may not change.
    if (lError == ERROR_ACCESS_DENIED || (lError == ERROR_SUCCESS && f->hKey == NULL))
        return ERROR_SUCCESS;
    if (lError != ERROR_SUCCESS)
        return lError;
    f->pSnap = p;
    f->pNextSub = p->pSubkeys;
    f->fMade = TRUE;
    pFrames->c++;
    return PutBackValues(f, p);
}

// Done with the newest frame: a key made again gets its rights last, after
// its keys and values, which they may forbid writing.
LONG PopPutBack(FRAMES* pFrames)
{
    FRAME* f = &pFrames->p[pFrames->c - 1];
    LONG lError = ERROR_SUCCESS;
    if (f->fMade && f->pSnap->pSecurity != NULL)
    {
        lError = RegSetKeySecurity(f->hKey, c_siKey, f->pSnap->pSecurity);
        if (lError != ERROR_SUCCESS)  // an owner this user may not give: the rights at least
            lError = RegSetKeySecurity(f->hKey, DACL_SECURITY_INFORMATION, f->pSnap->pSecurity);
    }
    PopFrame(pFrames);
    return lError;
}

// Puts back what a removal deleted, from pTop below the last level down.
// The first error, having put back what it could.
LONG RestoreTree(CHANGES* c, KEYSNAP* pTop)
{
    FRAMES frames;
    LONG lFirst = InitFrames(&frames) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;

    if (lFirst == ERROR_SUCCESS && pTop->fRemoved)
        lFirst = WidenLevel(c, KEY_CREATE_SUB_KEY);
    if (lFirst == ERROR_SUCCESS)
        lFirst = PushPutBack(c, &frames, Last(c)->hKey, pTop);
    while (frames.c > 0)
    {
        FRAME* f = &frames.p[frames.c - 1];
        KEYSNAP* pSub = f->pNextSub;
        LONG lError;
        if (pSub == NULL)
            lError = PopPutBack(&frames);
        else
        {
            f->pNextSub = pSub->pNext;
            if (!pSub->fRemoved && !pSub->fLost)
                continue;
            lError = pSub->fRemoved ? WidenFrame(f, KEY_CREATE_SUB_KEY) : ERROR_SUCCESS;
            if (lError == ERROR_SUCCESS)
                lError = PushPutBack(c, &frames, f->hKey, pSub);
            if (lError == ERROR_FILE_NOT_FOUND)  // removed meanwhile by another writer
                lError = ERROR_SUCCESS;
        }
        lFirst = lFirst != ERROR_SUCCESS ? lFirst : lError;
    }
    FreeFrames(&frames);
    return lFirst;
}

// ---- The changes and their undo -------------------------------------------

// [key]: the key, and the keys on the way to it, created where missing.
LONG CreateKey(CHANGES* c, const REGOP* pOp)
{
    const int cch = RootPath(c, pOp->pwszKey);
    return cch < 0 ? ERROR_FILENAME_EXCED_RANGE : OpenPath(c, c->pwszPath, cch, KEY_READ | KEY_WRITE, TRUE);
}

// [-key]: the key and everything below it, each key copied right before it
// goes; the root is emptied. Recorded for the undo before the first key
// goes, to be put back however far the removal got.
LONG RemoveKey(CHANGES* c, const REGOP* pOp)
{
    const int cch = RootPath(c, pOp->pwszKey);
    int ichName = cch;
    UNDO* pUndo;
    LONG lError;

    while (ichName > 0 && c->pwszPath[ichName - 1] != L'\\')
        ichName--;
    if (cch < 0 || ichName == 0)
        return ERROR_FILENAME_EXCED_RANGE;
    lError = OpenPath(c, c->pwszPath, ichName - 1, KEY_READ, FALSE);
    if (lError == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (lError != ERROR_SUCCESS)
        return lError;
    pUndo = NewUndo(c, UNDO_REMOVAL, c->pwszPath, ichName - 1);
    if (pUndo == NULL || (pUndo->pKey = (KEYSNAP*)Alloc(c, sizeof(KEYSNAP))) == NULL ||
        (pUndo->pKey->pwszName = CopyRegText(c->hHeap, c->pwszPath + ichName, cch - ichName)) == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    Remember(c, pUndo);
    return RemoveTree(c, pUndo->pKey, cch, pOp->pwszKey[0] == L'\0');
}

// "name"=data and "name"=-: what the value held is remembered, or that
// there was none, with what the change left.
LONG ChangeValue(CHANGES* c, const REGOP* pOp)
{
    const int cch = RootPath(c, pOp->pwszKey);
    UNDO* pUndo = NULL;
    HKEY hKey = NULL;
    LONG lError = cch < 0 ? ERROR_FILENAME_EXCED_RANGE
                          : OpenPath(c, c->pwszPath, cch, KEY_QUERY_VALUE | KEY_SET_VALUE, FALSE);

    if (lError != ERROR_SUCCESS)
        return lError;
    if ((pUndo = NewUndo(c, UNDO_VALUE, c->pwszPath, cch)) == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    hKey = Last(c)->hKey;
    lError = ReadValue(c->hHeap, hKey, pOp->pwszValue, &pUndo->value);
    pUndo->fExisted = lError == ERROR_SUCCESS;
    pUndo->pOp = pOp;
    if (lError == ERROR_FILE_NOT_FOUND)
        lError = ERROR_SUCCESS;
    if (lError == ERROR_SUCCESS && pOp->kind == REGOP_SET_VALUE)
        lError = RegSetValueExW(hKey, pOp->pwszValue, 0, pOp->dwType, pOp->pbData, pOp->cbData);
    else if (lError == ERROR_SUCCESS && pUndo->fExisted)
        lError = RegDeleteValueW(hKey, pOp->pwszValue);
    if (lError == ERROR_SUCCESS && (pUndo->fExisted || pOp->kind == REGOP_SET_VALUE))
        Remember(c, pUndo);
    return lError;
}

// A key this import created goes while it is empty: a key or value another
// writer put in it meanwhile stays, and the key with it.
LONG UndoCreatedKey(CHANGES* c, const UNDO* pUndo)
{
    WCHAR wszName[REG_MAX_NAME + 1];
    HKEY hKey = NULL;
    DWORD cSubkeys = 0;
    DWORD cValues = 0;
    LONG lError = OpenParent(c, pUndo->pwszPath, pUndo->cchPath, wszName);

    if (lError == ERROR_SUCCESS)
        lError = RegOpenKeyExW(Last(c)->hKey, wszName, REG_OPTION_OPEN_LINK, KEY_READ | DELETE, &hKey);
    if (lError == ERROR_SUCCESS)
        lError = CheckNotLink(Last(c)->hKey, wszName, hKey);
    if (lError == ERROR_SUCCESS)
        lError = RegQueryInfoKeyW(hKey, NULL, NULL, NULL, &cSubkeys, NULL, NULL, &cValues, NULL, NULL, NULL, NULL);
    if (lError == ERROR_SUCCESS && cSubkeys == 0 && cValues == 0)
        lError = DeleteOpenKey(hKey);
    if (hKey != NULL)
        RegCloseKey(hKey);
    // A link there now is another writer's.
    return lError == REGISTRY_LINK_FOUND ? ERROR_SUCCESS : lError;
}

// A value goes back to what it was while it holds what this import left:
// another writer's value stays.
LONG UndoValue(CHANGES* c, const UNDO* pUndo)
{
    const REGOP* pOp = pUndo->pOp;
    VALUESNAP now;
    BOOL fOurs;
    LONG lError = OpenPath(c, pUndo->pwszPath, pUndo->cchPath, KEY_QUERY_VALUE, FALSE);

    if (lError != ERROR_SUCCESS)
        return lError;
    ZeroMemory(&now, sizeof(now));
    lError = ReadValue(c->hHeap, Last(c)->hKey, pOp->pwszValue, &now);
    if (lError != ERROR_SUCCESS && lError != ERROR_FILE_NOT_FOUND)
        return lError;
    if (pOp->kind == REGOP_SET_VALUE)
        fOurs = lError == ERROR_SUCCESS && now.dwType == pOp->dwType && now.cb == pOp->cbData &&
                memcmp(now.pb, pOp->pbData, now.cb) == 0;
    else
        fOurs = lError == ERROR_FILE_NOT_FOUND;
    if (now.pb != NULL)
        HeapFree(c->hHeap, 0, now.pb);
    if (!fOurs)
        return ERROR_SUCCESS;
    lError = WidenLevel(c, KEY_SET_VALUE);
    if (lError == ERROR_SUCCESS && pUndo->fExisted)
        lError = RegSetValueExW(Last(c)->hKey, pOp->pwszValue, 0, pUndo->value.dwType, pUndo->value.pb,
                                pUndo->value.cb);
    else if (lError == ERROR_SUCCESS)
        lError = RegDeleteValueW(Last(c)->hKey, pOp->pwszValue);
    return lError;
}

// What a removal deleted comes back below its parent.
LONG UndoRemoval(CHANGES* c, const UNDO* pUndo)
{
    LONG lError = ERROR_SUCCESS;
    if (!pUndo->pKey->fRemoved && !pUndo->pKey->fLost)
        return ERROR_SUCCESS;
    lError = OpenPath(c, pUndo->pwszPath, pUndo->cchPath, KEY_READ, FALSE);
    return lError == ERROR_SUCCESS ? RestoreTree(c, pUndo->pKey) : lError;
}

// TRUE when all of this import's own work is taken back. A key gone
// meanwhile is another writer's removal, which stays.
BOOL Undo(CHANGES* c)
{
    BOOL fUndone = TRUE;
    for (const UNDO* pUndo = c->pUndo; pUndo != NULL; pUndo = pUndo->pPrev)
    {
        LONG lError = pUndo->kind == UNDO_CREATED_KEY ? UndoCreatedKey(c, pUndo)
                      : pUndo->kind == UNDO_VALUE     ? UndoValue(c, pUndo)
                                                      : UndoRemoval(c, pUndo);
        if (lError != ERROR_SUCCESS && lError != ERROR_FILE_NOT_FOUND && lError != ERROR_KEY_DELETED)
            fUndone = FALSE;
    }
    c->pUndo = NULL;
    return fUndone;
}

// Whether the changes name a key, which makes the root when it is missing.
BOOL NamesKey(const REGOP* pFirst)
{
    for (const REGOP* pOp = pFirst; pOp != NULL; pOp = pOp->pNext)
    {
        if (pOp->kind == REGOP_KEY)
            return TRUE;
    }
    return FALSE;
}

// The root, open for writing as the last level: made first, with the keys
// on the way to it, for a file that names a key; missing, for one that
// does not.
LONG OpenRoot(CHANGES* c, BOOL fCreate)
{
    const int cch = RootPath(c, L"");
    const LONG lError = OpenPath(c, c->pwszPath, cch, KEY_READ | KEY_WRITE, fCreate);
    return lError == ERROR_FILE_NOT_FOUND && !fCreate ? ERROR_SUCCESS : lError;
}

// The link c noted, copied to hHeap: REGISTRY_LINK_FOUND, or no memory.
LONG CopyLink(HANDLE hHeap, const CHANGES* c, WCHAR** ppwszLink)
{
    *ppwszLink = c->pwszLink != NULL ? CopyRegText(hHeap, c->pwszLink, lstrlenW(c->pwszLink)) : NULL;
    return *ppwszLink != NULL ? REGISTRY_LINK_FOUND : ERROR_NOT_ENOUGH_MEMORY;
}

}  // namespace

LONG FindRegLink(HANDLE hHeap, const REGOP* pFirst, REGPROGRESSPROC pfnProgress, void* pv, const REGOP** ppOp,
                 WCHAR** ppwszLink)
{
    CHANGES c;
    LONG lError = InitChanges(&c, pfnProgress, pv);

    *ppOp = NULL;
    *ppwszLink = NULL;
    for (const REGOP* pOp = pFirst; pOp != NULL && lError == ERROR_SUCCESS; pOp = pOp->pNext)
    {
        int cch;
        if (pOp->kind != REGOP_KEY && pOp->kind != REGOP_DELETE_KEY)
            continue;
        pfnProgress(pv, pOp->iLine);
        cch = RootPath(&c, pOp->pwszKey);
        lError = cch < 0 ? ERROR_SUCCESS : OpenPath(&c, c.pwszPath, cch, KEY_READ, FALSE);
        if (lError == REGISTRY_LINK_FOUND)
        {
            *ppOp = pOp;
            lError = CopyLink(hHeap, &c, ppwszLink) == REGISTRY_LINK_FOUND ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
        // A key missing, or one this user may not read, hides no link: the
        // change itself finds what stops it, and names its line.
        if (lError != ERROR_NOT_ENOUGH_MEMORY)
            lError = ERROR_SUCCESS;
    }
    FreeChanges(&c);
    return lError;
}

LONG MakeRegChanges(HANDLE hHeap, const REGOP* pFirst, REGPROGRESSPROC pfnProgress, void* pv,
                    const REGOP** ppFailed, WCHAR** ppwszLink, BOOL* pfUndone)
{
    CHANGES c;
    LONG lError = InitChanges(&c, pfnProgress, pv);

    *ppFailed = NULL;
    *ppwszLink = NULL;
    *pfUndone = TRUE;
    if (lError == ERROR_SUCCESS)
        lError = OpenRoot(&c, NamesKey(pFirst));
    for (const REGOP* pOp = pFirst; pOp != NULL && lError == ERROR_SUCCESS; pOp = pOp->pNext)
    {
        c.iLine = pOp->iLine;
        pfnProgress(pv, pOp->iLine);
        if (pOp->kind == REGOP_KEY)
            lError = CreateKey(&c, pOp);
        else if (pOp->kind == REGOP_DELETE_KEY)
            lError = RemoveKey(&c, pOp);
        else
            lError = ChangeValue(&c, pOp);
        if (lError != ERROR_SUCCESS)
            *ppFailed = pOp;
    }
    if (lError == REGISTRY_LINK_FOUND)
        lError = CopyLink(hHeap, &c, ppwszLink);
    if (lError != ERROR_SUCCESS && c.hHeap != NULL)
    {
        CloseLevels(&c, 1);
        *pfUndone = Undo(&c);
    }
    FreeChanges(&c);
    return lError;
}
