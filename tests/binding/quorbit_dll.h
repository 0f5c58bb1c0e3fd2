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

#endif
