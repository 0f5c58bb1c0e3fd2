// Ends as a program that crashed does: with the exception's code, which
// cmd.exe reads as a negative exit code.
#include <windows.h>

int main()
{
    return (int)EXCEPTION_ACCESS_VIOLATION;
}
