#include "quorbit_dll.h"
#include "client_objects.h"

std::string QuorbitPath()
{
    return BinDir() + "\\Quorbit.dll";
}

HMODULE QuorbitModule()
{
    static HMODULE hModule = LoadLibraryA(QuorbitPath().c_str());
    return hModule;
}

LPEXCHEXT NewExtension()
{
    LPEXCHENTRYPOINT pfn = (LPEXCHENTRYPOINT)(void*)GetProcAddress(QuorbitModule(), "ExchEntryPoint");
    return pfn != NULL ? pfn() : NULL;
}

LPEXCHEXT InstalledExtension(ULONG eecontext)
{
    ClientCallback callback;
    LPEXCHEXT pExt = NewExtension();
    if (pExt != NULL)
        pExt->Install(&callback, eecontext, 0);
    return pExt;
}

IUnknown* Ask(IUnknown* pUnk, REFIID riid, HRESULT* phr)
{
    void* pv = (void*)(ULONG_PTR)0xdeadbeef;
    HRESULT hr = pUnk->QueryInterface(riid, &pv);
    if (phr != NULL)
        *phr = hr;
    return (IUnknown*)pv;
}

ULONG CountOf(IUnknown* pUnk)
{
    pUnk->AddRef();
    return pUnk->Release();
}

namespace {

typedef LPVOID(WINAPI* HEAPALLOC)(HANDLE, DWORD, SIZE_T);
HEAPALLOC pfnHeapAlloc = NULL;
int iCall = 0;
int iFailingCall = -1;

LPVOID WINAPI HeapAllocOrFail(HANDLE hHeap, DWORD dwFlags, SIZE_T cb)
{
    return iCall++ == iFailingCall ? NULL : pfnHeapAlloc(hHeap, dwFlags, cb);
}

// The slot of the DLL's import table that kernel32's szFunction is called
// through.
FARPROC* ImportSlot(const char* szFunction)
{
    BYTE* pBase = (BYTE*)QuorbitModule();
    const IMAGE_NT_HEADERS* pNt = (const IMAGE_NT_HEADERS*)(pBase + ((const IMAGE_DOS_HEADER*)pBase)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (const IMAGE_IMPORT_DESCRIPTOR* p = (const IMAGE_IMPORT_DESCRIPTOR*)(pBase + dir.VirtualAddress); p->Name; p++)
    {
        if (lstrcmpiA((const char*)pBase + p->Name, "kernel32.dll") != 0)
            continue;
        const IMAGE_THUNK_DATA* pName = (const IMAGE_THUNK_DATA*)(pBase + p->OriginalFirstThunk);
        for (FARPROC* pSlot = (FARPROC*)(pBase + p->FirstThunk); pName->u1.AddressOfData != 0; pName++, pSlot++)
            if (!IMAGE_SNAP_BY_ORDINAL(pName->u1.Ordinal) &&
                lstrcmpA((const char*)((const IMAGE_IMPORT_BY_NAME*)(pBase + pName->u1.AddressOfData))->Name,
                         szFunction) == 0)
                return pSlot;
    }
    return NULL;
}

void SetImport(FARPROC* pSlot, FARPROC pfn)
{
    DWORD dwProtect;
    VirtualProtect(pSlot, sizeof(*pSlot), PAGE_READWRITE, &dwProtect);
    *pSlot = pfn;
    VirtualProtect(pSlot, sizeof(*pSlot), dwProtect, &dwProtect);
}

}  // namespace

FailedAllocation::FailedAllocation(int iFailing)
{
    FARPROC* pSlot = ImportSlot("HeapAlloc");
    iCall = 0;
    iFailingCall = iFailing;
    pfnHeapAlloc = (HEAPALLOC)(void*)*pSlot;
    SetImport(pSlot, (FARPROC)(void*)HeapAllocOrFail);
}

FailedAllocation::~FailedAllocation()
{
    SetImport(ImportSlot("HeapAlloc"), (FARPROC)(void*)pfnHeapAlloc);
}
