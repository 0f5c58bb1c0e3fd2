// Answers the client's message events without acting on them: a message is
// checked when it is opened (MyOutlookExtItemEvents), never when it is read.
#ifndef QUORBIT_MY_EXCH_EXT_MESSAGE_EVENTS_H
#define QUORBIT_MY_EXCH_EXT_MESSAGE_EVENTS_H

#include "ext_interface_object.h"

class MyExchExtMessageEvents final : public ExtInterfaceObject<MyExchExtMessageEvents, IExchExtMessageEvents>
{
public:
    explicit MyExchExtMessageEvents(IUnknown* pParentInterface) : ExtInterfaceObject(pParentInterface) {}
    static REFIID OwnIid() { return IID_IExchExtMessageEvents; }

    // S_FALSE: not handled, the client goes on as usual.
    STDMETHODIMP OnRead(LPEXCHEXTCALLBACK lpeecb) override;
    STDMETHODIMP OnReadComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) override;
    STDMETHODIMP OnWrite(LPEXCHEXTCALLBACK lpeecb) override;
    STDMETHODIMP OnWriteComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) override;
    STDMETHODIMP OnCheckNames(LPEXCHEXTCALLBACK lpeecb) override;
    STDMETHODIMP OnCheckNamesComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) override;
    STDMETHODIMP OnSubmit(LPEXCHEXTCALLBACK lpeecb) override;
    STDMETHODIMP_(void) OnSubmitComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) override;
};

#endif
