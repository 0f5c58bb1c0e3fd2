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
                               "uninstall.reg", "import-handlers.cmd", "export-handlers.cmd", "import-at-startup.cmd",
                               "package-codes.vbs"};
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
                               "big.reg", "import-at-startup.cmd", "gpo\\import-at-startup.cmd", "gpo\\startup.log",
                               "startup.log", "package-codes.vbs", "0"};
        for (const char* szFile : files)
            DeleteFileA((m_dir + "\\" + szFile).c_str());
        RemoveDirectoryA((m_dir + "\\folder.reg").c_str());
        RemoveDirectoryA((m_dir + "\\gpo").c_str());
        // Where the package was installed to (InstallPackage), once it is removed.
        RemoveDirectoryA((m_dir + "\\Mail Tools\\Q").c_str());
        RemoveDirectoryA((m_dir + "\\Mail Tools").c_str());
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
    for (const char* szFile : {"install.cmd", "uninstall.cmd", "write-reg.cmd", "import-handlers.cmd", "export-handlers.cmd",
                               "import-at-startup.cmd", "quorbit-code.vbs", "package-codes.vbs"})
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
        {"import-at-startup.cmd", 2, "usage: import-at-startup.cmd FILE.reg [LOG]\n"},
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

// The startup script's log, each of its own lines from where it names
// itself: without the date and time.
std::string StartupLog(const std::string& path)
{
    std::string log = FileBytes(path), lines;
    for (size_t at = 0, end; at < log.size(); at = end + 1)
    {
        end = log.find('\n', at);
        std::string line = log.substr(at, end - at - (end > at && log[end - 1] == '\r'));
        size_t own = line.find("import-at-startup: ");
        lines += (own != std::string::npos ? line.substr(own) : line) + "\n";
    }
    return lines;
}

// A policy's startup script finds Quorbit's folder from the client's
// registration, wherever the script itself is put, and logs what it did;
// on a computer without Quorbit it imports nothing.
TEST_P(InstallScripts, StartupScriptImportsWithTheRegisteredFolder)
{
    std::string gpo = m_dir + "\\gpo", output;
    CreateDirectoryA(gpo.c_str(), NULL);
    ASSERT_TRUE(CopyFileA((m_dir + "\\import-at-startup.cmd").c_str(), (gpo + "\\import-at-startup.cmd").c_str(), FALSE));
    const std::string command =
        "import-at-startup.cmd \"" + m_dir + "\\example-handler.reg\" \"" + gpo + "\\startup.log\"";
    EXPECT_EQ(RunCmd(command, gpo, &output), 1);
    EXPECT_EQ(output, "");
    EXPECT_FALSE(KeyExists(TEST_ROOT_KEY));
    Installed();
    EXPECT_EQ(RunCmd(command, gpo, &output), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), std::vector<std::string>{"Example orders"});
    EXPECT_EQ(StartupLog(gpo + "\\startup.log"),
              "import-at-startup: Quorbit is not registered with the mail client on this computer, or its folder has "
              "no import-handlers.cmd; nothing was imported\n"
              "import-at-startup: importing \"" + m_dir + "\\example-handler.reg\" with \"" + m_dir +
                  "\\import-handlers.cmd\"\n"
              "import-handlers: imported \"" + m_dir + "\\example-handler.reg\"\n"
              "import-at-startup: exit code 0\n");
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

