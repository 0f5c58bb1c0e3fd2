// The message check and the launch of a handler's program.
#include "message_check.h"
#include "ansi_text.h"
#include "error_box.h"
#include "handler_store.h"
#include "program_path.h"
#include "prop_readers.h"
#include "system_text.h"
#include <mapiutil.h>
#include <mapitags.h>

LPSTR lpszSenderEmail = NULL;

static char szQuote[2] = "\"";
static char szSpace[2] = " ";

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

// Tells the user why the program szProgram could not be started, in the
// system's words.
static void ShowLaunchFailure(DWORD dwError, const char* szProgram)
{
    char szText[512];

    MessageBoxA(NULL, SystemErrorText(dwError, szProgram, szText, sizeof(szText)), szMessageBoxTitle,
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

// What a handler's program text starts, and how.
typedef struct tagLAUNCH
{
    char   szApplication[MAX_PATH];  // the settled program's full path
    LPCSTR lpszApplication;          // for CreateProcessA: NULL, or szApplication
    LPCSTR lpszProgram;              // what the command line begins with
    LPCSTR lpszRest;                 // what follows it from the program text
} LAUNCH;

// Settles what lpHandler's program text starts into *lpLaunch. FALSE when
// it starts nothing, once the user has been told why.
static BOOL SettleLaunch(const HANDLER* lpHandler, LAUNCH* lpLaunch)
{
    lpLaunch->lpszApplication = NULL;
    lpLaunch->lpszProgram = lpHandler->szFilePath;
    lpLaunch->lpszRest = "";

    // What a stored value could not give: missing, unreadable, too long.
    if (lpHandler->szFilePath[0] == '\0')
    {
        ShowNothingStarted(lpHandler, "The message handler \"%s\" has no program to start: its program path is "
                                      "missing, cannot be read, or is longer than 127 characters.");
        return FALSE;
    }
    switch (SettleProgramText(lpHandler->szFilePath, lpLaunch->szApplication, MAX_PATH, &lpLaunch->lpszRest))
    {
    case PROGRAM_AS_WRITTEN:
        lpLaunch->lpszRest = "";
        return TRUE;
    case PROGRAM_SETTLED:
        lpLaunch->lpszApplication = lpLaunch->szApplication;
        // A program whose path has a blank gets that path in quotes, so that
        // it reads its arguments as stored and not the rest of its path. A
        // path without a blank keeps the text's bytes.
        if (FindBlank(lpHandler->szFilePath) < lpLaunch->lpszRest)
            lpLaunch->lpszProgram = lpLaunch->szApplication;
        else
            lpLaunch->lpszRest = "";
        return TRUE;
    case PROGRAM_AMBIGUOUS:
        ShowNothingStarted(lpHandler,
                           "The message handler \"%s\" was not run. Its program path, %s, has blanks and is not in "
                           "double quotes, so it may name more than one program.\n\nAsk an administrator to put "
                           "the program's path in double quotes.");
        return FALSE;
    default:
        // Left to the system, the text would start whatever a part of it
        // names.
        ShowLaunchFailure(ERROR_FILE_NOT_FOUND, lpHandler->szFilePath);
        return FALSE;
    }
}

// The command line: the program (in quotes when it is the settled path),
// the rest of the program text, a blank and szCmdArgs. Sized to what it
// holds, so any entry identifier that CreateProcessA can take fits. NULL
// without memory; the caller frees it with LocalFree.
static LPSTR BuildCommandLine(const LAUNCH* lpLaunch, const char* szCmdArgs)
{
    BOOL fQuoted = lpLaunch->lpszProgram == lpLaunch->szApplication;
    int cchCmdLine = lstrlenA(lpLaunch->lpszProgram) + 2 + lstrlenA(lpLaunch->lpszRest) + lstrlenA(szSpace) +
                     lstrlenA(szCmdArgs) + 1;
    LPSTR lpszCmdLine = (LPSTR)LocalAlloc(LPTR, cchCmdLine);

    if (lpszCmdLine == NULL)
        return NULL;
    if (fQuoted)
        lstrcatA(lpszCmdLine, szQuote);
    lstrcatA(lpszCmdLine, lpLaunch->lpszProgram);
    if (fQuoted)
        lstrcatA(lpszCmdLine, szQuote);
    lstrcatA(lpszCmdLine, lpLaunch->lpszRest);
    lstrcatA(lpszCmdLine, szSpace);
    lstrcatA(lpszCmdLine, szCmdArgs);
    return lpszCmdLine;
}

// The Debug option: the whole command line, before the start, which waits
// for the box to close.
static void ShowDebugBox(const HANDLER* lpHandler, LPCSTR lpszCmdLine)
{
    if (lpHandler->dwDebug == 1)
        MessageBoxA(NULL, lpszCmdLine, szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
}

// Starts lpszCmdLine, with lpLaunch's application name, in a console of its
// own, and holds nothing of the program. A failure is told to the user in
// the system's words, naming the program.
static void Launch(const LAUNCH* lpLaunch, const HANDLER* lpHandler, LPSTR lpszCmdLine)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;

    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    ZeroMemory(&pi, sizeof(pi));
    if (CreateProcessA(lpLaunch->lpszApplication, lpszCmdLine, NULL, NULL, FALSE,
                       CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, NULL, NULL, &si, &pi))
    {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    else
        ShowLaunchFailure(GetLastError(),
                          lpLaunch->lpszApplication != NULL ? lpLaunch->lpszApplication : lpHandler->szFilePath);
}

void RunApp(const char* szCmdArgs, const HANDLER* lpHandler)
{
    LAUNCH launch;
    LPSTR lpszCmdLine;

    if (!SettleLaunch(lpHandler, &launch))
        return;
    lpszCmdLine = BuildCommandLine(&launch, szCmdArgs);
    if (lpszCmdLine == NULL)
    {
        ShowLaunchFailure(ERROR_NOT_ENOUGH_MEMORY, NULL);
        return;
    }
    ShowDebugBox(lpHandler, lpszCmdLine);
    Launch(&launch, lpHandler, lpszCmdLine);
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

HRESULT CheckMessage(IExchExtCallback* lpeecb, HANDLERLOADEDPROC pfnLoaded)
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
    // the user may open another handler in the Options dialog.
    ZeroMemory(&handler, sizeof(handler));
    hr = RegistryFindHandler(lpszSenderEmail, &handler);
    if (FAILED(hr) || hr == S_FALSE)
        goto Cleanup;
    // Before any box: a handler the user opens while one is up is loaded
    // after this one.
    if (pfnLoaded != NULL)
        pfnLoaded(&handler);

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
