// The two things exthost does as the mail client: open an item, and show
// the options dialog. Both print what the extension answered.
#ifndef QUORBIT_EXTHOST_HOST_COMMANDS_H
#define QUORBIT_EXTHOST_HOST_COMMANDS_H

#include "extension_loader.h"

struct HostOptions
{
    ULONG ulBuildVersion;   // what GetVersion reports
    ULONG eecontext;        // 0: the command's usual context
    const char* szFrom;     // open: the item's sender address
    const char* szAddrType; // open: its address type ("EX"), or NULL
    const char* szSmtp;     // open: the SMTP address the message keeps beside it, or NULL
    const char* szBookSmtp; // open: the SMTP address its address-book entry answers, or NULL
    bool fCompose;          // open: a new message, which has no sender yet
    const char* szEntryId;  // open: its entry identifier, hexadecimal
    int idAnswer;           // 0: boxes wait for the user; IDYES or IDNO
    int msCloseAfter;       // options: 0 waits for the user
};

// Each returns the program's exit code: 0 when the client's side worked,
// whatever the extension answered.
int OpenItem(LoadedExtension* pLoaded, const HostOptions* pOptions);
int ShowOptions(LoadedExtension* pLoaded, const HostOptions* pOptions);

// "S_FALSE", "E_ABORT" ..., or the code in hexadecimal.
const char* ResultName(HRESULT hr);

#endif
