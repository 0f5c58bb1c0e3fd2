// The module's allocation functions. The C++ runtime's nothrow new calls
// its throwing new inside a try block, which links the whole exception
// machinery (and its thread support) into the DLL; the objects here only
// ever need memory or NULL, so the process heap serves them directly.
// Plain new is replaced too, so that whatever any part of the module
// allocates is freed on the heap it came from.
#include <windows.h>
#include <new>

void* operator new(std::size_t cb, const std::nothrow_t&) noexcept
{
    return HeapAlloc(GetProcessHeap(), 0, cb != 0 ? cb : 1);
}

// The module throws nothing: running out of memory here ends the process
// with the system's own code, as an unhandled exception would.
void* operator new(std::size_t cb)
{
    void* pv = HeapAlloc(GetProcessHeap(), 0, cb != 0 ? cb : 1);
    if (pv == NULL)
        RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, NULL);
    return pv;
}

void operator delete(void* pv) noexcept
{
    if (pv != NULL)
        HeapFree(GetProcessHeap(), 0, pv);
}

void operator delete(void* pv, std::size_t) noexcept
{
    if (pv != NULL)
        HeapFree(GetProcessHeap(), 0, pv);
}

void operator delete(void* pv, const std::nothrow_t&) noexcept
{
    if (pv != NULL)
        HeapFree(GetProcessHeap(), 0, pv);
}
