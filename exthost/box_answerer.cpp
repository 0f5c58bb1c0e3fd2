#include "box_answerer.h"
#include <vector>

BoxAnswerer* BoxAnswerer::s_pCurrent = nullptr;

BoxAnswerer::BoxAnswerer()
{
    s_pCurrent = this;
    m_hHook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
}

BoxAnswerer::~BoxAnswerer()
{
    UnhookWindowsHookEx(m_hHook);
    s_pCurrent = nullptr;
}

LRESULT CALLBACK BoxAnswerer::CbtProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_ACTIVATE && s_pCurrent != nullptr)
        s_pCurrent->OnActivate((HWND)wParam);
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

void CALLBACK BoxAnswerer::TimerProc(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(NULL, idEvent);
    BoxAnswerer* pThis = s_pCurrent;
    if (pThis == nullptr || !pThis->m_whileUp)
        return;
    std::function<void()> fn = pThis->m_whileUp;
    pThis->m_whileUp = nullptr;
    fn();
    PostMessageA(pThis->m_hwndUp, WM_COMMAND, MAKEWPARAM(pThis->m_idUp, BN_CLICKED),
                 (LPARAM)GetDlgItem(pThis->m_hwndUp, pThis->m_idUp));
}

std::string SystemText(DWORD dwError)
{
    LPSTR lpsz = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                   NULL, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&lpsz, 0, NULL);
    std::string s = lpsz ? lpsz : "";
    LocalFree(lpsz);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

static std::string WindowText(HWND hwnd)
{
    // Sent: a control of another process answers it too.
    char sz[2048] = "";
    SendMessageA(hwnd, WM_GETTEXT, sizeof(sz), (LPARAM)sz);
    return sz;
}

// An icon handle of another process means nothing here: the system icon
// that, drawn on the box's background, shows what the screen shows; the
// foreign handle when none does.
static HICON MatchingIcon(HWND hStatic, HICON hForeign)
{
    RECT rc;
    GetWindowRect(hStatic, &rc);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    HDC hdcScreen = GetDC(NULL), hdc = CreateCompatibleDC(hdcScreen);
    HGDIOBJ hOld = SelectObject(hdc, CreateCompatibleBitmap(hdcScreen, cx, cy));
    std::vector<COLORREF> shown;
    BitBlt(hdc, 0, 0, cx, cy, hdcScreen, rc.left, rc.top, SRCCOPY);
    for (int i = 0; i < cx * cy; i++)
        shown.push_back(GetPixel(hdc, i % cx, i / cx));
    HICON hMatch = hForeign;
    for (LPCSTR id : {IDI_EXCLAMATION, IDI_INFORMATION, IDI_QUESTION, IDI_HAND})
    {
        HBRUSH hbr = CreateSolidBrush(shown[0]);
        RECT rcIcon = {0, 0, cx, cy};
        FillRect(hdc, &rcIcon, hbr);
        DeleteObject(hbr);
        DrawIconEx(hdc, 0, 0, LoadIcon(NULL, id), cx, cy, 0, NULL, DI_NORMAL);
        int i = 0;
        while (i < cx * cy && GetPixel(hdc, i % cx, i / cx) == shown[i])
            i++;
        if (i == cx * cy)
            hMatch = LoadIcon(NULL, id);
    }
    DeleteObject(SelectObject(hdc, hOld));
    DeleteDC(hdc);
    ReleaseDC(NULL, hdcScreen);
    return hMatch;
}

static std::string IconOf(HWND hBox)
{
    for (HWND h = GetWindow(hBox, GW_CHILD); h != NULL; h = GetWindow(h, GW_HWNDNEXT))
    {
        char szClass[32] = "";
        GetClassNameA(h, szClass, sizeof(szClass));
        if (lstrcmpiA(szClass, "Static") != 0 || (GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            continue;
        // The box is not shown yet when it is activated: read the style.
        if (!(GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE))
            return "none";
        HICON hIcon = (HICON)SendMessageA(h, STM_GETICON, 0, 0);
        DWORD dwProcess = 0;
        GetWindowThreadProcessId(hBox, &dwProcess);
        if (dwProcess != GetCurrentProcessId())
            hIcon = MatchingIcon(h, hIcon);
        if (hIcon == LoadIcon(NULL, IDI_EXCLAMATION))
            return "exclamation";
        if (hIcon == LoadIcon(NULL, IDI_INFORMATION))
            return "information";
        if (hIcon == LoadIcon(NULL, IDI_QUESTION))
            return "question";
        if (hIcon == LoadIcon(NULL, IDI_HAND))
            return "stop";
        return hIcon ? "other" : "none";
    }
    return "none";
}

bool ReadBox(HWND hwnd, BoxSeen* pBox)
{
    char szClass[32] = "";
    GetClassNameA(hwnd, szClass, sizeof(szClass));
    // Message boxes are dialogs with their text in static 0xFFFF; other
    // dialogs may use 0xFFFF for group boxes.
    if (lstrcmpA(szClass, "#32770") != 0 || GetDlgItem(hwnd, 0xFFFF) == NULL)
        return false;
    char szTextClass[32] = "";
    GetClassNameA(GetDlgItem(hwnd, 0xFFFF), szTextClass, sizeof(szTextClass));
    if (lstrcmpiA(szTextClass, "Static") != 0)
        return false;

    BoxSeen& box = *pBox;
    box.caption = WindowText(hwnd);
    box.text = WindowText(GetDlgItem(hwnd, 0xFFFF));
    box.icon = IconOf(hwnd);
    box.owner = GetWindow(hwnd, GW_OWNER);
    box.cursor = GetCursor();
    box.hwnd = hwnd;

    static const struct { int id; const char* name; } buttons[] = {
        {IDOK, "OK"}, {IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"},
        {IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    box.firstButton = 0;
    for (const auto& b : buttons)
    {
        HWND hButton = GetDlgItem(hwnd, b.id);
        if (hButton == NULL || !(GetWindowLongA(hButton, GWL_STYLE) & WS_VISIBLE))
            continue;
        if (!box.buttons.empty())
            box.buttons += "|";
        box.buttons += b.name;
        if (box.firstButton == 0)
            box.firstButton = b.id;
    }
    return true;
}

void BoxAnswerer::OnActivate(HWND hwnd)
{
    BoxSeen box;
    // Activated again when the windows used while it waited have gone.
    if ((hwnd == m_hwndUp && IsWindow(hwnd)) || !ReadBox(hwnd, &box))
        return;
    boxes.push_back(box);

    if (m_whileShown)
    {
        std::function<void()> fn = m_whileShown;
        m_whileShown = nullptr;
        fn();
    }

    int id = box.firstButton;
    if (!m_answers.empty())
    {
        id = m_answers.front();
        m_answers.pop_front();
    }
    if (m_whileUp)
    {
        m_hwndUp = hwnd;
        m_idUp = id;
        SetTimer(NULL, 0, 0, TimerProc);
        return;
    }
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(hwnd, id));
}
