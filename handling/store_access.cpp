#include "store_access.h"
#include "system_calls.h"

// One DWORD-sized class of the token; FALSE when the system has no such class.
static BOOL QueryToken(HANDLE hToken, TOKEN_INFORMATION_CLASS tic, DWORD* pdw)
{
    DWORD cb = 0;

    return gSystemCalls.pfnGetTokenInformation(hToken, tic, pdw, sizeof(*pdw), &cb) && cb == sizeof(*pdw);
}

void GetStoreAccess(STOREACCESS* lpAccess)
{
    HANDLE hToken = NULL;
    DWORD dwVirtualized = 0;
    DWORD dwElevationType = 0;

    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return;
    if (QueryToken(hToken, TokenVirtualizationEnabled, &dwVirtualized))
        lpAccess->fVirtualized = dwVirtualized != 0;
    if (QueryToken(hToken, TokenElevationType, &dwElevationType))
        lpAccess->fLimited = dwElevationType == (DWORD)TokenElevationTypeLimited;
    CloseHandle(hToken);
}