// A property of the one product installed, as its Uninstall entry has it;
// "" when there is not exactly one.
std::string ProductInfo(const char* szProperty)
{
    std::vector<std::string> products = InstalledProducts();
    char sz[MAX_PATH] = "";
    DWORD cch = MAX_PATH;
    if (products.size() == 1)
        MsiGetProductInfoA(products[0].substr(products[0].find('{')).c_str(), szProperty, sz, &cch);
    return sz;
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

// What a query of the package's tables finds, in order: each row's columns
// joined by tabs.
std::vector<std::string> Rows(MSIHANDLE hDatabase, const std::string& query)
{
    std::vector<std::string> rows;
    PMSIHANDLE hView, hRecord;
    MsiDatabaseOpenViewA(hDatabase, query.c_str(), &hView);
    MsiViewExecute(hView, 0);
    while (MsiViewFetch(hView, &hRecord) == ERROR_SUCCESS)
    {
        std::string row;
        for (UINT i = 1; i <= MsiRecordGetFieldCount(hRecord); i++)
        {
            char sz[256] = "";
            DWORD cch = sizeof(sz);
            MsiRecordGetStringA(hRecord, i, sz, &cch);
            row += (i > 1 ? "\t" : "") + std::string(sz);
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Sorted(std::vector<std::string> rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The build's one package, which the tests' build signs with a throwaway
// certificate (install/CMakeLists.txt), and the tests' own packages.
std::string ReleasePackage()
{
    return BinDir() + "\\..\\release\\Quorbit-" QUORBIT_VERSION_TEXT ".msi";
}

std::string TestFile(const std::string& name)
{
    return BinDir() + "\\..\\tests\\install\\" + name;
}

// One file's part of osslsigncode's report: from "== FILE" to its exit code.
std::string ReportOn(const std::string& report, const std::string& file)
{
    size_t at = report.find("== " + file + "\n");
    size_t end = report.find("\nexit code ", at);
    if (at == std::string::npos || end == std::string::npos)
        return "";
    return report.substr(at, report.find('\n', end + 1) - at);
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t c = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        c++;
    return c;
}

// The release files' signatures, each checked by osslsigncode against the
// throwaway certificate they were made with: the programs twice, SHA-1 and
// then SHA-256 nested, so that XP to 7 each find one they check; the
// package, which holds one only, with SHA-256. A copy of each with one byte
// changed breaks every signature it has.
TEST(PackageFiles, EverySignatureVerifiesAndAChangedByteBreaksThem)
{
    const std::string verified = FileBytes(TestFile("signatures\\verified.txt"));
    const std::string changed = FileBytes(TestFile("signatures\\changed.txt"));
    const struct
    {
        const char* szFile;
        std::vector<std::string> digests;
    } files[] = {
        {"Quorbit/Quorbit.dll", {"SHA1", "SHA256"}},
        {"Quorbit/QuorbitHandlers.exe", {"SHA1", "SHA256"}},
        {"Quorbit/handler-import.exe", {"SHA1", "SHA256"}},
        {"Quorbit-" QUORBIT_VERSION_TEXT ".msi", {"SHA256"}},
    };
    for (const auto& f : files)
    {
        std::string good = ReportOn(verified, f.szFile), bad = ReportOn(changed, f.szFile);
        SCOPED_TRACE(good + bad);
        std::vector<std::string> digests;
        for (size_t at = good.find("\nMessage digest algorithm "); at != std::string::npos;
             at = good.find("\nMessage digest algorithm ", at + 1))
        {
            size_t value = good.find(": ", at) + 2;
            digests.push_back(good.substr(value, good.find_first_of(" \n", value) - value));
        }
        EXPECT_EQ(digests, f.digests);
        EXPECT_EQ(Count(good, "Subject: /CN=Quorbit test publisher\n"), 2 * f.digests.size());
        EXPECT_EQ(Count(good, "\nSignature verification: ok\n"), f.digests.size());
        EXPECT_NE(good.find("\nexit code 0"), std::string::npos);
        EXPECT_EQ(Count(bad, "MISMATCH"), f.digests.size());
        EXPECT_EQ(Count(bad, "Signature verification: failed\n"), f.digests.size());
        EXPECT_NE(bad.find("\nexit code 1"), std::string::npos);
    }
}

// A restart the installer finds needed is left to the administrator, a
// silent install closes no program that holds a file in use, and the
// package installs per machine. Add/Remove Programs offers no "Change",
// which would change nothing, shows the editor's icon from the package's
// Icon table, and says what Quorbit does.
TEST(PackageFiles, PropertiesAsAdministratorsNeedThem)
{
    PMSIHANDLE hPackage;
    ASSERT_EQ(MsiOpenPackageA(ReleasePackage().c_str(), &hPackage), (UINT)ERROR_SUCCESS);
    for (const auto& property :
         {std::make_pair("REBOOT", "ReallySuppress"), {"ALLUSERS", "1"}, {"MSIRESTARTMANAGERCONTROL", "Disable"},
          {"ARPNOMODIFY", "1"}, {"ARPPRODUCTICON", "QuorbitHandlers.ico"},
          {"ARPCOMMENTS", "Hands messages from chosen senders to outside programs."}})
    {
        char sz[128] = "";
        DWORD cch = sizeof(sz);
        MsiGetPropertyA(hPackage, property.first, sz, &cch);
        EXPECT_STREQ(sz, property.second) << property.first;
    }
    PMSIHANDLE hDatabase = MsiGetActiveDatabase(hPackage);
    EXPECT_EQ(Rows(hDatabase, "SELECT `Name` FROM `Icon`"), std::vector<std::string>{"QuorbitHandlers.ico"});
}

// What the validation rules, an upgrade that rolls back whole and one that
// keeps the install folder need of the tables: the old version goes right
// after InstallInitialize, inside the new one's transaction; only deferred
// actions skip impersonation; every component is keyed by a file or a value
// below HKLM, as the package is per machine (ICE57), the one with
// handler-import.exe by that versioned file; the shortcut is in the
// component its target keys (ICE69); AppSearch reads the folder the
// package writes, and a folder given on the command line wins over it; the
// Active Setup entry's Version has the product's version where its action
// has not run.
TEST(PackageFiles, KeepTheInstallersRules)
{
    PMSIHANDLE hPackage;
    ASSERT_EQ(MsiOpenPackageA(ReleasePackage().c_str(), &hPackage), (UINT)ERROR_SUCCESS);
    PMSIHANDLE hDatabase = MsiGetActiveDatabase(hPackage);
    std::vector<std::string> actions = Rows(hDatabase, "SELECT `Action` FROM `InstallExecuteSequence` ORDER BY `Sequence`");
    auto itInitialize = std::find(actions.begin(), actions.end(), "InstallInitialize");
    ASSERT_NE(itInitialize, actions.end());
    EXPECT_EQ(*(itInitialize + 1), "RemoveExistingProducts");
    for (const std::string& type : Rows(hDatabase, "SELECT `Type` FROM `CustomAction`"))
        EXPECT_TRUE((atoi(type.c_str()) & (msidbCustomActionTypeInScript | msidbCustomActionTypeNoImpersonate)) !=
                    msidbCustomActionTypeNoImpersonate) << type;

    EXPECT_EQ(Sorted(Rows(hDatabase, "SELECT `Component`.`Component`, `File`.`File` FROM `Component`, `File` WHERE "
                                     "`Component`.`KeyPath` = `File`.`File`")),
              (std::vector<std::string>{"AdminScripts\tImportHandlers", "Extension\tQuorbitDll",
                                        "HandlerEditor\tQuorbitHandlers", "HandlerImport\tHandlerImport",
                                        "HelpFiles\tQuorbitHlp"}));
    EXPECT_EQ(Sorted(Rows(hDatabase, "SELECT `Component`.`Component`, `Registry`.`Root`, `Registry`.`Key`, "
                                     "`Registry`.`Name` FROM `Component`, `Registry` WHERE "
                                     "`Component`.`KeyPath` = `Registry`.`Registry`")),
              (std::vector<std::string>{
                  "ClientCacheMarks\t2\tSoftware\\Microsoft\\Active Setup\\Installed "
                  "Components\\{310D2494-6664-4672-A11D-AEDA04695A85}\\\t",
                  "RememberedFolder\t2\tSOFTWARE\\Quorbit\tInstallFolder"}))
        << "HKEY_LOCAL_MACHINE";
    EXPECT_EQ(Rows(hDatabase, "SELECT `Component` FROM `Component`").size(), 7u);
    EXPECT_EQ(Rows(hDatabase, "SELECT `Shortcut`.`Target`, `Component`.`KeyPath` FROM `Shortcut`, `Component` WHERE "
                              "`Shortcut`.`Component_` = `Component`.`Component`"),
              std::vector<std::string>{"[#QuorbitHandlers]\tQuorbitHandlers"});

    EXPECT_EQ(Rows(hDatabase, "SELECT `AppSearch`.`Property`, `RegLocator`.`Root`, `RegLocator`.`Key`, "
                              "`RegLocator`.`Name`, `RegLocator`.`Type` FROM `AppSearch`, `RegLocator` WHERE "
                              "`AppSearch`.`Signature_` = `RegLocator`.`Signature_`"),
              std::vector<std::string>{"INSTALLFOLDER\t2\tSOFTWARE\\Quorbit\tInstallFolder\t2"})
        << "HKEY_LOCAL_MACHINE, 32-bit view, the value as it is";
    EXPECT_EQ(Rows(hDatabase, "SELECT `Root`, `Key`, `Name` FROM `Registry` WHERE `Value` = '[INSTALLFOLDER]'"),
              std::vector<std::string>{"2\tSOFTWARE\\Quorbit\tInstallFolder"});
    for (const char* szSequence : {"InstallUISequence", "InstallExecuteSequence"})
    {
        SCOPED_TRACE(szSequence);
        std::vector<std::string> order =
            Rows(hDatabase, std::string("SELECT `Action` FROM `") + szSequence + "` ORDER BY `Sequence`");
        auto at = [&order](const char* szAction) { return std::find(order.begin(), order.end(), szAction) - order.begin(); };
        EXPECT_LT(at("KeepGivenFolder"), at("AppSearch"));
        EXPECT_LT(at("AppSearch"), at("UseGivenFolder"));
        EXPECT_LT(at("UseGivenFolder"), at("CostFinalize"));
    }

    std::vector<std::string> version = Rows(hDatabase, "SELECT `Value` FROM `Registry` WHERE `Name` = 'Version'");
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
    // Installs msi silently, with the properties given; false, with what it
    // said, when that failed.
    ::testing::AssertionResult Install(const std::string& msi, const std::string& properties = "")
    {
        std::string output;
        if (RunCmd("msiexec /i \"" + msi + "\" " + properties + " /qn", m_dir, &output) != 0)
            return ::testing::AssertionFailure() << msi << " " << properties << ": " << output;
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

    const std::string m_msi = ReleasePackage();
    const std::string m_older = TestFile("packages\\older-1.0.0.0.msi");
    const std::string m_higher = TestFile("packages\\higher-" QUORBIT_HIGHER_VERSION_TEXT ".msi");
    std::string m_folder, m_shortcut;
};

// A silent install replaces an older version, and a rebuild of its own
// version, one with the fourth field raised, the build's own (the next in
// the fourth field only) and a higher version replace it in turn, one
// product at a time; each raises the Active Setup entry's version, so that
// every user's logon runs its command again. An older package is refused.
TEST_P(InstallPackage, EachPackageReplacesTheOneBeforeAndAnOlderOneIsRefused)
{
    // Refused with the installer's own message, installing nothing: any
    // installation for one user only, and an older package.
    MsiSetInternalUI(INSTALLUILEVEL_BASIC, NULL);
    auto refused = [](const std::string& msi, const char* szProperties, const char* szText) {
        std::vector<std::string> products = InstalledProducts();
        BoxAnswerer answerer;
        SCOPED_TRACE(msi + " " + szProperties);
        EXPECT_EQ(MsiInstallProductA(msi.c_str(), szProperties), (UINT)ERROR_INSTALL_FAILURE);
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].text, szText);
        EXPECT_EQ(answerer.boxes[0].caption, "Install Failed");  // Wine's; Windows names the product
        EXPECT_EQ(answerer.boxes[0].buttons, "OK");
        EXPECT_EQ(answerer.boxes[0].icon, "none");
        EXPECT_EQ(answerer.boxes[0].owner, (HWND)NULL);
        EXPECT_EQ(InstalledProducts(), products);
    };
    refused(m_msi, "ALLUSERS=\"\"",
            "Quorbit installs for all users of the computer only. Install it as an administrator, without "
            "ALLUSERS=\"\" or MSIINSTALLPERUSER=1.");

    StoreHandler("Orders", "orders@example.com", "orders.exe");
    ASSERT_TRUE(Install(m_older));
    EXPECT_EQ(Registration("Outlook Setup Extension"), CACHE_TRIGGER);  // from the install, as nothing was removed
    std::vector<std::string> products;
    std::string before;
    std::vector<unsigned long> setupBefore = SetupVersion();
    for (const auto& step : {std::make_pair(TestFile("packages\\rebuild-" QUORBIT_VERSION_TEXT ".msi"), QUORBIT_VERSION_TEXT),
                             {TestFile("packages\\fourth-field-" QUORBIT_NEXT_VERSION_TEXT ".msi"), QUORBIT_NEXT_VERSION_TEXT},
                             {m_msi, QUORBIT_VERSION_TEXT},
                             {m_higher, QUORBIT_HIGHER_VERSION_TEXT}})
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

    refused(m_older, "", "A newer version of Quorbit is already installed.");
    refused(m_msi, "", "A newer version of Quorbit is already installed.");
}

// The signed package puts the files where they belong and the registration
// where the 32-bit client reads it; the client loads the signed DLL from
// there and runs a stored handler; every user's cache mark is deleted at
// logon. The File table has each file's version and language, and short
// forms of long names.
TEST_P(InstallPackage, InstalledFilesServeTheClient)
{
    StoreHandler("Orders", "orders@example.com", "\"" + RecorderPath() + "\"", 0, 1, 0);
    std::string recording = PrepareRecording();
    std::string output;
    ASSERT_TRUE(Install(m_msi));

    for (const char* szFile : {"Quorbit.dll", "Quorbit.HLP", "Quorbit.chm", "QuorbitHandlers.exe", "import-handlers.cmd",
                               "export-handlers.cmd", "handler-import.exe", "example-handler.reg", "import-at-startup.cmd",
                               "quorbit-code.vbs", "package-codes.vbs", "administrators.txt"})
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
    std::vector<BYTE> signedDll = ReadFileBytes(TestFile("signatures\\Quorbit\\Quorbit.dll"));
    EXPECT_FALSE(signedDll.empty());
    EXPECT_EQ(ReadFileBytes(m_folder + "\\Quorbit.dll"), signedDll) << "the signed DLL ran";
    EXPECT_NE(output.find("OnOpen -> E_ABORT"), std::string::npos) << output;
    std::string cmdLine;
    EXPECT_TRUE(WaitForRecording(recording, &cmdLine));
    EXPECT_EQ(cmdLine, "\"" + RecorderPath() + "\" \"MessageID\" \"001FA0\"");

    PMSIHANDLE hDatabase, hView, hRecord;
    ASSERT_EQ(MsiOpenDatabaseA(m_msi.c_str(), MSIDBOPEN_READONLY, &hDatabase), (UINT)ERROR_SUCCESS);
    MsiDatabaseOpenViewA(hDatabase, "SELECT `FileName`, `Version`, `Language` FROM `File`", &hView);
    MsiViewExecute(hView, 0);
    int cVersioned = 0;
    while (MsiViewFetch(hView, &hRecord) == ERROR_SUCCESS)
    {
        char sz[3][256] = {}, szFileVersion[32] = "", szFileLanguage[32] = "";
        for (DWORD i = 0, cch = 256; i < 3; i++, cch = 256)
            MsiRecordGetStringA(hRecord, i + 1, sz[i], &cch);
        std::string name = sz[0], longName = name.substr(name.find('|') + 1);
        SCOPED_TRACE(name);
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
    // And the custom action's DLL, which the package holds in its Binary table.
    char szActionsVersion[32] = "";
    DWORD cchActionsVersion = sizeof(szActionsVersion);
    MsiGetFileVersionA((BinDir() + "\\QuorbitPackage.dll").c_str(), szActionsVersion, &cchActionsVersion, NULL, NULL);
    EXPECT_STREQ(szActionsVersion, QUORBIT_VERSION_TEXT);
    // The Uninstall entry names the folder, and the help there as its
    // support link.
    EXPECT_EQ(ProductInfo(INSTALLPROPERTY_INSTALLLOCATION), m_folder + "\\");
    EXPECT_EQ(ProductInfo(INSTALLPROPERTY_HELPLINK), m_folder + "\\Quorbit.chm");

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

// A folder given on the command line wins over the one the package
// remembers, and then stays: an upgrade to a higher version whose programs
// differ, and a repair of a removed DLL, put the files and the registration
// there again and keep the handlers; the Uninstall entry and
// quorbit-code.vbs name it; and a policy's startup script finds it.
TEST_P(InstallPackage, TheFolderGivenOnceOutlivesUpgradeAndRepair)
{
    const std::string folder = m_dir + "\\Mail Tools\\Q";
    StoreHandler("Orders", "orders@example.com", "orders.exe");
    WriteString("SOFTWARE\\Quorbit", "InstallFolder", m_dir + "\\Elsewhere\\");
    const struct
    {
        const char* szStep;
        std::string msi, properties;
        const char* szVersion;
        bool fDllRemoved;
    } steps[] = {
        {"install", m_msi, "INSTALLFOLDER=\"" + folder + "\"", QUORBIT_VERSION_TEXT, false},
        {"upgrade", m_higher, "", QUORBIT_HIGHER_VERSION_TEXT, false},
        {"repair", m_higher, "REINSTALL=ALL REINSTALLMODE=omus", QUORBIT_HIGHER_VERSION_TEXT, true},
    };
    for (const auto& step : steps)
    {
        SCOPED_TRACE(step.szStep);
        if (step.fDllRemoved)
        {
            ASSERT_TRUE(DeleteFileA((folder + "\\Quorbit.dll").c_str()));
        }
        ASSERT_TRUE(Install(step.msi, step.properties));
        std::vector<std::string> products = InstalledProducts();
        ASSERT_EQ(products.size(), 1u);
        EXPECT_EQ(products[0].find(step.szVersion + std::string(" {")), 0u) << products[0];
        for (const char* szProgram : {"Quorbit.dll", "QuorbitHandlers.exe", "handler-import.exe"})
        {
            char szVersion[32] = "";
            DWORD cch = sizeof(szVersion);
            MsiGetFileVersionA((folder + "\\" + szProgram).c_str(), szVersion, &cch, NULL, NULL);
            EXPECT_STREQ(szVersion, step.szVersion) << szProgram;
        }
        EXPECT_EQ(Registration(), "4.0;" + folder + "\\Quorbit.dll;1;00000111111100");
        EXPECT_EQ(ProductInfo(INSTALLPROPERTY_INSTALLLOCATION), folder + "\\");
        EXPECT_FALSE(Exists(m_folder));
        EXPECT_EQ(SubKeys(TEST_ROOT_KEY), std::vector<std::string>{"Orders"});
    }

    std::string output;
    EXPECT_EQ(RunCmd("cscript //nologo quorbit-code.vbs", folder, &output), 0);
    EXPECT_EQ(output, InstalledProducts()[0].substr(InstalledProducts()[0].find('{')) + " " +
                          QUORBIT_HIGHER_VERSION_TEXT " " + folder + "\\\n");
    EXPECT_EQ(RunCmd("import-at-startup.cmd \"" + folder + "\\example-handler.reg\" startup.log", m_dir, &output), 0)
        << output;
    EXPECT_EQ(SubKeys(TEST_ROOT_KEY), (std::vector<std::string>{"Example orders", "Orders"}));
    EXPECT_NE(StartupLog(m_dir + "\\startup.log").find("with \"" + folder + "\\import-handlers.cmd\""), std::string::npos);
}

// A silent uninstall by product code leaves nothing of ours but the
// handlers, the cache trigger and the Active Setup entry, whose version it
// raises past any before (a clock set back too), so that each user's next
// logon deletes the client's marks; the entry goes, and the handlers with
// their key, as the administrators' guide says.
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
    EXPECT_FALSE(ReadStored("SOFTWARE\\Quorbit", "InstallFolder").present) << "the folder it remembered";
    EXPECT_EQ(SetupVersion(), (std::vector<unsigned long>{9999, 1231, 2360, 0}));
    EXPECT_EQ(Text(ReadStored(ACTIVE_SETUP_KEY, "StubPath")), stub);
    ASSERT_TRUE(RunCommand(stub, "", &output, &dwExit)) << stub;
    EXPECT_FALSE(UserKeyExists(CLIENT_MARK("11.0")));
    EXPECT_FALSE(UserKeyExists(CLIENT_MARK("12.0")));
    EXPECT_EQ(RunCmd("cscript //nologo quorbit-code.vbs", BinDir() + "\\install", &output), 1);
    EXPECT_EQ(output, "quorbit-code: Quorbit is not installed on this computer\n");
    std::string reg = IsWow64() ? "%WINDIR%\\SysWOW64\\reg.exe" : "%WINDIR%\\System32\\reg.exe";
    for (const char* szKey : {ACTIVE_SETUP_KEY, "SOFTWARE\\Quorbit"})
    {
        EXPECT_EQ(RunCmd(reg + " delete \"HKLM\\" + szKey + "\" /f", m_dir), 0) << szKey;
        EXPECT_FALSE(KeyExists(szKey));
    }
}

// package-codes.vbs prints a package file's codes as Windows Installer reads
// them, and refuses a file that is no package. (Wine's automation object
// takes the read-only mode, 0, for the name of a copy to write, "0" in the
// current folder.)
TEST_P(InstallPackage, PackageCodesScriptReadsThePackageFile)
{
    PMSIHANDLE hDatabase;
    ASSERT_EQ(MsiOpenDatabaseA(ReleasePackage().c_str(), MSIDBOPEN_READONLY, &hDatabase), (UINT)ERROR_SUCCESS);
    std::string codes;
    for (const char* szName : {"ProductCode", "ProductVersion", "UpgradeCode"})
        for (const std::string& value :
             Rows(hDatabase, std::string("SELECT `Value` FROM `Property` WHERE `Property` = '") + szName + "'"))
            codes += std::string(szName) + " " + value + "\n";
    EXPECT_NE(codes.find("\nUpgradeCode " UPGRADE_CODE "\n"), std::string::npos) << codes;

    const struct
    {
        std::string arguments;
        int iExit;
        std::string says;
    } runs[] = {
        {"\"" + ReleasePackage() + "\"", 0, codes},
        {"", 2, "usage: cscript //nologo package-codes.vbs FILE.msi\n"},
        {"install.cmd", 1, "package-codes: \"install.cmd\" is no Windows Installer package\n"},
    };
    std::string output;
    for (const auto& run : runs)
    {
        EXPECT_EQ(RunCmd("cscript //nologo package-codes.vbs " + run.arguments, m_dir, &output), run.iExit)
            << run.arguments;
        EXPECT_EQ(output, run.says);
    }
}

// XP's reg.exe is the stricter: whatever the package runs with it runs
// with Wine's too.
INSTANTIATE_TEST_SUITE_P(RegTools, InstallPackage, ::testing::Values(XpReg), RegToolName);

}  // namespace
