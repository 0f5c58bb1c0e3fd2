#include "my_exch_ext_property_sheets.h"
#include "message_handlers_page.h"

// One page, in the options dialog only.
STDMETHODIMP_(ULONG) MyExchExtPropertySheets::GetMaxPageCount(ULONG ulFlags)
{
    return (ulFlags == EEPS_TOOLSOPTIONS) ? 1 : 0;
}

// Describes the page in lppsp[0] and sets *lpcpsp to 1. The client sizes its array by GetMaxPageCount, so for
// any other dialog nothing is written and the count is 0. The callback is
// not used.
STDMETHODIMP MyExchExtPropertySheets::GetPages(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags, LPPROPSHEETPAGEA lppsp,
                                               ULONG* lpcpsp)
{
    (void)lpeecb;
    if (lpcpsp == NULL)
        return E_INVALIDARG;
    *lpcpsp = 0;
    if (GetMaxPageCount(ulFlags) == 0)
        return S_OK;
    if (lppsp == NULL)
        return E_INVALIDARG;

    DescribeHandlersPage(lppsp);
    *lpcpsp = 1;
    return S_OK;
}

// GetPages allocates nothing.
STDMETHODIMP_(void) MyExchExtPropertySheets::FreePages(LPPROPSHEETPAGEA lppsp, ULONG ulFlags, ULONG cpsp)
{
    (void)lppsp;
    (void)ulFlags;
    (void)cpsp;
}
