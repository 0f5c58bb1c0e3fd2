// Figures of handler-import.exe on large files, each imported into an
// empty store by a fresh process: its time, its peak memory beside the
// file's size, and the progress lines it printed.
//  1. 10,000 handlers and 20,000 handlers, as export-handlers.cmd writes
//     them (UTF-16), and 10,000 again: the time grows with the file, no
//     faster;
//  2. 5,000 keys 500 levels deep, sharing their first 499 (REGEDIT4);
//  3. the removal of a tree of 2,000 keys, once and 200 times in one file:
//     the time grows with the keys removed, not with the lines.
#include "bench_clock.h"
#include "recorder_client.h"
#include "test_registry.h"
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

// A file of the benchmark's own, in the temporary folder.
static std::string Scratch(const char* szFile)
{
    char sz[MAX_PATH];
    GetTempPathA(MAX_PATH, sz);
    return std::string(sz) + szFile;
}

#define ROOT "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorbit\\Message Handlers"

static std::string Handlers(int cHandlers)
{
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    char sz[512];
    for (int i = 0; i < cHandlers; i++)
    {
        wsprintfA(sz,
                  "[" ROOT "\\Handler %d]\r\n\"ConfirmDialog\"=dword:00000000\r\n\"Debug\"=dword:00000000\r\n"
                  "\"FilePath\"=\"C:\\\\Tools\\\\import%d.exe\"\r\n\"PreventOpen\"=dword:00000001\r\n"
                  "\"SenderEmailAddress\"=\"orders%d@example.com\"\r\n\r\n",
                  i, i, i);
        text += sz;
    }
    return text;
}

static std::string DeepKeys(int cKeys, int cLevels)
{
    std::string prefix = "[" ROOT;
    std::string text = "REGEDIT4\r\n\r\n";
    char sz[32];
    for (int i = 1; i < cLevels; i++)
        prefix += "\\a";
    for (int i = 0; i < cKeys; i++)
    {
        wsprintfA(sz, "\\k%d]\r\n", i);
        text += prefix + sz;
    }
    return text;
}

// 100 handlers with 19 keys below each, 2,000 keys in all, below Big.
static void MakeBigTree()
{
    char sz[160];
    for (int i = 0; i < 100; i++)
    {
        wsprintfA(sz, "Big\\Handler %d", i);
        StoreHandler(sz, "big@example.com", "C:\\Tools\\big.exe");
        for (int j = 0; j < 19; j++)
        {
            HKEY hk = NULL;
            wsprintfA(sz, TEST_ROOT_KEY "\\Big\\Handler %d\\Part %d", i, j);
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, sz, 0, NULL, 0, KEY_WRITE, NULL, &hk, NULL);
            RegCloseKey(hk);
        }
    }
}

static std::string Removals(int cRemovals)
{
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    while (cRemovals-- > 0)
        text += "[-" ROOT "\\Big]\r\n";
    return text;
}

// Imports text from a file of its own into the store pfnSetup makes, empty
// without one; prints the figures and answers the time.
static double Measure(const char* szWhat, const std::string& text, bool fUtf16, void (*pfnSetup)() = NULL)
{
    const std::string file = Scratch("bench-import.reg");
    const std::string out = Scratch("bench-import.txt");
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    PROCESS_MEMORY_COUNTERS pmc;
    std::string cmd = "\"" + BinDir() + "\\handler-import.exe\" \"" + file + "\"";
    DWORD dwExit = 99;
    char szSaid[4096] = "";
    DWORD cbSaid = 0;
    int cProgress = 0;

    ResetStore();
    if (pfnSetup != NULL)
        pfnSetup();
    WriteRegFile(file, text, fUtf16);
    HANDLE hOut = CreateFileA(out.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = hOut;
    double t0 = Seconds();
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi))
    {
        printf("%s: handler-import.exe did not start\n", szWhat);
        return 0;
    }
    // The peak as it goes: once the process is gone, Wine may tell none.
    ZeroMemory(&pmc, sizeof(pmc));
    while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT)
    {
        PROCESS_MEMORY_COUNTERS now;
        ZeroMemory(&now, sizeof(now));
        now.cb = sizeof(now);
        if (GetProcessMemoryInfo(pi.hProcess, &now, sizeof(now)))
        {
            pmc.PeakPagefileUsage = std::max(pmc.PeakPagefileUsage, now.PeakPagefileUsage);
            pmc.PeakWorkingSetSize = std::max(pmc.PeakWorkingSetSize, now.PeakWorkingSetSize);
        }
    }
    double t1 = Seconds();
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    SetFilePointer(hOut, 0, NULL, FILE_BEGIN);
    ReadFile(hOut, szSaid, sizeof(szSaid) - 1, &cbSaid, NULL);
    CloseHandle(hOut);
    szSaid[cbSaid] = '\0';
    for (const char* p = szSaid; (p = strstr(p, " of ")) != NULL; p++)
        cProgress++;
    const double mbFile = (fUtf16 ? 2.0 : 1.0) * (double)text.size() / 1048576.0;
    printf("%s: %.1f MB file, exit %lu, %.2f s, peak memory %.1f MB (private) %.1f MB (working set), "
           "%.1f times the file, %d progress lines\n",
           szWhat, mbFile, dwExit, t1 - t0, (double)pmc.PeakPagefileUsage / 1048576.0,
           (double)pmc.PeakWorkingSetSize / 1048576.0, (double)pmc.PeakPagefileUsage / 1048576.0 / mbFile,
           cProgress);
    const char* pLast = strrchr(szSaid, '\n');
    while (pLast != NULL && pLast > szSaid && pLast[-1] != '\n')
        pLast--;
    printf("  first line: %.*s  last line: %s", (int)(strchr(szSaid, '\n') - szSaid + 1), szSaid,
           pLast != NULL ? pLast : "\n");
    DeleteFileA(file.c_str());
    DeleteFileA(out.c_str());
    ResetStore();
    return t1 - t0;
}

// --handlers: the handler files only.
int main(int argc, char** argv)
{
    Measure("10,000 handlers", Handlers(10000), true);
    Measure("20,000 handlers", Handlers(20000), true);
    Measure("10,000 handlers again", Handlers(10000), true);
    if (argc < 2 || strcmp(argv[1], "--handlers") != 0)
    {
        Measure("5,000 keys 500 levels deep", DeepKeys(5000, 500), false);
        const double dOne = Measure("1 removal of a 2,000-key tree", Removals(1), true, MakeBigTree);
        const double dMany = Measure("200 removals of a 2,000-key tree", Removals(200), true, MakeBigTree);
        printf("200 removals of a 2,000-key tree: %.1f times the time of one\n", dOne > 0 ? dMany / dOne : 0.0);
    }
    return 0;
}
