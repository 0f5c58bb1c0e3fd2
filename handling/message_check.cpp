// The message check and the launch of a handler's program.
#include "message_check.h"
#include "ansi_text.h"
#include "error_box.h"
#include "full_paths.h"
#include "handler_store.h"
#include "program_path.h"
#include "prop_readers.h"
#include "sender_address.h"
#include "system_calls.h"
#include "system_text.h"
#include <mapiutil.h>
#include <mapitags.h>

static char szQuote[2] = "\"";
static char szSpace[2] = " ";

// The longest command line CreateProcessA accepts, terminator included.
#define CCH_MAX_CMDLINE 32767

// Set while a check runs. The check's boxes run nested message loops, and a
// second check started from one of them would run its program before the
// first one's.
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
// for the handler's name, then may have one for its program text and one
// for szDetail.
static void ShowNothingStarted(const HANDLER* lpHandler, const char* szFormat, const char* szDetail = "")
{
    // Key names run to 255 characters, 510 bytes in a double-byte code
    // page; the program text to 127. wsprintfA writes at most 1,024.
    char szText[1024];

    wsprintfA(szText, szFormat, lpHandler->szName, lpHandler->szFilePath, szDetail);
    MessageBoxA(NULL, szText, szMessageBoxTitle, MB_OK | MB_ICONINFORMATION);
}

// What a handler's program text starts, and how.
typedef struct tagLAUNCH
{
    char   szProgram[MAX_PATH];      // the settled program's full path
    char   szApplication[MAX_PATH];  // the file started: the program, or cmd.exe for a batch file
    char   szFolder[MAX_PATH];       // the folder it starts in (FolderToStartIn)
    BOOL   fBatch;
    BOOL   fAsStored;                // the command line begins with the program text as stored
    LPCSTR lpszRest;                 // what follows the program in the text
} LAUNCH;

// After cmd.exe's path: the switches that run one line without the AutoRun
// commands and without delayed expansion. The line follows in quotes, which
// cmd.exe takes off.
static const char szCmdSwitches[] = " /d /v:off /c ";

// Tells the user why lpHandler's batch file is not run: pOperator is the
// character of its arguments that cmd.exe would not read as text.
static void ShowBatchRefused(const HANDLER* lpHandler, const char* pOperator)
{
    char szCharacter[4] = {'"', *pOperator, '"', '\0'};
    BOOL fLineBreak = *pOperator == '\r' || *pOperator == '\n';

    ShowNothingStarted(lpHandler,
                       *pOperator == '%' || fLineBreak
                           ? "The message handler \"%s\" was not run. Its program path, %s, starts a batch file, which "
                             "Windows runs through cmd.exe, and the arguments hold %s, which cmd.exe would not pass "
                             "on as text, even in double quotes.\n\nAsk an administrator to remove it."
                           : "The message handler \"%s\" was not run. Its program path, %s, starts a batch file, which "
                             "Windows runs through cmd.exe, and the arguments hold %s outside double quotes, which "
                             "cmd.exe would read as a command.\n\nAsk an administrator to put the argument that holds "
                             "it in double quotes.",
                       fLineBreak ? "a line break" : szCharacter);
}

// Why a handler's program text could not be read, as its box says it.
static const char* ProgramUnreadReason(LONG lRead)
{
    switch (lRead)
    {
    case ERROR_FILE_NOT_FOUND:
        return "is missing";
    case ERROR_DATATYPE_MISMATCH:
        return "is not stored as text (REG_SZ or REG_EXPAND_SZ)";
    case ERROR_MORE_DATA:
        return "is longer than 127 characters";
    case ERROR_NO_UNICODE_TRANSLATION:
        return "holds a character that this computer's code page for programs without Unicode cannot write "
               "exactly";
    default:
        return "cannot be read";
    }
}

// Tells the user that lpHandler starts nothing when its program text could
// not be read or is empty, naming the cause. FALSE when there is a text to
// settle.
static BOOL ShowProgramUnread(const HANDLER* lpHandler)
{
    // Key names run to 255 characters, 510 bytes in a double-byte code
    // page. wsprintfA writes at most 1,024.
    char szText[1024];

    if (lpHandler->lFilePathRead == ERROR_SUCCESS && lpHandler->szFilePath[0] != '\0')
        return FALSE;
    wsprintfA(szText, "The message handler \"%s\" has no program to start: its program path %s.",
              lpHandler->szName,
              lpHandler->lFilePathRead == ERROR_SUCCESS ? "is empty" : ProgramUnreadReason(lpHandler->lFilePathRead));
    MessageBoxA(NULL, szText, szMessageBoxTitle, MB_OK | MB_ICONINFORMATION);
    return TRUE;
}

