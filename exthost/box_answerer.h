// Answers the message boxes the extension shows on this thread, and records
// what each showed: exthost's --answer, and every test that causes a box.
//
// A WH_CBT hook on the thread sees every box as it is activated, reads its
// caption, text, buttons, icon and owner, and presses the button scripted.
// Boxes without a scripted answer are answered with their first button, so
// nothing ever waits for a person.
#ifndef QUORBIT_EXTHOST_BOX_ANSWERER_H
#define QUORBIT_EXTHOST_BOX_ANSWERER_H

#include <windows.h>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct BoxSeen
{
    std::string caption;
    std::string text;
    std::string buttons;  // e.g. "OK" or "Yes|No"
    std::string icon;     // "none", "exclamation", "information", "question", "stop"
    HWND owner;
    HCURSOR cursor;       // the thread's cursor while the box was up
    HWND hwnd;
    int firstButton;      // the id of the first button listed
};

// Reads what the box hwnd shows into a fresh *pBox; false when hwnd is no
// message box. A box of another process must be drawn by then: its icon is
// told by its pixels.
bool ReadBox(HWND hwnd, BoxSeen* pBox);

// The system's words for an error code, without the line break they end in.
std::string SystemText(DWORD dwError);

class BoxAnswerer
{
public:
    BoxAnswerer();
    ~BoxAnswerer();

    // Buttons to press, in order (IDOK, IDYES, IDNO, ...).
    void Answer(int id) { m_answers.push_back(id); }
    // Runs once while the next box is up, before it is answered.
    void WhileShown(std::function<void()> fn) { m_whileShown = fn; }
    // The same, but from the box's own message loop, as a person's clicks
    // elsewhere in the client would run while the box waits.
    void WhileUp(std::function<void()> fn) { m_whileUp = fn; }

    std::vector<BoxSeen> boxes;

private:
    static LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR idEvent, DWORD);
    void OnActivate(HWND hwnd);

    HHOOK m_hHook;
    std::deque<int> m_answers;
    std::function<void()> m_whileShown;
    std::function<void()> m_whileUp;
    HWND m_hwndUp = NULL;   // the box m_whileUp runs in, and its answer
    int m_idUp = 0;
    static BoxAnswerer* s_pCurrent;
};

#endif
