// The deployment files, run by the real cmd.exe and regedit: install.cmd
// registers the DLL for the folder it stands in and copies the help file,
// the client then finds and loads the DLL from that registration, and
// uninstall.cmd takes both away again. The build copies install/ to
// bin/install beside this program.
#include "extension_loader.h"
#include "quorbit_dll.h"
#include "host_doubles.h"
#include "test_registry.h"
#include <gtest/gtest.h>

namespace {

#define EXTENSIONS_KEY "Software\\Microsoft\\Exchange\\Client\\Extensions"

std::string BinDir()
{
    char sz[MAX_PATH];
    GetModuleFileNameA(NULL, sz, MAX_PATH);
    std::string s = sz;
    return s.substr(0, s.find_last_of('\\'));
}

std::string WindowsFile(const char* szName)
{
    char sz[MAX_PATH];
    GetWindowsDirectoryA(sz, MAX_PATH);
    return std::string(sz) + "\\" + szName;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs szCommand with cmd.exe in szDir; its exit code, or -1.
int RunCmd(const std::string& command, const std::string& dir)
{
    std::string line = "cmd.exe /c " + command;
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, buf.data(), NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, dir.c_str(), &si, &pi))
        return -1;
    DWORD dwExit = (DWORD)-1;
    WaitForSingleObject(pi.hProcess, 60000);
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return (int)dwExit;
}

// The registration value, as the 32-bit client reads it; "" when missing.
std::string Registration()
{
    HKEY hKey = NULL;
    char sz[MAX_PATH + 64] = "";
    DWORD cb = sizeof(sz) - 1;
    DWORD dwType = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EXTENSIONS_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &hKey) !=
        ERROR_SUCCESS)
        return "";
    if (RegQueryValueExA(hKey, "Quorbit", NULL, &dwType, (BYTE*)sz, &cb) != ERROR_SUCCESS || dwType != REG_SZ)
        sz[0] = '\0';
    RegCloseKey(hKey);
    return sz;
}

void DeleteRegistration()
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EXTENSIONS_KEY, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &hKey) ==
        ERROR_SUCCESS)
    {
        RegDeleteValueA(hKey, "Quorbit");
        RegCloseKey(hKey);
    }
}

class InstallScripts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        // Blanks and brackets, as in "Program Files (x86)".
        m_dir = std::string(szTemp) + "Quorbit test (x86)";
        CreateDirectoryA(m_dir.c_str(), NULL);
        const char* files[] = {"install.cmd", "uninstall.cmd", "write-reg.cmd", "example-handler.reg",
                               "uninstall.reg"};
        for (const char* szFile : files)
            ASSERT_TRUE(CopyFileA((BinDir() + "\\install\\" + szFile).c_str(), (m_dir + "\\" + szFile).c_str(),
                                  FALSE))
                << szFile;
        DeleteRegistration();
        ResetStore();
    }
    void TearDown() override
    {
        const char* files[] = {"install.cmd", "uninstall.cmd", "write-reg.cmd", "example-handler.reg",
                               "uninstall.reg", "Quorbit.dll", "Quorbit.HLP", "Quorbit.reg"};
        for (const char* szFile : files)
            DeleteFileA((m_dir + "\\" + szFile).c_str());
        RemoveDirectoryA(m_dir.c_str());
        DeleteRegistration();
        ResetStore();
    }
    void AddModuleFiles()
    {
        ASSERT_TRUE(CopyFileA(QuorbitPath().c_str(), (m_dir + "\\Quorbit.dll").c_str(), FALSE));
        std::string help = BinDir() + "\\Quorbit.HLP";
        m_fHelp = Exists(help);
        if (m_fHelp)
        {
            ASSERT_TRUE(CopyFileA(help.c_str(), (m_dir + "\\Quorbit.HLP").c_str(), FALSE));
        }
    }

    std::string m_dir;
    bool m_fHelp = false;
};

