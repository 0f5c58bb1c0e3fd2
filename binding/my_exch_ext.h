// The extension object that ExchEntryPoint hands to the client.
#ifndef QUORBIT_MY_EXCH_EXT_H
#define QUORBIT_MY_EXCH_EXT_H

#include "exchext.h"

class MyExchExtPropertySheets;
class MyExchExtMessageEvents;
class MyOutlookExtItemEvents;

// The extension object and its three interface objects point at each other
// without counted references, so they live and die as one group: each
// member keeps its own count, exactly the count the client sees, but no
// member is freed while any of the four counts is above 0, and the Release
// that leaves all four at 0 frees all four. An interface object released
// to 0 is therefore still there when the owner hands it out again, and an
// owner released to 0 is still there when an interface object the client
// holds is asked for IID_IUnknown.
class MyExchExt final : public IExchExt
{
public:
    MyExchExt();

    STDMETHODIMP QueryInterface(REFIID riid, LPVOID* ppvObj) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Install(LPEXCHEXTCALLBACK peecb, ULONG eecontext, ULONG ulFlags) override;

    // Frees the group once none of its four counts is above 0.
    void FreeGroupIfUnused();

private:
    ULONG m_cRef;
    ULONG m_context;
    MyExchExtPropertySheets* m_pExchExtPropertySheets;
    MyExchExtMessageEvents* m_pExchExtMessageEvents;
    MyOutlookExtItemEvents* m_pOutlookExtItemEvents;
};

#endif
