// Programs the tests start as a user at a command prompt would, with what
// they print read back.
#ifndef QUORBIT_TEST_RUN_COMMAND_H
#define QUORBIT_TEST_RUN_COMMAND_H

#include <windows.h>
#include <string>

// Runs cmdLine in dir (the current folder when empty) and waits for it;
// what it wrote to its output, with "\r" dropped, and its exit code.
bool RunCommand(const std::string& cmdLine, const std::string& dir, std::string* pOutput, DWORD* pdwExit);

#endif
