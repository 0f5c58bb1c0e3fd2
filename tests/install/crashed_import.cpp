// Ends as a program that crashed does: with the exception's code, which
// cmd.exe reads as a negative exit code. Given crash.reg, it really
// crashes, with an access violation.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc > 1 && lstrcmpA(argv[1], "crash.reg") == 0)
    {
        volatile int* p = NULL;
        *p = 1;
    }
    return (int)EXCEPTION_ACCESS_VIOLATION;
}
