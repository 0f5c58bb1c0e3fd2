// handler-import.exe FILE.reg: imports message handlers from a registry
// export into HKEY_LOCAL_MACHINE\SOFTWARE\Quorbit\Message Handlers, the way
// import-handlers.cmd promises. The file is opened and read once; what was
// read is checked whole and then written by this program, so no other
// reader can see other lines, or another file, than the ones checked. As a
// 32-bit program it writes the 32-bit view on 64-bit Windows, the one the
// client reads, and its manifest keeps Windows from virtualizing a write
// that HKLM refuses.
//
// Exit code 0: imported; 1: nothing was imported, and it says why; 2: usage.
#include "reg_import.h"
#include <shellapi.h>

int main()
{
    int iResult = 2;
    int cArgs = 0;
    LPWSTR* ppwszArgs = CommandLineToArgvW(GetCommandLineW(), &cArgs);
    HANDLE hHeap = HeapCreate(0, 0, 0);
    HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD cbWritten = 0;

    if (ppwszArgs == NULL || hHeap == NULL)
        iResult = 1;
    else if (cArgs != 2)
        WriteFile(hOut, "usage: handler-import.exe FILE.reg\r\n", 36, &cbWritten, NULL);
    else
        iResult = ImportRegFile(hHeap, ppwszArgs[1], hOut, IMPORT_WAIT_MS, NULL);
    if (hHeap != NULL)
        HeapDestroy(hHeap);
    if (ppwszArgs != NULL)
        LocalFree(ppwszArgs);
    return iResult;
}
