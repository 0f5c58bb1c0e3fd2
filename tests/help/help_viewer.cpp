#include "help_viewer.h"
#include "help_reader.h"

#include <commctrl.h>

#include <algorithm>
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
    // An HTML Help window of this process closes as any window does.
    HWND htmlHelp = FindWindowA("HH Parent", NULL);
    if (htmlHelp && GetWindowThreadProcessId(htmlHelp, NULL) == GetCurrentThreadId())
    {
        PostMessageA(htmlHelp, WM_CLOSE, 0, 0);
        PumpFor(200);
    }
    HWND viewer = FindWindowA(kViewerClass, NULL);
    if (!viewer)
        return !IsWindow(htmlHelp);
    WinHelpA(owner, BuiltHelpPath().c_str(), HELP_QUIT, 0);
    for (int i = 0; i < 100 && IsWindow(viewer); i++)
    {
        if (i == 50)
            PostMessageA(viewer, WM_CLOSE, 0, 0);
        PumpFor(100);
    }
    return !IsWindow(viewer) && !IsWindow(htmlHelp);
}

namespace {

BOOL CALLBACK FindTree(HWND child, LPARAM lParam)
{
    char cls[32] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpA(cls, "SysTreeView32") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = child;
    return FALSE;
}

}

HtmlHelpShown WaitForHtmlHelp(const std::string& expect, DWORD ms)
{
    HtmlHelpShown shown;
    DWORD until = GetTickCount() + ms;
    do
    {
        PumpFor(100);
        shown.hwnd = FindWindowA("HH Parent", NULL);
        HWND tree = NULL;
        if (!shown.hwnd || GetWindowThreadProcessId(shown.hwnd, NULL) != GetCurrentThreadId())
            continue;
        EnumChildWindows(shown.hwnd, FindTree, reinterpret_cast<LPARAM>(&tree));
        shown.fContentsInFront = IsWindowVisible(tree) != FALSE;
        shown.contents.clear();
        for (HTREEITEM item = TreeView_GetRoot(tree); tree && item; item = TreeView_GetNextSibling(tree, item))
        {
            char text[256] = "";
            TVITEMA tvi;
            ZeroMemory(&tvi, sizeof(tvi));
            tvi.mask = TVIF_TEXT;
            tvi.hItem = item;
            tvi.pszText = text;
            tvi.cchTextMax = sizeof(text);
            SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
            shown.contents.push_back(text);
        }
        if (std::find(shown.contents.begin(), shown.contents.end(), expect) != shown.contents.end())
            break;
    } while (static_cast<LONG>(until - GetTickCount()) > 0);
    return shown;
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
