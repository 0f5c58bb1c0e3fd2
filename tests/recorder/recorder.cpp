// Stands in for a handler program: writes what it was started with to the
// file named by QUORBIT_RECORDER_OUT: that name, the mark of the row that
// started it; its command line, byte for byte; then the folder it started
// in and its arguments as its C runtime split them, its own name first;
// each after a NUL.
#include <windows.h>
#include <stdlib.h>

static void WritePiece(HANDLE hFile, const char* szPiece, BOOL fFirst)
{
    DWORD cbWritten = 0;
    if (!fFirst)
        WriteFile(hFile, "", 1, &cbWritten, NULL);
    WriteFile(hFile, szPiece, lstrlenA(szPiece), &cbWritten, NULL);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szOut[MAX_PATH];
    char szTemp[MAX_PATH + 8];
    char szFolder[MAX_PATH] = "";
    DWORD cch = GetEnvironmentVariableA("QUORBIT_RECORDER_OUT", szOut, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return 2;
    lstrcpyA(szTemp, szOut);
    lstrcatA(szTemp, ".tmp");

    HANDLE hFile = CreateFileA(szTemp, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return 3;
    GetCurrentDirectoryA(MAX_PATH, szFolder);
    WritePiece(hFile, szOut, TRUE);
    WritePiece(hFile, GetCommandLineA(), FALSE);
    WritePiece(hFile, szFolder, FALSE);
    for (int i = 0; i < __argc; i++)
        WritePiece(hFile, __argv[i], FALSE);
    CloseHandle(hFile);
    // Appears whole or not at all.
    return MoveFileExA(szTemp, szOut, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
