// The built Quorbit.dll, loaded the way the client loads it: LoadLibrary
// from beside the test program and GetProcAddress of its one export.
#ifndef QUORBIT_TEST_QUORBIT_DLL_H
#define QUORBIT_TEST_QUORBIT_DLL_H

#include "exchext.h"
#include "recorder_client.h"  // BinDir
#include "run_command.h"
#include <string>

std::string QuorbitPath();
HMODULE QuorbitModule();           // loaded once per test program
LPEXCHEXT NewExtension();          // ExchEntryPoint()

// A new extension object installed in eecontext by a client of build
// version 0x000D0000.
LPEXCHEXT InstalledExtension(ULONG eecontext);

// Asks pUnk for riid; returns the pointer (NULL when refused) and the result.
IUnknown* Ask(IUnknown* pUnk, REFIID riid, HRESULT* phr = NULL);

// The object's count as it stands, read with an AddRef/Release pair.
ULONG CountOf(IUnknown* pUnk);

// While it lives, the DLL's allocation number iFailing (from 0) finds no
// memory, as the system answers when it has none: through the DLL's
// import of HeapAlloc, which all its objects come from.
class FailedAllocation
{
public:
    explicit FailedAllocation(int iFailing);
    ~FailedAllocation();
    FailedAllocation(const FailedAllocation&) = delete;
    FailedAllocation& operator=(const FailedAllocation&) = delete;
};

#endif
