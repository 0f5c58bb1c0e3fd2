// The deployment files, run by the real cmd.exe, reg, regedit and msiexec:
// install.cmd registers the DLL for the folder it stands in and copies the
// help file, the client then finds and loads the DLL from that registration,
// and uninstall.cmd takes both away again; the MSI package does the same as
// administrators deploy it; the handler scripts import and export handlers
// in the view the client reads. Each runs with Wine's reg.exe and with one
// that plays XP's, which knows no view switch. The build copies install/ to
// bin/install beside this program, and makes the package beside bin/.
#include "extension_loader.h"
#include "quorbit_dll.h"
#include "client_objects.h"
#include "recorder_client.h"
#include "quorbit_version.h"
#include "test_registry.h"
#include "box_answerer.h"
#include "pe_tables.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <tuple>
#include <msi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <msiquery.h>
#include <msidefs.h>

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

bool IsWow64()
{
    BOOL fWow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &fWow64);
    return fWow64 != FALSE;
}

// Runs command with cmd.exe in dir, the 64-bit one on 64-bit Windows, as an
// administrator's command prompt is; its exit code, or -1. What it printed
// goes to *pOutput when asked for.
int RunCmd(const std::string& command, const std::string& dir, std::string* pOutput = NULL)
{
    std::string output;
    DWORD dwExit = (DWORD)-1;
    std::string cmd = IsWow64() ? "\"" + WindowsFile("Sysnative\\cmd.exe") + "\"" : "cmd.exe";
    if (!RunCommand(cmd + " /c " + command, dir, pOutput != NULL ? pOutput : &output, &dwExit))
        return -1;
    return (int)dwExit;
}

#define CACHE_TRIGGER "4.0;Outxxx.dll;7;000000000000000;0000000000;OutXXX"

// A value of the extensions key, as the 32-bit client reads it (or in the
// 64-bit view); "" when missing.
std::string Registration(const char* szName = "Quorbit", REGSAM samView = KEY_WOW64_32KEY)
{
    HKEY hKey = NULL;
    char sz[MAX_PATH + 64] = "";
    DWORD cb = sizeof(sz) - 1;
    DWORD dwType = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EXTENSIONS_KEY, 0, KEY_QUERY_VALUE | samView, &hKey) != ERROR_SUCCESS)
        return "";
    if (RegQueryValueExA(hKey, szName, NULL, &dwType, (BYTE*)sz, &cb) != ERROR_SUCCESS || dwType != REG_SZ)
        sz[0] = '\0';
    RegCloseKey(hKey);
    return sz;
}

// Takes the registration away, and the cache trigger, which the client
// would delete once it has seen it.
void DeleteRegistration(const char* szName = NULL)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EXTENSIONS_KEY, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &hKey) ==
        ERROR_SUCCESS)
    {
        if (szName == NULL)
            RegDeleteValueA(hKey, "Quorbit");
        RegDeleteValueA(hKey, "Outlook Setup Extension");
        RegCloseKey(hKey);
    }
}

// The first 64 KB of a file; "" when it cannot be read.
std::string FileBytes(const std::string& path)
{
    static char s_buf[64 * 1024];
    DWORD cb = 0;
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile != INVALID_HANDLE_VALUE && !ReadFile(hFile, s_buf, sizeof(s_buf), &cb, NULL))
        cb = 0;
    CloseHandle(hFile);
    return std::string(s_buf, cb);
}

std::string SystemFile(const char* szName)
{
    char sz[MAX_PATH];
    GetSystemDirectoryA(sz, MAX_PATH);
    return std::string(sz) + "\\" + szName;
}

// Which reg.exe the scripts meet: Wine's own, which knows every switch, or
// one that plays XP's (xp_reg.exe).
enum RegTool
{
    WineReg,
    XpReg
};

