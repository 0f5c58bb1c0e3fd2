// Finds and loads an extension the way the mail client does: from its
// registration line "4.0;<path>;<entry ordinal>;<context map>", or from a
// bare path, which exports ExchEntryPoint by name.
#ifndef QUORBIT_EXTHOST_EXTENSION_LOADER_H
#define QUORBIT_EXTHOST_EXTENSION_LOADER_H

#include "exchext.h"
#include "quorbit_facts.h"

// The map this project registers: contexts 6 to 12.
#define DEFAULT_CONTEXT_MAP QUORBIT_CONTEXT_MAP
#define CCH_CONTEXT_MAP 15

struct LoadedExtension
{
    char szPath[MAX_PATH];
    WORD wOrdinal;                      // 0: by name
    char szContextMap[CCH_CONTEXT_MAP]; // one digit per context 1 to 14
    HMODULE hModule;
    LPEXCHENTRYPOINT pfnEntryPoint;
};

// Fills pExt from a registration line (anything with a ';') or a path. A
// bare path gets szDefaultMap. E_INVALIDARG for a malformed line or one of
// another version than 4.0.
HRESULT ParseRegistration(const char* szSpec, const char* szDefaultMap, LoadedExtension* pExt);

// Reads the registration value szName below the client's extension key,
// machine-wide (32-bit view) first, then per user, into szLine.
HRESULT ReadRegistration(const char* szName, char* szLine, DWORD cchLine);

// LoadLibrary and GetProcAddress; on failure the module is not kept.
HRESULT LoadExtensionModule(LoadedExtension* pExt);

// Whether the context map asks for the extension in eecontext (1 to 14).
BOOL ContextInMap(const LoadedExtension* pExt, ULONG eecontext);

#endif
