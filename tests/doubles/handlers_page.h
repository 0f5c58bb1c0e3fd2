// The "Message Handlers" page record as the extension hands it to the
// client, for the tests that link the page itself rather than the DLL.
#ifndef QUORBIT_TEST_HANDLERS_PAGE_H
#define QUORBIT_TEST_HANDLERS_PAGE_H

#include "host_handles.h"
#include "message_handlers_page.h"
#include "resource.h"
#include <prsht.h>

inline PROPSHEETPAGEA HandlersPage()
{
    PROPSHEETPAGEA page;
    ZeroMemory(&page, sizeof(page));
    page.dwSize = PROPSHEETPAGEA_V1_SIZE;  // 40, as the extension hands it over
    page.dwFlags = PSP_HASHELP;
    page.hInstance = ghInstDLL;
    page.pszTemplate = MAKEINTRESOURCEA(IDD_MESSAGE_HANDLERS);
    page.pfnDlgProc = QuorbitDlgProc;
    return page;
}

#endif
