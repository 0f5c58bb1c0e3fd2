#include "resource_usage.h"
#include <string>

namespace {

// NtQueryObject's information classes.
enum { OBJECT_NAME_INFORMATION = 1, OBJECT_TYPE_INFORMATION = 2 };
typedef LONG(NTAPI* NTQUERYOBJECT)(HANDLE, int, void*, ULONG, ULONG*);

// Each live handle value of the process, to pfn.
template <class F>
void ForEachHandle(F pfn)
{
    DWORD dwFlags;

    for (ULONG_PTR h = 4; h < 0x10000; h += 4)
        if (GetHandleInformation((HANDLE)h, &dwFlags))
            pfn((HANDLE)h);
}

// The type or the name of the object h stands for, upper-cased.
std::wstring ObjectText(HANDLE h, int iClass)
{
    static NTQUERYOBJECT pfnQuery =
        (NTQUERYOBJECT)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject");
    // Either answer begins with the text's UNICODE_STRING.
    union {
        struct { USHORT cb; USHORT cbMax; PWSTR psz; } text;
        BYTE ab[2048];
    } info = {};
    ULONG cb = 0;

    if (pfnQuery == NULL || pfnQuery(h, iClass, &info, sizeof(info) - sizeof(WCHAR), &cb) < 0 || info.text.psz == NULL)
        return L"";
    std::wstring s(info.text.psz, info.text.cb / sizeof(WCHAR));
    CharUpperBuffW(&s[0], (DWORD)s.size());
    return s;
}

bool IsOwnHandle(HANDLE h)
{
    const std::wstring type = ObjectText(h, OBJECT_TYPE_INFORMATION);
    BY_HANDLE_FILE_INFORMATION file;

    if (type == L"KEY")
    {
        // A key deleted while open has no name left: held past its
        // deletion, it is code under test's.
        const std::wstring name = ObjectText(h, OBJECT_NAME_INFORMATION);
        if (name.empty())
            return true;
        const std::wstring software = L"\\REGISTRY\\MACHINE\\SOFTWARE\\";
        std::wstring below = name.compare(0, software.size(), software) == 0 ? name.substr(software.size()) : L"";
        if (below.compare(0, 12, L"WOW6432NODE\\") == 0)
            below = below.substr(12);
        return !below.empty() && below.compare(0, 8, L"CLASSES\\") != 0 && below != L"CLASSES" &&
               below.compare(0, 10, L"MICROSOFT\\") != 0 && below != L"MICROSOFT";
    }
    if (type == L"PROCESS")
        return GetProcessId(h) != GetCurrentProcessId();
    if (type == L"THREAD")
    {
        // Vista's, which the test bed has; the build targets XP.
        typedef DWORD(WINAPI * GETPROCESSIDOFTHREAD)(HANDLE);
        static GETPROCESSIDOFTHREAD pfnProcessOf =
            (GETPROCESSIDOFTHREAD)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessIdOfThread");
        return pfnProcessOf != NULL && pfnProcessOf(h) != GetCurrentProcessId();
    }
    if (type == L"FILE")
        return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &file) &&
               !(file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    return false;
}

}  // namespace

SIZE_T HeapBytesInUse()
{
    HANDLE heaps[64];
    DWORD cHeaps = GetProcessHeaps(64, heaps);
    SIZE_T cb = 0;
    for (DWORD i = 0; i < cHeaps && i < 64; i++)
    {
        PROCESS_HEAP_ENTRY entry;
        entry.lpData = NULL;
        if (!HeapLock(heaps[i]))
            continue;
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                cb += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return cb;
}

DWORD HandlesInUse()
{
    DWORD c = 0;

    if (GetProcessHandleCount(GetCurrentProcess(), &c) && c != 0)
        return c;
    // Wine's GetProcessHandleCount answers 0: the handles one by one.
    ForEachHandle([&](HANDLE) { c++; });
    return c;
}

DWORD OwnHandlesInUse()
{
    DWORD c = 0;

    ForEachHandle([&](HANDLE h) { c += IsOwnHandle(h); });
    return c;
}
