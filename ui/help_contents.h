// The help, opened at its contents from the page and from the dialog: the
// files beside this module, by full path, in the viewer the system has.
// Windows Vista and 7 ship no WinHelp viewer, and WinHelp given a bare file
// name searches the current folder, where a planted help file can run
// programs through its macros.
#ifndef QUORBIT_HELP_CONTENTS_H
#define QUORBIT_HELP_CONTENTS_H

#include <windows.h>

#define QUORBIT_HELP_FILE       "Quorbit.HLP"
#define QUORBIT_HTML_HELP_FILE  "Quorbit.chm"

// Opens Quorbit.chm at its default topic with HTML Help on Windows Vista
// and later, Quorbit.HLP at its contents with WinHelp on XP; when that file
// or its viewer is missing, the other. When neither opens, a box owned by
// hOwner names the file tried. TRUE when a viewer took the file.
BOOL ShowHelpContents(HWND hOwner);

// Closes every HTML Help window this module opened. Not from DllMain: HTML
// Help may wait for its own threads there, under the loader lock.
void CloseHelpWindows(void);

#endif
