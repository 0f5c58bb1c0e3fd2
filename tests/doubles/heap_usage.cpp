#include "heap_usage.h"

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
