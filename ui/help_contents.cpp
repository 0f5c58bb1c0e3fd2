#include "help_contents.h"
#include "full_paths.h"
#include "host_handles.h"
#include "error_box.h"
#include <htmlhelp.h>

typedef HWND(WINAPI* HTMLHELPA)(HWND, LPCSTR, UINT, DWORD_PTR);

// hhctrl.ocx is loaded at the first Help, not with the extension.
static HTMLHELPA pfnHtmlHelpA = NULL;

static BOOL FileExists(const char* szPath)
{
    DWORD dwAttributes = GetFileAttributesA(szPath);

    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

static BOOL OpenHtmlHelp(HWND hOwner, const char* szPath)
{
    if (!FileExists(szPath))
        return FALSE;
    // From the system folder, never from wherever a bare name leads.
    if (pfnHtmlHelpA == NULL)
        pfnHtmlHelpA = (HTMLHELPA)(void*)SystemProcAddress("hhctrl.ocx", "HtmlHelpA");
    return pfnHtmlHelpA != NULL && pfnHtmlHelpA(hOwner, szPath, HH_DISPLAY_TOPIC, 0) != NULL;
}

// WinHelpA would start the viewer as "winhlp32.exe -x", by bare name, and
// the search for a bare name takes the current folder first. So the viewer
// is started here, by its full path in the Windows folder, with the help
// file's full path: it opens at the contents.
static BOOL OpenWinHelp(const char* szPath)
{
    char szViewer[MAX_PATH];
    char szCmdLine[2 * MAX_PATH + 8];
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;

    if (!FileExists(szPath) || !PathInWindowsFolder("winhlp32.exe", szViewer, MAX_PATH))
        return FALSE;
    wsprintfA(szCmdLine, "\"%s\" \"%s\"", szViewer, szPath);
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    if (!CreateProcessA(szViewer, szCmdLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return FALSE;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return TRUE;
}

BOOL ShowHelpContents(HWND hOwner)
{
    char szHtmlHelp[MAX_PATH];
    char szWinHelp[MAX_PATH];
    char szText[MAX_PATH + 80];
    OSVERSIONINFOA osvi;
    BOOL fVista;
    BOOL fShown;

    ZeroMemory(&osvi, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    fVista = GetVersionExA(&osvi) && osvi.dwMajorVersion >= 6;
    if (!PathBesideModule(ghInstDLL, QUORBIT_HTML_HELP_FILE, szHtmlHelp, MAX_PATH) ||
        !PathBesideModule(ghInstDLL, QUORBIT_HELP_FILE, szWinHelp, MAX_PATH))
    {
        lstrcpyA(szHtmlHelp, QUORBIT_HTML_HELP_FILE);
        lstrcpyA(szWinHelp, QUORBIT_HELP_FILE);
        fShown = FALSE;
    }
    else if (fVista)
        fShown = OpenHtmlHelp(hOwner, szHtmlHelp) || OpenWinHelp(szWinHelp);
    else
        fShown = OpenWinHelp(szWinHelp) || OpenHtmlHelp(hOwner, szHtmlHelp);
    if (!fShown)
    {
        wsprintfA(szText, "The help file %s could not be opened.", fVista ? szHtmlHelp : szWinHelp);
        ErrorMessageBox(hOwner, 0, NULL, szText);
    }
    return fShown;
}

void CloseHelpWindows(void)
{
    if (pfnHtmlHelpA != NULL)
        pfnHtmlHelpA(NULL, NULL, HH_CLOSE_ALL, 0);
}
