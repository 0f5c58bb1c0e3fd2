// The message check and the launch of a handler's program.
#include "message_check.h"
#include "ansi_text.h"
#include "handler_store.h"
#include "program_path.h"
#include "prop_readers.h"
#include "system_text.h"
#include <mapiutil.h>
#include <mapitags.h>

char  szMessageBoxTitle[40] = "Message Handling";
LPSTR lpszSenderEmail = NULL;

static char szQuote[2] = "\"";
static char szSpace[2] = " ";
static char szError[256];

// The sender's address as 8-bit text, whatever UNICODE says:
// PR_SENDER_EMAIL_ADDRESS turns into the wide-string tag with it.
#define PR_SENDER_EMAIL_ADDRESS_STRING8 PROP_TAG(PT_STRING8, 0x0C1F)
static_assert(PR_SENDER_EMAIL_ADDRESS_STRING8 == 0x0C1F001E, "sender address tag");

// The longest command line CreateProcessA accepts, terminator included.
#define CCH_MAX_CMDLINE 32767

// Set while a check runs. The check's boxes run nested message loops, and a
// second check started from one of them would free the first one's sender
// address under it.
static BOOL fCheckRunning = FALSE;

// Appends szSrc to szDest without passing cchDest characters.
static void AppendBounded(char* szDest, int cchDest, const char* szSrc)
{
    int cch = lstrlenA(szDest);

    if (cch < cchDest - 1)
        CopyCharacters(szDest + cch, cchDest - cch, szSrc);
}

