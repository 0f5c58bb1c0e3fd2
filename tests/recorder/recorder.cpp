// Stands in for a handler program: writes the command line it was started
// with, byte for byte, to the file named by QUORBIT_RECORDER_OUT.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szOut[MAX_PATH];
    char szTemp[MAX_PATH + 8];
    DWORD cch = GetEnvironmentVariableA("QUORBIT_RECORDER_OUT", szOut, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return 2;
    lstrcpyA(szTemp, szOut);
    lstrcatA(szTemp, ".tmp");

    HANDLE hFile = CreateFileA(szTemp, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return 3;
    const char* lpszCmdLine = GetCommandLineA();
    DWORD cbWritten = 0;
    WriteFile(hFile, lpszCmdLine, lstrlenA(lpszCmdLine), &cbWritten, NULL);
    CloseHandle(hFile);
    // Appears whole or not at all.
    return MoveFileExA(szTemp, szOut, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
