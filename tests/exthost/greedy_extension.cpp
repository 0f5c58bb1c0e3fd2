// greedy_extension.dll: an extension that answers what ours never would,
// for exthost and the handler editor to play the client's part: more option
// pages than any options dialog holds (0xFFFFFFFF), and an error from
// OnOpen; with QUORBIT_GREEDY_REFUSES set, S_FALSE from Install. With
// QUORBIT_GREEDY_REFERENCES naming a file, it writes there, as it unloads,
// the references its host still holds on its objects.
#include "client_objects.h"

namespace {

// The interfaces start with no reference; QueryInterface hands each out
// with one.
template <class Base>
struct Interface : CountedObject<Base>
{
    Interface() { this->m_cRef = 0; }
};

struct GreedySheets : Interface<IExchExtPropertySheets>
{
    STDMETHODIMP_(ULONG) GetMaxPageCount(ULONG) override { return 0xFFFFFFFF; }
    STDMETHODIMP GetPages(LPEXCHEXTCALLBACK, ULONG, LPPROPSHEETPAGEA, ULONG* lpcpsp) override
    {
        *lpcpsp = 0;
        return S_OK;
    }
    STDMETHODIMP_(void) FreePages(LPPROPSHEETPAGEA, ULONG, ULONG) override {}
} sheets;

struct FailingItemEvents : Interface<IOutlookExtItemEvents>
{
    STDMETHODIMP OnOpen(LPEXCHEXTCALLBACK) override { return E_FAIL; }
    STDMETHODIMP OnOpenComplete(LPEXCHEXTCALLBACK, ULONG) override { return S_FALSE; }
    STDMETHODIMP OnClose(LPEXCHEXTCALLBACK, ULONG) override { return S_FALSE; }
    STDMETHODIMP OnCloseComplete(LPEXCHEXTCALLBACK, ULONG) override { return S_FALSE; }
} itemEvents;

struct GreedyExt : CountedObject<IExchExt>
{
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IExchExtPropertySheets)
            *ppv = &sheets;
        else if (riid == IID_IOutlookExtItemEvents)
            *ppv = &itemEvents;
        else
            return CountedObject<IExchExt>::QueryInterface(riid, ppv);
        ((IUnknown*)*ppv)->AddRef();
        return S_OK;
    }
    STDMETHODIMP Install(LPEXCHEXTCALLBACK, ULONG, ULONG) override
    {
        return GetEnvironmentVariableA("QUORBIT_GREEDY_REFUSES", NULL, 0) != 0 ? S_FALSE : S_OK;
    }
} ext;

}  // namespace

extern "C" LPEXCHEXT CALLBACK ExchEntryPoint(void)
{
    return &ext;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    char szFile[MAX_PATH];
    DWORD cch = GetEnvironmentVariableA("QUORBIT_GREEDY_REFERENCES", szFile, MAX_PATH);
    if (dwReason != DLL_PROCESS_DETACH || cch == 0 || cch >= MAX_PATH)
        return TRUE;
    // The entry point hands the extension object out with its count of 1.
    char szText[128];
    int cb = wsprintfA(szText, "IExchExt %ld, IExchExtPropertySheets %ld, IOutlookExtItemEvents %ld\r\n",
                       ext.m_cRef, sheets.m_cRef, itemEvents.m_cRef);
    HANDLE hFile = CreateFileA(szFile, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD cbWritten;
    if (hFile != INVALID_HANDLE_VALUE)
    {
        WriteFile(hFile, szText, (DWORD)cb, &cbWritten, NULL);
        CloseHandle(hFile);
    }
    return TRUE;
}
