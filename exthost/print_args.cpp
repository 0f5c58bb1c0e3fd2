// A sample handler program: shows the command line it was started with
// and each argument. When QUORBIT_DEMO_OUT names a file, the same lines
// are appended there, since a handler runs in a console of its own.
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    char szOut[MAX_PATH];
    FILE* pFiles[2] = {stdout, NULL};
    DWORD cch = GetEnvironmentVariableA("QUORBIT_DEMO_OUT", szOut, MAX_PATH);

    if (cch > 0 && cch < MAX_PATH)
        pFiles[1] = fopen(szOut, "a");
    for (FILE* pFile : pFiles)
    {
        if (pFile == NULL)
            continue;
        fprintf(pFile, "print_args: command line: %s\n", GetCommandLineA());
        for (int i = 1; i < argc; i++)
            fprintf(pFile, "print_args: argument %d: %s\n", i, argv[i]);
        fflush(pFile);
    }
    if (pFiles[1] != NULL)
        fclose(pFiles[1]);
    return 0;
}
