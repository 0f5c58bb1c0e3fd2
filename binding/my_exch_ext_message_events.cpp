#include "my_exch_ext_message_events.h"

STDMETHODIMP MyExchExtMessageEvents::OnRead(LPEXCHEXTCALLBACK)
{
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnReadComplete(LPEXCHEXTCALLBACK, ULONG)
{
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnWrite(LPEXCHEXTCALLBACK)
{
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnWriteComplete(LPEXCHEXTCALLBACK, ULONG)
{
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnCheckNames(LPEXCHEXTCALLBACK)
{
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnCheckNamesComplete(LPEXCHEXTCALLBACK, ULONG)
{
    return S_FALSE;
}

STDMETHODIMP MyExchExtMessageEvents::OnSubmit(LPEXCHEXTCALLBACK)
{
    return S_FALSE;
}

STDMETHODIMP_(void) MyExchExtMessageEvents::OnSubmitComplete(LPEXCHEXTCALLBACK, ULONG)
{
}