class InstallScripts : public ::testing::TestWithParam<RegTool>
{
protected:
    void SetUp() override
    {
        if (GetParam() == XpReg)
        {
            UseXpReg();
        }
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
        ASSERT_TRUE(CopyFileA((BinDir() + "\\handler-import.exe").c_str(), (m_dir + "\\handler-import.exe").c_str(),
                              FALSE));
        DeleteRegistration();
        ResetStore();
    }
    void TearDown() override
    {
        const char* files[] = {"install.cmd", "uninstall.cmd", "write-reg.cmd", "example-handler.reg",
                               "uninstall.reg", "import-handlers.cmd", "export-handlers.cmd", "Quorbit.dll",
                               "Quorbit.HLP", "Quorbit.reg", "handlers.reg", "handler-import.exe", "crashed_import.exe",
                               "big.reg"};
        for (const char* szFile : files)
            DeleteFileA((m_dir + "\\" + szFile).c_str());
        RemoveDirectoryA((m_dir + "\\folder.reg").c_str());
        RemoveDirectoryA(m_dir.c_str());
        SetStoreReadOnly(false, EXTENSIONS_KEY);
        DeleteRegistration();
        ResetStore();
        // Wine's reg.exe in the system folder again.
        if (MoveFileExA(SystemFile("reg-wine.exe").c_str(), SystemFile("reg.exe").c_str(), MOVEFILE_REPLACE_EXISTING))
            DeleteFileA(SystemFile("winereg.exe").c_str());
    }
    // XP's reg.exe as the system folder's (on 64-bit Windows that is the
    // 32-bit one, SysWOW64, as this program sees it), Wine's own beside it
    // as winereg.exe. Wine starts the file because the session has
    // WINEDLLOVERRIDES=reg.exe=n,b (tools/wine-session.sh).
    void UseXpReg()
    {
        ASSERT_TRUE(MoveFileA(SystemFile("reg.exe").c_str(), SystemFile("reg-wine.exe").c_str()));
        ASSERT_TRUE(CopyFileA((BinDir() + "\\xp_reg.exe").c_str(), SystemFile("reg.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((BinDir() + "\\winereg.exe").c_str(), SystemFile("winereg.exe").c_str(), FALSE));
        std::string output;
        DWORD dwExit = 0;
        ASSERT_TRUE(RunCommand("\"" + SystemFile("reg.exe") + "\" query HKLM /reg:32", "", &output, &dwExit));
        EXPECT_EQ(dwExit, 1u) << "is reg.exe=n,b in WINEDLLOVERRIDES?";
        EXPECT_EQ(output, "\nERROR: Invalid syntax.\n");
    }
    // The DLL in the folder, registered by install.cmd: its registration line.
    std::string Installed()
    {
        EXPECT_TRUE(CopyFileA(QuorbitPath().c_str(), (m_dir + "\\Quorbit.dll").c_str(), FALSE));
        EXPECT_EQ(RunCmd("install.cmd", m_dir), 0);
        return Registration();
    }

    std::string m_dir;
};

TEST_P(InstallScripts, InstallRegistersTheFolderAndTheClientLoadsIt)
{
    std::string line = Installed();
    EXPECT_EQ(line, "4.0;" + m_dir + "\\Quorbit.dll;1;00000111111100");
    EXPECT_EQ(Registration("Outlook Setup Extension"), CACHE_TRIGGER);

    // The client's way in: the line, the ordinal, Install.
    LoadedExtension loaded;
    ASSERT_EQ(ParseRegistration(line.c_str(), "", &loaded), S_OK);
    ASSERT_EQ(LoadExtensionModule(&loaded), S_OK);
    EXPECT_EQ(loaded.wOrdinal, 1);
    LPEXCHEXT pExt = loaded.pfnEntryPoint();
    ASSERT_NE(pExt, nullptr);
    ClientCallback callback;
    EXPECT_EQ(pExt->Install(&callback, EECONTEXT_READNOTEMESSAGE, 0), S_OK);
    EXPECT_EQ(pExt->Release(), 0u);
    FreeLibrary(loaded.hModule);
}

// Without the right to change the key, both scripts say so and fail.
TEST_P(InstallScripts, WithoutTheRightToChangeTheKeyBothScriptsSaySoAndFail)
{
    std::string line = Installed(), output;
    SetStoreReadOnly(true, EXTENSIONS_KEY);
    EXPECT_EQ(RunCmd("uninstall.cmd", m_dir, &output), 1);
    EXPECT_EQ(output, "uninstall: could not remove the registration of Quorbit.dll; run as an administrator\n");
    EXPECT_EQ(RunCmd("install.cmd", m_dir, &output), 1);
    EXPECT_EQ(output, "install: could not write the registration; run as an administrator\n");
    EXPECT_EQ(Registration(), line);
}

// Uninstall writes the cache trigger, for the client to see the change.
TEST_P(InstallScripts, UninstallRemovesTheRegistrationAndThenFindsNothingToRemove)
{
    std::string output;
    Installed();
    DeleteRegistration("Outlook Setup Extension");  // seen by the client
    ASSERT_EQ(RunCmd("uninstall.cmd", m_dir, &output), 0);
    EXPECT_EQ(output, "uninstall: removed the registration of Quorbit.dll, the value Quorbit in "
                      "HKLM\\" EXTENSIONS_KEY "\nuninstall: restart the mail client; it no longer loads Quorbit.dll\n");
    EXPECT_EQ(Registration(), "");
    EXPECT_EQ(Registration("Outlook Setup Extension"), CACHE_TRIGGER);
    EXPECT_EQ(RunCmd("uninstall.cmd", m_dir, &output), 0);
    EXPECT_EQ(output, "uninstall: Quorbit.dll is not registered; nothing to remove\n");
}

TEST_P(InstallScripts, InstallRefusesAFolderWithoutTheDll)
{
    EXPECT_EQ(RunCmd("install.cmd", m_dir), 1);
    EXPECT_EQ(Registration(), "");
}

TEST_P(InstallScripts, WrittenRegFileRegistersTheGivenFolder)
{
    ASSERT_EQ(RunCmd("write-reg.cmd \"C:\\Program Files (x86)\\Quorbit\" Quorbit.reg", m_dir), 0);
    EXPECT_EQ(FileBytes(m_dir + "\\Quorbit.reg"),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Exchange\\Client\\Extensions]\r\n"
              "\"Quorbit\"=\"4.0;C:\\\\Program Files (x86)\\\\Quorbit\\\\Quorbit.dll;1;00000111111100\"\r\n"
              "\"Outlook Setup Extension\"=\"" CACHE_TRIGGER "\"\r\n");

    // As the file says: on 64-bit Windows with the 32-bit registry editor.
    std::string regedit = IsWow64() ? "%WINDIR%\\SysWOW64\\regedit.exe" : "regedit.exe";
    ASSERT_EQ(RunCmd(regedit + " /s Quorbit.reg", m_dir), 0);
    EXPECT_EQ(Registration(), "4.0;C:\\Program Files (x86)\\Quorbit\\Quorbit.dll;1;00000111111100");
    DeleteRegistration("Outlook Setup Extension");
    ASSERT_EQ(RunCmd(regedit + " /s uninstall.reg", m_dir), 0);
    EXPECT_EQ(Registration(), "");
    EXPECT_EQ(Registration("Outlook Setup Extension"), CACHE_TRIGGER);
}

// Windows' cmd.exe reads a script's lines up to CR LF; in one saved with
// bare LF it can miss the labels its gotos jump to (Wine's cmd does not).
TEST(InstallFiles, ScriptsEndTheirLinesWithCrLf)
{
    for (const char* szFile :
         {"install.cmd", "uninstall.cmd", "write-reg.cmd", "import-handlers.cmd", "export-handlers.cmd"})
    {
        std::string text = FileBytes(BinDir() + "\\install\\" + szFile);
        EXPECT_NE(text, "") << szFile;
        for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << szFile << " at byte " << i;
    }
}

// The handler scripts work in the 32-bit view, the client's, on 32-bit and
// 64-bit Windows alike.
TEST_P(InstallScripts, ImportWritesTheViewTheClientReads)
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
}

// Out to a file and back in; never over a file that exists.
TEST_P(InstallScripts, ExportedHandlersImportAgain)
{
    std::string output;
    ASSERT_EQ(RunCmd("import-handlers.cmd example-handler.reg", m_dir, &output), 0) << output;
    WriteString(TEST_ROOT_KEY "\\Example orders", "Notes", "line 1\r\nline 2");
    // Control characters, which the export writes as they are: U+0001, U+007F, U+0085.
    WriteUnicode(TEST_ROOT_KEY "\\Example orders", "Controls", "a\x01" "b\x7f" "c\xC2\x85" "d");
    ASSERT_EQ(RunCmd("export-handlers.cmd handlers.reg", m_dir, &output), 0) << output;
    ResetStore();
    ASSERT_EQ(RunCmd("import-handlers.cmd handlers.reg", m_dir, &output), 0) << output;
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), std::vector<std::string>{"Example orders"});
    const std::vector<BYTE> notes = ReadStored(TEST_ROOT_KEY "\\Example orders", "Notes").data;
    EXPECT_EQ(std::string(notes.begin(), notes.end()), std::string("line 1\r\nline 2", 15)) << "line breaks";
    EXPECT_EQ(ReadUnicode(TEST_ROOT_KEY "\\Example orders", "Controls"), "a\x01" "b\x7f" "c\xC2\x85" "d");
    EXPECT_EQ(RunCmd("export-handlers.cmd handlers.reg", m_dir, &output), 1);
    EXPECT_EQ(output, "export-handlers: \"handlers.reg\" exists already; give the name of a new file\n");
}

