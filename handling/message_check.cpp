// The message check and the launch of a handler's program.
#include "message_check.h"
#include "handler_store.h"
#include "program_path.h"
#include "prop_readers.h"
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

// Put between the command line and the program in the Debug box.
static const char szProgramLabel[] = "\n\nProgram: ";

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
        lstrcpynA(szDest + cch, szSrc, cchDest - cch);
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
    LPSTR lpszSystemText = NULL;
    char szFallback[80];

    if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                       NULL, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&lpszSystemText, 0,
                       NULL) == 0 ||
        lpszSystemText == NULL)
    {
        lpszSystemText = NULL;
        wsprintfA(szFallback, "The program could not be started (system error %lu).", dwError);
    }
    MessageBoxA(NULL, lpszSystemText != NULL ? lpszSystemText : szFallback, szMessageBoxTitle,
                MB_OK | MB_ICONINFORMATION);
    LocalFree(lpszSystemText);
}

void CopyCurrentHandler(HANDLERCOPY* lpHandler)
{
    lstrcpynA(lpHandler->szFilePath, szFilePath, CCH_FILE_PATH);
    lpHandler->dwPreventOpen = dwPreventOpen;
    lpHandler->dwConfirmDialog = dwConfirmDialog;
    lpHandler->dwDebug = dwDebug;
}

// The Debug box: the command line and, when the program was settled here
// rather than left to the system, the program that is started.
static void ShowDebugBox(LPCSTR lpszCmdLine, LPCSTR lpszApplication)
{
    LPSTR lpszText = NULL;

    if (lpszApplication != NULL)
    {
        lpszText =
            (LPSTR)LocalAlloc(LPTR, lstrlenA(lpszCmdLine) + sizeof(szProgramLabel) + lstrlenA(lpszApplication));
        if (lpszText != NULL)
        {
            lstrcpyA(lpszText, lpszCmdLine);
            lstrcatA(lpszText, szProgramLabel);
            lstrcatA(lpszText, lpszApplication);
        }
    }
    MessageBoxA(NULL, lpszText != NULL ? lpszText : lpszCmdLine, szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
    LocalFree(lpszText);
}

void RunApp(const char* szCmdArgs, const HANDLERCOPY* lpHandler)
{
    HANDLERCOPY handler;
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    char szApplication[MAX_PATH];
    LPCSTR lpszApplication = NULL;
    LPSTR lpszCmdLine;
    int cchCmdLine;

    if (lpHandler == NULL)
    {
        CopyCurrentHandler(&handler);
        lpHandler = &handler;
    }
    // Sized to what it holds, so any entry identifier that CreateProcessA
    // can take fits.
    cchCmdLine = lstrlenA(lpHandler->szFilePath) + lstrlenA(szSpace) + lstrlenA(szCmdArgs) + 1;
    lpszCmdLine = (LPSTR)LocalAlloc(LPTR, cchCmdLine);
    if (lpszCmdLine == NULL)
    {
        ShowLaunchFailure(ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    lstrcpyA(lpszCmdLine, lpHandler->szFilePath);
    lstrcatA(lpszCmdLine, szSpace);
    lstrcatA(lpszCmdLine, szCmdArgs);

    // The command line keeps its bytes, as the program may rely on them;
    // only the choice of the program is taken from the system.
    if (FindUnquotedProgram(lpHandler->szFilePath, szApplication, MAX_PATH))
        lpszApplication = szApplication;

    if (lpHandler->dwDebug == 1)
        ShowDebugBox(lpszCmdLine, lpszApplication);

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

HRESULT ProcessMessage(LPMAPIPROP pMessage, const HANDLERCOPY* lpHandler)
{
    HANDLERCOPY handler;
    char szArgName[40];
    LPSTR lpszEntryId = NULL;
    LPSTR lpszArgs = NULL;
    ULONG cbEntryId = 0;
    int cchArgs;
    HRESULT hr;

    ZeroMemory(szArgName, sizeof(szArgName));
    lstrcpyA(szArgName, "MessageID");

    if (pMessage == NULL)
        return E_INVALIDARG;
    if (lpHandler == NULL)
    {
        CopyCurrentHandler(&handler);
        lpHandler = &handler;
    }

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
    HANDLERCOPY handler;
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

    hr = RegistryFindHandler();
    if (FAILED(hr) || hr == S_FALSE)
        goto Cleanup;
    // From here on the check's own copy: while a box is up the user may
    // open another handler in the Options dialog, which reloads the record.
    CopyCurrentHandler(&handler);

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
