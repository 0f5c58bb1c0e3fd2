// The message check: what runs when the client opens an item.
#ifndef QUORBIT_MESSAGE_CHECK_H
#define QUORBIT_MESSAGE_CHECK_H

#include "exchext.h"
#include "handler_store.h"

// Caption of every message box the extension shows.
extern char szMessageBoxTitle[40];

// Sender address of the message under check (MAPI memory), NULL outside a
// check. The handler search reads it.
extern LPSTR lpszSenderEmail;

// What a check needs of the handler it matched, copied out of the current
// handler record. The check's boxes run nested message loops in which the
// dialogs may load another handler into the record; the copy is what the
// check starts and answers.
typedef struct tagHANDLERCOPY
{
    char  szFilePath[CCH_FILE_PATH];
    DWORD dwPreventOpen;
    DWORD dwConfirmDialog;
    DWORD dwDebug;
} HANDLERCOPY;

void CopyCurrentHandler(HANDLERCOPY* lpHandler);

// Looks up the handler for the item the client is opening and runs it.
// S_FALSE lets the client go on opening the item; E_ABORT stops it (the
// handler ran with PreventOpen on); other failures come from the client,
// the sender-address read or the store.
HRESULT CheckMessage(IExchExtCallback* lpeecb);

// Builds the argument string from the message's entry identifier and starts
// the handler's program with it: lpHandler's, or without one a copy of the
// current handler record taken now. S_OK once the launch was tried.
HRESULT ProcessMessage(LPMAPIPROP pMessage, const HANDLERCOPY* lpHandler = NULL);

// Starts the handler's program text followed by a blank and szCmdArgs, the
// handler being lpHandler or, without one, a copy of the current record
// taken now. An unquoted program text with a blank is not left to the
// system's cutting at each blank: the longest leading part that names a
// program is started. A failure is shown to the user, not returned.
void RunApp(const char* szCmdArgs, const HANDLERCOPY* lpHandler = NULL);

// Shows a failure to the user: "Error <code> in <function>\n<message>".
void ErrorMessageBox(void* hWnd, long hr, const char* szFunction, const char* szMessage);

#endif