// Settles what lpHandler's program text starts into *lpLaunch. FALSE when
// it starts nothing, once the user has been told why.
static BOOL SettleLaunch(const HANDLER* lpHandler, LAUNCH* lpLaunch)
{
    const char* szText = lpHandler->szFilePath;

    if (ShowProgramUnread(lpHandler))
        return FALSE;
    switch (SettleProgramText(szText, lpLaunch->szProgram, MAX_PATH, &lpLaunch->lpszRest))
    {
    case PROGRAM_AS_WRITTEN:
    case PROGRAM_SETTLED:
        break;
    case PROGRAM_AMBIGUOUS:
        ShowNothingStarted(lpHandler,
                           "The message handler \"%s\" was not run. Its program path, %s, has blanks and is not in "
                           "double quotes, so it may name more than one program.\n\nAsk an administrator to put "
                           "the program's path in double quotes.");
        return FALSE;
    case PROGRAM_RELATIVE:
        ShowNothingStarted(lpHandler,
                           "The message handler \"%s\" was not run. Its program path, %s, is not a full path, so "
                           "Windows would look for the program in the mail client's current folder. Environment "
                           "variables such as %%ProgramFiles%% are not expanded.\n\nAsk an administrator to give the "
                           "program's full path, such as C:\\Tools\\import.exe.");
        return FALSE;
    case PROGRAM_UNPAIRED_QUOTES:
        ShowNothingStarted(lpHandler,
                           "The message handler \"%s\" was not run. The double quotes in its program path, %s, do "
                           "not pair, so it is not clear where the program ends and its arguments begin.\n\nAsk an "
                           "administrator to put the program's path, and only it, in double quotes.");
        return FALSE;
    case PROGRAM_QUOTE_GOES_ON:
        ShowNothingStarted(lpHandler,
                           "The message handler \"%s\" was not run. In its program path, %s, text follows the "
                           "closing double quote without a blank, and Windows would start the quoted part with "
                           "\".exe\" added.\n\nAsk an administrator to put the program's whole path in double "
                           "quotes.");
        return FALSE;
    case PROGRAM_BATCH_PATH:
        ShowNothingStarted(lpHandler,
                           "The message handler \"%s\" was not run. Its program path, %s, names the batch file %s, "
                           "which Windows runs through cmd.exe, and cmd.exe would read the \"%%\" in its path as "
                           "part of a variable, even in double quotes.\n\nAsk an administrator to move the batch "
                           "file to a folder whose path has no \"%%\".",
                           lpLaunch->szProgram);
        return FALSE;
    case PROGRAM_BATCH_ARGUMENTS:
        ShowBatchRefused(lpHandler, lpLaunch->lpszRest);
        return FALSE;
    case PROGRAM_ESCAPED_QUOTE:
        ShowNothingStarted(lpHandler,
                           "The message handler \"%s\" was not run. In its program path, %s, a backslash stands "
                           "right before a double quote. The program would read the two as a double quote within "
                           "an argument, not as a quote that begins or ends one, and would not get the message's "
                           "arguments as meant.\n\nAsk an administrator to double the backslashes before the double quote, "
                           "as in \"C:\\Out Dir\\\\\"; the program then gets C:\\Out Dir\\.");
        return FALSE;
    case PROGRAM_LEADING_BLANK:
        // The text shows with its blank after the comma.
        ShowNothingStarted(lpHandler, "The message handler \"%s\" was not run. Its program path,%s, begins with a "
                                      "blank.\n\nAsk an administrator to remove the blank before the program's path.");
        return FALSE;
    default:
        // Left to the system, the text would start whatever a part of it
        // names.
        ShowLaunchFailure(ERROR_FILE_NOT_FOUND, szText);
        return FALSE;
    }

    // A full path that is quoted, or has no blank, stays on the command
    // line as stored. Any other program goes by the full path found, in
    // quotes, so that it reads its arguments as stored and not the rest of
    // its path.
    lpLaunch->fAsStored = IsFullPath(szText + (szText[0] == '"')) &&
                          (szText[0] == '"' || FindBlank(szText) >= lpLaunch->lpszRest);
    lpLaunch->fBatch = IsBatchFile(lpLaunch->szProgram);
    if (!FolderToStartIn(lpLaunch->szProgram, lpLaunch->szFolder, MAX_PATH))
    {
        ShowLaunchFailure(ERROR_PATH_NOT_FOUND, lpLaunch->szProgram);
        return FALSE;
    }
    if (!lpLaunch->fBatch)
    {
        lstrcpyA(lpLaunch->szApplication, lpLaunch->szProgram);
        return TRUE;
    }
    if (!PathInSystemFolder("cmd.exe", lpLaunch->szApplication, MAX_PATH))
    {
        ShowLaunchFailure(ERROR_FILE_NOT_FOUND, "cmd.exe");
        return FALSE;
    }
    return TRUE;
}