// Bad input is refused and changes nothing: one row per way the script
// ends; what the file may hold is the import program's (handler_import_tests.cpp).
TEST_P(InstallScripts, ImportRefusesBadInputAndChangesNothing)
{
    const struct
    {
        const char* szCommand;
        int iExit;
        const char* szSays;
    } refused[] = {
        {"import-handlers.cmd", 2, "usage: import-handlers.cmd FILE.reg\n"},
        {"import-handlers.cmd missing.reg", 1, "import-handlers: there is no file \"missing.reg\"\n"},
        // A variable of the caller's does not hide the program's exit code.
        {"set ERRORLEVEL=0&& import-handlers.cmd install.cmd", 1,
         "import-handlers: \"install.cmd\" is not a registry export; nothing was imported\n"},
        {"import-handlers.cmd big.reg", 1,
         "import-handlers: \"big.reg\" is larger than 64 MB, the most this program reads; nothing was imported\n"},
        {"mkdir folder.reg && import-handlers.cmd folder.reg", 1,
         "import-handlers: \"folder.reg\" is a folder; give the name of a registry file; nothing was imported\n"},
        {"copy /y crashed_import.exe handler-import.exe >nul && import-handlers.cmd example-handler.reg", 1,
         "import-handlers: handler-import.exe stopped with exit code -1073741819; the handlers may be half "
         "imported\n"},
        {"copy /y crashed_import.exe handler-import.exe >nul && import-handlers.cmd crash.reg", 1,
         "import-handlers: handler-import.exe stopped with exit code -1073741819; the handlers may be half "
         "imported\n"},
    };
    ASSERT_TRUE(CopyFileA((BinDir() + "\\crashed_import.exe").c_str(), (m_dir + "\\crashed_import.exe").c_str(),
                          FALSE));
    HANDLE hBig = CreateFileA((m_dir + "\\big.reg").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    SetFilePointer(hBig, 64 * 1024 * 1024 + 1, NULL, FILE_BEGIN);
    SetEndOfFile(hBig);
    CloseHandle(hBig);
    std::string output;
    for (const auto& r : refused)
    {
        EXPECT_EQ(RunCmd(r.szCommand, m_dir, &output), r.iExit) << r.szCommand;
        EXPECT_EQ(output, r.szSays);
    }
    EXPECT_FALSE(KeyExists("SOFTWARE\\Quorbit"));
}

std::string RegToolName(const ::testing::TestParamInfo<RegTool>& info)
{
    return info.param == WineReg ? "WineReg" : "XpReg";
}

INSTANTIATE_TEST_SUITE_P(RegTools, InstallScripts, ::testing::Values(WineReg, XpReg), RegToolName);

#define UPGRADE_CODE "{FBA41075-2B01-4E65-A032-CE824D1E3A0E}"
#define ACTIVE_SETUP_KEY "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{310D2494-6664-4672-A11D-AEDA04695A85}"
#define CLIENT_MARK(version) "Software\\Microsoft\\Office\\" version "\\Outlook\\Exchange Client Extension"

// The installed products of the package's upgrade code, as "version {code}".
std::vector<std::string> InstalledProducts()
{
    std::vector<std::string> products;
    char szCode[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(UPGRADE_CODE, 0, i, szCode) == ERROR_SUCCESS; i++)
    {
        char szVersion[32] = "";
        DWORD cch = sizeof(szVersion);
        MsiGetProductInfoA(szCode, INSTALLPROPERTY_VERSIONSTRING, szVersion, &cch);
        products.push_back(std::string(szVersion) + " " + szCode);
    }
    return products;
}

std::string Text(const StoredValue& value)
{
    if (!value.present || value.type != REG_SZ)
        return "";
    return std::string(value.data.begin(), std::find(value.data.begin(), value.data.end(), 0));
}

bool UserKeyExists(const char* szPath)
{
    HKEY hk = NULL;
    bool fExists = RegOpenKeyExA(HKEY_CURRENT_USER, szPath, 0, KEY_READ, &hk) == ERROR_SUCCESS;
    RegCloseKey(hk);
    return fExists;
}

// The Active Setup entry's version, "a,b,c,d", as numbers that compare as
// Active Setup compares them; all 0 without an entry.
std::vector<unsigned long> SetupVersion()
{
    std::vector<unsigned long> fields(4, 0);
    sscanf(Text(ReadStored(ACTIVE_SETUP_KEY, "Version")).c_str(), "%lu,%lu,%lu,%lu", &fields[0], &fields[1],
           &fields[2], &fields[3]);
    return fields;
}

// Whether name is a short (8.3) name: at most 8 characters, a dot and 3 more.
bool IsShortName(const std::string& name)
{
    size_t iDot = name.find('.');
    return iDot != 0 && name.find_first_of(" +,;=[]|\"") == std::string::npos &&
           (iDot == std::string::npos ? name.size() <= 8
                                      : iDot <= 8 && name.size() - iDot <= 4 && name.rfind('.') == iDot);
}

// The first column of what a query of the package's tables finds, in order.
std::vector<std::string> Column(MSIHANDLE hDatabase, const char* szQuery)
{
    std::vector<std::string> column;
    PMSIHANDLE hView, hRecord;
    MsiDatabaseOpenViewA(hDatabase, szQuery, &hView);
    MsiViewExecute(hView, 0);
    while (MsiViewFetch(hView, &hRecord) == ERROR_SUCCESS)
    {
        char sz[256] = "";
        DWORD cch = sizeof(sz);
        MsiRecordGetStringA(hRecord, 1, sz, &cch);
        column.push_back(sz);
    }
    return column;
}

// The signatures, each checked by osslsigncode against the throwaway
// certificate they were made with (install/CMakeLists.txt).
TEST(PackageFiles, EverySignatureVerifies)
{
    std::string verified = FileBytes(BinDir() + "\\signed\\verified.txt");
    std::vector<std::string> signedFiles;
    for (size_t at = verified.find("== "), next; at != std::string::npos; at = next)
    {
        next = verified.find("\n== ", at);
        std::string section = verified.substr(at, next == std::string::npos ? next : ++next - at);
        signedFiles.push_back(section.substr(3, section.find('\n') - 3));
        SCOPED_TRACE(section);
        EXPECT_NE(section.find("Subject: /CN=Quorbit test publisher\n"), std::string::npos);
        EXPECT_NE(section.find("\nSignature verification: ok\n"), std::string::npos);
        EXPECT_NE(section.find("\nexit code 0\n"), std::string::npos);
    }
    EXPECT_EQ(signedFiles.size(), 4u) << "Quorbit.dll, QuorbitHandlers.exe, the import program, the package";
    for (const char* szFile :
         {"Quorbit/Quorbit.dll", "Quorbit/QuorbitHandlers.exe", "Quorbit-" QUORBIT_VERSION_TEXT ".msi"})
        EXPECT_NE(std::find(signedFiles.begin(), signedFiles.end(), szFile), signedFiles.end()) << szFile;
}

// A restart the installer finds needed is left to the administrator, and a
// silent install closes no program that holds a file in use.
TEST(PackageFiles, NeitherRestartsNorClosesPrograms)
{
    const std::string msi = BinDir() + "\\..\\Quorbit-" QUORBIT_VERSION_TEXT ".msi";
    MSIHANDLE hPackage = 0;
    ASSERT_EQ(MsiOpenPackageA(msi.c_str(), &hPackage), (UINT)ERROR_SUCCESS);
    for (const auto& property : {std::make_pair("REBOOT", "ReallySuppress"), {"ALLUSERS", "1"},
                                 {"MSIRESTARTMANAGERCONTROL", "Disable"}})
    {
        char sz[32] = "";
        DWORD cch = sizeof(sz);
        MsiGetPropertyA(hPackage, property.first, sz, &cch);
        EXPECT_STREQ(sz, property.second) << property.first;
    }
    MsiCloseHandle(hPackage);
}

// What the validation rules and an upgrade that rolls back whole need of the
// tables: the old version goes right after InstallInitialize, inside the
// new one's transaction; only deferred actions skip impersonation; the
// shortcut's component has a per-user key; the Active Setup entry's Version
// has the product's version where its action has not run.
TEST(PackageFiles, KeepTheInstallersRules)
{
    PMSIHANDLE hPackage;
    ASSERT_EQ(MsiOpenPackageA((BinDir() + "\\..\\Quorbit-" QUORBIT_VERSION_TEXT ".msi").c_str(), &hPackage),
              (UINT)ERROR_SUCCESS);
    PMSIHANDLE hDatabase = MsiGetActiveDatabase(hPackage);
    std::vector<std::string> actions =
        Column(hDatabase, "SELECT `Action` FROM `InstallExecuteSequence` ORDER BY `Sequence`");
    auto itInitialize = std::find(actions.begin(), actions.end(), "InstallInitialize");
    ASSERT_NE(itInitialize, actions.end());
    EXPECT_EQ(*(itInitialize + 1), "RemoveExistingProducts");
    for (const std::string& type : Column(hDatabase, "SELECT `Type` FROM `CustomAction`"))
        EXPECT_TRUE((atoi(type.c_str()) & (msidbCustomActionTypeInScript | msidbCustomActionTypeNoImpersonate)) !=
                    msidbCustomActionTypeNoImpersonate) << type;
    EXPECT_EQ(Column(hDatabase, "SELECT `Registry`.`Root` FROM `Shortcut`, `Component`, `Registry` WHERE "
                                "`Shortcut`.`Component_` = `Component`.`Component` AND "
                                "`Component`.`KeyPath` = `Registry`.`Registry`"),
              std::vector<std::string>{"1"}) << "HKEY_CURRENT_USER";
    std::vector<std::string> version = Column(hDatabase, "SELECT `Value` FROM `Registry` WHERE `Name` = 'Version'");
    ASSERT_EQ(version.size(), 1u);
    PMSIHANDLE hRecord = MsiCreateRecord(0);
    MsiRecordSetStringA(hRecord, 0, version[0].c_str());
    char sz[64] = "";
    DWORD cch = sizeof(sz);
    MsiFormatRecordA(hPackage, hRecord, sz, &cch);
    std::string expected = QUORBIT_VERSION_TEXT;
    std::replace(expected.begin(), expected.end(), '.', ',');
    EXPECT_EQ(sz, expected);
}

// The package as administrators deploy it, on XP's reg.exe. Each test
// installs what it needs and leaves no product, no Active Setup entry and
// no cache mark behind.
class InstallPackage : public InstallScripts
{
protected:
    void SetUp() override
    {
        InstallScripts::SetUp();
        char szProgramFiles[MAX_PATH] = "";
        // A 32-bit program's Program Files: "Program Files (x86)" on 64-bit Windows.
        GetEnvironmentVariableA("ProgramFiles", szProgramFiles, MAX_PATH);
        m_folder = std::string(szProgramFiles) + "\\Quorbit";
        // The editor's shortcut in the Start menu's Programs: the all-users
        // one on Windows, as the package is per machine; Wine's installer
        // takes the user's for every package.
        char szPrograms[MAX_PATH] = "";
        SHGetFolderPathA(NULL, CSIDL_PROGRAMS, NULL, SHGFP_TYPE_CURRENT, szPrograms);
        m_shortcut = std::string(szPrograms) + "\\Quorbit Message Handlers.lnk";
    }
    void TearDown() override
    {
        for (const std::string& product : InstalledProducts())
            RunCmd("msiexec /x " + product.substr(product.find('{')) + " /qn", m_dir);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY);
        for (const char* szPath : {CLIENT_MARK("11.0"), CLIENT_MARK("12.0")})
            RegDeleteKeyA(HKEY_CURRENT_USER, szPath);
        InstallScripts::TearDown();
    }
    // Installs msi silently; false, with what it said, when that failed.
    ::testing::AssertionResult Install(const std::string& msi)
    {
        std::string output;
        if (RunCmd("msiexec /i \"" + msi + "\" /qn", m_dir, &output) != 0)
            return ::testing::AssertionFailure() << msi << ": " << output;
        return ::testing::AssertionSuccess();
    }
    // The marks the client leaves once it has seen a cache trigger.
    static void PlantMarks(std::vector<const char*> paths)
    {
        HKEY hk = NULL;
        for (const char* szPath : paths)
        {
            ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, szPath, &hk), ERROR_SUCCESS);
            RegCloseKey(hk);
        }
    }

    const std::string m_msi = BinDir() + "\\..\\Quorbit-" QUORBIT_VERSION_TEXT ".msi";
    const std::string m_signedMsi = BinDir() + "\\signed\\Quorbit-" QUORBIT_VERSION_TEXT ".msi";
    std::string m_folder, m_shortcut;
};

