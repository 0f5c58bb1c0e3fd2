// A message's sender as the search compares it: read once from the message,
// and for an Exchange sender known by its SMTP address too.
#ifndef QUORBIT_SENDER_ADDRESS_H
#define QUORBIT_SENDER_ADDRESS_H

#include "exchext.h"
#include "handler_store.h"

// Property identifiers the system's headers lack: the SMTP address a store
// keeps beside an Exchange sender's directory address, and the one an
// address-book entry has.
#define PROP_ID_SENDER_SMTP_ADDRESS 0x5D01
#define PROP_ID_SMTP_ADDRESS        0x39FE

// Reads lpMessage's sender into *lpSender, zeroed by the caller: its
// address and its address type; for an "EX" sender also
// PR_SENDER_SMTP_ADDRESS, where the message has it. Every text is read in
// UTF-16 (GetPropText). The address's failure is the result (as
// GetPropString's: MAPI_E_NOT_FOUND for a message without one); a type or
// SMTP address that cannot be read is left out. FreeSender frees what it
// read, after a failure too.
HRESULT ReadSender(LPMAPIPROP lpMessage, LPSENDER lpSender);

// For an "EX" sender without an SMTP address: opens the message's
// PR_SENDER_ENTRYID in the address book the client's GetSession hands out
// and puts the mail user's PR_SMTP_ADDRESS into lpSender->lpszSmtpAddress.
// S_OK when it did; a failure otherwise, with *lpSender unchanged.
// Releases everything it took and opened.
HRESULT LookUpSenderSmtpAddress(IExchExtCallback* lpeecb, LPMAPIPROP lpMessage, LPSENDER lpSender);

// The PR_SMTP_ADDRESS of the mail user that address-book entry lpEntryId
// (cbEntryId bytes) opens to, in UTF-16 in MAPI memory that the caller
// frees with MAPIFreeBuffer; *lppszSmtp is NULL on failure. Releases the
// entry.
HRESULT GetEntrySmtpAddress(LPADRBOOK lpAdrBook, ULONG cbEntryId, LPENTRYID lpEntryId, LPWSTR* lppszSmtp);

void FreeSender(LPSENDER lpSender);

#endif
