// QuorbitHandlers.exe: Quorbit.dll's "Message Handlers" page in a property
// sheet of its own. Under UAC the mail client runs with a filtered token
// and may not change the machine-wide handlers; this program asks for
// elevation in its manifest and hosts the very same page, obtained the
// way the client obtains it: through the extension's published entry point
// and its IExchExtPropertySheets interface.
#include "editor_callback.h"
#include "editor_resources.h"
#include "full_paths.h"
#include "sheet_window.h"
#include "system_text.h"
#include <commctrl.h>
#include <prsht.h>
#include <new>

#define EDITOR_CAPTION      "Quorbit Message Handlers"
#define EXTENSION_FILE      "Quorbit.dll"
#define EXTENSION_ENTRY     "ExchEntryPoint"

// Why a start failed: what went wrong, said after the DLL's path, and the
// system's words for dwError when there is one (0: none).
typedef struct tagSTARTFAILURE
{
    const char* szWhat;
    DWORD dwError;
} STARTFAILURE;

static const char c_szNotLoaded[] = "could not be loaded.";
static const char c_szNoPages[] = "gives no pages for the Options dialog.";
static const char c_szPageNotShown[] = "gives a page that cannot be shown.";

static BOOL Fail(STARTFAILURE* pFailure, const char* szWhat, DWORD dwError)
{
    pFailure->szWhat = szWhat;
    pFailure->dwError = dwError;
    return FALSE;
}

// The one box of a start that failed.
static void ShowStartFailure(const char* szDll, const STARTFAILURE* pFailure)
{
    // The path has fewer than MAX_PATH characters and the reason, which may
    // name the path too, fewer than 640: the text stays within the 1,024
    // characters wsprintfA writes.
    char szText[1024];
    char szReason[640] = "";

    if (pFailure->dwError != 0)
        SystemErrorText(pFailure->dwError, szDll, szReason, sizeof(szReason));
    wsprintfA(szText, "%s %s%s%s", szDll, pFailure->szWhat, szReason[0] != '\0' ? "\n\n" : "", szReason);
    MessageBoxA(NULL, szText, EDITOR_CAPTION, MB_OK | MB_ICONERROR);
}

// Loads szDll and finds the extension's entry point.
static BOOL LoadExtension(const char* szDll, HMODULE* phModule, LPEXCHENTRYPOINT* ppfnEntryPoint,
                          STARTFAILURE* pFailure)
{
    // The system's own box for a DLL that fails to load would be a second
    // one, and on XP it waits for a click before LoadLibrary returns.
    UINT uErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    DWORD dwError;

    *phModule = LoadLibraryA(szDll);
    dwError = GetLastError();
    SetErrorMode(uErrorMode);
    if (*phModule == NULL)
        return Fail(pFailure, c_szNotLoaded, dwError);
    *ppfnEntryPoint = (LPEXCHENTRYPOINT)(void*)GetProcAddress(*phModule, EXTENSION_ENTRY);
    if (*ppfnEntryPoint == NULL)
        return Fail(pFailure, "is no mail client extension: it has no entry point " EXTENSION_ENTRY ".",
                    GetLastError());
    return TRUE;
}

// The extension object, installed for the Options dialog as the client
// installs it, and its property-sheet interface.
static BOOL OpenPropertySheets(LPEXCHENTRYPOINT pfnEntryPoint, EditorCallback* pCallback, LPEXCHEXT* ppExt,
                               IExchExtPropertySheets** ppSheets, STARTFAILURE* pFailure)
{
    HRESULT hr;

    *ppExt = pfnEntryPoint();
    if (*ppExt == NULL)
        return Fail(pFailure, "gave no extension object.", 0);
    // S_FALSE is a refusal too: the client would release the object.
    hr = (*ppExt)->Install(pCallback, EECONTEXT_PROPERTYSHEETS, 0);
    if (hr != S_OK)
        return Fail(pFailure, "refused to be installed for the Options dialog.", FAILED(hr) ? (DWORD)hr : 0);
    hr = (*ppExt)->QueryInterface(IID_IExchExtPropertySheets, (LPVOID*)ppSheets);
    if (FAILED(hr) || *ppSheets == NULL)
    {
        *ppSheets = NULL;
        return Fail(pFailure, c_szNoPages, (DWORD)hr);
    }
    return TRUE;
}

