// Shows one of the configuration dialogs with sample handlers, for the
// pictures in docs/:
//   ui_screens page|definition|editor READY QUIT
// Once the window has been drawn its screen rectangle ("x y width height")
// is written to the file READY; the program ends when the file QUIT
// appears, or after a minute.
#include "handler_definition_dialog.h"
#include "handler_store.h"
#include "host_handles.h"
#include "message_handlers_page.h"
#include "resource.h"
#include <commctrl.h>
#include <prsht.h>
#include <stdio.h>
#include <string.h>

static const char* lpszReadyFile = "";
static const char* lpszQuitFile = "";
static HWND hwndShown = NULL;
static int cQuitPolls = 0;
// Thread timers get their identifiers from SetTimer.
static UINT_PTR idReadyTimer = 0;

static void StoreSample(const char* szName, const char* szSender, const char* szProgram, DWORD dwPrevent,
                        DWORD dwConfirm, DWORD dwDbg)
{
    HANDLER handler;

    ZeroMemory(&handler, sizeof(handler));
    lstrcpynA(handler.szSenderEmailAddress, szSender, CCH_SENDER_EMAIL);
    lstrcpynA(handler.szFilePath, szProgram, CCH_FILE_PATH);
    handler.dwPreventOpen = dwPrevent;
    handler.dwConfirmDialog = dwConfirm;
    handler.dwDebug = dwDbg;
    RegistrySaveHandler(szName, &handler, NULL);
}

static void CALLBACK OnTimer(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    RECT rc;
    FILE* pf;

    if (idEvent == idReadyTimer)
    {
        KillTimer(NULL, idEvent);
        GetWindowRect(hwndShown, &rc);
        pf = fopen(lpszReadyFile, "w");
        if (pf != NULL)
        {
            fprintf(pf, "%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
            fclose(pf);
        }
        return;
    }
    pf = fopen(lpszQuitFile, "r");
    if (pf != NULL)
        fclose(pf);
    if (pf != NULL || ++cQuitPolls > 300)
        PostQuitMessage(0);
}

// The definition dialog runs modally; its loop ends it when it is time.
static INT_PTR CALLBACK DefinitionShotProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        hwndShown = hDlg;
    return AddHandlerDlgProc(hDlg, message, wParam, lParam);
}

static void ShowDefinition(void)
{
    HANDLER handler;
    MSG msg;

    ZeroMemory(&handler, sizeof(handler));
    RegistryReadHandler("Invoice import", &handler);
    DialogBoxParamA(ghInstDLL, MAKEINTRESOURCEA(IDD_HANDLER_DEFINITION), NULL, DefinitionShotProc,
                    (LPARAM)&handler);
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        ;
}

static void ShowPage(void)
{
    PROPSHEETPAGEA psp;
    PROPSHEETHEADERA psh;
    MSG msg;

    ZeroMemory(&psp, sizeof(psp));
    DescribeHandlersPage(&psp);

    ZeroMemory(&psh, sizeof(psh));
    psh.dwSize = PROPSHEETHEADERA_V1_SIZE;
    psh.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_NOAPPLYNOW;
    psh.hInstance = ghInstDLL;
    psh.pszCaption = "Options";
    psh.nPages = 1;
    psh.ppsp = &psp;
    hwndShown = (HWND)PropertySheetA(&psh);

    while (GetMessageA(&msg, NULL, 0, 0) > 0)
    {
        if (PropSheet_IsDialogMessage(hwndShown, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyWindow(hwndShown);
}

// The handler editor, started from beside this program as the package puts
// it beside the DLL, and cancelled once the picture is taken.
static void ShowEditor(void)
{
    // Room for the longer name.
    char szExe[MAX_PATH + 32] = "";
    char* pSlash;
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    MSG msg;

    GetModuleFileNameA(NULL, szExe, MAX_PATH);
    pSlash = strrchr(szExe, '\\');
    lstrcpyA(pSlash != NULL ? pSlash + 1 : szExe, "QuorbitHandlers.exe");
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    if (!CreateProcessA(szExe, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return;
    for (int i = 0; i < 100 && hwndShown == NULL; i++)
    {
        Sleep(100);
        hwndShown = FindWindowA("#32770", "Quorbit Message Handlers");
    }
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    PostMessageA(hwndShown, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    if (__argc < 4)
        return 2;
    lpszReadyFile = __argv[2];
    lpszQuitFile = __argv[3];
    ghInstDLL = hInstance;
    InitCommonControls();

    StoreSample("Claims desk", "claims@example.com", "C:\\Tools\\claims.exe", 0, 1, 0);
    StoreSample("Supplier orders", "orders@supplier.example", "C:\\Tools\\orders.exe", 1, 0, 0);
    StoreSample("Invoice import", "billing@example.com",
                "\"C:\\Program Files\\Quorbit Tools\\invoice-import.exe\"", 1, 1, 0);

    idReadyTimer = SetTimer(NULL, 0, 1500, OnTimer);
    SetTimer(NULL, 0, 200, OnTimer);
    if (strcmp(__argv[1], "definition") == 0)
        ShowDefinition();
    else if (strcmp(__argv[1], "editor") == 0)
        ShowEditor();
    else
        ShowPage();
    return 0;
}
