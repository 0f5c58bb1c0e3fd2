// The deployment files, run by the real cmd.exe, reg, regedit and msiexec:
// install.cmd registers the DLL for the folder it stands in and copies the
// help file, the client then finds and loads the DLL from that registration,
// and uninstall.cmd takes both away again; the MSI package does the same as
// administrators deploy it; the handler scripts import and export handlers
// in the view the client reads. The build copies install/ to bin/install
// beside this program, and makes the package beside bin/.
#include "extension_loader.h"
#include "quorbit_dll.h"
#include "host_doubles.h"
#include "recorder_client.h"
#include "quorbit_version.h"
#include "test_registry.h"
#include <gtest/gtest.h>

namespace {

#define EXTENSIONS_KEY "Software\\Microsoft\\Exchange\\Client\\Extensions"

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

// Runs command with cmd.exe in dir; its exit code, or -1. What it printed
// goes to *pOutput when asked for.
int RunCmd(const std::string& command, const std::string& dir, std::string* pOutput = NULL)
{
    std::string output;
    DWORD dwExit = (DWORD)-1;
    if (!RunCommand("cmd.exe /c " + command, dir, pOutput != NULL ? pOutput : &output, &dwExit))
        return -1;
    return (int)dwExit;
}

// The registration value, as the 32-bit client reads it (or in the 64-bit
// view); "" when missing.
std::string Registration(REGSAM samView = KEY_WOW64_32KEY)
{
    HKEY hKey = NULL;
    char sz[MAX_PATH + 64] = "";
    DWORD cb = sizeof(sz) - 1;
    DWORD dwType = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EXTENSIONS_KEY, 0, KEY_QUERY_VALUE | samView, &hKey) != ERROR_SUCCESS)
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
                               "uninstall.reg", "import-handlers.cmd", "export-handlers.cmd"};
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
                               "uninstall.reg", "import-handlers.cmd", "export-handlers.cmd", "Quorbit.dll",
                               "Quorbit.HLP", "Quorbit.reg", "handlers.reg"};
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

bool IsWow64()
{
    BOOL fWow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &fWow64);
    return fWow64 != FALSE;
}

// The handler scripts work in the 32-bit view, the client's, on 32-bit and
// 64-bit Windows alike; bad input is refused and changes nothing.
TEST_F(InstallScripts, HandlerScriptsImportAndExportTheViewTheClientReads)
{
    std::string output;
    ASSERT_EQ(RunCmd("import-handlers.cmd example-handler.reg", m_dir, &output), 0) << output;
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
    HKEY hk = NULL;
    EXPECT_EQ(IsWow64(), RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &hk) != 0)
        << "on 64-bit Windows the 64-bit view stays empty";
    RegCloseKey(hk);

    // Out to a file and back in.
    ASSERT_EQ(RunCmd("export-handlers.cmd handlers.reg", m_dir, &output), 0) << output;
    ResetStore();
    ASSERT_EQ(RunCmd("import-handlers.cmd handlers.reg", m_dir, &output), 0) << output;
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), std::vector<std::string>{"Example orders"});
    EXPECT_EQ(RunCmd("export-handlers.cmd handlers.reg", m_dir, &output), 1);
    EXPECT_EQ(output, "export-handlers: \"handlers.reg\" exists already; give the name of a new file\n");

    // Nothing to import, nothing that is an export, no right to change HKLM.
    ResetStore();
    const struct
    {
        const char* szArgs;
        int iExit;
        const char* szSays;
    } refused[] = {
        {"", 2, "usage: import-handlers.cmd FILE.reg\n"},
        {"missing.reg", 1, "import-handlers: there is no file \"missing.reg\"\n"},
        {"install.cmd", 1, "import-handlers: \"install.cmd\" is not a registry export; nothing was imported\n"},
    };
    for (const auto& r : refused)
    {
        EXPECT_EQ(RunCmd(std::string("import-handlers.cmd ") + r.szArgs, m_dir, &output), r.iExit);
        EXPECT_EQ(output, r.szSays);
    }
    EXPECT_FALSE(KeyExists("SOFTWARE\\Quorbit"));
    StoreHandler("Kept", "kept@example.com", "kept.exe");
    SetStoreReadOnly(true);
    EXPECT_EQ(RunCmd("import-handlers.cmd example-handler.reg", m_dir, &output), 1);
    EXPECT_EQ(output, "import-handlers: only an administrator can change message handlers; run this as an "
                      "administrator\n");
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), std::vector<std::string>{"Kept"});
}

// The package as administrators deploy it: a silent install replaces an
// older version and puts the files where they belong and the registration
// where the 32-bit client reads it, the client loads the DLL from there and
// runs a stored handler, and a silent uninstall leaves nothing of ours but
// the handlers (nor of the older version, had it stayed installed).
TEST_F(InstallScripts, PackageInstallsForTheClientAndUninstallLeavesOnlyTheHandlers)
{
    const std::string msi = BinDir() + "\\..\\Quorbit-" QUORBIT_VERSION_TEXT ".msi";
    char szProgramFiles[MAX_PATH] = "";
    // A 32-bit program's Program Files: "Program Files (x86)" on 64-bit Windows.
    GetEnvironmentVariableA("ProgramFiles", szProgramFiles, MAX_PATH);
    const std::string folder = std::string(szProgramFiles) + "\\Quorbit";
    // Where the help viewer finds it: Wine's looks in the Windows folder.
    const std::string help = WindowsFile("Quorbit.HLP");
    StoreHandler("Orders", "orders@example.com", "\"" + RecorderPath() + "\"", 0, 1, 0);
    std::string recording = PrepareRecording();
    std::string output;

    ASSERT_EQ(RunCmd("msiexec /i \"" + BinDir() + "\\Quorbit-older.msi\" /qn", m_dir, &output), 0) << output;
    ASSERT_EQ(RunCmd("msiexec /i \"" + msi + "\" /qn", m_dir, &output), 0) << output;
    for (const char* szFile : {"Quorbit.dll", "import-handlers.cmd", "export-handlers.cmd", "example-handler.reg"})
        EXPECT_TRUE(Exists(folder + "\\" + szFile)) << szFile;
    EXPECT_TRUE(Exists(help));
    EXPECT_EQ(Registration(), "4.0;" + folder + "\\Quorbit.dll;1;00000111111100");
    if (IsWow64())
    {
        EXPECT_EQ(Registration(KEY_WOW64_64KEY), "") << "the 64-bit view is not the client's";
    }

    DWORD dwExit = 99;
    ASSERT_TRUE(RunCommand("\"" + BinDir() + "\\exthost.exe\" --registry Quorbit open --from orders@example.com "
                           "--entryid 001FA0",
                           "", &output, &dwExit));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_NE(output.find("loaded " + folder + "\\Quorbit.dll"), std::string::npos) << output;
    EXPECT_NE(output.find("OnOpen -> E_ABORT"), std::string::npos) << output;
    std::string cmdLine;
    EXPECT_TRUE(WaitForRecording(recording, &cmdLine));
    EXPECT_EQ(cmdLine, "\"" + RecorderPath() + "\" \"MessageID\" \"001FA0\"");

    ASSERT_EQ(RunCmd("msiexec /x \"" + msi + "\" /qn", m_dir, &output), 0) << output;
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(Exists(help));
    EXPECT_EQ(Registration(), "");
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), std::vector<std::string>{"Orders"});
}

}  // namespace
