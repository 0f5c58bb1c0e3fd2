// greedy_extension.dll: an extension that answers what ours never would,
// for exthost to play the client's part: more option pages than any options
// dialog holds (0xFFFFFFFF), and an error from OnOpen.
#include "host_doubles.h"

namespace {

struct GreedySheets : CountedObject<IExchExtPropertySheets>
{
    STDMETHODIMP_(ULONG) GetMaxPageCount(ULONG) override { return 0xFFFFFFFF; }
    STDMETHODIMP GetPages(LPEXCHEXTCALLBACK, ULONG, LPPROPSHEETPAGEA, ULONG* lpcpsp) override
    {
        *lpcpsp = 0;
        return S_OK;
    }
    STDMETHODIMP_(void) FreePages(LPPROPSHEETPAGEA, ULONG, ULONG) override {}
} sheets;

struct FailingItemEvents : CountedObject<IOutlookExtItemEvents>
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
        return S_OK;
    }
    STDMETHODIMP Install(LPEXCHEXTCALLBACK, ULONG, ULONG) override { return S_OK; }
} ext;

}  // namespace

extern "C" LPEXCHEXT CALLBACK ExchEntryPoint(void)
{
    return &ext;
}
