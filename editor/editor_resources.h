// Resource identifiers of QuorbitHandlers.exe, shared by its .rc and code.
#ifndef QUORBIT_EDITOR_RESOURCES_H
#define QUORBIT_EDITOR_RESOURCES_H

// The program's icon: the lowest icon identifier, so that Explorer, the
// Start menu shortcut and the sheet's caption all show it.
#define IDI_EDITOR 1

#endif