// A silent install replaces an older version, and a rebuild of its own
// version, one with the fourth field raised and ./dev package's signed one
// (the next in the fourth field only) replace it in turn, one product at a
// time; each raises the Active Setup entry's version, so that every user's
// logon runs its command again. An older package is refused.
TEST_P(InstallPackage, EachPackageReplacesTheOneBeforeAndAnOlderOneIsRefused)
{
    StoreHandler("Orders", "orders@example.com", "orders.exe");
    ASSERT_TRUE(Install(BinDir() + "\\Quorbit-older.msi"));
    EXPECT_EQ(Registration("Outlook Setup Extension"), CACHE_TRIGGER);  // from the install, as nothing was removed
    std::vector<std::string> products;
    std::string before;
    std::vector<unsigned long> setupBefore = SetupVersion();
    for (const auto& step : {std::make_pair(m_msi, QUORBIT_VERSION_TEXT),
                             {BinDir() + "\\Quorbit-rebuild.msi", QUORBIT_VERSION_TEXT},
                             {BinDir() + "\\Quorbit-next.msi", QUORBIT_NEXT_VERSION_TEXT},
                             {m_signedMsi, QUORBIT_VERSION_TEXT}})
    {
        ASSERT_TRUE(Install(step.first));
        products = InstalledProducts();
        ASSERT_EQ(products.size(), 1u) << step.first;
        EXPECT_EQ(products[0].find(step.second + std::string(" {")), 0u) << products[0];
        EXPECT_NE(products[0], before);
        before = products[0];
        EXPECT_GT(SetupVersion(), setupBefore) << step.first;
        setupBefore = SetupVersion();
    }
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), std::vector<std::string>{"Orders"});

    // Refused with the installer's own message, installing nothing: an
    // older package, and any installation for one user only.
    MsiSetInternalUI(INSTALLUILEVEL_BASIC, NULL);
    for (const auto& refused :
         {std::make_tuple(BinDir() + "\\Quorbit-older.msi", "", "A newer version of Quorbit is already installed."),
          {m_msi, "ALLUSERS=\"\"",
           "Quorbit installs for all users of the computer only. Install it as an administrator, without "
           "ALLUSERS=\"\" or MSIINSTALLPERUSER=1."}})
    {
        BoxAnswerer answerer;
        SCOPED_TRACE(std::get<0>(refused));
        EXPECT_EQ(MsiInstallProductA(std::get<0>(refused).c_str(), std::get<1>(refused)), (UINT)ERROR_INSTALL_FAILURE);
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].text, std::get<2>(refused));
        EXPECT_EQ(answerer.boxes[0].caption, "Install Failed");  // Wine's; Windows names the product
        EXPECT_EQ(answerer.boxes[0].buttons, "OK");
        EXPECT_EQ(answerer.boxes[0].icon, "none");
        EXPECT_EQ(answerer.boxes[0].owner, (HWND)NULL);
        EXPECT_EQ(InstalledProducts(), products);
    }
}

