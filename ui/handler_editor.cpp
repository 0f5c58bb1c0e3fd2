#include "handler_editor.h"
#include "host_handles.h"
#include "message_check.h"
#include "system_text.h"

SHELLEXECUTEEXA pfnShellExecuteExA = NULL;

// shell32 from the system folder, never from wherever a bare name leads.
static SHELLEXECUTEEXA BindShellExecuteEx(void)
{
    char szPath[MAX_PATH + 16];
    UINT cch = GetSystemDirectoryA(szPath, MAX_PATH);
    HMODULE hShell;

    if (cch == 0 || cch >= MAX_PATH)
        return NULL;
    lstrcatA(szPath, "\\shell32.dll");
    hShell = LoadLibraryA(szPath);
    return hShell != NULL ? (SHELLEXECUTEEXA)(void*)GetProcAddress(hShell, "ShellExecuteExA") : NULL;
}

void StartHandlerEditor(HWND hOwner)
{
    char szPath[MAX_PATH + sizeof(HANDLER_EDITOR_FILE)];
    char szReason[256];
    char szText[MAX_PATH + 400];
    SHELLEXECUTEINFOA sei;
    DWORD cch = GetModuleFileNameA(ghInstDLL, szPath, MAX_PATH);
    DWORD dwError = ERROR_FILE_NOT_FOUND;
    char* pName = szPath;

    if (cch > 0 && cch < MAX_PATH)
    {
        for (char* p = szPath; *p != '\0'; p = CharNextA(p))
            if (*p == '\\')
                pName = p + 1;
        lstrcpyA(pName, HANDLER_EDITOR_FILE);
        if (pfnShellExecuteExA == NULL)
            pfnShellExecuteExA = BindShellExecuteEx();
        ZeroMemory(&sei, sizeof(sei));
        sei.cbSize = sizeof(sei);
        // No SEE_MASK_NOCLOSEPROCESS: nothing is kept of the editor, and
        // the page lists the handlers afresh at its next activation.
        sei.fMask = SEE_MASK_FLAG_NO_UI;
        sei.hwnd = hOwner;
        sei.lpVerb = "runas";
        sei.lpFile = szPath;
        sei.nShow = SW_SHOWNORMAL;
        if (pfnShellExecuteExA != NULL && pfnShellExecuteExA(&sei))
            return;
        dwError = pfnShellExecuteExA != NULL ? GetLastError() : ERROR_PROC_NOT_FOUND;
    }
    else
        lstrcpyA(szPath, HANDLER_EDITOR_FILE);
    // No to Windows' question is the user's answer, not a failure.
    if (dwError == ERROR_CANCELLED)
        return;
    wsprintfA(szText, "The handler editor %s could not be started.\n\n%s", szPath,
              SystemErrorText(dwError, szReason, sizeof(szReason)));
    ErrorMessageBox(hOwner, 0, NULL, szText);
}
