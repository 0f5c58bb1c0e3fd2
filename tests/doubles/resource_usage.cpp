#include "resource_usage.h"

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
    DWORD dwFlags;

    if (GetProcessHandleCount(GetCurrentProcess(), &c) && c != 0)
        return c;
    // Wine's GetProcessHandleCount answers 0: the handles one by one.
    for (ULONG_PTR h = 4; h < 0x10000; h += 4)
        if (GetHandleInformation((HANDLE)h, &dwFlags))
            c++;
    return c;
}
