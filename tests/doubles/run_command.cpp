#include "run_command.h"
#include <vector>

// Appends what the pipe holds now, without waiting for more.
static void ReadAvailable(HANDLE hRead, std::string* pOutput)
{
    char chunk[4096];
    DWORD cbAvailable = 0;
    DWORD cb = 0;

    while (PeekNamedPipe(hRead, NULL, 0, NULL, &cbAvailable, NULL) && cbAvailable > 0 &&
           ReadFile(hRead, chunk, sizeof(chunk), &cb, NULL) && cb > 0)
    {
        for (DWORD i = 0; i < cb; i++)
            if (chunk[i] != '\r')
                pOutput->push_back(chunk[i]);
    }
}

bool RunCommand(const std::string& cmdLine, const std::string& dir, std::string* pOutput, DWORD* pdwExit,
                DWORD msLimit)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hRead = NULL, hWrite = NULL;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0))
        return false;
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    // An input that is at its end: a program that asks is answered nothing.
    HANDLE hInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, NULL);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hWrite;
    si.hStdError = hWrite;
    si.hStdInput = hInput;
    PROCESS_INFORMATION pi;
    std::vector<char> buf(cmdLine.begin(), cmdLine.end());
    buf.push_back('\0');
    // In a job of its own, so that a hung program ends with whatever it
    // started (a script's reg.exe waiting for an answer).
    HANDLE hJob = CreateJobObjectA(NULL, NULL);
    BOOL fStarted = CreateProcessA(NULL, buf.data(), NULL, NULL, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED, NULL,
                                   dir.empty() ? NULL : dir.c_str(), &si, &pi);
    DWORD dwStartError = fStarted ? 0 : GetLastError();
    CloseHandle(hWrite);
    if (hInput != INVALID_HANDLE_VALUE)
        CloseHandle(hInput);
    if (!fStarted)
    {
        // Said, so that no earlier run's output is taken for this one's.
        *pOutput = "[" + cmdLine + " could not be started: error " + std::to_string(dwStartError) + "]\n";
        CloseHandle(hRead);
        CloseHandle(hJob);
        return false;
    }
    if (hJob != NULL)
        AssignProcessToJobObject(hJob, pi.hProcess);
    ResumeThread(pi.hThread);
    // Read while waiting: a program that fills the pipe would otherwise
    // never end.
    pOutput->clear();
    DWORD dwStart = GetTickCount();
    bool fEnded = false;
    while (!(fEnded = WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) && GetTickCount() - dwStart < msLimit)
        ReadAvailable(hRead, pOutput);
    ReadAvailable(hRead, pOutput);
    if (!fEnded)
    {
        if (hJob == NULL || !TerminateJobObject(hJob, WAIT_TIMEOUT))
            TerminateProcess(pi.hProcess, WAIT_TIMEOUT);
        WaitForSingleObject(pi.hProcess, 5000);
        *pOutput += "\n[" + cmdLine + " hung: ended after " + std::to_string(msLimit / 1000) + " s]\n";
    }
    GetExitCodeProcess(pi.hProcess, pdwExit);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(hRead);
    if (hJob != NULL)
        CloseHandle(hJob);
    return fEnded;
}
