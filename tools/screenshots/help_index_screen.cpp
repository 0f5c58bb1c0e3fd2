// Shows the help viewer's Index on Quorbit.HLP, for the picture in docs/:
//   help_index_screen READY QUIT
// As ui_screens does, writes the screen rectangle ("x y width height") of
// the viewer and its Index to the file READY once drawn, and ends when the
// file QUIT appears, or after a minute.
#include "help_viewer.h"
#include <prsht.h>
#include <stdio.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string title, firstText, cmd;
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    ViewerShown shown;
    IndexShown index;
    RECT rcViewer, rcIndex, rc;
    FILE* pf = NULL;
    int nExit = 1;

    if (__argc < 3 || !ContentsOfBuiltFile(title, firstText))
        return 2;
    cmd = "winhlp32.exe " + BuiltHelpPath();
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return 1;
    shown = WaitForViewer(firstText, 20000);
    if (shown.hwnd)
        index = OpenIndex(shown, 20000);
    if (index.sheet)
    {
        // A keyword picked, as a reader about to open its topic would.
        for (size_t i = 0; i < index.keywords.size(); i++)
            if (index.keywords[i] == "PreventOpen")
                SendMessageA(index.list, LB_SETCURSEL, i, 0);
        // Moved off the viewer's buttons and contents title, which it covers.
        GetWindowRect(shown.hwnd, &rcViewer);
        SetWindowPos(index.sheet, NULL, rcViewer.left + 240, rcViewer.top + 70, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Sleep(500);
        GetWindowRect(index.sheet, &rcIndex);
        UnionRect(&rc, &rcViewer, &rcIndex);
        pf = fopen(__argv[1], "w");
    }
    if (pf != NULL)
    {
        fprintf(pf, "%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        fclose(pf);
        for (int i = 0; i < 600 && (pf = fopen(__argv[2], "r")) == NULL; i++)
            Sleep(100);
        if (pf != NULL)
            fclose(pf);
        nExit = 0;
    }
    if (index.sheet)
        PostMessageA(index.sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    CloseViewer(NULL);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return nExit;
}
