// The client's options dialog as the tests build it: a modeless property
// sheet with a plain page of the client's own, then the extension's pages
// as the client receives them, the first of these in front.
#ifndef QUORBIT_TEST_OPTIONS_SHEET_H
#define QUORBIT_TEST_OPTIONS_SHEET_H

#include <windows.h>
#include <prsht.h>
#include <string>
#include <vector>

// Caption of the options dialog.
#define OPTIONS_CAPTION "Options"

class OptionsSheet
{
public:
    OptionsSheet(const PROPSHEETPAGEA* pPages, UINT cPages);
    ~OptionsSheet();
    OptionsSheet(const OptionsSheet&) = delete;
    OptionsSheet& operator=(const OptionsSheet&) = delete;

    HWND hSheet;
    HWND hPage;        // the extension's first page: the handlers page
    HWND hList;

    void ShowOtherPage();
    void ShowHandlersPage();
    void Pump();       // delivers what is queued for the sheet

    std::vector<std::string> Tabs() const;
    std::vector<std::string> Listed() const;
    int Selected() const;
    void Select(int i);
    void ClickPage(int id);   // a button of the handlers page
};

#endif
