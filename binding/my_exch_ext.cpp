#include "my_exch_ext.h"
#include "my_exch_ext_property_sheets.h"
#include "my_exch_ext_message_events.h"
#include "my_outlook_ext_item_events.h"
#include "help_contents.h"
#include "host_handles.h"
#include <new>

// Extension groups alive in this module. When the last one goes, so do the
// help windows it opened: the client may unload the module next.
static ULONG cGroups = 0;

// The contexts of a message window, where the options page has no place.
static BOOL IsMessageContext(ULONG eecontext)
{
    return eecontext >= EECONTEXT_SENDNOTEMESSAGE && eecontext <= EECONTEXT_SENDRESENDMESSAGE;
}

// An interface object that cannot be allocated stays NULL; the others are
// still made, and QueryInterface refuses only the missing one. Until the
// first Install the object is in no context, where nothing is refused.
MyExchExt::MyExchExt()
    : m_cRef(1),
      m_context(0),
      m_pExchExtPropertySheets(NULL),
      m_pExchExtMessageEvents(NULL),
      m_pOutlookExtItemEvents(NULL)
{
    cGroups++;
    m_pExchExtPropertySheets = new (std::nothrow) MyExchExtPropertySheets(this);
    m_pExchExtMessageEvents = new (std::nothrow) MyExchExtMessageEvents(this);
    m_pOutlookExtItemEvents = new (std::nothrow) MyOutlookExtItemEvents(this);
}

STDMETHODIMP MyExchExt::QueryInterface(REFIID riid, LPVOID* ppvObj)
{
    HRESULT hr = S_OK;
    IUnknown* pUnk = NULL;

    if (ppvObj == NULL)
        return E_POINTER;
    *ppvObj = NULL;

    if (riid == IID_IUnknown || riid == IID_IExchExt)
        pUnk = this;
    else if (riid == IID_IExchExtPropertySheets)
    {
        if (IsMessageContext(m_context))
            hr = E_NOINTERFACE;
        else
            pUnk = m_pExchExtPropertySheets;
    }
    else if (riid == IID_IExchExtMessageEvents)
        pUnk = m_pExchExtMessageEvents;
    else if (riid == IID_IOutlookExtItemEvents)
        pUnk = m_pOutlookExtItemEvents;
    else
        hr = E_NOINTERFACE;

    if (SUCCEEDED(hr) && pUnk == NULL)
        hr = E_NOINTERFACE;
    if (SUCCEEDED(hr))
    {
        // The interface object's own count, not this object's.
        pUnk->AddRef();
        *ppvObj = pUnk;
    }
    return hr;
}

STDMETHODIMP_(ULONG) MyExchExt::AddRef()
{
    return ++m_cRef;
}

STDMETHODIMP_(ULONG) MyExchExt::Release()
{
    ULONG cRef;

    // One Release too many must not free the group twice.
    if (m_cRef == 0)
        return 0;
    cRef = --m_cRef;
    if (cRef == 0)
        FreeGroupIfUnused();
    return cRef;
}

// S_OK in the message contexts and the property-sheets context of a client
// whose build version has major part 0x000D; S_FALSE otherwise. The session
// and address book are taken in every context that passes the version
// test. A GetVersion that fails counts as a mismatch, and a GetSession that
// fails leaves the handles of an earlier Install as they were.
STDMETHODIMP MyExchExt::Install(LPEXCHEXTCALLBACK peecb, ULONG eecontext, ULONG ulFlags)
{
    HRESULT hr = S_FALSE;
    ULONG ulBuildVersion = 0;
    LPMAPISESSION lpNewSession = NULL;
    LPADRBOOK lpNewAdrbook = NULL;

    (void)ulFlags;
    // First, so that the context counts even when the version test fails.
    m_context = eecontext;
    if (peecb == NULL)
        goto Cleanup;

    if (FAILED(peecb->GetVersion(&ulBuildVersion, EECBGV_GETBUILDVERSION)) ||
        (ulBuildVersion & EECBGV_BUILDVERSION_MAJOR_MASK) != EECBGV_BUILDVERSION_MAJOR)
        goto Cleanup;

    hr = (eecontext >= EECONTEXT_SENDNOTEMESSAGE && eecontext <= EECONTEXT_PROPERTYSHEETS) ? S_OK : S_FALSE;

    // The pair is kept, with the references GetSession handed out, for the
    // module's life: the dialogs use the address book long after this
    // call, and the module is never told when the session ends.
    if (SUCCEEDED(peecb->GetSession(&lpNewSession, &lpNewAdrbook)))
    {
        lpSession = lpNewSession;
        lpAdrbook = lpNewAdrbook;
    }

Cleanup:
    return hr;
}

void MyExchExt::FreeGroupIfUnused()
{
    if (m_cRef != 0 || (m_pExchExtPropertySheets != NULL && m_pExchExtPropertySheets->IsInUse()) ||
        (m_pExchExtMessageEvents != NULL && m_pExchExtMessageEvents->IsInUse()) ||
        (m_pOutlookExtItemEvents != NULL && m_pOutlookExtItemEvents->IsInUse()))
        return;
    delete m_pExchExtPropertySheets;
    delete m_pExchExtMessageEvents;
    delete m_pOutlookExtItemEvents;
    delete this;
    if (--cGroups == 0)
        CloseHelpWindows();
}
