// The module's one export: the client calls it for every extension object
// it wants.
#include "my_exch_ext.h"
#include <new>

extern "C" LPEXCHEXT CALLBACK ExchEntryPoint(void);

// A new, independent extension object with its count at 1, which is the
// client's reference; NULL when it cannot be allocated.
extern "C" LPEXCHEXT CALLBACK ExchEntryPoint(void)
{
    return new (std::nothrow) MyExchExt();
}
