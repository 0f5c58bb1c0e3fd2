#include "options_sheet.h"
#include "resource.h"
#include "sheet_window.h"
#include <commctrl.h>

#define HANDLERS_PAGE_INDEX 1

// A plain page of the client's: an empty template in memory.
struct PlainTemplate
{
    DLGTEMPLATE dt;
    WORD wMenu, wClass, wTitle;
};

static INT_PTR CALLBACK PlainPageProc(HWND, UINT uMsg, WPARAM, LPARAM)
{
    return uMsg == WM_INITDIALOG;
}

OptionsSheet::OptionsSheet(const PROPSHEETPAGEA* pPages, UINT cPages)
{
    static PlainTemplate plain = {{WS_CHILD | WS_CAPTION, 0, 0, 0, 0, 172, 127}, 0, 0, 0};
    std::vector<PROPSHEETPAGEA> pages(1 + cPages);
    PROPSHEETHEADERA psh;

    InitCommonControls();
    ZeroMemory(pages.data(), sizeof(PROPSHEETPAGEA));
    pages[0].dwSize = sizeof(PROPSHEETPAGEA);
    pages[0].dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    pages[0].hInstance = GetModuleHandleA(NULL);
    pages[0].pResource = &plain.dt;
    pages[0].pszTitle = "General";
    pages[0].pfnDlgProc = PlainPageProc;

    for (UINT i = 0; i < cPages; i++)
        pages[1 + i] = pPages[i];

    ZeroMemory(&psh, sizeof(psh));
    psh.dwSize = PROPSHEETHEADERA_V1_SIZE;
    psh.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_HASHELP;
    psh.hwndParent = NULL;
    psh.hInstance = GetModuleHandleA(NULL);
    psh.pszCaption = OPTIONS_CAPTION;
    psh.nPages = 1 + cPages;
    psh.nStartPage = HANDLERS_PAGE_INDEX;
    psh.ppsp = pages.data();

    hSheet = (HWND)PropertySheetA(&psh);
    Pump();
    hPage = (HWND)SendMessageA(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0);
    hList = GetDlgItem(hPage, IDC_HANDLER_LIST);
}

OptionsSheet::~OptionsSheet()
{
    if (IsWindow(hSheet))
        DestroyWindow(hSheet);
    Pump();
}

void OptionsSheet::ShowOtherPage()
{
    SendMessageA(hSheet, PSM_SETCURSEL, 0, 0);
    Pump();
}

void OptionsSheet::ShowHandlersPage()
{
    SendMessageA(hSheet, PSM_SETCURSEL, HANDLERS_PAGE_INDEX, 0);
    Pump();
}

void OptionsSheet::Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
    {
        if (IsWindow(hSheet) && PropSheet_IsDialogMessage(hSheet, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<std::string> OptionsSheet::Tabs() const
{
    std::vector<std::string> tabs;
    for (int i = 0; i < SheetTabCount(hSheet); i++)
    {
        char sz[128];
        GetSheetTabText(hSheet, i, sz, sizeof(sz));
        tabs.push_back(sz);
    }
    return tabs;
}

std::vector<std::string> OptionsSheet::Listed() const
{
    std::vector<std::string> names;
    LRESULT n = SendMessageA(hList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; i++)
    {
        char sz[300] = "";
        if (SendMessageA(hList, LB_GETTEXTLEN, i, 0) < (LRESULT)sizeof(sz))
            SendMessageA(hList, LB_GETTEXT, i, (LPARAM)sz);
        names.push_back(sz);
    }
    return names;
}

int OptionsSheet::Selected() const
{
    return (int)SendMessageA(hList, LB_GETCURSEL, 0, 0);
}

void OptionsSheet::Select(int i)
{
    SendMessageA(hList, LB_SETCURSEL, (WPARAM)i, 0);
}

void OptionsSheet::ClickPage(int id)
{
    SendMessageA(GetDlgItem(hPage, id), BM_CLICK, 0, 0);
}
