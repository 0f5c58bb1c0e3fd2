#include "test_registry.h"
#include "handler_store.h"

static void DeleteTree(HKEY hkParent, const char* szName)
{
    HKEY hk;
    if (RegOpenKeyExA(hkParent, szName, 0, KEY_ALL_ACCESS, &hk) != ERROR_SUCCESS)
        return;
    char sz[260];
    while (RegEnumKeyA(hk, 0, sz, sizeof(sz)) == ERROR_SUCCESS)
    {
        DeleteTree(hk, sz);
        if (RegDeleteKeyA(hk, sz) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(hk);
}

void ResetStore()
{
    DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorbit");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorbit");
}

bool KeyExists(const std::string& path)
{
    HKEY hk;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &hk) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hk);
    return true;
}

std::vector<std::string> SubKeys(const std::string& path)
{
    std::vector<std::string> names;
    HKEY hk;
    if (path.empty() || RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &hk) != ERROR_SUCCESS)
        return names;
    char sz[260];
    for (DWORD i = 0; RegEnumKeyA(hk, i, sz, sizeof(sz)) == ERROR_SUCCESS; i++)
        names.push_back(sz);
    RegCloseKey(hk);
    return names;
}

StoredValue ReadStored(const std::string& path, const char* szValue)
{
    StoredValue v;
    HKEY hk;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &hk) != ERROR_SUCCESS)
        return v;
    DWORD cb = 0;
    if (RegQueryValueExA(hk, szValue, NULL, &v.type, NULL, &cb) == ERROR_SUCCESS)
    {
        v.data.resize(cb);
        if (RegQueryValueExA(hk, szValue, NULL, &v.type, cb ? v.data.data() : NULL, &cb) == ERROR_SUCCESS)
        {
            v.present = true;
            v.data.resize(cb);
        }
    }
    RegCloseKey(hk);
    return v;
}

std::vector<std::string> ValueNames(const std::string& path)
{
    std::vector<std::string> names;
    HKEY hk;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &hk) != ERROR_SUCCESS)
        return names;
    char sz[260];
    DWORD cch = sizeof(sz);
    for (DWORD i = 0; RegEnumValueA(hk, i, sz, &cch, NULL, NULL, NULL, NULL) == ERROR_SUCCESS; i++)
    {
        names.push_back(sz);
        cch = sizeof(sz);
    }
    RegCloseKey(hk);
    return names;
}

void WriteRaw(const std::string& path, const char* szValue, DWORD type, const void* pv, DWORD cb)
{
    HKEY hk;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hk, NULL) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(hk, szValue, 0, type, (const BYTE*)pv, cb);
    RegCloseKey(hk);
}

void WriteDword(const std::string& path, const char* szValue, DWORD dw)
{
    WriteRaw(path, szValue, REG_DWORD, &dw, sizeof(dw));
}

void WriteString(const std::string& path, const char* szValue, const std::string& s)
{
    WriteRaw(path, szValue, REG_SZ, s.c_str(), (DWORD)s.size() + 1);
}

void StoreHandler(const std::string& name, const std::string& sender, const std::string& program, DWORD confirm,
                  DWORD prevent, DWORD debug)
{
    std::string path = std::string(TEST_ROOT_KEY) + "\\" + name;
    WriteDword(path, "ConfirmDialog", confirm);
    WriteDword(path, "PreventOpen", prevent);
    WriteString(path, "SenderEmailAddress", sender);
    WriteString(path, "FilePath", program);
    WriteDword(path, "Debug", debug);
}

void ResetRecord()
{
    lstrcpyA(szHandlerName, "");
    lstrcpyA(szSenderEmailAddress, "sender@example.com");
    lstrcpyA(szFilePath, "\"Specify a path and file name\"");
    dwPreventOpen = 1;
    dwConfirmDialog = 1;
    dwDebug = 0;
}
