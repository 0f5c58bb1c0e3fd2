// QuorbitHandlers.exe run as a person runs it: its windows, in another
// process, are found by their captions and driven with posted clicks; its
// boxes are read and answered from here.
#include "box_answerer.h"
#include "planted_files.h"
#include "quorbit_dll.h"
#include "resource.h"
#include "test_registry.h"
#include <gtest/gtest.h>
#include <fstream>
#include <prsht.h>

namespace {

const char kEditor[] = "Quorbit Message Handlers";
const char kDefinition[] = "Message Handler Definition";
// The system's: a property sheet's tab control, a message box's text.
enum { IDC_TABS = 0x3020, IDC_APPLY = 0x3021, IDC_BOX_TEXT = 0xFFFF };

void Press(HWND hDlg, int id)
{
    PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(hDlg, id));
}

// The shown window captioned caption that holds control id (the editor's:
// the tests run one at a time); waits up to 15 s for it.
HWND Wait(const char* caption, int id)
{
    HWND h = NULL;
    for (int i = 0; i < 150 && !(IsWindowVisible(h) && GetDlgItem(h, id)); i++, Sleep(100))
        h = FindWindowA("#32770", caption);
    return h;
}

// Reads the box once drawn (its icon comes from the screen), answers it, and checks it.
void ExpectBox(const char* caption, const std::string& text, const char* icon, HWND owner)
{
    BoxSeen box = {};
    HWND h = Wait(caption, IDC_BOX_TEXT);
    for (int i = 0; i < 30 && ReadBox(h, &(box = BoxSeen())) && box.icon == "other"; i++)
        Sleep(100);
    Press(h, box.firstButton);
    EXPECT_EQ(std::vector<std::string>({caption, text, "OK", icon}),
              std::vector<std::string>({box.caption, box.text, box.buttons, box.icon}));
    EXPECT_EQ(owner, box.owner);
}

// The editor's process, started from dir; ended if a failed test leaves it up.
struct Editor
{
    PROCESS_INFORMATION pi = {};
    explicit Editor(const std::string& dir)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        std::string cmd = "\"" + dir + "\\QuorbitHandlers.exe\"";
        CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
    }
    ~Editor()
    {
        TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    DWORD Exit()
    {
        DWORD dw = 99;
        WaitForSingleObject(pi.hProcess, 15000);
        GetExitCodeProcess(pi.hProcess, &dw);
        return dw;
    }
};

std::string SavedSender(HWND hDefinition, const char* szSender)
{
    SendDlgItemMessageA(hDefinition, IDC_SENDER_EMAIL_ADDRESS, WM_SETTEXT, 0, (LPARAM)szSender);
    Press(hDefinition, IDC_DEFINITION_OK);
    for (int i = 0; i < 100 && IsWindowVisible(hDefinition); i++)
        Sleep(100);
    StoredValue v = ReadStored(TEST_ROOT_KEY "\\Orders", "SenderEmailAddress");
    return std::string(v.data.begin(), v.data.end()).c_str();
}

TEST(HandlerEditor, AddsChangesAndRemovesAHandlerThroughTheDllsPage)
{
    ResetStore();
    Editor editor(BinDir());
    HWND sheet = Wait(kEditor, IDC_TABS);
    ASSERT_NE((HWND)NULL, sheet);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet, IDHELP)) && IsWindowEnabled(GetDlgItem(sheet, IDHELP)));
    // Every change is stored as it is made: an Apply button would do nothing.
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, IDC_APPLY)));
    HWND page = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);

    Press(page, IDC_ADD_HANDLER);
    HWND def = Wait(kDefinition, IDC_BROWSE_SENDER);
    ASSERT_NE((HWND)NULL, def);
    // No session, no address book: Browse says so and fails nothing.
    Press(def, IDC_BROWSE_SENDER);
    ExpectBox("Message Handling", "The address book is not available. Type the sender's e-mail address instead.",
              "information", def);
    SendDlgItemMessageA(def, IDC_HANDLER_NAME, WM_SETTEXT, 0, (LPARAM) "Orders");
    EXPECT_EQ("orders@example.com", SavedSender(def, "orders@example.com"));
    EXPECT_EQ(1, SendDlgItemMessageA(page, IDC_HANDLER_LIST, LB_GETCOUNT, 0, 0));

    SendDlgItemMessageA(page, IDC_HANDLER_LIST, LB_SETCURSEL, 0, 0);
    Press(page, IDC_HANDLER_PROPERTIES);
    ASSERT_NE((HWND)NULL, def = Wait(kDefinition, IDC_BROWSE_SENDER));
    EXPECT_EQ("sales@example.com", SavedSender(def, "sales@example.com"));

    Press(page, IDC_REMOVE_HANDLER);
    for (int i = 0; i < 100 && KeyExists(TEST_ROOT_KEY "\\Orders"); i++)
        Sleep(100);
    EXPECT_EQ(std::vector<std::string>(), SubKeys(TEST_ROOT_KEY));
    EXPECT_EQ(0, SendDlgItemMessageA(page, IDC_HANDLER_LIST, LB_GETCOUNT, 0, 0));
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    EXPECT_EQ(0u, editor.Exit());
    ResetStore();
}

