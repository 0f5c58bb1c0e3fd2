// The message check: what runs when the client opens an item.
#ifndef QUORBIT_MESSAGE_CHECK_H
#define QUORBIT_MESSAGE_CHECK_H

#include "exchext.h"

// Caption of every message box the extension shows.
extern char szMessageBoxTitle[40];

// Sender address of the message under check (MAPI memory), NULL outside a
// check. The handler search reads it.
extern LPSTR lpszSenderEmail;

// Looks up the handler for the item the client is opening and runs it.
// S_FALSE lets the client go on opening the item; E_ABORT stops it (the
// handler ran with PreventOpen on); other failures come from the client,
// the sender-address read or the store.
HRESULT CheckMessage(IExchExtCallback* lpeecb);

// Builds the argument string from the message's entry identifier and starts
// the current handler's program with it. S_OK once the launch was tried.
HRESULT ProcessMessage(LPMAPIPROP pMessage);

// Starts szFilePath followed by a blank and szCmdArgs. A failure is shown
// to the user, not returned.
void RunApp(const char* szCmdArgs);

// Shows a failure to the user: "Error <code> in <function>\n<message>".
void ErrorMessageBox(void* hWnd, long hr, const char* szFunction, const char* szMessage);

#endif
