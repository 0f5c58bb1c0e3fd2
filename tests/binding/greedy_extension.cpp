// greedy_extension.dll: an extension whose GetMaxPageCount asks for more
// option pages than any options dialog holds (0xFFFFFFFF). The client, and
// exthost playing it, must survive it.
#include "exchext.h"

namespace {

class GreedySheets : public IExchExtPropertySheets
{
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    STDMETHODIMP_(ULONG) GetMaxPageCount(ULONG) override { return 0xFFFFFFFF; }
    STDMETHODIMP GetPages(LPEXCHEXTCALLBACK, ULONG, LPPROPSHEETPAGEA, ULONG* lpcpsp) override
    {
        *lpcpsp = 0;
        return S_OK;
    }
    STDMETHODIMP_(void) FreePages(LPPROPSHEETPAGEA, ULONG, ULONG) override {}
};

class GreedyExt : public IExchExt
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = NULL;
        if (riid == IID_IExchExtPropertySheets)
            *ppv = &m_sheets;
        else if (riid == IID_IUnknown || riid == IID_IExchExt)
            *ppv = this;
        return *ppv != NULL ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    STDMETHODIMP Install(LPEXCHEXTCALLBACK, ULONG, ULONG) override { return S_OK; }

    GreedySheets m_sheets;
};

GreedyExt greedyExt;

}  // namespace

extern "C" LPEXCHEXT CALLBACK ExchEntryPoint(void)
{
    return &greedyExt;
}
