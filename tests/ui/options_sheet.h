// The client's options dialog as the tests build it: a modeless property
// sheet holding the "Message Handlers" page, made from the same page record
// the client receives, and one plain page of the client's own before it.
#ifndef QUORBIT_TEST_OPTIONS_SHEET_H
#define QUORBIT_TEST_OPTIONS_SHEET_H

#include <windows.h>
#include <string>
#include <vector>

// Caption of the options dialog.
#define OPTIONS_CAPTION "Options"

class OptionsSheet
{
public:
    OptionsSheet();    // created with the handlers page in front
    ~OptionsSheet();

    HWND hSheet;
    HWND hPage;        // the handlers page
    HWND hList;

    void ShowOtherPage();
    void ShowHandlersPage();
    void Pump();       // delivers what is queued for the sheet

    std::vector<std::string> Listed() const;
    int Selected() const;
    void Select(int i);
    void ClickPage(int id);   // a button of the handlers page
};

#endif