// With Wine playing XP for the editor, Help opens WinHelp from the Windows
// folder: a winhlp32.exe in the current folder, where a bare name would be
// looked for first, never runs.
TEST(HandlerEditor, HelpOnWindowsXpStartsTheViewerOfTheWindowsFolder)
{
    const char szAppDefaults[] = "Software\\Wine\\AppDefaults\\QuorbitHandlers.exe";
    HKEY hk = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, szAppDefaults, &hk));
    RegSetValueExA(hk, "Version", 0, REG_SZ, (const BYTE*)"winxp", 6);
    RegCloseKey(hk);
    PlantedFiles planted({"winhlp32.exe"}, RecorderPath());
    std::string recording = PrepareRecording(), started;
    Editor editor(BinDir());
    HWND sheet = Wait(kEditor, IDC_TABS);
    ASSERT_NE((HWND)NULL, sheet);
    Press(sheet, IDHELP);
    HWND viewer = NULL;
    for (int i = 0; i < 150 && !(viewer = FindWindowA("MS_WINHELP", NULL)); i++)
        Sleep(100);
    EXPECT_NE((HWND)NULL, viewer);
    EXPECT_FALSE(WaitForRecording(recording, &started, 1000)) << "the planted viewer ran: " << started;
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    EXPECT_EQ(0u, editor.Exit());
    RegDeleteKeyA(HKEY_CURRENT_USER, szAppDefaults);
}

TEST(HandlerEditor, ManifestAsksForAdministratorAndCommonControls6)
{
    HMODULE h = LoadLibraryExA((BinDir() + "\\QuorbitHandlers.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC hRes = FindResourceA(h, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE((HRSRC)NULL, hRes);
    std::string manifest((const char*)LockResource(LoadResource(h, hRes)), SizeofResource(h, hRes));
    FreeLibrary(h);
    for (const char* sz : {"<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
                           "<requestedExecutionLevel level=\"requireAdministrator\"",
                           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
        EXPECT_NE(std::string::npos, manifest.find(sz)) << sz << " in " << manifest;
}

// Beside no Quorbit.dll, or one it cannot use, it shows one box that names
// the file and why, and exits with 1, having released what it took.
TEST(HandlerEditor, WithoutAUsableDllShowsOneBoxAndExitsWithOne)
{
    const struct
    {
        const char* szDll;
        const char* szWhat;
        DWORD dwError;
        bool fRefuses = false;  // Install answers S_FALSE, as to a client it does not serve
    } cases[] = {
        {NULL, " could not be loaded.", ERROR_MOD_NOT_FOUND},
        {"", " could not be loaded.", ERROR_BAD_EXE_FORMAT},  // an empty file; its text names it
        {"not_an_extension.dll", " is no mail client extension: it has no entry point ExchEntryPoint.",
         ERROR_PROC_NOT_FOUND},
        {"greedy_extension.dll", " gives no pages for the Options dialog.", 0},
        {"greedy_extension.dll", " refused to be installed for the Options dialog.", 0, true},
    };
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string references = std::string(szTemp) + "quorbit-greedy-references.txt";
    // The greedy extension writes there, as it unloads, the references
    // still held on its objects.
    SetEnvironmentVariableA("QUORBIT_GREEDY_REFERENCES", references.c_str());
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.szWhat);
        const std::string dir = std::string(szTemp) + "quorbit-editor-alone", dll = dir + "\\Quorbit.dll";
        PlantedFiles planted({dir + "\\QuorbitHandlers.exe"}, BinDir() + "\\QuorbitHandlers.exe");
        if (c.szDll != NULL && *c.szDll == '\0')
            CloseHandle(CreateFileA(dll.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
        ASSERT_TRUE(!c.szDll || !*c.szDll || CopyFileA((BinDir() + "\\" + c.szDll).c_str(), dll.c_str(), FALSE));
        DeleteFileA(references.c_str());
        SetEnvironmentVariableA("QUORBIT_GREEDY_REFUSES", c.fRefuses ? "1" : NULL);
        {
            Editor editor(dir);
            std::string reason = c.dwError ? "\n\n" + SystemText(c.dwError) : "";
            if (reason.find("%1") != std::string::npos)
                reason.replace(reason.find("%1"), 2, dll);
            ExpectBox(kEditor, dll + c.szWhat + reason, "stop", NULL);
            EXPECT_EQ(1u, editor.Exit());
        }
        if (c.szDll != NULL && std::string(c.szDll) == "greedy_extension.dll")
        {
            std::ifstream kept(references);
            std::string line;
            EXPECT_TRUE(std::getline(kept, line));
            EXPECT_EQ("IExchExt 0, IExchExtPropertySheets 0, IOutlookExtItemEvents 0", line);
        }
        DeleteFileA(dll.c_str());
    }
    DeleteFileA(references.c_str());
    SetEnvironmentVariableA("QUORBIT_GREEDY_REFERENCES", NULL);
    SetEnvironmentVariableA("QUORBIT_GREEDY_REFUSES", NULL);
}

}  // namespace
