// Module entry: remembers the instance that holds the dialog templates.
#include "host_handles.h"

BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved)
{
    (void)lpvReserved;
    if (fdwReason == DLL_PROCESS_ATTACH)
        ghInstDLL = hinstDLL;
    return TRUE;
}
