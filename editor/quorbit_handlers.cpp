// QuorbitHandlers.exe: Quorbit.dll's "Message Handlers" page in a property
// sheet of its own. Under UAC the mail client runs with a filtered token
// and may not change the machine-wide handlers; this program asks for
// elevation in its manifest and hosts the very same page, obtained the
// way the client obtains it: through the extension's published entry point
// and its IExchExtPropertySheets interface.
#include "editor_callback.h"
#include "full_paths.h"
#include "system_text.h"
#include <commctrl.h>
#include <prsht.h>
#include <new>

#define EDITOR_CAPTION      "Quorbit Message Handlers"
#define EXTENSION_FILE      "Quorbit.dll"
#define EXTENSION_ENTRY     "ExchEntryPoint"

// Set once the sheet exists; the callback hands it out as the client's
// window.
static HWND hwndSheet = NULL;

static int CALLBACK SheetCallback(HWND hwnd, UINT uMsg, LPARAM lParam)
{
    (void)lParam;
    if (uMsg == PSCB_INITIALIZED)
        hwndSheet = hwnd;
    return 0;
}

// The one box of a start that failed: the DLL's path, what went wrong, and
// the system's words for dwError when there is one (0: none).
static void ShowStartFailure(const char* szDll, const char* szWhat, DWORD dwError)
{
    // The path has fewer than MAX_PATH characters and the reason, which may
    // name the path too, fewer than 640: the text stays within the 1,024
    // characters wsprintfA writes.
    char szText[1024];
    char szReason[640] = "";

    if (dwError != 0)
        SystemErrorText(dwError, szDll, szReason, sizeof(szReason));
    wsprintfA(szText, "%s %s%s%s", szDll, szWhat, szReason[0] != '\0' ? "\n\n" : "", szReason);
    MessageBoxA(NULL, szText, EDITOR_CAPTION, MB_OK | MB_ICONERROR);
}

// Exit code 0 once the sheet has been shown and closed; 1, after one box
// that says why, when the extension could not be loaded or gave no page.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    char szDll[MAX_PATH];
    const char* szFailure = NULL;   // what went wrong, said after the DLL's path
    DWORD dwError = 0;              // and why, in the system's words
    HMODULE hModule = NULL;
    LPEXCHENTRYPOINT pfnEntryPoint = NULL;
    EditorCallback* pCallback = NULL;
    LPEXCHEXT pExt = NULL;
    IExchExtPropertySheets* pSheets = NULL;
    // A sheet holds at most MAXPROPPAGES pages.
    PROPSHEETPAGEA records[MAXPROPPAGES];
    HPROPSHEETPAGE hPages[MAXPROPPAGES];
    ULONG cMaxPages = 0;
    ULONG cPages = 0;               // the records GetPages filled, for FreePages
    ULONG cCreated = 0;             // pages not yet handed to the sheet
    INITCOMMONCONTROLSEX icc;
    PROPSHEETHEADERA psh;
    UINT uErrorMode;
    HRESULT hr;
    int rc = 1;

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
        szFailure = "could not be loaded.";
        dwError = ERROR_FILENAME_EXCED_RANGE;
        goto Cleanup;
    }
    // The system's own box for a DLL that fails to load would be a second
    // one, and on XP it waits for a click before LoadLibrary returns.
    uErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    hModule = LoadLibraryA(szDll);
    if (hModule == NULL)
        dwError = GetLastError();
    SetErrorMode(uErrorMode);
    if (hModule == NULL)
    {
        szFailure = "could not be loaded.";
        goto Cleanup;
    }
    pfnEntryPoint = (LPEXCHENTRYPOINT)(void*)GetProcAddress(hModule, EXTENSION_ENTRY);
    if (pfnEntryPoint == NULL)
    {
        dwError = GetLastError();
        szFailure = "is no mail client extension: it has no entry point " EXTENSION_ENTRY ".";
        goto Cleanup;
    }

    pCallback = new (std::nothrow) EditorCallback(&hwndSheet);
    if (pCallback == NULL)
    {
        szFailure = "could not be used.";
        dwError = ERROR_NOT_ENOUGH_MEMORY;
        goto Cleanup;
    }
    pExt = pfnEntryPoint();
    if (pExt == NULL)
    {
        szFailure = "gave no extension object.";
        goto Cleanup;
    }
    // S_FALSE is a refusal too: the client would release the object.
    hr = pExt->Install(pCallback, EECONTEXT_PROPERTYSHEETS, 0);
    if (hr != S_OK)
    {
        szFailure = "refused to be installed for the Options dialog.";
        dwError = FAILED(hr) ? (DWORD)hr : 0;
        goto Cleanup;
    }
    hr = pExt->QueryInterface(IID_IExchExtPropertySheets, (LPVOID*)&pSheets);
    if (FAILED(hr) || pSheets == NULL)
    {
        pSheets = NULL;
        szFailure = "gives no pages for the Options dialog.";
        dwError = (DWORD)hr;
        goto Cleanup;
    }

    cMaxPages = pSheets->GetMaxPageCount(EEPS_TOOLSOPTIONS);
    // A sheet holds MAXPROPPAGES pages; a larger count is none it can honour.
    if (cMaxPages == 0 || cMaxPages > MAXPROPPAGES)
    {
        szFailure = "gives no pages for the Options dialog.";
        goto Cleanup;
    }
    ZeroMemory(records, sizeof(records));
    hr = pSheets->GetPages(pCallback, EEPS_TOOLSOPTIONS, records, &cPages);
    if (FAILED(hr))
        cPages = 0;
    // More than the array holds has already run past it; none is trusted.
    if (cPages == 0 || cPages > cMaxPages)
    {
        cPages = 0;
        szFailure = "gives no pages for the Options dialog.";
        dwError = FAILED(hr) ? (DWORD)hr : 0;
        goto Cleanup;
    }
    // Each record on its own: the extension sets each one's dwSize, which
    // need not be this array's stride.
    for (cCreated = 0; cCreated < cPages; cCreated++)
    {
        hPages[cCreated] = CreatePropertySheetPageA(&records[cCreated]);
        if (hPages[cCreated] == NULL)
        {
            szFailure = "gives a page that cannot be shown.";
            dwError = GetLastError();
            goto Cleanup;
        }
    }

    ZeroMemory(&psh, sizeof(psh));
    psh.dwSize = sizeof(psh);
    // The page's changes reach the registry when they are made: there is
    // nothing for Apply to do. The page has its own Help.
    psh.dwFlags = PSH_NOAPPLYNOW | PSH_HASHELP | PSH_USECALLBACK;
    psh.hInstance = hInstance;
    psh.pszCaption = EDITOR_CAPTION;
    psh.nPages = cPages;
    psh.phpage = hPages;
    psh.pfnCallback = SheetCallback;
    // The sheet owns the pages from here on, shown or not.
    cCreated = 0;
    if (PropertySheetA(&psh) < 0)
    {
        szFailure = "gives a page that cannot be shown.";
        dwError = GetLastError();
        goto Cleanup;
    }
    rc = 0;

Cleanup:
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
    if (szFailure != NULL)
        ShowStartFailure(szDll, szFailure, dwError);
    return rc;
}
