#include "dialog_driver.h"
#include <gtest/gtest.h>

DialogDriver* DialogDriver::s_pCurrent = NULL;

DialogDriver::DialogDriver()
{
    s_pCurrent = this;
    m_hHook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
}

DialogDriver::~DialogDriver()
{
    UnhookWindowsHookEx(m_hHook);
    s_pCurrent = NULL;
}

void DialogDriver::Unwatched(std::function<void()> fn)
{
    m_fPaused = true;
    fn();
    m_fPaused = false;
}

void DialogDriver::ExpectScriptRan() const
{
    EXPECT_TRUE(AllStepsRan()) << "a dialog the test expected never appeared";
    EXPECT_TRUE(unexpected.empty()) << "unexpected dialog: " << unexpected[0];
    EXPECT_TRUE(leftOpen.empty()) << "dialog left open: " << leftOpen[0];
}

void DialogDriver::When(const std::string& caption, Step step)
{
    m_steps.push_back(Scripted{caption, step});
}

// Message boxes hold their text in a static control 0xFFFF; dialogs may
// have other controls of that identifier (group boxes).
static bool IsMessageBox(HWND hwnd)
{
    char szClass[32] = "";
    HWND hText = GetDlgItem(hwnd, 0xFFFF);
    if (hText == NULL)
        return false;
    GetClassNameA(hText, szClass, sizeof(szClass));
    return lstrcmpiA(szClass, "Static") == 0;
}

static bool IsDialogWindow(HWND hwnd)
{
    char szClass[32] = "";
    GetClassNameA(hwnd, szClass, sizeof(szClass));
    return lstrcmpA(szClass, "#32770") == 0;
}

LRESULT CALLBACK DialogDriver::CbtProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (s_pCurrent != NULL)
    {
        HWND hwnd = (HWND)wParam;
        if (nCode == HCBT_CREATEWND && !(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD))
            s_pCurrent->m_fresh.insert(hwnd);
        else if (nCode == HCBT_ACTIVATE && s_pCurrent->m_fresh.erase(hwnd) != 0)
            s_pCurrent->OnActivate(hwnd);
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

void DialogDriver::OnActivate(HWND hwnd)
{
    if (!IsDialogWindow(hwnd) || IsMessageBox(hwnd))
        return;
    if (m_fPaused)
        return;
    std::string caption = TextOf(hwnd);

    Step step;
    if (!m_steps.empty() && m_steps.front().caption == caption)
    {
        step = m_steps.front().step;
        m_steps.pop_front();
    }
    else
        unexpected.push_back(caption);
    m_pending.push_back(std::make_pair(hwnd, step));
    SetTimer(NULL, 0, 0, TimerProc);
}

void CALLBACK DialogDriver::TimerProc(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(NULL, idEvent);
    if (s_pCurrent != NULL)
        s_pCurrent->RunPending();
}

void DialogDriver::RunPending()
{
    if (m_pending.empty())
        return;
    std::pair<HWND, Step> p = m_pending.back();
    m_pending.pop_back();
    std::string caption = TextOf(p.first);
    if (p.second)
        p.second(p.first);
    if (IsOpen(p.first))
    {
        if (p.second)
            leftOpen.push_back(caption);
        EndDialog(p.first, 0);
    }
}

void TypeInto(HWND hEdit, const std::string& text)
{
    SetFocus(hEdit);
    SendMessageA(hEdit, EM_SETSEL, 0, -1);
    SendMessageA(hEdit, WM_CLEAR, 0, 0);
    for (char ch : text)
        SendMessageA(hEdit, WM_CHAR, (WPARAM)(BYTE)ch, 1);
}

void Click(HWND hDlg, int id)
{
    SendMessageA(GetDlgItem(hDlg, id), BM_CLICK, 0, 0);
}

void PressKey(HWND hDlg, HWND hTarget, UINT vk)
{
    MSG msg;
    ZeroMemory(&msg, sizeof(msg));
    msg.hwnd = hTarget;
    msg.message = WM_KEYDOWN;
    msg.wParam = vk;
    msg.lParam = 1;
    if (!IsDialogMessageA(hDlg, &msg))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string TextOf(HWND hwnd)
{
    char sz[1024] = "";
    GetWindowTextA(hwnd, sz, sizeof(sz));
    return sz;
}

std::string ItemText(HWND hDlg, int id)
{
    return TextOf(GetDlgItem(hDlg, id));
}

bool IsChecked(HWND hDlg, int id)
{
    return IsDlgButtonChecked(hDlg, id) == BST_CHECKED;
}

bool IsOpen(HWND hDlg)
{
    return IsWindow(hDlg) && IsWindowVisible(hDlg);
}
