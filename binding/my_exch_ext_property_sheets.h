// Adds the Message Handlers page to the client's options dialog.
#ifndef QUORBIT_MY_EXCH_EXT_PROPERTY_SHEETS_H
#define QUORBIT_MY_EXCH_EXT_PROPERTY_SHEETS_H

#include "ext_interface_object.h"

class MyExchExtPropertySheets final
    : public ExtInterfaceObject<MyExchExtPropertySheets, IExchExtPropertySheets>
{
public:
    explicit MyExchExtPropertySheets(IUnknown* pParentInterface) : ExtInterfaceObject(pParentInterface) {}
    static REFIID OwnIid() { return IID_IExchExtPropertySheets; }

    STDMETHODIMP_(ULONG) GetMaxPageCount(ULONG ulFlags) override;
    STDMETHODIMP GetPages(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags, LPPROPSHEETPAGEA lppsp,
                          ULONG* lpcpsp) override;
    STDMETHODIMP_(void) FreePages(LPPROPSHEETPAGEA lppsp, ULONG ulFlags, ULONG cpsp) override;
};

#endif