// A piece in double quotes takes this many characters more.
#define CCH_QUOTES 2

// Appends szPiece to lpszLine, in double quotes when fQuoted: both are put
// here, so that every quote the line opens is closed.
static void AppendPiece(LPSTR lpszLine, LPCSTR szPiece, BOOL fQuoted)
{
    if (fQuoted)
        lstrcatA(lpszLine, szQuote);
    lstrcatA(lpszLine, szPiece);
    if (fQuoted)
        lstrcatA(lpszLine, szQuote);
}

// The line the program reads: by the text's own bytes, "<text> <args>"; by
// the path found, "\"<program>\"<rest> <args>". A batch file's goes by the
// path found. NULL without memory; the caller frees it with LocalFree.
static LPSTR BuildProgramLine(const LAUNCH* lpLaunch, const HANDLER* lpHandler, const char* szCmdArgs)
{
    BOOL fByPath = lpLaunch->fBatch || !lpLaunch->fAsStored;
    int cchProgram = fByPath ? lstrlenA(lpLaunch->szProgram) + CCH_QUOTES + lstrlenA(lpLaunch->lpszRest)
                             : lstrlenA(lpHandler->szFilePath);
    int cchLine = cchProgram + lstrlenA(szSpace) + lstrlenA(szCmdArgs) + 1;  // and the terminator
    LPSTR lpszLine = (LPSTR)LocalAlloc(LPTR, cchLine);

    if (lpszLine == NULL)
        return NULL;
    if (fByPath)
    {
        AppendPiece(lpszLine, lpLaunch->szProgram, TRUE);
        AppendPiece(lpszLine, lpLaunch->lpszRest, FALSE);
    }
    else
        AppendPiece(lpszLine, lpHandler->szFilePath, FALSE);
    AppendPiece(lpszLine, szSpace, FALSE);
    AppendPiece(lpszLine, szCmdArgs, FALSE);
    return lpszLine;
}

// The command line: the program's own line, or for a batch file "\"<cmd.exe>\"
// /d /v:off /c \"<the batch file's line>\"". Sized to what it holds, so any
// entry identifier that CreateProcessA can take fits. NULL without memory;
// the caller frees it with LocalFree.
static LPSTR BuildCommandLine(const LAUNCH* lpLaunch, const HANDLER* lpHandler, const char* szCmdArgs)
{
    LPSTR lpszProgramLine = BuildProgramLine(lpLaunch, lpHandler, szCmdArgs);
    LPSTR lpszCmdLine;
    int cchCmdLine;

    if (lpszProgramLine == NULL || !lpLaunch->fBatch)
        return lpszProgramLine;
    cchCmdLine = lstrlenA(lpLaunch->szApplication) + CCH_QUOTES + lstrlenA(szCmdSwitches) +
                 lstrlenA(lpszProgramLine) + CCH_QUOTES + 1;  // and the terminator
    lpszCmdLine = (LPSTR)LocalAlloc(LPTR, cchCmdLine);
    if (lpszCmdLine != NULL)
    {
        AppendPiece(lpszCmdLine, lpLaunch->szApplication, TRUE);
        AppendPiece(lpszCmdLine, szCmdSwitches, FALSE);
        AppendPiece(lpszCmdLine, lpszProgramLine, TRUE);
    }
    LocalFree(lpszProgramLine);
    return lpszCmdLine;
}

// The longest text a box shows, terminator included: MessageBoxA hands it
// on in UTF-16, and garbles a longer one.
#define CCH_MAX_BOX_TEXT 32767

