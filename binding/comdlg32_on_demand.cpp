// comdlg32, bound at its first call (the definition dialog's Browse) rather
// than when the client loads the extension: loading comdlg32 pulls in the
// shell's DLLs, which multiplies the module's load time. The import slot
// the dialog code calls through is pointed here by the link (see
// CMakeLists.txt).
#include "full_paths.h"
#include <commdlg.h>

typedef BOOL(WINAPI* PFNGETOPENFILENAMEA)(LPOPENFILENAMEA lpofn);

static BOOL WINAPI GetOpenFileNameFirstCall(LPOPENFILENAMEA lpofn);

extern "C" PFNGETOPENFILENAMEA pfnGetOpenFileNameA;
PFNGETOPENFILENAMEA pfnGetOpenFileNameA = GetOpenFileNameFirstCall;

// Loads comdlg32 from the system folder for good and goes on to the real
// function. Without it the dialog answers as cancelled, with
// CommDlgExtendedError's "not found".
static BOOL WINAPI GetOpenFileNameFirstCall(LPOPENFILENAMEA lpofn)
{
    FARPROC pfn = SystemProcAddress("comdlg32.dll", "GetOpenFileNameA");

    if (pfn == NULL)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    pfnGetOpenFileNameA = (PFNGETOPENFILENAMEA)(void*)pfn;
    return pfnGetOpenFileNameA(lpofn);
}
