#include "run_command.h"
#include <vector>

bool RunCommand(const std::string& cmdLine, const std::string& dir, std::string* pOutput, DWORD* pdwExit)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hRead = NULL, hWrite = NULL;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0))
        return false;
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hWrite;
    si.hStdError = hWrite;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi;
    std::vector<char> buf(cmdLine.begin(), cmdLine.end());
    buf.push_back('\0');
    BOOL fStarted = CreateProcessA(NULL, buf.data(), NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL,
                                   dir.empty() ? NULL : dir.c_str(), &si, &pi);
    CloseHandle(hWrite);
    if (!fStarted)
    {
        CloseHandle(hRead);
        return false;
    }
    char chunk[4096];
    DWORD cb = 0;
    pOutput->clear();
    while (ReadFile(hRead, chunk, sizeof(chunk), &cb, NULL) && cb > 0)
    {
        for (DWORD i = 0; i < cb; i++)
            if (chunk[i] != '\r')
                pOutput->push_back(chunk[i]);
    }
    WaitForSingleObject(pi.hProcess, 60000);
    GetExitCodeProcess(pi.hProcess, pdwExit);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(hRead);
    return true;
}
