// What the process holds on its heaps, for leak checks in tests and benchmarks.
#ifndef QUORBIT_TEST_HEAP_USAGE_H
#define QUORBIT_TEST_HEAP_USAGE_H

#include <windows.h>

// Bytes in use on every heap of the process.
SIZE_T HeapBytesInUse();

#endif
