// The test side of the recorder program (tests/recorder): where it is and
// what it wrote.
#ifndef QUORBIT_TEST_RECORDER_CLIENT_H
#define QUORBIT_TEST_RECORDER_CLIENT_H

#include <string>
#include <vector>

// The folder of the test programs, recorder.exe and the DLL among them.
std::string BinDir();

// Full path of recorder.exe, built beside the test programs.
std::string RecorderPath();

// Points the recorder at a fresh output file and returns its path.
std::string PrepareRecording();

// What the program read besides its command line: the folder it started
// in, and its arguments as its C runtime split them, its own name first.
struct ProgramWorld
{
    std::string folder;
    std::vector<std::string> args;
};

// Waits up to timeoutMs for the recorder's output; false if none came.
bool WaitForRecording(const std::string& path, std::string* pCmdLine, int timeoutMs = 15000,
                      ProgramWorld* pWorld = nullptr);

#endif
