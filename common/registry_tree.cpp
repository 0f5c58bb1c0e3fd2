// The key tree is walked with a stack of open keys on the heap, so a deep
// tree (Wine allows more than Windows' 512 levels) needs no more stack.
#include "registry_tree.h"
#include "full_paths.h"
#include "same_text.h"

namespace {

typedef LONG(NTAPI* NTDELETEKEY)(HANDLE);
typedef LONG(NTAPI* NTQUERYKEY)(HANDLE, int, void*, ULONG, ULONG*);
typedef ULONG(NTAPI* RTLNTSTATUSTODOSERROR)(LONG);

const int c_iKeyNameInformation = 3;
const LONG c_lBufferOverflow = (LONG)0x80000005;
const LONG c_lBufferTooSmall = (LONG)0xC0000023;

const REGSAM c_samDelete = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE;

// An open key of the walk and its name below the key above it.
struct FRAME
{
    HKEY hKey;
    WCHAR wszName[256];
};

// The native calls the registry functions do not offer, from ntdll.
struct NATIVE
{
    NTDELETEKEY pfnDeleteKey;
    NTQUERYKEY pfnQueryKey;
    RTLNTSTATUSTODOSERROR pfnToDosError;
};

const NATIVE* Native()
{
    static NATIVE native = {NULL, NULL, NULL};
    if (native.pfnToDosError == NULL)
    {
        native.pfnDeleteKey = (NTDELETEKEY)(void*)SystemProcAddress("ntdll.dll", "NtDeleteKey");
        native.pfnQueryKey = (NTQUERYKEY)(void*)SystemProcAddress("ntdll.dll", "NtQueryKey");
        native.pfnToDosError = (RTLNTSTATUSTODOSERROR)(void*)SystemProcAddress("ntdll.dll", "RtlNtStatusToDosError");
    }
    return native.pfnDeleteKey != NULL && native.pfnQueryKey != NULL && native.pfnToDosError != NULL ? &native
                                                                                                      : NULL;
}

// The key's whole name in the registry (\REGISTRY\MACHINE\...), which tells
// one key from another, as a KEY_NAME_INFORMATION in *ppb: pbLocal, or a
// buffer on the process heap when that is too small, which the caller frees.
LONG KeyName(const NATIVE* pNative, HKEY hKey, BYTE* pbLocal, ULONG cbLocal, BYTE** ppb, ULONG* pcb)
{
    BYTE* pb = pbLocal;
    ULONG cb = cbLocal;
    LONG lStatus = pNative->pfnQueryKey(hKey, c_iKeyNameInformation, pb, cb, pcb);
    while ((lStatus == c_lBufferOverflow || lStatus == c_lBufferTooSmall) && *pcb > cb)
    {
        if (pb != pbLocal)
            HeapFree(GetProcessHeap(), 0, pb);
        cb = *pcb;
        pb = (BYTE*)HeapAlloc(GetProcessHeap(), 0, cb);
        if (pb == NULL)
            return ERROR_NOT_ENOUGH_MEMORY;
        lStatus = pNative->pfnQueryKey(hKey, c_iKeyNameInformation, pb, cb, pcb);
    }
    *ppb = pb;
    if (lStatus == 0)
        return ERROR_SUCCESS;
    if (pb != pbLocal)
        HeapFree(GetProcessHeap(), 0, pb);
    *ppb = NULL;
    return (LONG)pNative->pfnToDosError(lStatus);
}

}  // namespace

LONG DeleteOpenKey(HKEY hKey)
{
    const NATIVE* pNative = Native();
    LONG lStatus;
    if (pNative == NULL)
        return ERROR_PROC_NOT_FOUND;
    lStatus = pNative->pfnDeleteKey(hKey);
    return lStatus == 0 ? ERROR_SUCCESS : (LONG)pNative->pfnToDosError(lStatus);
}

LONG WINAPI DeleteOneKey(HKEY hParent, LPCWSTR pwszName)
{
    HKEY hKey = NULL;
    LONG lError = RegOpenKeyExW(hParent, pwszName, REG_OPTION_OPEN_LINK, DELETE, &hKey);
    if (lError != ERROR_SUCCESS)
        return lError;
    lError = DeleteOpenKey(hKey);
    RegCloseKey(hKey);
    return lError;
}

