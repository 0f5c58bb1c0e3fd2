// Plays reg.exe of 32-bit Windows XP for the deployment script tests. XP's
// knows neither /reg:32 nor /reg:64, and its export has no /y: it answers
// them with "ERROR: Invalid syntax." and exit code 1. Everything else goes
// to Wine's own reg.exe, copied into the system folder as winereg.exe.
// The tests install this program as the system folder's reg.exe and run
// it with WINEDLLOVERRIDES=reg.exe=n, or Wine starts its built-in one.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string>

int main()
{
    int cArgs = 0;
    LPWSTR* ppwszArgs = CommandLineToArgvW(GetCommandLineW(), &cArgs);
    if (ppwszArgs == NULL)
        return 1;
    bool fExport = cArgs > 1 && lstrcmpiW(ppwszArgs[1], L"export") == 0;
    bool fUnknown = false;
    for (int i = 1; i < cArgs; i++)
        fUnknown = fUnknown || lstrcmpiW(ppwszArgs[i], L"/reg:32") == 0 ||
                   lstrcmpiW(ppwszArgs[i], L"/reg:64") == 0 || (fExport && lstrcmpiW(ppwszArgs[i], L"/y") == 0);
    LocalFree(ppwszArgs);
    if (fUnknown)
    {
        printf("\nERROR: Invalid syntax.\n");
        return 1;
    }

    // The arguments as they were given, after the program's own name.
    const wchar_t* pwszArgs = GetCommandLineW();
    if (*pwszArgs == L'"')
        pwszArgs = wcschr(pwszArgs + 1, L'"') != NULL ? wcschr(pwszArgs + 1, L'"') + 1 : L"";
    else
        pwszArgs += wcscspn(pwszArgs, L" \t");
    wchar_t wszSystem[MAX_PATH];
    GetSystemDirectoryW(wszSystem, MAX_PATH);
    std::wstring cmdLine = std::wstring(L"\"") + wszSystem + L"\\winereg.exe\"" + pwszArgs;

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(NULL, &cmdLine[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi))
        return 1;
    DWORD dwExit = 1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return (int)dwExit;
}
