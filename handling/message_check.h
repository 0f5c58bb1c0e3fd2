// The message check: what runs when the client opens an item.
#ifndef QUORBIT_MESSAGE_CHECK_H
#define QUORBIT_MESSAGE_CHECK_H

#include "exchext.h"
#include "handler_store.h"

// Looks up the handler for the item the client is opening and runs it.
// S_FALSE lets the client go on opening the item; E_ABORT stops it (the
// handler ran with PreventOpen on); other failures come from the client,
// the sender-address read or the store. pfnLoaded, when given, is told of
// the handler that matched as soon as it is found, before any box: a
// handler the user opens while a box is up is then the one told last.
typedef void (*HANDLERLOADEDPROC)(const HANDLER* lpHandler);
HRESULT CheckMessage(IExchExtCallback* lpeecb, HANDLERLOADEDPROC pfnLoaded = NULL);

// Builds the argument string from the message's entry identifier and
// starts lpHandler's program with it. S_OK once the launch was tried, or
// refused with a box; HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) when
// the command line would be longer than CreateProcessA takes.
HRESULT ProcessMessage(LPMAPIPROP pMessage, const HANDLER* lpHandler);

// Starts the one file lpHandler's program text settles on
// (SettleProgramText), by its full path, with the text's arguments, a blank
// and szCmdArgs, in the folder FolderToStartIn gives. A full path that is
// quoted or has no blank begins the command line as stored; any other
// program, by the full path found, in quotes. A batch file starts as
// "<system folder>\cmd.exe" /d /v:off /c ""<batch file>" <arguments>", so
// that cmd.exe reads it as meant, with NoDefaultCurrentDirectoryInExePath
// added to its environment. A text that means no program or several, one
// that is no full path or bare name, one whose arguments the program or
// cmd.exe would read otherwise, start nothing, and a box says why. Returns
// what ProcessMessage does; a failure to start is shown to the user, not
// returned.
HRESULT RunApp(const char* szCmdArgs, const HANDLER* lpHandler);

#endif
