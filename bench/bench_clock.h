// The benchmarks' clock.
#ifndef QUORBIT_BENCH_CLOCK_H
#define QUORBIT_BENCH_CLOCK_H

#include <windows.h>

// Seconds on the performance counter, from an arbitrary start.
inline double Seconds()
{
    static LARGE_INTEGER freq;
    LARGE_INTEGER t;
    if (freq.QuadPart == 0)
        QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)freq.QuadPart;
}

#endif
