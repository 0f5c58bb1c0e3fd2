// The platform's help viewers, driven from the tests: waits for a viewer's
// window, reads what it shows, and closes it again.
#ifndef QUORBIT_TEST_HELP_VIEWER_H
#define QUORBIT_TEST_HELP_VIEWER_H

#include <windows.h>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The built Quorbit.HLP beside the test program.
std::string BuiltHelpPath();

struct ReadHelp;

// The built file as the tests' reader reads it; false on a fault.
bool ReadBuiltFile(ReadHelp& help);

// The contents topic's title and the start of its first paragraph, read
// from the built file; false when it cannot be read.
bool ContentsOfBuiltFile(std::string& title, std::string& firstText);

struct ViewerShown
{
    HWND hwnd = NULL;     // the viewer's main window; NULL if none came up
    std::string caption;
    std::string text;     // the topic text the viewer shows
};

// Waits up to ms for a viewer window whose text contains `expect`, pumping
// this thread's messages meanwhile. Returns what it last saw.
ViewerShown WaitForViewer(const std::string& expect, DWORD ms);

// Asks the viewer to quit and waits until its window is gone; closes the
// window itself if the request is not heard. True when it is gone.
bool CloseViewer(HWND owner);

// The HTML Help viewer's window in this process (hhctrl runs in the
// caller), the titles its Contents tree lists, in order, and whether that
// tree is the tab in front.
struct HtmlHelpShown
{
    HWND hwnd = NULL;
    std::vector<std::string> contents;
    bool fContentsInFront = false;
};

// Waits up to ms for an HTML Help window whose Contents list `expect`,
// pumping this thread's messages meanwhile. Returns what it last saw.
HtmlHelpShown WaitForHtmlHelp(const std::string& expect, DWORD ms);

struct IndexShown
{
    HWND sheet = NULL;  // the "Help topics" sheet; NULL if it never came up
    HWND list = NULL;
    std::vector<std::string> keywords;  // as listed
};

// Clicks the viewer's Index button and waits up to ms for its list.
IndexShown OpenIndex(const ViewerShown& viewer, DWORD ms);

// Answers, from a thread of its own, every message box that another
// process (the viewer) shows while it lives, and records the box texts;
// the viewer's Index, which the tests drive, is left alone.
// The viewer's "cannot find the file" question would otherwise block
// WinHelpA for good.
class ForeignBoxWatch
{
public:
    ForeignBoxWatch();
    ~ForeignBoxWatch();
    std::vector<std::string> Boxes();

private:
    void Run();
    std::atomic<bool> m_stop;
    std::mutex m_lock;
    std::vector<std::string> m_boxes;
    std::thread m_thread;
};

#endif
