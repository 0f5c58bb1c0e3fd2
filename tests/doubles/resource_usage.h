// What the process holds, for leak checks in tests and benchmarks.
#ifndef QUORBIT_TEST_RESOURCE_USAGE_H
#define QUORBIT_TEST_RESOURCE_USAGE_H

#include <windows.h>

// Bytes in use on every heap of the process.
SIZE_T HeapBytesInUse();

// Handles the process has open.
DWORD HandlesInUse();

#endif
