#include "played_system.h"
#include <mapicode.h>

std::vector<std::string> PlayedSystem::editorStarts;
std::vector<std::string> PlayedSystem::launches;

static std::wstring strRefusedValue;
static int cRefusals = 0;
static bool fTokenVirtualized = false;
static DWORD dwTokenElevationType = 0;

static LONG WINAPI RefuseCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY phk, LPDWORD)
{
    *phk = NULL;
    return ERROR_ACCESS_DENIED;
}

static LONG WINAPI RefuseDelete(HKEY, LPCWSTR)
{
    return ERROR_ACCESS_DENIED;
}

static LONG WINAPI SetValueUnlessRefused(HKEY hk, LPCWSTR szValue, DWORD dwReserved, DWORD dwType, const BYTE* lpb,
                                         DWORD cb)
{
    if (cRefusals != 0 && szValue != NULL && strRefusedValue == szValue)
    {
        if (cRefusals > 0)
            cRefusals--;
        return ERROR_ACCESS_DENIED;
    }
    return RegSetValueExW(hk, szValue, dwReserved, dwType, lpb, cb);
}

static BOOL WINAPI PlayedTokenInformation(HANDLE, TOKEN_INFORMATION_CLASS tic, LPVOID pv, DWORD cb, PDWORD pcb)
{
    // Windows XP knows neither class.
    if (dwTokenElevationType == 0 || cb < sizeof(DWORD) ||
        (tic != TokenVirtualizationEnabled && tic != TokenElevationType))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *(DWORD*)pv = tic == TokenElevationType ? dwTokenElevationType : (DWORD)fTokenVirtualized;
    *pcb = sizeof(DWORD);
    return TRUE;
}

static BOOL WINAPI RecordEditorStart(LPSHELLEXECUTEINFOA lpsei)
{
    PlayedSystem::editorStarts.push_back(std::string(lpsei->lpVerb) + " " + lpsei->lpFile +
                                         (lpsei->fMask & SEE_MASK_NOCLOSEPROCESS ? " (waited for)" : ""));
    return TRUE;
}

static BOOL WINAPI RecordLaunch(LPCSTR lpApplication, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcess,
                                LPSECURITY_ATTRIBUTES lpThread, BOOL fInherit, DWORD dwFlags, LPVOID lpEnvironment,
                                LPCSTR lpFolder, LPSTARTUPINFOA lpsi, LPPROCESS_INFORMATION lppi)
{
    char szFlags[16];
    STARTUPINFOA siZero;
    ZeroMemory(&siZero, sizeof(siZero));
    siZero.cb = lpsi->cb;
    wsprintfA(szFlags, "%08X", dwFlags);
    PlayedSystem::launches.push_back(
        std::string("flags ") + szFlags + (fInherit ? ", handles inherited" : ", no handles inherited") +
        (lpProcess != NULL || lpThread != NULL ? ", security given" : "") + ", startup " + std::to_string(lpsi->cb) +
        " bytes" + (memcmp(lpsi, &siZero, sizeof(siZero)) != 0 ? " with fields set" : "") +
        (lpEnvironment != NULL ? ", environment given" : ""));
    return CreateProcessA(lpApplication, lpCommandLine, lpProcess, lpThread, fInherit, dwFlags, lpEnvironment,
                          lpFolder, lpsi, lppi);
}

static HRESULT WINAPI RefuseAllocation(ULONG, LPVOID* ppv)
{
    *ppv = NULL;
    return MAPI_E_NOT_ENOUGH_MEMORY;
}

PlayedSystem::PlayedSystem() : m_saved(gSystemCalls)
{
    gSystemCalls.pfnRegCreateKeyExA = RegCreateKeyExA;
    gSystemCalls.pfnRegSetValueExW = RegSetValueExW;
    gSystemCalls.pfnDeleteKey = DeleteOneKey;
    gSystemCalls.pfnGetTokenInformation = GetTokenInformation;
    gSystemCalls.pfnShellExecuteExA = RecordEditorStart;
    gSystemCalls.pfnCreateProcessA = RecordLaunch;
    gSystemCalls.pfnMAPIAllocateBuffer = NULL;
    editorStarts.clear();
    launches.clear();
}

PlayedSystem::~PlayedSystem()
{
    gSystemCalls = m_saved;
}

void PlayedSystem::RefuseCreates(bool fRefuse)
{
    gSystemCalls.pfnRegCreateKeyExA = fRefuse ? RefuseCreate : RegCreateKeyExA;
}

void PlayedSystem::RefuseDeletes(bool fRefuse)
{
    gSystemCalls.pfnDeleteKey = fRefuse ? RefuseDelete : DeleteOneKey;
}

void PlayedSystem::RefuseValueWrites(const char* szValue, int cTimes)
{
    strRefusedValue = szValue != NULL ? std::wstring(szValue, szValue + lstrlenA(szValue)) : L"";
    cRefusals = szValue != NULL ? cTimes : 0;
    gSystemCalls.pfnRegSetValueExW = szValue != NULL ? SetValueUnlessRefused : RegSetValueExW;
}

void PlayedSystem::PlayToken(bool fVirtualized, DWORD dwElevationType)
{
    fTokenVirtualized = fVirtualized;
    dwTokenElevationType = dwElevationType;
    gSystemCalls.pfnGetTokenInformation = PlayedTokenInformation;
}

void PlayedSystem::RefuseMapiAllocations()
{
    gSystemCalls.pfnMAPIAllocateBuffer = RefuseAllocation;
}