// The signed package puts the files where they belong and the registration
// where the 32-bit client reads it; the client loads the signed DLL from
// there and runs a stored handler; every user's cache mark is deleted at
// logon. Either package's File table has each file's version and language,
// and short forms of long names.
TEST_P(InstallPackage, InstalledFilesServeTheClient)
{
    StoreHandler("Orders", "orders@example.com", "\"" + RecorderPath() + "\"", 0, 1, 0);
    std::string recording = PrepareRecording();
    std::string output;
    ASSERT_TRUE(Install(m_signedMsi));

    for (const char* szFile : {"Quorbit.dll", "Quorbit.HLP", "Quorbit.chm", "QuorbitHandlers.exe", "import-handlers.cmd",
                               "export-handlers.cmd", "handler-import.exe", "example-handler.reg"})
        EXPECT_TRUE(Exists(m_folder + "\\" + szFile)) << szFile;
    EXPECT_TRUE(Exists(m_shortcut));
    EXPECT_GE(ExtractIconExA((m_folder + "\\QuorbitHandlers.exe").c_str(), -1, NULL, NULL, 0), 1u) << "its icon";
    EXPECT_EQ(Registration(), "4.0;" + m_folder + "\\Quorbit.dll;1;00000111111100");
    EXPECT_EQ(Registration("Outlook Setup Extension"), CACHE_TRIGGER);
    if (IsWow64())
    {
        EXPECT_EQ(Registration("Quorbit", KEY_WOW64_64KEY), "") << "the 64-bit view is not the client's";
    }

    DWORD dwExit = 99;
    ASSERT_TRUE(RunCommand("\"" + BinDir() + "\\exthost.exe\" --registry Quorbit open --from orders@example.com "
                           "--entryid 001FA0",
                           "", &output, &dwExit));
    EXPECT_EQ(dwExit, 0u) << output;
    EXPECT_NE(output.find("loaded " + m_folder + "\\Quorbit.dll"), std::string::npos) << output;
    std::vector<BYTE> signedDll = ReadFileBytes(BinDir() + "\\signed\\Quorbit\\Quorbit.dll");
    EXPECT_FALSE(signedDll.empty());
    EXPECT_EQ(ReadFileBytes(m_folder + "\\Quorbit.dll"), signedDll) << "the signed DLL ran";
    EXPECT_NE(output.find("OnOpen -> E_ABORT"), std::string::npos) << output;
    std::string cmdLine;
    EXPECT_TRUE(WaitForRecording(recording, &cmdLine));
    EXPECT_EQ(cmdLine, "\"" + RecorderPath() + "\" \"MessageID\" \"001FA0\"");

    for (const std::string& package : {m_msi, m_signedMsi})
    {
        PMSIHANDLE hDatabase, hView, hRecord;
        ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY, &hDatabase), (UINT)ERROR_SUCCESS);
        MsiDatabaseOpenViewA(hDatabase, "SELECT `FileName`, `Version`, `Language` FROM `File`", &hView);
        MsiViewExecute(hView, 0);
        int cVersioned = 0;
        while (MsiViewFetch(hView, &hRecord) == ERROR_SUCCESS)
        {
            char sz[3][256] = {}, szFileVersion[32] = "", szFileLanguage[32] = "";
            for (DWORD i = 0, cch = 256; i < 3; i++, cch = 256)
                MsiRecordGetStringA(hRecord, i + 1, sz[i], &cch);
            std::string name = sz[0], longName = name.substr(name.find('|') + 1);
            SCOPED_TRACE(package + ": " + name);
            EXPECT_TRUE(IsShortName(name.substr(0, name.find('|'))));
            EXPECT_EQ(name.find('|') == std::string::npos, IsShortName(longName));
            DWORD cchVersion = sizeof(szFileVersion), cchLanguage = sizeof(szFileLanguage);
            MsiGetFileVersionA((m_folder + "\\" + longName).c_str(), szFileVersion, &cchVersion, szFileLanguage,
                               &cchLanguage);
            EXPECT_STREQ(sz[1], szFileVersion);
            EXPECT_STREQ(sz[2], szFileLanguage);
            bool fProgram = longName.find(".exe") == longName.size() - 4 || longName.find(".dll") == longName.size() - 4;
            EXPECT_STREQ(sz[1], fProgram ? QUORBIT_VERSION_TEXT : "");
            cVersioned += fProgram;
        }
        EXPECT_EQ(cVersioned, 3) << "Quorbit.dll, QuorbitHandlers.exe and handler-import.exe";
    }
    // And the custom action's DLL, which the package holds in its Binary table.
    char szActionsVersion[32] = "";
    DWORD cchActionsVersion = sizeof(szActionsVersion);
    MsiGetFileVersionA((BinDir() + "\\QuorbitPackage.dll").c_str(), szActionsVersion, &cchActionsVersion, NULL, NULL);
    EXPECT_STREQ(szActionsVersion, QUORBIT_VERSION_TEXT);
    // The Uninstall entry names the folder.
    std::vector<std::string> products = InstalledProducts();
    char szLocation[MAX_PATH] = "";
    DWORD cchLocation = MAX_PATH;
    ASSERT_EQ(products.size(), 1u);
    MsiGetProductInfoA(products[0].substr(products[0].find('{')).c_str(), INSTALLPROPERTY_INSTALLLOCATION, szLocation,
                       &cchLocation);
    EXPECT_EQ(szLocation, m_folder + "\\");

    // Active Setup: what a user's logon runs once per version.
    EXPECT_EQ(Text(ReadStored(ACTIVE_SETUP_KEY, "")), "Quorbit message handlers");
    std::string stub = Text(ReadStored(ACTIVE_SETUP_KEY, "StubPath"));
    PlantMarks({CLIENT_MARK("11.0"), CLIENT_MARK("12.0"), "Software\\Microsoft\\Office\\12.0\\Outlook\\Kept"});
    ASSERT_TRUE(RunCommand(stub, "", &output, &dwExit)) << stub;
    EXPECT_FALSE(UserKeyExists(CLIENT_MARK("11.0")));
    EXPECT_FALSE(UserKeyExists(CLIENT_MARK("12.0")));
    EXPECT_TRUE(UserKeyExists("Software\\Microsoft\\Office\\12.0\\Outlook\\Kept"));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\12.0\\Outlook\\Kept");
}