// The pages the extension gives for the Options dialog, in records
// (*pcPages, for FreePages) and created in hPages (*pcCreated, those not
// yet handed to a sheet).
static BOOL CreatePages(IExchExtPropertySheets* pSheets, EditorCallback* pCallback, PROPSHEETPAGEA* records,
                        ULONG* pcPages, HPROPSHEETPAGE* hPages, ULONG* pcCreated, STARTFAILURE* pFailure)
{
    ULONG cMaxPages = pSheets->GetMaxPageCount(EEPS_TOOLSOPTIONS);
    HRESULT hr;

    // A sheet holds MAXPROPPAGES pages; a larger count is none it can honour.
    if (cMaxPages == 0 || cMaxPages > MAXPROPPAGES)
        return Fail(pFailure, c_szNoPages, 0);
    ZeroMemory(records, MAXPROPPAGES * sizeof(PROPSHEETPAGEA));
    hr = pSheets->GetPages(pCallback, EEPS_TOOLSOPTIONS, records, pcPages);
    if (FAILED(hr))
        *pcPages = 0;
    // More than the array holds has already run past it; none is trusted.
    if (*pcPages == 0 || *pcPages > cMaxPages)
    {
        *pcPages = 0;
        return Fail(pFailure, c_szNoPages, FAILED(hr) ? (DWORD)hr : 0);
    }
    // Each record on its own: the extension sets each one's dwSize, which
    // need not be this array's stride.
    for (*pcCreated = 0; *pcCreated < *pcPages; (*pcCreated)++)
    {
        hPages[*pcCreated] = CreatePropertySheetPageA(&records[*pcCreated]);
        if (hPages[*pcCreated] == NULL)
            return Fail(pFailure, c_szPageNotShown, GetLastError());
    }
    return TRUE;
}

// Shows the pages in the editor's sheet until it is closed. The sheet owns
// the pages from the call on, shown or not: *pcCreated becomes 0.
static BOOL ShowSheet(HINSTANCE hInstance, HPROPSHEETPAGE* hPages, ULONG* pcCreated, STARTFAILURE* pFailure)
{
    PROPSHEETHEADERA psh;

    ZeroMemory(&psh, sizeof(psh));
    psh.dwSize = sizeof(psh);
    // The page's changes reach the registry when they are made: there is
    // nothing for Apply to do. The page has its own Help.
    psh.dwFlags = PSH_NOAPPLYNOW | PSH_HASHELP | PSH_USECALLBACK | PSH_USEICONID;
    psh.hInstance = hInstance;
    psh.pszIcon = MAKEINTRESOURCEA(IDI_EDITOR);
    psh.pszCaption = EDITOR_CAPTION;
    psh.nPages = *pcCreated;
    psh.phpage = hPages;
    psh.pfnCallback = SheetCallback;
    *pcCreated = 0;
    if (PropertySheetA(&psh) < 0)
        return Fail(pFailure, c_szPageNotShown, GetLastError());
    return TRUE;
}

// Exit code 0 once the sheet has been shown and closed; 1, after one box
// that says why, when the extension could not be loaded or gave no page.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    char szDll[MAX_PATH];
    STARTFAILURE failure = {NULL, 0};
    HMODULE hModule = NULL;
    LPEXCHENTRYPOINT pfnEntryPoint = NULL;
    EditorCallback* pCallback = NULL;
    LPEXCHEXT pExt = NULL;
    IExchExtPropertySheets* pSheets = NULL;
    // A sheet holds at most MAXPROPPAGES pages.
    PROPSHEETPAGEA records[MAXPROPPAGES];
    HPROPSHEETPAGE hPages[MAXPROPPAGES];
    ULONG cPages = 0;    // the records GetPages filled, for FreePages
    ULONG cCreated = 0;  // pages not yet handed to the sheet
    INITCOMMONCONTROLSEX icc;

    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_TAB_CLASSES;
    InitCommonControlsEx(&icc);

    // Beside this program: a bare name would let the current folder decide
    // which DLL an elevated program runs.
    if (!PathBesideModule(NULL, EXTENSION_FILE, szDll, MAX_PATH))
    {
        lstrcpyA(szDll, EXTENSION_FILE);
        Fail(&failure, c_szNotLoaded, ERROR_FILENAME_EXCED_RANGE);
    }
    else if (LoadExtension(szDll, &hModule, &pfnEntryPoint, &failure))
    {
        pCallback = new (std::nothrow) EditorCallback(&hwndSheet);
        if (pCallback == NULL)
            Fail(&failure, "could not be used.", ERROR_NOT_ENOUGH_MEMORY);
        else if (OpenPropertySheets(pfnEntryPoint, pCallback, &pExt, &pSheets, &failure) &&
                 CreatePages(pSheets, pCallback, records, &cPages, hPages, &cCreated, &failure))
            ShowSheet(hInstance, hPages, &cCreated, &failure);
    }

    while (cCreated > 0)
        DestroyPropertySheetPage(hPages[--cCreated]);
    if (cPages > 0)
        pSheets->FreePages(records, EEPS_TOOLSOPTIONS, cPages);
    if (pSheets != NULL)
        pSheets->Release();
    if (pExt != NULL)
        pExt->Release();
    if (pCallback != NULL)
        pCallback->Release();
    if (hModule != NULL)
        FreeLibrary(hModule);
    if (failure.szWhat != NULL)
        ShowStartFailure(szDll, &failure);
    return failure.szWhat != NULL ? 1 : 0;
}
