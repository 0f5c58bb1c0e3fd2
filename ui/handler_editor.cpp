#include "handler_editor.h"
#include "full_paths.h"
#include "host_handles.h"
#include "error_box.h"
#include "system_calls.h"
#include "system_text.h"

void StartHandlerEditor(HWND hOwner)
{
    char szPath[MAX_PATH];
    char szReason[640];
    char szText[MAX_PATH + 720];
    SHELLEXECUTEINFOA sei;
    DWORD dwError = ERROR_FILE_NOT_FOUND;

    if (PathBesideModule(ghInstDLL, HANDLER_EDITOR_FILE, szPath, MAX_PATH))
    {
        if (gSystemCalls.pfnShellExecuteExA == NULL)
            gSystemCalls.pfnShellExecuteExA =
                (SHELLEXECUTEEXA)(void*)SystemProcAddress("shell32.dll", "ShellExecuteExA");
        ZeroMemory(&sei, sizeof(sei));
        sei.cbSize = sizeof(sei);
        // No SEE_MASK_NOCLOSEPROCESS: nothing is kept of the editor, and
        // the page lists the handlers afresh at its next activation.
        sei.fMask = SEE_MASK_FLAG_NO_UI;
        sei.hwnd = hOwner;
        sei.lpVerb = "runas";
        sei.lpFile = szPath;
        sei.nShow = SW_SHOWNORMAL;
        if (gSystemCalls.pfnShellExecuteExA != NULL && gSystemCalls.pfnShellExecuteExA(&sei))
            return;
        dwError = gSystemCalls.pfnShellExecuteExA != NULL ? GetLastError() : ERROR_PROC_NOT_FOUND;
    }
    else
        lstrcpyA(szPath, HANDLER_EDITOR_FILE);
    // No to Windows' question is the user's answer, not a failure.
    if (dwError == ERROR_CANCELLED)
        return;
    wsprintfA(szText, "The handler editor %s could not be started.\n\n%s", szPath,
              SystemErrorText(dwError, szPath, szReason, sizeof(szReason)));
    ErrorMessageBox(hOwner, 0, NULL, szText);
}
