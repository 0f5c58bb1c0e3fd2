// What the process holds, for leak checks in tests and benchmarks.
#ifndef QUORBIT_TEST_RESOURCE_USAGE_H
#define QUORBIT_TEST_RESOURCE_USAGE_H

#include <windows.h>

// Bytes in use on every heap of the process.
SIZE_T HeapBytesInUse();

// Handles the process has open.
DWORD HandlesInUse();

// The handles among them that code under test opens and must close again:
// keys of the machine's software settings (the handlers' among them, in
// either registry view), processes and threads of other processes, and
// files. Not what the system opens on first use and keeps for the
// process: the keys of user and hardware settings and of classes, its
// events, semaphores and pipes, the current folder.
DWORD OwnHandlesInUse();

#endif
