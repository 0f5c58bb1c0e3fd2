#include "help_viewer.h"
#include "help_reader.h"

#include <fstream>
#include <iterator>

namespace {

const char kViewerClass[] = "MS_WINHELP";

void PumpFor(DWORD ms)
{
    DWORD until = GetTickCount() + ms;
    do
    {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(50);
    } while (static_cast<LONG>(until - GetTickCount()) > 0);
}

std::string TextOf(HWND hwnd)
{
    // WM_GETTEXT crosses into the viewer's process; GetWindowText would not.
    LRESULT len = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::string s(static_cast<size_t>(len) + 1, '\0');
    LRESULT got = SendMessageA(hwnd, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(&s[0]));
    s.resize(static_cast<size_t>(got));
    return s;
}

// The longest text among the viewer's child windows: the topic pane.
BOOL CALLBACK LongestText(HWND child, LPARAM lParam)
{
    std::string* best = reinterpret_cast<std::string*>(lParam);
    std::string s = TextOf(child);
    if (s.size() > best->size())
        *best = s;
    return TRUE;
}

BOOL CALLBACK AnswerForeignBox(HWND hwnd, LPARAM lParam)
{
    char cls[32] = "";
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (pid == GetCurrentProcessId() || lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(hwnd) ||
        FindWindowExA(hwnd, NULL, "SysTabControl32", NULL))  // the Index sheet
        return TRUE;
    HWND text = GetDlgItem(hwnd, 0xFFFF);
    reinterpret_cast<std::vector<std::string>*>(lParam)->push_back(text ? TextOf(text) : "(box)");
    int button = GetDlgItem(hwnd, IDNO) ? IDNO : GetDlgItem(hwnd, IDCANCEL) ? IDCANCEL : IDOK;
    PostMessageA(hwnd, WM_COMMAND, button, 0);
    return TRUE;
}

}

std::string BuiltHelpPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of('\\') + 1) + "Quorbit.HLP";
}

bool ReadBuiltFile(ReadHelp& help)
{
    std::ifstream in(BuiltHelpPath(), std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ReadHelpFile(file, help).empty();
}

bool ContentsOfBuiltFile(std::string& title, std::string& firstText)
{
    ReadHelp help;
    if (!ReadBuiltFile(help) || !help.Contents() || help.Contents()->paragraphs.size() < 2)
        return false;
    title = help.Contents()->title;
    firstText = help.Contents()->paragraphs[1].text.substr(0, 40);
    return true;
}

bool InstalledHelp::Install()
{
    char windows[MAX_PATH];
    if (!GetWindowsDirectoryA(windows, MAX_PATH))
        return false;
    std::string helpFolder = std::string(windows) + "\\Help";
    CreateDirectoryA(helpFolder.c_str(), NULL);
    for (const std::string& folder : {helpFolder, std::string(windows)})
    {
        std::string to = folder + "\\Quorbit.HLP";
        if (!CopyFileA(BuiltHelpPath().c_str(), to.c_str(), FALSE))
            return false;
        m_copies.push_back(to);
    }
    return true;
}

void InstalledHelp::Remove()
{
    for (const std::string& copy : m_copies)
        DeleteFileA(copy.c_str());
    m_copies.clear();
}

ViewerShown WaitForViewer(const std::string& expect, DWORD ms)
{
    ViewerShown shown;
    DWORD until = GetTickCount() + ms;
    do
    {
        PumpFor(100);
        shown.hwnd = FindWindowA(kViewerClass, NULL);
        if (!shown.hwnd || !IsWindowVisible(shown.hwnd))
            continue;
        shown.caption = TextOf(shown.hwnd);
        shown.text.clear();
        EnumChildWindows(shown.hwnd, LongestText, reinterpret_cast<LPARAM>(&shown.text));
        if (shown.text.find(expect) != std::string::npos)
            break;
    } while (static_cast<LONG>(until - GetTickCount()) > 0);
    return shown;
}

bool CloseViewer(HWND owner)
{
    HWND viewer = FindWindowA(kViewerClass, NULL);
    if (!viewer)
        return true;
    WinHelpA(owner, "Quorbit.HLP", HELP_QUIT, 0);
    for (int i = 0; i < 100 && IsWindow(viewer); i++)
    {
        if (i == 50)
            PostMessageA(viewer, WM_CLOSE, 0, 0);
        PumpFor(100);
    }
    return !IsWindow(viewer);
}

IndexShown OpenIndex(const ViewerShown& viewer, DWORD ms)
{
    IndexShown index;
    // Posted: the Index is modal, so a sent click would return only after it.
    HWND buttons = FindWindowExA(viewer.hwnd, NULL, "WHButtonBox", NULL);
    PostMessageA(FindWindowExA(buttons, NULL, "Button", "&Index"), BM_CLICK, 0, 0);
    for (DWORD waited = 0; !index.sheet && waited < ms; waited += 100)
    {
        PumpFor(100);
        index.sheet = FindWindowA("#32770", ("Help topics: " + viewer.caption).c_str());
    }
    index.list = FindWindowExA(FindWindowExA(index.sheet, NULL, "#32770", NULL), NULL, "ListBox", NULL);
    LRESULT count = index.sheet && index.list ? SendMessageA(index.list, LB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; i++)
    {
        // A Unicode list answers an ANSI request from another process with
        // only the first character.
        WCHAR text[256] = L"";
        char narrow[256] = "";
        if (SendMessageW(index.list, LB_GETTEXTLEN, i, 0) < 256)
            SendMessageW(index.list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof(narrow), NULL, NULL);
        index.keywords.push_back(narrow);
    }
    return index;
}

ForeignBoxWatch::ForeignBoxWatch() : m_stop(false), m_thread(&ForeignBoxWatch::Run, this) {}

ForeignBoxWatch::~ForeignBoxWatch()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::string> ForeignBoxWatch::Boxes()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_boxes;
}

void ForeignBoxWatch::Run()
{
    while (!m_stop)
    {
        std::vector<std::string> seen;
        EnumWindows(AnswerForeignBox, reinterpret_cast<LPARAM>(&seen));
        if (!seen.empty())
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_boxes.insert(m_boxes.end(), seen.begin(), seen.end());
        }
        Sleep(200);
    }
}
