#include "recorder_client.h"
#include <windows.h>

std::string BinDir()
{
    char sz[MAX_PATH];
    GetModuleFileNameA(NULL, sz, MAX_PATH);
    std::string s = sz;
    return s.substr(0, s.find_last_of('\\'));
}

std::string RecorderPath()
{
    return BinDir() + "\\recorder.exe";
}

std::string PrepareRecording()
{
    static int n = 0;
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // The row's own mark: Wine soon gives a later test process the same
    // identifier, and a program a row started late must not be read as the
    // next row's.
    std::string path = std::string(szTemp) + "quorbit-recorder-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++n) + "-" + std::to_string(now.QuadPart) + ".txt";
    DeleteFileA(path.c_str());
    SetEnvironmentVariableA("QUORBIT_RECORDER_OUT", path.c_str());
    return path;
}

bool WaitForRecording(const std::string& path, std::string* pCmdLine, int timeoutMs, ProgramWorld* pWorld)
{
    for (int waited = 0; waited <= timeoutMs; waited += 50)
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (h != INVALID_HANDLE_VALUE)
        {
            // The longest command line, and its arguments once more.
            std::vector<char> buf(3 * 32768);
            DWORD cb = 0;
            ReadFile(h, buf.data(), (DWORD)buf.size(), &cb, NULL);
            CloseHandle(h);
            std::vector<std::string> pieces(1);
            for (DWORD i = 0; i < cb; i++)
            {
                if (buf[i] != '\0')
                    pieces.back() += buf[i];
                else
                    pieces.emplace_back();
            }
            DeleteFileA(path.c_str());
            // Written for another row: not this one's.
            if (pieces[0] != path || pieces.size() < 2)
                continue;
            *pCmdLine = pieces[1];
            if (pWorld != nullptr && pieces.size() > 2)
                *pWorld = {pieces[2], std::vector<std::string>(pieces.begin() + 3, pieces.end())};
            return true;
        }
        Sleep(50);
    }
    return false;
}
