// Identifiers the handler store shares with the dialogs: the store fills
// the handler list of the "Message Handlers" page. The resource script
// includes this file too.
#ifndef QUORBIT_STORE_IDS_H
#define QUORBIT_STORE_IDS_H

#define IDC_HANDLER_LIST            1011

#endif