TEST_F(InstallScripts, InstallRegistersTheFolderAndTheClientLoadsIt)
{
    AddModuleFiles();
    ASSERT_EQ(RunCmd("install.cmd", m_dir), 0);
    std::string line = Registration();
    EXPECT_EQ(line, "4.0;" + m_dir + "\\Quorbit.dll;1;00000111111100");
    if (m_fHelp)
    {
        EXPECT_TRUE(Exists(WindowsFile("Help\\Quorbit.HLP")));
    }

    // The client's way in: the line, the ordinal, Install.
    LoadedExtension loaded;
    ASSERT_EQ(ParseRegistration(line.c_str(), "", &loaded), S_OK);
    ASSERT_EQ(LoadExtensionModule(&loaded), S_OK);
    EXPECT_EQ(loaded.wOrdinal, 1);
    LPEXCHEXT pExt = loaded.pfnEntryPoint();
    ASSERT_NE(pExt, nullptr);
    FakeCallback callback;
    EXPECT_EQ(pExt->Install(&callback, EECONTEXT_READNOTEMESSAGE, 0), S_OK);
    EXPECT_EQ(pExt->Release(), 0u);
    FreeLibrary(loaded.hModule);

    ASSERT_EQ(RunCmd("uninstall.cmd", m_dir), 0);
    EXPECT_EQ(Registration(), "");
    EXPECT_FALSE(Exists(WindowsFile("Help\\Quorbit.HLP")));
}

TEST_F(InstallScripts, InstallRefusesAFolderWithoutTheDll)
{
    EXPECT_EQ(RunCmd("install.cmd", m_dir), 1);
    EXPECT_EQ(Registration(), "");
}

TEST_F(InstallScripts, WrittenRegFileRegistersTheGivenFolder)
{
    ASSERT_EQ(RunCmd("write-reg.cmd \"C:\\Program Files (x86)\\Quorbit\" Quorbit.reg", m_dir), 0);
    std::vector<BYTE> bytes;
    HANDLE hFile = CreateFileA((m_dir + "\\Quorbit.reg").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    char buf[1024];
    DWORD cb = 0;
    ReadFile(hFile, buf, sizeof(buf), &cb, NULL);
    CloseHandle(hFile);
    EXPECT_EQ(std::string(buf, cb),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Exchange\\Client\\Extensions]\r\n"
              "\"Quorbit\"=\"4.0;C:\\\\Program Files (x86)\\\\Quorbit\\\\Quorbit.dll;1;00000111111100\"\r\n");

    ASSERT_EQ(RunCmd("regedit.exe /s Quorbit.reg", m_dir), 0);
    EXPECT_EQ(Registration(), "4.0;C:\\Program Files (x86)\\Quorbit\\Quorbit.dll;1;00000111111100");
    ASSERT_EQ(RunCmd("regedit.exe /s uninstall.reg", m_dir), 0);
    EXPECT_EQ(Registration(), "");
}

TEST_F(InstallScripts, ExampleHandlerHasTheFiveValues)
{
    ASSERT_EQ(RunCmd("regedit.exe /s example-handler.reg", m_dir), 0);
    std::string key = std::string(TEST_ROOT_KEY) + "\\Example orders";
    const struct
    {
        const char* szName;
        DWORD dwType;
        std::string data;
    } values[] = {
        {"ConfirmDialog", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"PreventOpen", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"SenderEmailAddress", REG_SZ, std::string("orders@example.com") + '\0'},
        {"FilePath", REG_SZ, std::string("\"C:\\Program Files\\Example\\import.exe\"") + '\0'},
        {"Debug", REG_DWORD, std::string("\0\0\0\0", 4)},
    };
    for (const auto& v : values)
    {
        SCOPED_TRACE(v.szName);
        StoredValue stored = ReadStored(key, v.szName);
        ASSERT_TRUE(stored.present);
        EXPECT_EQ(stored.type, v.dwType);
        EXPECT_EQ(std::string(stored.data.begin(), stored.data.end()), v.data);
    }
}

}  // namespace
