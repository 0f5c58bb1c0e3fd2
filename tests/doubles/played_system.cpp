#include "played_system.h"

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

// The entries of an environment block.
static std::vector<std::wstring> EnvironmentEntries(LPCWSTR lpszBlock)
{
    std::vector<std::wstring> entries;
    for (LPCWSTR p = lpszBlock; *p != L'\0'; p += entries.back().size() + 1)
        entries.push_back(p);
    return entries;
}

// Whether entry a comes before entry b as the system sorts names: ordinal,
// without case; a leading "=" is part of a name.
static bool NameBefore(const std::wstring& a, const std::wstring& b)
{
    std::wstring nameA = a.substr(0, a.find(L'=', 1)), nameB = b.substr(0, b.find(L'=', 1));
    CharUpperBuffW(&nameA[0], (DWORD)nameA.size());
    CharUpperBuffW(&nameB[0], (DWORD)nameB.size());
    return nameA < nameB;
}

// The environment a program got, against the client's: "the client's",
// then " and NAME=VALUE" for each entry added, " out of order" where the
// sorted names do not put it, and " without NAME=VALUE" for one left out.
static std::string DescribeEnvironment(LPVOID lpEnvironment, DWORD dwFlags)
{
    if (lpEnvironment == NULL)
        return "the client's";
    if (!(dwFlags & CREATE_UNICODE_ENVIRONMENT))
        return "in 8-bit text";
    LPWCH lpszClient = GetEnvironmentStringsW();
    std::vector<std::wstring> given = EnvironmentEntries((LPCWSTR)lpEnvironment);
    std::vector<std::wstring> own = EnvironmentEntries(lpszClient);
    FreeEnvironmentStringsW(lpszClient);
    std::string description = "the client's";
    size_t j = 0;
    for (size_t i = 0; i < given.size(); i++)
    {
        if (j < own.size() && given[i] == own[j])
        {
            j++;
            continue;
        }
        description += " and " + std::string(given[i].begin(), given[i].end());
        if ((i > 0 && !NameBefore(given[i - 1], given[i])) || (i + 1 < given.size() && !NameBefore(given[i], given[i + 1])))
            description += " out of order";
    }
    if (j < own.size())
        description += " without " + std::string(own[j].begin(), own[j].end());
    return description;
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
        " bytes" + (memcmp(lpsi, &siZero, sizeof(siZero)) != 0 ? " with fields set" : "") + ", environment " +
        DescribeEnvironment(lpEnvironment, dwFlags));
    return CreateProcessA(lpApplication, lpCommandLine, lpProcess, lpThread, fInherit, dwFlags, lpEnvironment,
                          lpFolder, lpsi, lppi);
}

PlayedSystem::PlayedSystem() : m_saved(gSystemCalls)
{
    gSystemCalls.pfnRegCreateKeyExA = RegCreateKeyExA;
    gSystemCalls.pfnRegSetValueExW = RegSetValueExW;
    gSystemCalls.pfnDeleteKey = DeleteOneKey;
    gSystemCalls.pfnGetTokenInformation = GetTokenInformation;
    gSystemCalls.pfnShellExecuteExA = RecordEditorStart;
    gSystemCalls.pfnCreateProcessA = RecordLaunch;
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
