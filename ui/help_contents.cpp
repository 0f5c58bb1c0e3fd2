#include "help_contents.h"
#include "host_handles.h"
#include "message_check.h"
#include <htmlhelp.h>

typedef HWND(WINAPI* HTMLHELPA)(HWND, LPCSTR, UINT, DWORD_PTR);

// hhctrl.ocx is loaded at the first Help, not with the extension.
static HTMLHELPA pfnHtmlHelpA = NULL;

// szFile beside this module, in szPath (MAX_PATH characters); FALSE when
// the path does not fit.
static BOOL PathBesideModule(const char* szFile, char* szPath)
{
    DWORD cch = GetModuleFileNameA(ghInstDLL, szPath, MAX_PATH);
    char* pName = szPath;

    if (cch == 0 || cch >= MAX_PATH)
        return FALSE;
    for (char* p = szPath; *p != '\0'; p = CharNextA(p))
    {
        if (*p == '\\')
            pName = p + 1;
    }
    if ((pName - szPath) + lstrlenA(szFile) >= MAX_PATH)
        return FALSE;
    lstrcpyA(pName, szFile);
    return TRUE;
}

static BOOL FileExists(const char* szPath)
{
    DWORD dwAttributes = GetFileAttributesA(szPath);

    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// HTML Help from the system folder, never from wherever a bare name leads.
static HTMLHELPA BindHtmlHelp(void)
{
    char szPath[MAX_PATH + 16];
    UINT cch = GetSystemDirectoryA(szPath, MAX_PATH);
    HMODULE hHhctrl;

    if (cch == 0 || cch >= MAX_PATH)
        return NULL;
    lstrcatA(szPath, "\\hhctrl.ocx");
    hHhctrl = LoadLibraryA(szPath);
    return hHhctrl != NULL ? (HTMLHELPA)(void*)GetProcAddress(hHhctrl, "HtmlHelpA") : NULL;
}

static BOOL OpenHtmlHelp(HWND hOwner, const char* szPath)
{
    if (!FileExists(szPath))
        return FALSE;
    if (pfnHtmlHelpA == NULL)
        pfnHtmlHelpA = BindHtmlHelp();
    return pfnHtmlHelpA != NULL && pfnHtmlHelpA(hOwner, szPath, HH_DISPLAY_TOPIC, 0) != NULL;
}

static BOOL OpenWinHelp(HWND hOwner, const char* szPath)
{
    return FileExists(szPath) && WinHelpA(hOwner, szPath, HELP_CONTENTS, 0);
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
    if (!PathBesideModule(QUORBIT_HTML_HELP_FILE, szHtmlHelp) || !PathBesideModule(QUORBIT_HELP_FILE, szWinHelp))
    {
        lstrcpyA(szHtmlHelp, QUORBIT_HTML_HELP_FILE);
        lstrcpyA(szWinHelp, QUORBIT_HELP_FILE);
        fShown = FALSE;
    }
    else if (fVista)
        fShown = OpenHtmlHelp(hOwner, szHtmlHelp) || OpenWinHelp(hOwner, szWinHelp);
    else
        fShown = OpenWinHelp(hOwner, szWinHelp) || OpenHtmlHelp(hOwner, szHtmlHelp);
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
