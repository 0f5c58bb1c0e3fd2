// Registry helpers for the tests: every test starts and ends without
// HKLM\SOFTWARE\Quorbit.
#ifndef QUORBIT_TEST_REGISTRY_H
#define QUORBIT_TEST_REGISTRY_H

#include <windows.h>
#include <string>
#include <vector>

#define TEST_ROOT_KEY "SOFTWARE\\Quorbit\\Message Handlers"

// Removes HKLM\SOFTWARE\Quorbit with everything below it.
void ResetStore();

// Gives the root key (or the key path below HKLM) and every key below it a
// DACL that lets everyone read and nobody change them, as HKLM is for a
// standard user; false restores full access. Wine enforces it when a key is
// opened, not when a sub-key is created or a key deleted.
void SetStoreReadOnly(bool fReadOnly, const std::string& path = TEST_ROOT_KEY);
// Gives the root key, or the key of the handler szHandler, a DACL that
// grants nobody anything, not even reading: the store is there, but cannot
// be searched; the handler is listed, but cannot be read. ResetStore undoes
// it.
void SetStoreUnreadable(const char* szHandler = NULL);
bool KeyExists(const std::string& path);  // below HKLM
std::vector<std::string> SubKeys(const std::string& path);

struct StoredValue
{
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};
StoredValue ReadStored(const std::string& path, const char* szValue);
// Value names of a key, in the order the registry keeps them.
std::vector<std::string> ValueNames(const std::string& path);

void WriteDword(const std::string& path, const char* szValue, DWORD dw);
void WriteRaw(const std::string& path, const char* szValue, DWORD type, const void* pv, DWORD cb);
void WriteString(const std::string& path, const char* szValue, const std::string& s);
// Text given in UTF-8, as regedit and the import program store a REG_SZ
// (or another text type): in UTF-16; and read back so, "<missing>" when
// there is none.
void WriteUnicode(const std::string& path, const char* szValue, const std::string& utf8, DWORD type = REG_SZ);
std::string ReadUnicode(const std::string& path, const char* szValue);

// Text given in UTF-8, in UTF-16; and in the ANSI code page, converted as
// the A functions convert it.
std::wstring FromUtf8(const std::string& utf8);
std::string InCodePage(const std::string& utf8);

// A handler key with all five values.
void StoreHandler(const std::string& name, const std::string& sender, const std::string& program,
                  DWORD confirm = 0, DWORD prevent = 0, DWORD debug = 0);

// Writes text to path in the ANSI code page, or in UTF-16 after its byte
// order mark (each byte a character), as reg export and regedit write.
void WriteRegFile(const std::string& path, const std::string& text, bool fUtf16);

#endif
