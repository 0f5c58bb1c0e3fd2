// Reads a 32-bit DLL's export and import tables from its file bytes and
// says what is wrong with them for a client extension.
#ifndef QUORBIT_TEST_PE_TABLES_H
#define QUORBIT_TEST_PE_TABLES_H

#include <windows.h>
#include <string>
#include <vector>

struct PeImport
{
    std::string dll;
    std::vector<WORD> ordinals;      // imported by ordinal
    std::vector<std::string> names;  // imported by name
    bool fDelayed = false;           // bound at first call
    long offName = -1;               // file offsets, for damaging a copy
    std::vector<long> thunkOffsets;
};

struct PeTables
{
    bool fValid = false;
    DWORD ordinalBase = 0;
    DWORD cFunctions = 0;
    std::vector<std::string> exportNames;
    std::vector<WORD> exportOrdinals;  // biased, as GetProcAddress takes them
    std::vector<PeImport> imports;
    long offExportDirectory = -1;
};

std::vector<BYTE> ReadFileBytes(const std::string& path);
PeTables ReadPeTables(const std::vector<BYTE>& image);

// Empty when the module exports ExchEntryPoint alone, by its plain name at
// ordinal 1, and imports system DLLs only, mapi32 by ordinal, and none of
// the system functions it shuns.
std::vector<std::string> ExtensionTableProblems(const PeTables& tables);

#endif
