// The "Message Handlers" property page.
#include "message_handlers_page.h"
#include "handler_definition_dialog.h"
#include "handler_store.h"
#include "help_contents.h"
#include "host_handles.h"
#include "error_box.h"
#include "resource.h"
#include "same_text.h"
#include "store_failure.h"
#include "system_text.h"
#include <commctrl.h>

COLORREF GrayColor = 0;
HBRUSH   hBrush = NULL;

// A new handler's values until one is loaded: filled at the first use, so
// that no other module's static initialisation reads it unfilled.
static HANDLER lastLoaded;
static BOOL fLastLoaded = FALSE;

void RememberLoadedHandler(const HANDLER* lpHandler)
{
    lastLoaded = *lpHandler;
    fLastLoaded = TRUE;
}

void GetLastLoadedHandler(LPHANDLER lpHandler)
{
    if (!fLastLoaded)
        RegistryNewHandler(lpHandler);
    else
        *lpHandler = lastLoaded;
}

void DescribeHandlersPage(LPPROPSHEETPAGEA lppsp)
{
    ZeroMemory(lppsp, PROPSHEETPAGEA_V1_SIZE);
    lppsp->dwSize = PROPSHEETPAGEA_V1_SIZE;
    lppsp->dwFlags = PSP_HASHELP;
    lppsp->hInstance = ghInstDLL;
    lppsp->pszTemplate = MAKEINTRESOURCEA(IDD_MESSAGE_HANDLERS);
    lppsp->pfnDlgProc = QuorbitDlgProc;
}

static BOOL OnInitDialog(void)
{
    LOGBRUSH lb;

    GrayColor = GetSysColor(COLOR_BTNFACE);
    // Pages share the brush; a second page at the same time uses the first
    // one's rather than losing it.
    if (hBrush == NULL)
    {
        ZeroMemory(&lb, sizeof(lb));
        lb.lbStyle = BS_SOLID;
        lb.lbColor = GrayColor;
        lb.lbHatch = 0;
        hBrush = CreateBrushIndirect(&lb);
    }
    return TRUE;
}

static void OnDestroy(void)
{
    if (hBrush != NULL)
    {
        DeleteObject(hBrush);
        // No later colour message may hand out the deleted brush.
        hBrush = NULL;
    }
}

static INT_PTR OnCtlColor(HDC hdc)
{
    if (hBrush == NULL)
        return FALSE;
    SetBkColor(hdc, GrayColor);
    return (INT_PTR)hBrush;
}

// Copies the text of list entry i into szName (cchName characters).
// Returns FALSE, leaving szName empty, when there is no such entry or its
// text does not fit.
static BOOL GetListedName(HWND hList, LRESULT i, char* szName, int cchName)
{
    LRESULT cch = SendMessageA(hList, LB_GETTEXTLEN, (WPARAM)i, 0);

    szName[0] = '\0';
    if (cch == LB_ERR || cch >= cchName)
        return FALSE;
    return SendMessageA(hList, LB_GETTEXT, (WPARAM)i, (LPARAM)szName) != LB_ERR;
}

// The entry listing szName as the registry names keys: up to letter case,
// and nothing else. LB_FINDSTRINGEXACT compares by the user's locale and
// would take "Stra\xDFe" for a listed "Strasse". LB_ERR when there is none.
static LRESULT FindListedName(HWND hList, const char* szName)
{
    char szListed[CCH_KEY_NAME];
    LRESULT n = SendMessageA(hList, LB_GETCOUNT, 0, 0);

    for (LRESULT i = 0; n != LB_ERR && i < n; i++)
    {
        if (GetListedName(hList, i, szListed, CCH_KEY_NAME) && SameName(szListed, szName))
            return i;
    }
    return LB_ERR;
}

// Shows the handler the definition dialog has just saved under szName:
// selects its entry, listing it first when it is new. The store ignores
// case in key names, and so does the search.
static void ShowSavedHandler(HWND hList, const char* szName)
{
    LRESULT i = FindListedName(hList, szName);

    if (i == LB_ERR)
        i = SendMessageA(hList, LB_INSERTSTRING, (WPARAM)-1, (LPARAM)szName);
    if (i != LB_ERR && i != LB_ERRSPACE)
        SendMessageA(hList, LB_SETCURSEL, (WPARAM)i, 0);
}

// Runs the definition dialog on *lpHandler. What OK saved becomes the
// handler loaded last, and is listed and selected.
static void RunDefinitionDialog(HWND hDlg, LPHANDLER lpHandler)
{
    // DialogBoxParamA answers -1 when the dialog could not be shown.
    if (DialogBoxParamA(ghInstDLL, MAKEINTRESOURCEA(IDD_HANDLER_DEFINITION), hDlg, AddHandlerDlgProc,
                        (LPARAM)lpHandler) != 1)
        return;
    RememberLoadedHandler(lpHandler);
    ShowSavedHandler(GetDlgItem(hDlg, IDC_HANDLER_LIST), lpHandler->szName);
}

static void OnAdd(HWND hDlg)
{
    HANDLER handler;

    GetLastLoadedHandler(&handler);
    handler.szName[0] = '\0';
    RunDefinitionDialog(hDlg, &handler);
}

static void AddToList(const char* szName, void* pvList)
{
    SendMessageA((HWND)pvList, LB_ADDSTRING, 0, (LPARAM)szName);
}

