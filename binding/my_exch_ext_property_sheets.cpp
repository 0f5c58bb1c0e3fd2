#include "my_exch_ext_property_sheets.h"
#include "host_handles.h"
#include "message_handlers_page.h"
#include "resource.h"

// One page, in the options dialog only.
STDMETHODIMP_(ULONG) MyExchExtPropertySheets::GetMaxPageCount(ULONG ulFlags)
{
    return (ulFlags == EEPS_TOOLSOPTIONS) ? 1 : 0;
}

// Describes the page in the first CB_PAGE_RECORD bytes of lppsp[0] and
// sets *lpcpsp to 1. The client sizes its array by GetMaxPageCount, so for
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

    // Only the fields of the first version: the client's records may be
    // no larger.
    ZeroMemory(lppsp, CB_PAGE_RECORD);
    lppsp->dwSize = CB_PAGE_RECORD;
    lppsp->dwFlags = PSP_HASHELP;
    lppsp->hInstance = ghInstDLL;
    lppsp->pszTemplate = MAKEINTRESOURCEA(IDD_MESSAGE_HANDLERS);
    lppsp->pfnDlgProc = QuorbitDlgProc;
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
