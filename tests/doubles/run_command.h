// Programs the tests start as a user at a command prompt would, with what
// they print read back.
#ifndef QUORBIT_TEST_RUN_COMMAND_H
#define QUORBIT_TEST_RUN_COMMAND_H

#include <windows.h>
#include <string>

// Runs cmdLine in dir (the current folder when empty), with an empty
// input, and waits for it up to msLimit: what it wrote to its output, with
// "\r" dropped, and its exit code. False when it could not start, and when
// it did not end in time (a program that waits for an answer): it is then
// ended, and the output says so.
bool RunCommand(const std::string& cmdLine, const std::string& dir, std::string* pOutput, DWORD* pdwExit,
                DWORD msLimit = 60000);

#endif
