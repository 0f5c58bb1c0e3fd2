// The message check and the launch of a handler's program.
#include "message_check.h"
#include "handler_store.h"
#include "prop_readers.h"
#include <mapiutil.h>
#include <mapitags.h>

char  szMessageBoxTitle[40] = "Message Handling";
LPSTR lpszSenderEmail = NULL;

static char szQuote[2] = "\"";
static char szSpace[2] = " ";
static char szError[256];

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

void RunApp(const char* szCmdArgs)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    LPSTR lpszCmdLine;
    int cchCmdLine = lstrlenA(szFilePath) + lstrlenA(szSpace) + lstrlenA(szCmdArgs) + 1;

    // Sized to what it holds, so any entry identifier that CreateProcessA
    // can take fits.
    lpszCmdLine = (LPSTR)LocalAlloc(LPTR, cchCmdLine);
    if (lpszCmdLine == NULL)
    {
        ShowLaunchFailure(ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    lstrcpyA(lpszCmdLine, szFilePath);
    lstrcatA(lpszCmdLine, szSpace);
    lstrcatA(lpszCmdLine, szCmdArgs);

    if (dwDebug == 1)
        MessageBoxA(NULL, lpszCmdLine, szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);

    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    ZeroMemory(&pi, sizeof(pi));
    if (CreateProcessA(NULL, lpszCmdLine, NULL, NULL, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, NULL,
                       NULL, &si, &pi))
    {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    else
        ShowLaunchFailure(GetLastError());

    LocalFree(lpszCmdLine);
}

HRESULT ProcessMessage(LPMAPIPROP pMessage)
{
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

    hr = GetPropBinaryAsString(pMessage, PR_ENTRYID, &cbEntryId, (void**)&lpszEntryId);
    if (FAILED(hr))
        return hr;

    // "MessageID" "<hex>": four quotes, one blank and the terminator.
    cchArgs = lstrlenA(szArgName) + lstrlenA(lpszEntryId) + 6;
    if (lstrlenA(szFilePath) + 1 + cchArgs > CCH_MAX_CMDLINE)
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

    RunApp(lpszArgs);
    hr = S_OK;

Cleanup:
    LocalFree(lpszArgs);
    MAPIFreeBuffer(lpszEntryId);
    return hr;
}

HRESULT CheckMessage(IExchExtCallback* lpeecb)
{
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

    hr = GetPropString(lpMessage, PR_SENDER_EMAIL_ADDRESS, &cbSender, (void**)&lpszSenderEmail);
    if (FAILED(hr))
        goto Cleanup;

    hr = RegistryFindHandler();
    if (FAILED(hr) || hr == S_FALSE)
        goto Cleanup;

    if (dwConfirmDialog == 1 &&
        MessageBoxA(hWnd, "Do you want to process this document?", szMessageBoxTitle, MB_YESNO) == IDNO)
    {
        hr = S_FALSE;
        goto Cleanup;
    }

    hOldCursor = SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_WAIT));
    fCursorSet = TRUE;

    hr = ProcessMessage(lpMessage);
    if (FAILED(hr))
    {
        ErrorMessageBox(hWnd, hr, szMessageBoxTitle, "An error occured while processing the message.");
        hr = S_FALSE;
        goto Cleanup;
    }

    hr = (dwPreventOpen == 1) ? E_ABORT : S_FALSE;

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