void ErrorMessageBox(void* hWnd, long hr, const char* szFunction, const char* szMessage)
{
    const char* lpszText;
    char szCode[16];

    if (szMessage == NULL)
        lpszText = "An unknown error occured.";
    else if (hr == 0 && szFunction == NULL)
        lpszText = szMessage;
    else
    {
        wsprintfA(szCode, "%08X", (unsigned int)hr);
        lstrcpyA(szError, "Error ");
        AppendBounded(szError, sizeof(szError), szCode);
        if (szFunction != NULL)
        {
            AppendBounded(szError, sizeof(szError), " in ");
            AppendBounded(szError, sizeof(szError), szFunction);
        }
        AppendBounded(szError, sizeof(szError), "\n");
        AppendBounded(szError, sizeof(szError), szMessage);
        lpszText = szError;
    }
    MessageBoxA((HWND)hWnd, lpszText, szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
}

// Tells the user why a program could not be started, in the system's words.
static void ShowLaunchFailure(DWORD dwError)
{
    char szText[512];

    MessageBoxA(NULL, SystemErrorText(dwError, szText, sizeof(szText)), szMessageBoxTitle,
                MB_OK | MB_ICONINFORMATION);
}

// Tells the user that lpHandler starts nothing, and why: szFormat has a %s
// for the handler's name and may have one for its program text.
static void ShowNothingStarted(const HANDLER* lpHandler, const char* szFormat)
{
    // Key names run to 255 characters, 510 bytes in a double-byte code
    // page; the program text to 127.
    char szText[1024];

    wsprintfA(szText, szFormat, lpHandler->szName, lpHandler->szFilePath);
    MessageBoxA(NULL, szText, szMessageBoxTitle, MB_OK | MB_ICONINFORMATION);
}

void RunApp(const char* szCmdArgs, const HANDLER* lpHandler)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    char szApplication[MAX_PATH];
    LPCSTR lpszApplication = NULL;
    LPCSTR lpszProgram = lpHandler->szFilePath;
    LPCSTR lpszRest = "";
    LPSTR lpszCmdLine;
    int cchCmdLine;

    // What a stored value could not give: missing, unreadable, too long.
    if (lpHandler->szFilePath[0] == '\0')
    {
        ShowNothingStarted(lpHandler, "The message handler \"%s\" has no program to start: its program path is "
                                      "missing, cannot be read, or is longer than 127 characters.");
        return;
    }
    switch (SettleProgramText(lpHandler->szFilePath, szApplication, MAX_PATH, &lpszRest))
    {
    case PROGRAM_AS_WRITTEN:
        lpszRest = "";
        break;
    case PROGRAM_SETTLED:
        lpszApplication = szApplication;
        // A program whose path has a blank gets that path in quotes, so that
        // it reads its arguments as stored and not the rest of its path. A
        // path without a blank keeps the text's bytes.
        if (FindBlank(lpHandler->szFilePath) < lpszRest)
            lpszProgram = szApplication;
        else
            lpszRest = "";
        break;
    case PROGRAM_AMBIGUOUS:
        ShowNothingStarted(lpHandler,
                           "The message handler \"%s\" was not run. Its program path, %s, has blanks and is not in "
                           "double quotes, so it may name more than one program.\n\nAsk an administrator to put "
                           "the program's path in double quotes.");
        return;
    default:
        // Left to the system, the text would start whatever a part of it
        // names.
        ShowLaunchFailure(ERROR_FILE_NOT_FOUND);
        return;
    }

    // Sized to what it holds, so any entry identifier that CreateProcessA
    // can take fits.
    cchCmdLine = lstrlenA(lpszProgram) + 2 + lstrlenA(lpszRest) + lstrlenA(szSpace) + lstrlenA(szCmdArgs) + 1;
    lpszCmdLine = (LPSTR)LocalAlloc(LPTR, cchCmdLine);
    if (lpszCmdLine == NULL)
    {
        ShowLaunchFailure(ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    if (lpszProgram == szApplication)
        lstrcatA(lpszCmdLine, szQuote);
    lstrcatA(lpszCmdLine, lpszProgram);
    if (lpszProgram == szApplication)
        lstrcatA(lpszCmdLine, szQuote);
    lstrcatA(lpszCmdLine, lpszRest);
    lstrcatA(lpszCmdLine, szSpace);
    lstrcatA(lpszCmdLine, szCmdArgs);

    if (lpHandler->dwDebug == 1)
        MessageBoxA(NULL, lpszCmdLine, szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);

    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    ZeroMemory(&pi, sizeof(pi));
    if (CreateProcessA(lpszApplication, lpszCmdLine, NULL, NULL, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                       NULL, NULL, &si, &pi))
    {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    else
        ShowLaunchFailure(GetLastError());

    LocalFree(lpszCmdLine);
}

HRESULT ProcessMessage(LPMAPIPROP pMessage, const HANDLER* lpHandler)
{
    char szArgName[40];
    LPSTR lpszEntryId = NULL;
    LPSTR lpszArgs = NULL;
    ULONG cbEntryId = 0;
    int cchArgs;
    HRESULT hr;

    ZeroMemory(szArgName, sizeof(szArgName));
    lstrcpyA(szArgName, "MessageID");

    if (pMessage == NULL || lpHandler == NULL)
        return E_INVALIDARG;

    hr = GetPropBinaryAsString(pMessage, PR_ENTRYID, &cbEntryId, (void**)&lpszEntryId);
    if (FAILED(hr))
        return hr;

    // "MessageID" "<hex>": four quotes, one blank and the terminator.
    cchArgs = lstrlenA(szArgName) + lstrlenA(lpszEntryId) + 6;
    if (lstrlenA(lpHandler->szFilePath) + 1 + cchArgs > CCH_MAX_CMDLINE)
    {
        hr = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        goto Cleanup;
    }
    lpszArgs = (LPSTR)LocalAlloc(LPTR, cchArgs);
    if (lpszArgs == NULL)
    {
        hr = E_OUTOFMEMORY;
        goto Cleanup;
    }
    lstrcatA(lpszArgs, szQuote);
    lstrcatA(lpszArgs, szArgName);
    lstrcatA(lpszArgs, szQuote);
    lstrcatA(lpszArgs, szSpace);
    lstrcatA(lpszArgs, szQuote);
    lstrcatA(lpszArgs, lpszEntryId);
    lstrcatA(lpszArgs, szQuote);

    RunApp(lpszArgs, lpHandler);
    hr = S_OK;

Cleanup:
    LocalFree(lpszArgs);
    MAPIFreeBuffer(lpszEntryId);
    return hr;
}

HRESULT CheckMessage(IExchExtCallback* lpeecb)
{
    HANDLER handler;
    HRESULT hr = S_FALSE;
    LPMDB lpMdb = NULL;
    LPMAPIPROP lpMessage = NULL;
    HWND hWnd = NULL;
    HCURSOR hOldCursor = NULL;
    BOOL fCursorSet = FALSE;
    ULONG cbSender = 0;

    if (fCheckRunning || lpeecb == NULL)
        return S_FALSE;
    fCheckRunning = TRUE;

    lpeecb->GetWindow(&hWnd);

    hr = lpeecb->GetObject(&lpMdb, &lpMessage);
    if (FAILED(hr))
    {
        ErrorMessageBox(hWnd, hr, szMessageBoxTitle, "An error occured while getting a pointer to the message.");
        goto Cleanup;
    }
    // An item without a message has no sender to match.
    if (lpMessage == NULL)
    {
        hr = S_FALSE;
        goto Cleanup;
    }

    hr = GetPropString(lpMessage, PR_SENDER_EMAIL_ADDRESS_STRING8, &cbSender, (void**)&lpszSenderEmail);
    if (FAILED(hr))
        goto Cleanup;

    // The check's own handler, read from its key alone: while a box is up
    // the user may open another handler in the Options dialog, which
    // reloads the record.
    ZeroMemory(&handler, sizeof(handler));
    hr = RegistryFindHandler(&handler);
    if (FAILED(hr) || hr == S_FALSE)
        goto Cleanup;
    RegistryRecordFound(&handler);

    if (handler.dwConfirmDialog == 1 &&
        MessageBoxA(hWnd, "Do you want to process this document?", szMessageBoxTitle, MB_YESNO) == IDNO)
    {
        hr = S_FALSE;
        goto Cleanup;
    }

    hOldCursor = SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_WAIT));
    fCursorSet = TRUE;

    hr = ProcessMessage(lpMessage, &handler);
    if (FAILED(hr))
    {
        ErrorMessageBox(hWnd, hr, szMessageBoxTitle, "An error occured while processing the message.");
        hr = S_FALSE;
        goto Cleanup;
    }

    hr = (handler.dwPreventOpen == 1) ? E_ABORT : S_FALSE;

Cleanup:
    UlRelease(lpMdb);
    UlRelease(lpMessage);
    MAPIFreeBuffer(lpszSenderEmail);
    lpszSenderEmail = NULL;
    // Put back whatever was there, even no cursor at all.
    if (fCursorSet)
        SetCursor(hOldCursor);
    fCheckRunning = FALSE;
    return hr;
}
