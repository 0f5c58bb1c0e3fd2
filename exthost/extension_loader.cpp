#include "extension_loader.h"
#include <stdlib.h>
#include <string.h>

#define EXTENSIONS_KEY QUORBIT_EXTENSIONS_KEY

// Copies at most cch - 1 characters of szSrc up to chStop; returns where
// the copy stopped in szSrc.
static const char* CopyField(char* szDest, int cch, const char* szSrc, char chStop)
{
    int i = 0;
    while (*szSrc != '\0' && *szSrc != chStop)
    {
        if (i < cch - 1)
            szDest[i++] = *szSrc;
        szSrc++;
    }
    szDest[i] = '\0';
    return szSrc;
}

HRESULT ParseRegistration(const char* szSpec, const char* szDefaultMap, LoadedExtension* pExt)
{
    char szVersion[16];
    char szOrdinal[16];
    char szMap[CCH_CONTEXT_MAP + 1];
    const char* p;
    char* pEnd = NULL;
    unsigned long ulOrdinal;
    int i;

    ZeroMemory(pExt, sizeof(*pExt));
    if (lstrcmpA(szSpec, "") == 0)
        return E_INVALIDARG;
    if (strchr(szSpec, ';') == NULL)
    {
        // A path alone.
        lstrcpynA(pExt->szPath, szSpec, MAX_PATH);
        lstrcpynA(pExt->szContextMap, szDefaultMap, CCH_CONTEXT_MAP);
        return S_OK;
    }

    p = CopyField(szVersion, sizeof(szVersion), szSpec, ';');
    if (lstrcmpA(szVersion, "4.0") != 0 || *p != ';')
        return E_INVALIDARG;
    p = CopyField(pExt->szPath, MAX_PATH, p + 1, ';');
    if (*p != ';' || pExt->szPath[0] == '\0')
        return E_INVALIDARG;
    p = CopyField(szOrdinal, sizeof(szOrdinal), p + 1, ';');
    ulOrdinal = strtoul(szOrdinal, &pEnd, 10);
    if (szOrdinal[0] == '\0' || *pEnd != '\0' || ulOrdinal == 0 || ulOrdinal > 0xFFFF)
        return E_INVALIDARG;
    pExt->wOrdinal = (WORD)ulOrdinal;
    // The map may be missing or short: contexts it does not name are off.
    if (*p == ';')
        CopyField(szMap, sizeof(szMap), p + 1, ';');
    else
        szMap[0] = '\0';
    for (i = 0; i < CCH_CONTEXT_MAP - 1; i++)
    {
        if (szMap[i] == '\0')
            break;
        if (szMap[i] != '0' && szMap[i] != '1')
            return E_INVALIDARG;
        pExt->szContextMap[i] = szMap[i];
    }
    for (; i < CCH_CONTEXT_MAP - 1; i++)
        pExt->szContextMap[i] = '0';
    pExt->szContextMap[CCH_CONTEXT_MAP - 1] = '\0';
    return S_OK;
}

HRESULT ReadRegistration(const char* szName, char* szLine, DWORD cchLine)
{
    static const struct { HKEY hRoot; REGSAM samView; } places[] = {
        {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}, {HKEY_CURRENT_USER, 0}};
    HRESULT hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

    for (size_t i = 0; i < sizeof(places) / sizeof(places[0]) && FAILED(hr); i++)
    {
        HKEY hKey = NULL;
        DWORD dwType = 0;
        DWORD cb = cchLine - 1;
        if (RegOpenKeyExA(places[i].hRoot, EXTENSIONS_KEY, 0, KEY_QUERY_VALUE | places[i].samView, &hKey) !=
            ERROR_SUCCESS)
            continue;
        ZeroMemory(szLine, cchLine);
        if (RegQueryValueExA(hKey, szName, NULL, &dwType, (BYTE*)szLine, &cb) == ERROR_SUCCESS &&
            dwType == REG_SZ)
            hr = S_OK;
        RegCloseKey(hKey);
    }
    return hr;
}

HRESULT LoadExtensionModule(LoadedExtension* pExt)
{
    HRESULT hr = S_OK;

    pExt->hModule = LoadLibraryA(pExt->szPath);
    if (pExt->hModule == NULL)
        return HRESULT_FROM_WIN32(GetLastError());
    pExt->pfnEntryPoint = (LPEXCHENTRYPOINT)(void*)GetProcAddress(
        pExt->hModule, pExt->wOrdinal != 0 ? MAKEINTRESOURCEA(pExt->wOrdinal) : "ExchEntryPoint");
    if (pExt->pfnEntryPoint == NULL)
    {
        hr = HRESULT_FROM_WIN32(GetLastError());
        FreeLibrary(pExt->hModule);
        pExt->hModule = NULL;
    }
    return hr;
}

BOOL ContextInMap(const LoadedExtension* pExt, ULONG eecontext)
{
    return eecontext >= 1 && eecontext <= 14 && pExt->szContextMap[eecontext - 1] == '1';
}
