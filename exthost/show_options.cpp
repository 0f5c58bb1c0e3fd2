// exthost options: the client's options dialog, a real property sheet
// with a page of the client's own followed by the extension's pages.
#include "host_commands.h"
#include "client_objects.h"
#include "address_book_dialog.h"
#include "exthost_resource.h"
#include "sheet_window.h"
#include <commctrl.h>
#include <new>
#include <stdio.h>

namespace {

INT_PTR CALLBACK GeneralPageDlgProc(HWND, UINT uMsg, WPARAM, LPARAM)
{
    return uMsg == WM_INITDIALOG;
}

void PrintTabs()
{
    for (int i = 0; i < SheetTabCount(hwndSheet); i++)
    {
        char sz[128];
        GetSheetTabText(hwndSheet, i, sz, sizeof(sz));
        printf("  tab %d: \"%s\"\n", i + 1, sz);
    }
    fflush(stdout);
}

// Shows the extension's page, then closes the dialog with OK.
void CALLBACK CloseSheet(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(NULL, idEvent);
    if (hwndSheet == NULL)
        return;
    PrintTabs();
    SendMessageA(hwndSheet, PSM_SETCURSEL, 1, 0);
    SendMessageA(hwndSheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
}

}  // namespace

int ShowOptions(LoadedExtension* pLoaded, const HostOptions* pOptions)
{
    ClientCallback callback;
    ClientAddrBook addrBook;
    ULONG eecontext = pOptions->eecontext != 0 ? pOptions->eecontext : EECONTEXT_PROPERTYSHEETS;
    IExchExt* pExt = NULL;
    IExchExtPropertySheets* pSheets = NULL;
    PROPSHEETPAGEA* pPages = NULL;
    ULONG cMaxPages = 0;
    ULONG cPages = 0;
    int rc = 0;

    AttachAddressBookDialog(&addrBook);
    callback.m_pAdrBook = &addrBook;
    callback.m_ulVersion = pOptions->ulBuildVersion;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);

    printf("options: the client's options dialog, context %lu\n", eecontext);
    if (!ContextInMap(pLoaded, eecontext))
        printf("  context %lu is not in the context map %s: the extension is not loaded\n", eecontext,
               pLoaded->szContextMap);
    else if ((pExt = pLoaded->pfnEntryPoint()) == NULL)
    {
        printf("  ExchEntryPoint -> NULL\n");
        rc = 1;
    }
    else
    {
        HRESULT hr = pExt->Install(&callback, eecontext, 0);
        printf("  Install(context %lu, build version 0x%08lX) -> %s\n", eecontext, pOptions->ulBuildVersion,
               ResultName(hr));
        if (hr == S_OK)
        {
            void* pv = NULL;
            hr = pExt->QueryInterface(IID_IExchExtPropertySheets, &pv);
            printf("  QueryInterface(IExchExtPropertySheets) -> %s\n", ResultName(hr));
            pSheets = SUCCEEDED(hr) ? (IExchExtPropertySheets*)pv : NULL;
        }
    }
    if (pSheets != NULL)
    {
        cMaxPages = pSheets->GetMaxPageCount(EEPS_TOOLSOPTIONS);
        printf("  GetMaxPageCount(EEPS_TOOLSOPTIONS) -> %lu\n", cMaxPages);
        // A property sheet holds MAXPROPPAGES pages, the client's own among
        // them; a larger count is none the client can honour (and 1 plus
        // 0xFFFFFFFF would wrap to an empty array).
        if (cMaxPages > MAXPROPPAGES - 1)
        {
            printf("  more pages than an options dialog can hold: none of them is asked for\n");
            cMaxPages = 0;
        }
    }

    // The client's own page first, then room for the extension's.
    pPages = new (std::nothrow) PROPSHEETPAGEA[1 + cMaxPages];
    if (pPages == NULL)
    {
        rc = 1;
        goto Cleanup;
    }
    ZeroMemory(pPages, sizeof(PROPSHEETPAGEA) * (1 + cMaxPages));
    pPages[0].dwSize = sizeof(PROPSHEETPAGEA);
    pPages[0].hInstance = GetModuleHandleA(NULL);
    pPages[0].pszTemplate = MAKEINTRESOURCEA(IDD_HOST_GENERAL);
    pPages[0].pfnDlgProc = GeneralPageDlgProc;
    if (pSheets != NULL && cMaxPages > 0)
    {
        HRESULT hr = pSheets->GetPages(&callback, EEPS_TOOLSOPTIONS, pPages + 1, &cPages);
        printf("  GetPages -> %s, %lu page(s)\n", ResultName(hr), cPages);
        if (FAILED(hr) || cPages > cMaxPages)
            cPages = 0;
    }
    fflush(stdout);

    {
        PROPSHEETHEADERA psh;
        ZeroMemory(&psh, sizeof(psh));
        psh.dwSize = sizeof(psh);
        psh.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_NOAPPLYNOW;
        psh.pszCaption = "Options";
        psh.nPages = 1 + cPages;
        psh.ppsp = pPages;
        psh.pfnCallback = SheetCallback;
        if (pOptions->msCloseAfter > 0)
            SetTimer(NULL, 0, pOptions->msCloseAfter, CloseSheet);
        INT_PTR nResult = PropertySheetA(&psh);
        printf("  the options dialog closed (%s)\n", nResult > 0 ? "OK" : "Cancel");
    }

    if (pSheets != NULL && cPages > 0)
        pSheets->FreePages(pPages + 1, EEPS_TOOLSOPTIONS, cPages);

Cleanup:
    delete[] pPages;
    if (pSheets != NULL)
        printf("  release IExchExtPropertySheets -> %lu\n", pSheets->Release());
    if (pExt != NULL)
        printf("  release IExchExt -> %lu\n", pExt->Release());
    fflush(stdout);
    return rc;
}
