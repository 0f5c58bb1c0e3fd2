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
