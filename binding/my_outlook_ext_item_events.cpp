#include "my_outlook_ext_item_events.h"
#include "message_check.h"
#include "message_handlers_page.h"

// Touches nothing of this object after the check: the check's boxes run
// message loops in which the client may release it.
STDMETHODIMP MyOutlookExtItemEvents::OnOpen(LPEXCHEXTCALLBACK lpeecb)
{
    // The client takes any error from an event method as "stop the user's
    // action", silently: a new message (no sender yet), an unreadable item
    // or a store in trouble would then never open. Only a handler's
    // PreventOpen keeps an item closed. The handler that matched is the
    // one the page's Add starts from next.
    return CheckMessage(lpeecb, RememberLoadedHandler) == E_ABORT ? E_ABORT : S_FALSE;
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
