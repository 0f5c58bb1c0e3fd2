// The message check: what runs when the client opens an item.
#ifndef QUORBIT_MESSAGE_CHECK_H
#define QUORBIT_MESSAGE_CHECK_H

#include "exchext.h"
#include "handler_store.h"

// Sender address of the message under check (MAPI memory), NULL outside a
// check.
extern LPSTR lpszSenderEmail;

// Looks up the handler for the item the client is opening and runs it.
// S_FALSE lets the client go on opening the item; E_ABORT stops it (the
// handler ran with PreventOpen on); other failures come from the client,
// the sender-address read or the store. pfnLoaded, when given, is told of
// the handler that matched as soon as it is found, before any box: a
// handler the user opens while a box is up is then the one told last.
typedef void (*HANDLERLOADEDPROC)(const HANDLER* lpHandler);
HRESULT CheckMessage(IExchExtCallback* lpeecb, HANDLERLOADEDPROC pfnLoaded = NULL);

// Builds the argument string from the message's entry identifier and
// starts lpHandler's program with it. S_OK once the launch was tried.
HRESULT ProcessMessage(LPMAPIPROP pMessage, const HANDLER* lpHandler);

// Starts lpHandler's program text followed by a blank and szCmdArgs. An
// unquoted program text with a blank starts only the one program it can
// mean (SettleProgramText), with that program's path in quotes on the
// command line; one that may mean several, or a handler without a program
// text, starts nothing. A failure is shown to the user, not returned.
void RunApp(const char* szCmdArgs, const HANDLER* lpHandler);

#endif
