#include "quorbit_dll.h"
#include "host_doubles.h"

std::string QuorbitPath()
{
    char sz[MAX_PATH];
    GetModuleFileNameA(NULL, sz, MAX_PATH);
    std::string s = sz;
    return s.substr(0, s.find_last_of('\\')) + "\\Quorbit.dll";
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
    FakeCallback callback;
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
