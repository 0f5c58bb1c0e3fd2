// The key tree is walked with a stack of open keys on the heap, so a deep
// tree (Wine allows more than Windows' 512 levels) needs no more stack.
#include "registry_tree.h"
#include "full_paths.h"
#include "same_text.h"

namespace {

typedef LONG(NTAPI* NTDELETEKEY)(HANDLE);
typedef ULONG(NTAPI* RTLNTSTATUSTODOSERROR)(LONG);

const REGSAM c_samDelete = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE;

// An open key of the walk and its name below the key above it.
struct FRAME
{
    HKEY hKey;
    WCHAR wszName[256];
};

}  // namespace

LONG WINAPI DeleteOneKey(HKEY hParent, LPCWSTR pwszName)
{
    static NTDELETEKEY pfnNtDeleteKey = NULL;
    static RTLNTSTATUSTODOSERROR pfnToDosError = NULL;
    HKEY hKey = NULL;
    LONG lError;
    LONG lStatus;

    if (pfnNtDeleteKey == NULL || pfnToDosError == NULL)
    {
        pfnNtDeleteKey = (NTDELETEKEY)(void*)SystemProcAddress("ntdll.dll", "NtDeleteKey");
        pfnToDosError = (RTLNTSTATUSTODOSERROR)(void*)SystemProcAddress("ntdll.dll", "RtlNtStatusToDosError");
        if (pfnNtDeleteKey == NULL || pfnToDosError == NULL)
            return ERROR_PROC_NOT_FOUND;
    }
    lError = RegOpenKeyExW(hParent, pwszName, REG_OPTION_OPEN_LINK, DELETE, &hKey);
    if (lError != ERROR_SUCCESS)
        return lError;
    lStatus = pfnNtDeleteKey(hKey);
    RegCloseKey(hKey);
    return lStatus == 0 ? ERROR_SUCCESS : (LONG)pfnToDosError(lStatus);
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