// The Debug option: the whole command line, the files that start, by their
// full paths, and the folder they start in, before the start, which waits
// for the box to close. A line too long for a box is cut, at a character,
// and marked. FALSE without memory for the box's text.
static BOOL ShowDebugBox(const LAUNCH* lpLaunch, const HANDLER* lpHandler, LPCSTR lpszCmdLine)
{
    char szFiles[3 * MAX_PATH + 60];
    LPSTR lpszText;
    int cchFiles;
    int cchText;
    BOOL fCut;

    if (lpHandler->dwDebug != 1)
        return TRUE;
    cchFiles = wsprintfA(szFiles, "\n\nProgram: %s", lpLaunch->szApplication);
    if (lpLaunch->fBatch)
        cchFiles += wsprintfA(szFiles + cchFiles, "\nBatch file: %s", lpLaunch->szProgram);
    cchFiles += wsprintfA(szFiles + cchFiles, "\nStart in: %s", lpLaunch->szFolder);
    cchText = lstrlenA(lpszCmdLine) + cchFiles + 1;
    fCut = cchText > CCH_MAX_BOX_TEXT;
    if (fCut)
        cchText = CCH_MAX_BOX_TEXT;
    lpszText = (LPSTR)LocalAlloc(LMEM_FIXED, cchText);
    if (lpszText == NULL)
        return FALSE;
    CopyCharacters(lpszText, cchText - cchFiles - (fCut ? 3 : 0), lpszCmdLine);
    if (fCut)
        lstrcatA(lpszText, "...");
    lstrcatA(lpszText, szFiles);
    MessageBoxA(NULL, lpszText, szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
    LocalFree(lpszText);
    return TRUE;
}

// The variable that makes cmd.exe, from Vista on, look a batch file's bare
// command names up without taking the current folder first.
static const WCHAR wszNoCurrentFolder[] = L"NoDefaultCurrentDirectoryInExePath=1";

// Compares the names of two environment entries as the system sorts them:
// unit by unit, a to z as A to Z. A leading "=" is part of a name ("=C:").
static int CompareEnvironmentNames(LPCWSTR lpszA, LPCWSTR lpszB)
{
    for (int i = 0;; i++)
    {
        WCHAR chA = i > 0 && lpszA[i] == L'=' ? L'\0' : lpszA[i];
        WCHAR chB = i > 0 && lpszB[i] == L'=' ? L'\0' : lpszB[i];
        if (chA >= L'a' && chA <= L'z')
            chA -= L'a' - L'A';
        if (chB >= L'a' && chB <= L'z')
            chB -= L'a' - L'A';
        if (chA != chB || chA == L'\0')
            return (int)chA - (int)chB;
    }
}

// The client's environment for cmd.exe, with wszNoCurrentFolder in its
// place among the sorted names unless it is there. In UTF-16, as the system
// keeps it: the 8-bit form is the code page's best fit. NULL without
// memory; the caller frees it with LocalFree.
static LPWSTR EnvironmentForCmd(void)
{
    LPWCH lpszClient = GetEnvironmentStringsW();
    LPCWSTR pInsert = NULL;
    LPCWSTR pEnd;
    LPWSTR lpszBlock = NULL;
    int cchVariable = lstrlenW(wszNoCurrentFolder) + 1;
    int nCompare;

    if (lpszClient == NULL)
        return NULL;
    for (pEnd = lpszClient; *pEnd != L'\0'; pEnd += lstrlenW(pEnd) + 1)
    {
        nCompare = CompareEnvironmentNames(pEnd, wszNoCurrentFolder);
        if (nCompare == 0)
            cchVariable = 0;
        if (pInsert == NULL && nCompare >= 0)
            pInsert = pEnd;
    }
    if (pInsert == NULL)
        pInsert = pEnd;
    // The entries, the variable, and the block's closing terminator.
    lpszBlock = (LPWSTR)LocalAlloc(LMEM_FIXED, ((pEnd - lpszClient) + cchVariable + 1) * sizeof(WCHAR));
    if (lpszBlock != NULL)
    {
        CopyMemory(lpszBlock, lpszClient, (pInsert - lpszClient) * sizeof(WCHAR));
        CopyMemory(lpszBlock + (pInsert - lpszClient), wszNoCurrentFolder, cchVariable * sizeof(WCHAR));
        CopyMemory(lpszBlock + (pInsert - lpszClient) + cchVariable, pInsert, (pEnd - pInsert + 1) * sizeof(WCHAR));
    }
    FreeEnvironmentStringsW(lpszClient);
    return lpszBlock;
}

// Starts lpszCmdLine with lpLaunch's file, by its full path, in its folder
// and in a console of its own, and holds nothing of the program; cmd.exe
// gets EnvironmentForCmd. A failure is told to the user in the system's
// words, naming the file.
static void Launch(const LAUNCH* lpLaunch, LPSTR lpszCmdLine)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    LPWSTR lpszEnvironment = NULL;
    DWORD dwFlags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;

    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    ZeroMemory(&pi, sizeof(pi));
    if (lpLaunch->fBatch)
    {
        lpszEnvironment = EnvironmentForCmd();
        dwFlags |= CREATE_UNICODE_ENVIRONMENT;
    }
    if (lpLaunch->fBatch && lpszEnvironment == NULL)
        ShowLaunchFailure(ERROR_NOT_ENOUGH_MEMORY, NULL);
    else if (gSystemCalls.pfnCreateProcessA(lpLaunch->szApplication, lpszCmdLine, NULL, NULL, FALSE, dwFlags,
                                            lpszEnvironment, lpLaunch->szFolder, &si, &pi))
    {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    else
        ShowLaunchFailure(GetLastError(), lpLaunch->szApplication);
    LocalFree(lpszEnvironment);
}

HRESULT RunApp(const char* szCmdArgs, const HANDLER* lpHandler)
{
    LAUNCH launch;
    LPSTR lpszCmdLine;
    HRESULT hr = S_OK;

    ZeroMemory(&launch, sizeof(launch));
    if (!SettleLaunch(lpHandler, &launch))
        return S_OK;
    lpszCmdLine = BuildCommandLine(&launch, lpHandler, szCmdArgs);
    // Counted as CreateProcessA hands it on, in UTF-16 characters with the
    // terminator: the line built, quotes, ".exe" and cmd.exe included.
    if (lpszCmdLine != NULL && MultiByteToWideChar(CP_ACP, 0, lpszCmdLine, -1, NULL, 0) > CCH_MAX_CMDLINE)
        hr = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    else if (lpszCmdLine == NULL || !ShowDebugBox(&launch, lpHandler, lpszCmdLine))
        ShowLaunchFailure(ERROR_NOT_ENOUGH_MEMORY, NULL);
    else
        Launch(&launch, lpszCmdLine);
    LocalFree(lpszCmdLine);
    return hr;
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

    hr = RunApp(lpszArgs, lpHandler);

Cleanup:
    LocalFree(lpszArgs);
    MAPIFreeBuffer(lpszEntryId);
    return hr;
}

// Finds the handler for lpSender into *lpHandler. An Exchange sender the
// message gives no SMTP address for is looked up in the address book, but
// only when no handler took its directory address and there was a handler
// address to compare: the lookup may be a call to the server.
static HRESULT FindSendersHandler(IExchExtCallback* lpeecb, LPMAPIPROP lpMessage, LPSENDER lpSender,
                                  LPHANDLER lpHandler)
{
    DWORD cCompared = 0;
    HRESULT hr = RegistryFindHandler(lpSender, lpHandler, &cCompared);

    // The lookup's failure is no failure of the check: the directory
    // address has been compared.
    if (hr == S_FALSE && cCompared != 0 && lpSender->fExchange && lpSender->lpszSmtpAddress == NULL &&
        SUCCEEDED(LookUpSenderSmtpAddress(lpeecb, lpMessage, lpSender)))
        hr = RegistryFindHandler(lpSender, lpHandler, NULL);
    return hr;
}

HRESULT CheckMessage(IExchExtCallback* lpeecb, HANDLERLOADEDPROC pfnLoaded)
{
    HANDLER handler;
    SENDER sender;
    HRESULT hr = S_FALSE;
    LPMDB lpMdb = NULL;
    LPMAPIPROP lpMessage = NULL;
    HWND hWnd = NULL;
    HCURSOR hOldCursor = NULL;
    BOOL fCursorSet = FALSE;

    if (fCheckRunning || lpeecb == NULL)
        return S_FALSE;
    fCheckRunning = TRUE;
    ZeroMemory(&sender, sizeof(sender));

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

    // The sender is read once, and searched with as it was read.
    hr = ReadSender(lpMessage, &sender);
    if (FAILED(hr))
        goto Cleanup;

    // The check's own handler, read from its key alone: while a box is up
    // the user may open another handler in the Options dialog.
    ZeroMemory(&handler, sizeof(handler));
    hr = FindSendersHandler(lpeecb, lpMessage, &sender, &handler);
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
    FreeSender(&sender);
    // Put back whatever was there, even no cursor at all.
    if (fCursorSet)
        SetCursor(hOldCursor);
    fCheckRunning = FALSE;
    return hr;
}
