#include "my_exch_ext_message_events.h"

STDMETHODIMP MyExchExtMessageEvents::OnRead(LPEXCHEXTCALLBACK lpeecb)
{
    (void)lpeecb;
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnReadComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags)
{
    (void)lpeecb;
    (void)ulFlags;
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnWrite(LPEXCHEXTCALLBACK lpeecb)
{
    (void)lpeecb;
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnWriteComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags)
{
    (void)lpeecb;
    (void)ulFlags;
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnCheckNames(LPEXCHEXTCALLBACK lpeecb)
{
    (void)lpeecb;
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnCheckNamesComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags)
{
    (void)lpeecb;
    (void)ulFlags;
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnSubmit(LPEXCHEXTCALLBACK lpeecb)
{
    (void)lpeecb;
    return S_FALSE;
}

STDMETHODIMP_(void) MyExchExtMessageEvents::OnSubmitComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags)
{
    (void)lpeecb;
    (void)ulFlags;
}
