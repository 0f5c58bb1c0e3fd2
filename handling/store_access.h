// What Windows lets this process do to the machine-wide handlers, as its
// token tells. Vista and 7 run an administrator's programs with a filtered
// token (UAC), and a 32-bit program without a manifest under registry
// virtualization: its writes below HKLM\Software then land, without an
// error, in the user's own VirtualStore, where they work for that user
// alone.
#ifndef QUORBIT_STORE_ACCESS_H
#define QUORBIT_STORE_ACCESS_H

#include <windows.h>

typedef struct tagSTOREACCESS
{
    BOOL fVirtualized;  // writes would be redirected to the VirtualStore
    BOOL fLimited;      // an administrator's filtered token: elevated, the
                        // change could be made
} STOREACCESS;

// Fills *lpAccess (zeroed by the caller) from this process's token. XP
// knows neither class and the query fails there: neither is set.
void GetStoreAccess(STOREACCESS* lpAccess);

#endif
