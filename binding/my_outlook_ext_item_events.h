// Runs the message check when the client opens an item.
#ifndef QUORBIT_MY_OUTLOOK_EXT_ITEM_EVENTS_H
#define QUORBIT_MY_OUTLOOK_EXT_ITEM_EVENTS_H

#include "ext_interface_object.h"

class MyOutlookExtItemEvents final : public ExtInterfaceObject<MyOutlookExtItemEvents, IOutlookExtItemEvents>
{
public:
    explicit MyOutlookExtItemEvents(IUnknown* pParentInterface) : ExtInterfaceObject(pParentInterface) {}
    static REFIID OwnIid() { return IID_IOutlookExtItemEvents; }

    // CheckMessage's answer, unchanged: E_ABORT keeps the client from
    // opening the item, S_FALSE lets it go on.
    STDMETHODIMP OnOpen(LPEXCHEXTCALLBACK lpeecb) override;
    STDMETHODIMP OnOpenComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) override;
    STDMETHODIMP OnClose(LPEXCHEXTCALLBACK lpeecb, ULONG ulSaveOptions) override;
    STDMETHODIMP OnCloseComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) override;
};

#endif
