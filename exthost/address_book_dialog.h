// exthost's small address book: a real modal dialog listing a few entries,
// answered through the ClientAddrBook the way MAPI answers Address.
#ifndef QUORBIT_EXTHOST_ADDRESS_BOOK_DIALOG_H
#define QUORBIT_EXTHOST_ADDRESS_BOOK_DIALOG_H

#include "client_objects.h"

// Makes pAddrBook show the dialog on every Address call and answer with
// the chosen entry, or as cancelled.
void AttachAddressBookDialog(ClientAddrBook* pAddrBook);

#endif
