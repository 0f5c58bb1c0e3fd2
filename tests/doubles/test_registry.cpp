#include "test_registry.h"
#include <sddl.h>
#include "registry_tree.h"

// Sets the DACL first, then reads the key to go below it: a DACL that
// grants nothing leaves the keys below as they are.
static void SetTreeSecurity(HKEY hkParent, const char* szName, PSECURITY_DESCRIPTOR psd, bool fTree)
{
    HKEY hk;
    // The owner may always change the DACL, even one that grants it nothing.
    if (RegOpenKeyExA(hkParent, szName, 0, WRITE_DAC, &hk) != ERROR_SUCCESS)
        return;
    RegSetKeySecurity(hk, DACL_SECURITY_INFORMATION, psd);
    RegCloseKey(hk);
    if (!fTree || RegOpenKeyExA(hkParent, szName, 0, KEY_READ, &hk) != ERROR_SUCCESS)
        return;
    char sz[260];
    for (DWORD i = 0; RegEnumKeyA(hk, i, sz, sizeof(sz)) == ERROR_SUCCESS; i++)
        SetTreeSecurity(hk, sz, psd, true);
    RegCloseKey(hk);
}

static void SetStoreSecurity(const char* szSddl, bool fTree, const std::string& path = TEST_ROOT_KEY)
{
    PSECURITY_DESCRIPTOR psd = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(szSddl, SDDL_REVISION_1, &psd, NULL))
        return;
    SetTreeSecurity(HKEY_LOCAL_MACHINE, path.c_str(), psd, fTree);
    LocalFree(psd);
}

void SetStoreReadOnly(bool fReadOnly, const std::string& path)
{
    SetStoreSecurity(fReadOnly ? "D:P(A;OICI;KR;;;WD)" : "D:P(A;OICI;KA;;;WD)", true, path);
}

void SetStoreUnreadable(const char* szHandler)
{
    SetStoreSecurity("D:P", false, szHandler ? std::string(TEST_ROOT_KEY "\\") + szHandler : TEST_ROOT_KEY);
}

void ResetStore()
{
    SetStoreReadOnly(false);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorbit", NULL);
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
    // The last key relative to its parent: Wine's ANSI calls take paths of
    // fewer than 260 characters, and key names run to 255.
    size_t iSlash = path.rfind('\\');
    HKEY hkParent;
    HKEY hk;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.substr(0, iSlash).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                        &hkParent, NULL) != ERROR_SUCCESS)
        return;
    LONG lResult = RegCreateKeyExA(hkParent, path.substr(iSlash + 1).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hk,
                                   NULL);
    RegCloseKey(hkParent);
    if (lResult != ERROR_SUCCESS)
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

void WriteRegFile(const std::string& path, const std::string& text, bool fUtf16)
{
    std::string bytes = fUtf16 ? "\xFF\xFE" : "";
    for (char ch : text)
        bytes += fUtf16 ? std::string(1, ch) + '\0' : std::string(1, ch);
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD cb = 0;
    WriteFile(hFile, bytes.data(), (DWORD)bytes.size(), &cb, NULL);
    CloseHandle(hFile);
}

std::wstring FromUtf8(const std::string& utf8)
{
    std::wstring text(utf8.size() + 1, L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &text[0], (int)text.size()) - 1);
    return text;
}

std::string InCodePage(const std::string& utf8)
{
    std::wstring text = FromUtf8(utf8);
    std::string narrow(2 * text.size() + 1, '\0');
    narrow.resize(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], (int)narrow.size(), NULL, NULL) - 1);
    return narrow;
}

void WriteUnicode(const std::string& path, const char* szValue, const std::string& utf8, DWORD type)
{
    std::wstring text = FromUtf8(utf8);
    HKEY hk = NULL;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hk, NULL);
    std::wstring name(szValue, szValue + lstrlenA(szValue));
    RegSetValueExW(hk, name.c_str(), 0, type, (const BYTE*)text.c_str(), (DWORD)((text.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(hk);
}

std::string ReadUnicode(const std::string& path, const char* szValue)
{
    WCHAR wsz[1024];
    char sz[4096] = "<missing>";
    DWORD cb = sizeof(wsz) - sizeof(WCHAR);
    HKEY hk;
    std::wstring name(szValue, szValue + lstrlenA(szValue));
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &hk) != ERROR_SUCCESS)
        return sz;
    if (RegQueryValueExW(hk, name.c_str(), NULL, NULL, (BYTE*)wsz, &cb) == ERROR_SUCCESS)
    {
        wsz[cb / sizeof(WCHAR)] = L'\0';
        WideCharToMultiByte(CP_UTF8, 0, wsz, -1, sz, sizeof(sz), NULL, NULL);
    }
    RegCloseKey(hk);
    return sz;
}