// A silent uninstall by product code leaves nothing of ours but the
// handlers, the cache trigger and the Active Setup entry, whose version it
// raises past any before (a clock set back too), so that each user's next
// logon deletes the client's marks; the entry goes as the README says.
TEST_P(InstallPackage, UninstallLeavesTheHandlersAndAnEntryThatClearsTheMarks)
{
    StoreHandler("Orders", "orders@example.com", "orders.exe");
    std::string output;
    DWORD dwExit = 99;
    ASSERT_TRUE(Install(m_msi));
    std::vector<std::string> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    std::string stub = Text(ReadStored(ACTIVE_SETUP_KEY, "StubPath"));

    // The client has seen the installation meanwhile.
    PlantMarks({CLIENT_MARK("11.0"), CLIENT_MARK("12.0")});
    WriteString(ACTIVE_SETUP_KEY, "Version", "9999,1231,2359,65535");
    DeleteRegistration("Outlook Setup Extension");
    ASSERT_EQ(RunCmd("msiexec /x " + products[0].substr(products[0].find('{')) + " /qn", m_dir, &output), 0)
        << output;
    EXPECT_EQ(InstalledProducts(), std::vector<std::string>{});
    EXPECT_FALSE(Exists(m_folder));
    EXPECT_FALSE(Exists(m_shortcut));
    EXPECT_EQ(Registration(), "");
    EXPECT_EQ(Registration("Outlook Setup Extension"), CACHE_TRIGGER);
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), std::vector<std::string>{"Orders"});
    EXPECT_EQ(SetupVersion(), (std::vector<unsigned long>{9999, 1231, 2360, 0}));
    EXPECT_EQ(Text(ReadStored(ACTIVE_SETUP_KEY, "StubPath")), stub);
    ASSERT_TRUE(RunCommand(stub, "", &output, &dwExit)) << stub;
    EXPECT_FALSE(UserKeyExists(CLIENT_MARK("11.0")));
    EXPECT_FALSE(UserKeyExists(CLIENT_MARK("12.0")));
    std::string reg = IsWow64() ? "%WINDIR%\\SysWOW64\\reg.exe" : "reg.exe";
    EXPECT_EQ(RunCmd(reg + " delete \"HKLM\\" ACTIVE_SETUP_KEY "\" /f", m_dir), 0);
    EXPECT_FALSE(KeyExists(ACTIVE_SETUP_KEY));
}

// XP's reg.exe is the stricter: whatever the package runs with it runs
// with Wine's too.
INSTANTIATE_TEST_SUITE_P(RegTools, InstallPackage, ::testing::Values(XpReg), RegToolName);

}  // namespace
