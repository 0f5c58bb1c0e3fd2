// The box every failure of the extension is shown in, and the caption of
// all its boxes.
#ifndef QUORBIT_ERROR_BOX_H
#define QUORBIT_ERROR_BOX_H

// Caption of every message box the extension shows.
extern char szMessageBoxTitle[40];

// Shows a failure to the user: "Error <code> in <function>\n<message>", or
// the message alone when hr is 0 and szFunction NULL.
void ErrorMessageBox(void* hWnd, long hr, const char* szFunction, const char* szMessage);

#endif