// The list is filled afresh at every activation, and whenever it turns out
// to show what the store no longer holds, from the store's list of names;
// the first is selected.
static void ListHandlers(HWND hDlg)
{
    HWND hList = GetDlgItem(hDlg, IDC_HANDLER_LIST);

    SendMessageA(hList, LB_RESETCONTENT, 0, 0);
    RegistryListHandlers(AddToList, hList);
    SendMessageA(hList, LB_SETCURSEL, 0, 0);
}

// The entry goes only once the handler is out of the store: a handler the
// user may not remove stays listed, since it still runs.
static void OnRemove(HWND hDlg)
{
    HWND hList = GetDlgItem(hDlg, IDC_HANDLER_LIST);
    // Key names made outside the page may be longer than the dialog takes.
    char szName[CCH_KEY_NAME];
    HKEY hkRoot = NULL;
    LONG lResult;
    LRESULT i;
    LRESULT n;

    i = SendMessageA(hList, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR || !GetListedName(hList, i, szName, CCH_KEY_NAME))
        return;

    // Opening the root for reading creates none; a root gone meanwhile
    // took the handler with it.
    lResult = RegistryOpenForReading(szRootKey, &hkRoot);
    if (lResult == ERROR_SUCCESS)
        lResult = RegistryDelete(hkRoot, szName);
    RegistryClose(hkRoot);
    // Removed by someone else meanwhile: gone all the same.
    if (lResult != ERROR_SUCCESS && lResult != ERROR_FILE_NOT_FOUND)
    {
        ShowStoreFailure(hDlg, szName, "removed", lResult, TRUE);
        return;
    }

    n = SendMessageA(hList, LB_DELETESTRING, (WPARAM)i, 0);
    // The entry that followed the removed one, or the new last entry.
    if (n != LB_ERR && n > 0)
        SendMessageA(hList, LB_SETCURSEL, (WPARAM)(i < n ? i : n - 1), 0);
}

// Tells the user why the handler szName cannot be shown.
static void ShowUnreadable(HWND hDlg, const char* szName, LONG lResult)
{
    char szText[CCH_HANDLER_NAME + 320];
    char szReason[256];

    wsprintfA(szText, "The message handler \"%s\" could not be read.\n\n%s", szName,
              SystemErrorText((DWORD)lResult, NULL, szReason, sizeof(szReason)));
    ErrorMessageBox(hDlg, 0, NULL, szText);
}

// Shows the selected handler as its key holds it, and nothing of another.
static void OnProperties(HWND hDlg)
{
    HWND hList = GetDlgItem(hDlg, IDC_HANDLER_LIST);
    HANDLER handler;
    char szName[CCH_KEY_NAME];
    char szText[CCH_KEY_NAME + 120];
    LONG lResult;
    LRESULT i;

    i = SendMessageA(hList, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR || !GetListedName(hList, i, szName, CCH_KEY_NAME))
        return;
    // The dialog would save such a handler under a shortened name, as
    // another handler.
    if (lstrlenA(szName) >= CCH_HANDLER_NAME)
    {
        MessageBoxA(hDlg,
                    "This handler's name is longer than 39 characters and cannot be edited here. "
                    "It can still be removed.",
                    szMessageBoxTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    ZeroMemory(&handler, sizeof(handler));
    lResult = RegistryReadHandler(szName, &handler);
    // Editing it would store it anew, under the old name, without a word.
    if (lResult == ERROR_FILE_NOT_FOUND)
    {
        wsprintfA(szText, "The message handler \"%s\" no longer exists. Another user or program has removed it.",
                  szName);
        MessageBoxA(hDlg, szText, szMessageBoxTitle, MB_OK | MB_ICONINFORMATION);
        ListHandlers(hDlg);
        return;
    }
    // Empty fields would be saved over what the key holds.
    if (lResult != ERROR_SUCCESS)
    {
        ShowUnreadable(hDlg, szName, lResult);
        return;
    }
    RememberLoadedHandler(&handler);
    RunDefinitionDialog(hDlg, &handler);
}

static void OnCommand(HWND hDlg, WORD wId)
{
    switch (wId)
    {
    case IDC_ADD_HANDLER:
        OnAdd(hDlg);
        break;
    case IDC_REMOVE_HANDLER:
        OnRemove(hDlg);
        break;
    case IDC_HANDLER_PROPERTIES:
        OnProperties(hDlg);
        break;
    default:
        break;
    }
}

static INT_PTR OnNotify(HWND hDlg, const NMHDR* lpnmh)
{
    LONG lResult = 0;

    switch (lpnmh->code)
    {
    case PSN_SETACTIVE:
        // The store may have changed while another page was in front.
        ListHandlers(hDlg);
        break;
    case PSN_HELP:
        lResult = ShowHelpContents(hDlg);
        break;
    default:
        // PSN_KILLACTIVE, PSN_APPLY and the rest: nothing is pending.
        break;
    }
    SetWindowLongA(hDlg, DWL_MSGRESULT, lResult);
    return lResult;
}

INT_PTR CALLBACK QuorbitDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        OnCommand(hDlg, LOWORD(wParam));
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(hDlg, (const NMHDR*)lParam);
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return OnCtlColor((HDC)wParam);
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    default:
        return FALSE;
    }
}
