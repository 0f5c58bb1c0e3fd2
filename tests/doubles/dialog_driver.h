// Drives the modal dialogs a test causes, from inside their own message
// loops.
//
// A WH_CBT hook sees each new dialog as it is activated. If the next
// scripted step names its caption, a zero-delay thread timer runs the step
// once the dialog's modal loop is pumping, so the step can type, click and
// open further dialogs just as a person would. A dialog that appears
// without a step, or that a step leaves open, is recorded and ended, so no
// test ever waits for a person. Message boxes are left to BoxAnswerer.
#ifndef QUORBIT_TEST_DIALOG_DRIVER_H
#define QUORBIT_TEST_DIALOG_DRIVER_H

#include <windows.h>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

class DialogDriver
{
public:
    typedef std::function<void(HWND)> Step;

    DialogDriver();
    ~DialogDriver();

    // Runs step on the next new dialog captioned caption.
    void When(const std::string& caption, Step step);
    // Runs fn leaving the dialogs it opens alone (the test's own windows).
    void Unwatched(std::function<void()> fn);
    bool AllStepsRan() const { return m_steps.empty(); }
    // Every step ran, and no dialog came up without one or was left open.
    void ExpectScriptRan() const;

    std::vector<std::string> unexpected;   // captions of dialogs without a step
    std::vector<std::string> leftOpen;     // captions of dialogs a step left open

private:
    static LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR idEvent, DWORD);
    void OnActivate(HWND hwnd);
    void RunPending();

    struct Scripted
    {
        std::string caption;
        Step step;
    };
    HHOOK m_hHook;
    std::deque<Scripted> m_steps;
    bool m_fPaused = false;
    std::set<HWND> m_fresh;                 // created, not yet activated
    std::vector<std::pair<HWND, Step> > m_pending;
    static DialogDriver* s_pCurrent;
};

// What a person does with the keyboard and mouse, sent the way the dialog
// manager would deliver it.
void TypeInto(HWND hEdit, const std::string& text);      // replaces the text
void Click(HWND hDlg, int id);                          // BM_CLICK on a button
void PressKey(HWND hDlg, HWND hTarget, UINT vk);        // through IsDialogMessage
std::string TextOf(HWND hwnd);
std::string ItemText(HWND hDlg, int id);
bool IsChecked(HWND hDlg, int id);
// A dialog ended with EndDialog is hidden until its loop returns.
bool IsOpen(HWND hDlg);

#endif
