// The "Message Handler Definition" dialog.
#include "handler_definition_dialog.h"
#include "ansi_text.h"
#include "handler_store.h"
#include "help_contents.h"
#include "host_handles.h"
#include "error_box.h"
#include "program_path.h"
#include "same_text.h"
#include "sender_address.h"
#include "resource.h"
#include "store_failure.h"
#include <commdlg.h>
#include <mapix.h>
#include <mapiutil.h>
#include <mapitags.h>

// Text fields of MAPI's address-book parameters are not const.
static char szAddressBookCaption[] = "Select Addressee";

// One filter pair, then the empty string that closes the list.
static const char szProgramFilter[] = "Program Files\0*.exe\0";

// Shows one option of the handler. Only 1 counts as on where the option is
// used, so any other stored value is shown clear.
static void ShowOption(HWND hDlg, int idCheckBox, DWORD dwOption)
{
    SendDlgItemMessageA(hDlg, idCheckBox, BM_SETCHECK, dwOption == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

static DWORD ReadOption(HWND hDlg, int idCheckBox)
{
    return SendDlgItemMessageA(hDlg, idCheckBox, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

// Shows the handler the page hands over. It is loaded already: the fields
// show that handler's own values, or for a new one (no name) the values of
// the handler loaded last.
static void OnInitDialog(HWND hDlg, const HANDLER* lpHandler)
{
    HANDLER empty;

    // OK writes the saved handler back there.
    SetWindowLongPtrA(hDlg, DWLP_USER, (LONG_PTR)lpHandler);
    ZeroMemory(&empty, sizeof(empty));
    if (lpHandler == NULL)
        lpHandler = &empty;

    // Nothing longer than a handler keeps can be typed; a double-byte code
    // page still lets more bytes through, which OK refuses.
    SendDlgItemMessageA(hDlg, IDC_HANDLER_NAME, EM_LIMITTEXT, CCH_HANDLER_NAME - 1, 0);
    SendDlgItemMessageA(hDlg, IDC_SENDER_EMAIL_ADDRESS, EM_LIMITTEXT, CCH_SENDER_EMAIL - 1, 0);
    SendDlgItemMessageA(hDlg, IDC_FILE_PATH, EM_LIMITTEXT, CCH_FILE_PATH - 1, 0);
    ShowOption(hDlg, IDC_CONFIRM_DIALOG, lpHandler->dwConfirmDialog);
    ShowOption(hDlg, IDC_PREVENT_OPEN, lpHandler->dwPreventOpen);
    ShowOption(hDlg, IDC_DEBUG, lpHandler->dwDebug);
    SetDlgItemTextA(hDlg, IDC_HANDLER_NAME, lpHandler->szName);
    SetDlgItemTextA(hDlg, IDC_SENDER_EMAIL_ADDRESS, lpHandler->szSenderEmailAddress);
    SetDlgItemTextA(hDlg, IDC_FILE_PATH, lpHandler->szFilePath);
    SetFocus(hDlg);
}

// Reads the text of control id into szText (cchField bytes). A text that
// does not fit is not cut, which would save another name, sender or
// program: a box names the field and its limit, and FALSE keeps the dialog
// open.
static BOOL ReadField(HWND hDlg, int id, const char* szField, char* szText, int cchField)
{
    char szRead[CCH_KEY_NAME];
    char szMessage[200];

    SendDlgItemMessageA(hDlg, id, WM_GETTEXT, CCH_KEY_NAME, (LPARAM)szRead);
    if (lstrlenA(szRead) >= cchField)
    {
        wsprintfA(szMessage, "The %s is too long. It can have at most %d characters.", szField, cchField - 1);
        MessageBoxA(hDlg, szMessage, szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(hDlg, id));
        return FALSE;
    }
    lstrcpyA(szText, szRead);
    return TRUE;
}

// Writes the fields to the store as the handler of the name typed, and
// into the page's handler. A name the store cannot hold, a text too long
// for its field, or a handler the store refuses is reported and the dialog
// stays open; the store and the page's handler then hold what they held.
static void OnOk(HWND hDlg)
{
    LPHANDLER lpHandler = (LPHANDLER)GetWindowLongPtrA(hDlg, DWLP_USER);
    HANDLER handler;
    BOOL fUndone = TRUE;
    LONG lResult;

    ZeroMemory(&handler, sizeof(handler));
    if (!ReadField(hDlg, IDC_HANDLER_NAME, "handler's name", handler.szName, CCH_HANDLER_NAME))
        return;
    if (handler.szName[0] == '\0')
    {
        ErrorMessageBox(hDlg, 0, szMessageBoxTitle, "The handler must have a name.");
        return;
    }
    // The name is a key name: a backslash would make it a path, and the
    // values would land in a nested key that is never listed or searched.
    // "\x83\x5C" is no backslash but one Japanese character.
    if (HasCharacter(handler.szName, '\\'))
    {
        MessageBoxA(hDlg, "A handler name cannot contain a backslash (\\).", szMessageBoxTitle,
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!ReadField(hDlg, IDC_SENDER_EMAIL_ADDRESS, "sender's e-mail address", handler.szSenderEmailAddress,
                   CCH_SENDER_EMAIL) ||
        !ReadField(hDlg, IDC_FILE_PATH, "program's path", handler.szFilePath, CCH_FILE_PATH))
        return;
    // An empty address matches no message: such a handler would never run.
    if (handler.szSenderEmailAddress[0] == '\0')
    {
        MessageBoxA(hDlg, "The handler must have the sender's e-mail address: without one it handles no message.",
                    szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(hDlg, IDC_SENDER_EMAIL_ADDRESS));
        return;
    }

    handler.dwConfirmDialog = ReadOption(hDlg, IDC_CONFIRM_DIALOG);
    handler.dwPreventOpen = ReadOption(hDlg, IDC_PREVENT_OPEN);
    handler.dwDebug = ReadOption(hDlg, IDC_DEBUG);
    // A typed path with a blank is quoted as Browse quotes it; a program
    // followed by arguments names no file as a whole and stays as typed.
    QuoteProgramPath(handler.szFilePath, CCH_FILE_PATH);

    lResult = RegistrySaveHandler(handler.szName, &handler, &fUndone);
    if (lResult != ERROR_SUCCESS)
    {
        ShowStoreFailure(hDlg, handler.szName, "saved", lResult, fUndone);
        return;
    }
    if (lpHandler != NULL)
        *lpHandler = handler;
    EndDialog(hDlg, 1);
}

// Frees an address list the way MAPI hands it out: each row's values were
// allocated on their own, then the list.
static void FreeAddressList(LPADRLIST lpAdrList)
{
    if (lpAdrList == NULL)
        return;
    for (ULONG i = 0; i < lpAdrList->cEntries; i++)
        MAPIFreeBuffer(lpAdrList->aEntries[i].rgPropVals);
    MAPIFreeBuffer(lpAdrList);
}

// The text of the 8-bit property ulPropTag of an address-book row, or NULL.
// A later value of the tag replaces an earlier one, as the row is walked.
static LPCSTR RowText(const ADRENTRY* lpEntry, ULONG ulPropTag)
{
    LPCSTR lpszText = NULL;

    for (ULONG i = 0; lpEntry->rgPropVals != NULL && i < lpEntry->cValues; i++)
    {
        if (lpEntry->rgPropVals[i].ulPropTag == ulPropTag && lpEntry->rgPropVals[i].Value.lpszA != NULL)
            lpszText = lpEntry->rgPropVals[i].Value.lpszA;
    }
    return lpszText;
}

// The SMTP address of an Exchange ("EX") entry, whose e-mail address is a
// directory address that no message from the internet carries and that
// rarely fits the field: the row's PR_SMTP_ADDRESS, or else the one of the
// mail user its entry identifier opens to. Whole and exactly spelt in the
// code page, in MAPI memory the caller frees; NULL when it has none.
static LPSTR EntrySmtpAddress(const ADRENTRY* lpEntry)
{
    LPCSTR lpszRow = RowText(lpEntry, PROP_TAG(PT_STRING8, PROP_ID_SMTP_ADDRESS));
    LPWSTR lpszOpened = NULL;
    LPSTR lpszSmtp = NULL;
    BOOL fExact = FALSE;
    int cb;

    for (ULONG i = 0; lpszRow == NULL && lpEntry->rgPropVals != NULL && i < lpEntry->cValues; i++)
    {
        const SPropValue& v = lpEntry->rgPropVals[i];
        if (v.ulPropTag == PR_ENTRYID && lpszOpened == NULL)
            GetEntrySmtpAddress(lpAdrbook, v.Value.bin.cb, (LPENTRYID)v.Value.bin.lpb, &lpszOpened);
    }
    if (lpszRow != NULL)
        cb = lstrlenA(lpszRow) + 1;
    else
        cb = lpszOpened != NULL ? AnsiFromWide(lpszOpened, NULL, 0, &fExact) : 0;
    if (cb != 0 && SUCCEEDED(MAPIAllocateBuffer(cb, (void**)&lpszSmtp)) && lpszSmtp != NULL)
    {
        if (lpszRow != NULL)
            lstrcpyA(lpszSmtp, lpszRow);
        else if (AnsiFromWide(lpszOpened, lpszSmtp, cb, &fExact) == 0 || !fExact)
        {
            MAPIFreeBuffer(lpszSmtp);
            lpszSmtp = NULL;
        }
    }
    MAPIFreeBuffer(lpszOpened);
    return lpszSmtp;
}

// Puts the e-mail address of the first chosen entry into the sender field:
// for an Exchange entry its SMTP address where it has one. An address the
// field cannot hold is refused, never cut: a cut address is another one.
static void OnBrowseSender(HWND hDlg)
{
    ADRPARM adrparm;
    ULONG_PTR ulUIParam = (ULONG_PTR)hDlg;
    LPADRLIST lpAdrList = NULL;
    LPSTR lpszSmtp = NULL;
    LPCSTR lpszAddress;
    LPCSTR lpszType;

    // The client gave no address book: say so rather than do nothing.
    if (lpAdrbook == NULL)
    {
        MessageBoxA(hDlg, "The address book is not available. Type the sender's e-mail address instead.",
                    szMessageBoxTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }

    ZeroMemory(&adrparm, sizeof(adrparm));
    adrparm.ulFlags = DIALOG_MODAL | DIALOG_OPTIONS | ADDRESS_ONE | AB_RESOLVE;
    adrparm.lpszCaption = szAddressBookCaption;
    adrparm.cDestFields = 1;

    // A failure, the user's cancel among them, means nothing was chosen.
    if (FAILED(lpAdrbook->Address(&ulUIParam, &adrparm, &lpAdrList)))
        goto Cleanup;
    if (lpAdrList == NULL || lpAdrList->cEntries == 0)
        goto Cleanup;

    lpszAddress = RowText(&lpAdrList->aEntries[0], PR_EMAIL_ADDRESS_A);
    lpszType = RowText(&lpAdrList->aEntries[0], PR_ADDRTYPE_A);
    if (lpszType != NULL && SameName(lpszType, "EX"))
        lpszSmtp = EntrySmtpAddress(&lpAdrList->aEntries[0]);
    if (lpszSmtp != NULL)
        lpszAddress = lpszSmtp;
    if (lpszAddress == NULL)
        goto Cleanup;
    if (lstrlenA(lpszAddress) >= CCH_SENDER_EMAIL)
    {
        MessageBoxA(hDlg,
                    "The e-mail address of this entry is too long to be kept (at most 79 characters). "
                    "Type the sender's e-mail address instead.",
                    szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
        goto Cleanup;
    }
    SetDlgItemTextA(hDlg, IDC_SENDER_EMAIL_ADDRESS, lpszAddress);

Cleanup:
    MAPIFreeBuffer(lpszSmtp);
    FreeAddressList(lpAdrList);
}

// Puts the chosen program's path into the program field.
static void OnBrowseProgram(HWND hDlg)
{
    OPENFILENAMEA ofn;
    char szInitialFileName[MAX_PATH];
    // The path, two quotes and the terminator.
    char szProgram[MAX_PATH + 2];

    ZeroMemory(szInitialFileName, sizeof(szInitialFileName));
    ZeroMemory(&ofn, sizeof(ofn));
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    // Owned by this dialog, so that it is disabled while the file dialog is
    // up. Its parent would be no window at all: the dialog is an
    // overlapped window, not a popup.
    ofn.hwndOwner = hDlg;
    ofn.hInstance = GetModuleHandleA(NULL);
    ofn.lpstrFilter = szProgramFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = szInitialFileName;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Program to Run";
    // The client's current folder stays where it was: a program named
    // without a folder would otherwise be looked for in the last folder
    // browsed, and that folder would stay in use.
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    ofn.lpstrDefExt = "exe";

    if (!GetOpenFileNameA(&ofn))
        return;

    // The field becomes the start of a command line. Unquoted, a path with
    // a blank is cut there by the system, and "C:\Program Files\x.exe"
    // could start "C:\Program.exe".
    if (HasCharacter(szInitialFileName, ' '))
    {
        lstrcpyA(szProgram, "\"");
        lstrcatA(szProgram, szInitialFileName);
        lstrcatA(szProgram, "\"");
    }
    else
        lstrcpyA(szProgram, szInitialFileName);

    // OK would cut a longer path to the field's capacity, and a cut path
    // names another program or none.
    if (lstrlenA(szProgram) >= CCH_FILE_PATH)
    {
        MessageBoxA(hDlg,
                    "The path of this program is too long to be kept (at most 127 characters). "
                    "Choose a program with a shorter path.",
                    szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetDlgItemTextA(hDlg, IDC_FILE_PATH, szProgram);
}

static void OnCommand(HWND hDlg, WORD wId, WORD wNotifyCode)
{
    // IDOK and IDCANCEL (Enter without a default button, Esc, the close
    // box) are not handled: only the dialog's own buttons end it.
    if (wNotifyCode != BN_CLICKED)
        return;
    switch (wId)
    {
    case IDC_DEFINITION_OK:
        OnOk(hDlg);
        break;
    case IDC_DEFINITION_CANCEL:
        EndDialog(hDlg, 0);
        break;
    case IDC_DEFINITION_HELP:
        ShowHelpContents(hDlg);
        break;
    case IDC_BROWSE_SENDER:
        OnBrowseSender(hDlg);
        break;
    case IDC_BROWSE_PROGRAM:
        OnBrowseProgram(hDlg);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK AddHandlerDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        OnInitDialog(hDlg, (const HANDLER*)lParam);
        break;
    case WM_COMMAND:
        OnCommand(hDlg, LOWORD(wParam), HIWORD(wParam));
        break;
    default:
        break;
    }
    return FALSE;
}
