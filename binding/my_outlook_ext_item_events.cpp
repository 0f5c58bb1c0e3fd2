#include "my_outlook_ext_item_events.h"
#include "message_check.h"

// Touches nothing of this object after the check: the check's boxes run
// message loops in which the client may release it.
STDMETHODIMP MyOutlookExtItemEvents::OnOpen(LPEXCHEXTCALLBACK lpeecb)
{
    return CheckMessage(lpeecb);
}

STDMETHODIMP MyOutlookExtItemEvents::OnOpenComplete(LPEXCHEXTCALLBACK, ULONG)
{
    return S_FALSE;
}

STDMETHODIMP MyOutlookExtItemEvents::OnClose(LPEXCHEXTCALLBACK, ULONG)
{
    return S_FALSE;
}

STDMETHODIMP MyOutlookExtItemEvents::OnCloseComplete(LPEXCHEXTCALLBACK, ULONG)
{
    return S_FALSE;
}