LONG CheckNotLink(HKEY hParent, LPCWSTR pwszName, HKEY hKey)
{
    const NATIVE* pNative = Native();
    BYTE abOwn[512];
    BYTE abFollowed[512];
    BYTE* pbOwn = NULL;
    BYTE* pbFollowed = NULL;
    ULONG cbOwn = 0;
    ULONG cbFollowed = 0;
    HKEY hFollowed = NULL;
    LONG lFollowed;
    LONG lError;

    if (pNative == NULL)
        return ERROR_PROC_NOT_FOUND;
    // A link with no target, or one to a key this user may not read,
    // cannot be opened so.
    lFollowed = RegOpenKeyExW(hParent, pwszName, 0, KEY_QUERY_VALUE, &hFollowed);
    lError = KeyName(pNative, hKey, abOwn, sizeof(abOwn), &pbOwn, &cbOwn);
    if (lError == ERROR_SUCCESS && lFollowed == ERROR_SUCCESS)
        lFollowed = KeyName(pNative, hFollowed, abFollowed, sizeof(abFollowed), &pbFollowed, &cbFollowed);
    if (lError == ERROR_SUCCESS &&
        (lFollowed != ERROR_SUCCESS || cbOwn != cbFollowed || memcmp(pbOwn, pbFollowed, cbOwn) != 0))
        lError = REGISTRY_LINK_FOUND;
    if (hFollowed != NULL)
        RegCloseKey(hFollowed);
    if (pbOwn != NULL && pbOwn != abOwn)
        HeapFree(GetProcessHeap(), 0, pbOwn);
    if (pbFollowed != NULL && pbFollowed != abFollowed)
        HeapFree(GetProcessHeap(), 0, pbFollowed);
    return lError;
}

LONG DeleteKeyTree(HKEY hParent, LPCWSTR pwszName, REGDELETEKEYPROC pfnDeleteKey)
{
    HANDLE hHeap = GetProcessHeap();
    FRAME* pFrames = (FRAME*)HeapAlloc(hHeap, 0, 16 * sizeof(FRAME));
    int cFrames = 0;
    int cMax = 16;
    int iGone = -1;  // the frame that just lost the child named in wszGone
    WCHAR wszGone[256];
    HKEY hTop = NULL;
    LONG lError;

    if (pfnDeleteKey == NULL)
        pfnDeleteKey = DeleteOneKey;
    if (pFrames == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    lError = RegOpenKeyExW(hParent, pwszName, REG_OPTION_OPEN_LINK, c_samDelete, &hTop);
    if (lError == ERROR_SUCCESS)
    {
        pFrames[0].hKey = hTop;
        cFrames = 1;
    }
    while (lError == ERROR_SUCCESS && cFrames > 0)
    {
        FRAME* pTop = &pFrames[cFrames - 1];
        DWORD cch = ARRAYSIZE(pTop->wszName);
        HKEY hChild = NULL;

        if (cFrames == cMax)
        {
            FRAME* p = (FRAME*)HeapReAlloc(hHeap, 0, pFrames, 2 * cMax * sizeof(FRAME));
            if (p == NULL)
            {
                lError = ERROR_NOT_ENOUGH_MEMORY;
                break;
            }
            pFrames = p;
            pTop = &pFrames[cFrames - 1];
            cMax *= 2;
        }
        // Index 0 every time: each pass deletes the child it found.
        lError = RegEnumKeyExW(pTop->hKey, 0, pFrames[cFrames].wszName, &cch, NULL, NULL, NULL, NULL);
        if (lError == ERROR_SUCCESS)
        {
            if (iGone == cFrames - 1 && SameText(wszGone, pFrames[cFrames].wszName))
                lError = ERROR_CANTWRITE;
            else
                lError = RegOpenKeyExW(pTop->hKey, pFrames[cFrames].wszName, REG_OPTION_OPEN_LINK, c_samDelete,
                                       &hChild);
            iGone = -1;
            if (lError == ERROR_SUCCESS)
                pFrames[cFrames++].hKey = hChild;
            continue;
        }
        if (lError != ERROR_NO_MORE_ITEMS)
            break;
        // No children left: the key itself goes.
        RegCloseKey(pTop->hKey);
        cFrames--;
        if (cFrames == 0)
            lError = pfnDeleteKey(hParent, pwszName);
        else
        {
            lError = pfnDeleteKey(pFrames[cFrames - 1].hKey, pTop->wszName);
            lstrcpyW(wszGone, pTop->wszName);
            iGone = cFrames - 1;
        }
    }
    while (cFrames > 0)
        RegCloseKey(pFrames[--cFrames].hKey);
    HeapFree(hHeap, 0, pFrames);
    return lError;
}
