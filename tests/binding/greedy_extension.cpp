// greedy_extension.dll: an extension that asks for more option pages than
// any options dialog holds (0xFFFFFFFF), for exthost to survive.
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

struct GreedyExt : CountedObject<IExchExt>
{
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IExchExtPropertySheets)
            return CountedObject<IExchExt>::QueryInterface(riid, ppv);
        *ppv = &sheets;
        return S_OK;
    }
    STDMETHODIMP Install(LPEXCHEXTCALLBACK, ULONG, ULONG) override { return S_OK; }
} ext;

}  // namespace

extern "C" LPEXCHEXT CALLBACK ExchEntryPoint(void)
{
    return &ext;
}
