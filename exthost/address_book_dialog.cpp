#include "address_book_dialog.h"
#include "exthost_resource.h"
#include <mapitags.h>
#include <stdio.h>

static const struct
{
    const char* szName;
    const char* szAddress;
} entries[] = {
    {"Orders desk", "orders@example.com"},
    {"Invoices", "invoices@example.com"},
    {"Weekly reports", "reports@example.com"},
};

static INT_PTR CALLBACK AddressBookDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (uMsg)
    {
    case WM_INITDIALOG:
        for (size_t i = 0; i < sizeof(entries) / sizeof(entries[0]); i++)
        {
            char sz[160];
            wsprintfA(sz, "%s <%s>", entries[i].szName, entries[i].szAddress);
            SendDlgItemMessageA(hDlg, IDC_ADDRESS_LIST, LB_ADDSTRING, 0, (LPARAM)sz);
        }
        SendDlgItemMessageA(hDlg, IDC_ADDRESS_LIST, LB_SETCURSEL, 0, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK ||
            (LOWORD(wParam) == IDC_ADDRESS_LIST && HIWORD(wParam) == LBN_DBLCLK))
        {
            EndDialog(hDlg, 1 + SendDlgItemMessageA(hDlg, IDC_ADDRESS_LIST, LB_GETCURSEL, 0, 0));
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL)
        {
            EndDialog(hDlg, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void AttachAddressBookDialog(ClientAddrBook* pAddrBook)
{
    pAddrBook->m_whileShown = [pAddrBook]() {
        // 0 for Cancel, otherwise 1 + the chosen entry.
        INT_PTR nChosen = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ADDRESS_BOOK),
                                          (HWND)pAddrBook->m_ulUIParam, AddressBookDlgProc, 0);
        pAddrBook->m_rows.clear();
        if (nChosen <= 0 || nChosen > (INT_PTR)(sizeof(entries) / sizeof(entries[0])))
        {
            pAddrBook->m_answer = ClientAddrBook::Cancel;
            printf("address book: cancelled\n");
        }
        else
        {
            pAddrBook->m_answer = ClientAddrBook::Entries;
            pAddrBook->AddRow({MessageProp::Str(PR_DISPLAY_NAME_A, entries[nChosen - 1].szName),
                               MessageProp::Str(PR_EMAIL_ADDRESS_A, entries[nChosen - 1].szAddress)});
            printf("address book: chose %s\n", entries[nChosen - 1].szAddress);
        }
        fflush(stdout);
    };
}
