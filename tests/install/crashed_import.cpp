// Ends as a program that crashed does: with the exception's code, which
// cmd.exe reads as a negative exit code. Given crash.reg, it really
// crashes, with an access violation.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc > 1 && lstrcmpA(argv[1], "crash.reg") == 0)
    {
        // No box waits for a person, and Wine's report of the crash goes
        // nowhere, as it would on Windows.
        volatile int* p = NULL;
        HANDLE hNul = CreateFileA("NUL", GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        SetStdHandle(STD_OUTPUT_HANDLE, hNul);
        SetStdHandle(STD_ERROR_HANDLE, hNul);
        SetErrorMode(SEM_NOGPFAULTERRORBOX);
        *p = 1;
    }
    return (int)EXCEPTION_ACCESS_VIOLATION;
}
