#include "editor_callback.h"
#include <mapicode.h>

EditorCallback::EditorCallback(const HWND* phwndSheet) : m_cRef(1), m_phwndSheet(phwndSheet)
{
}

STDMETHODIMP EditorCallback::QueryInterface(REFIID riid, LPVOID* ppvObj)
{
    if (ppvObj == NULL)
        return E_POINTER;
    *ppvObj = NULL;
    if (riid != IID_IUnknown && riid != IID_IExchExtCallback)
        return E_NOINTERFACE;
    AddRef();
    *ppvObj = this;
    return S_OK;
}

STDMETHODIMP_(ULONG) EditorCallback::AddRef()
{
    return ++m_cRef;
}

STDMETHODIMP_(ULONG) EditorCallback::Release()
{
    ULONG cRef = --m_cRef;

    if (cRef == 0)
        delete this;
    return cRef;
}

// Only the build version is known here.
STDMETHODIMP EditorCallback::GetVersion(ULONG* lpulVersion, ULONG ulFlags)
{
    if (lpulVersion == NULL || (ulFlags & EECBGV_GETBUILDVERSION) == 0)
        return E_INVALIDARG;
    *lpulVersion = EDITOR_BUILD_VERSION;
    return S_OK;
}

// The property sheet, once it exists; NULL before.
STDMETHODIMP EditorCallback::GetWindow(HWND* lphwnd)
{
    if (lphwnd == NULL)
        return E_INVALIDARG;
    *lphwnd = *m_phwndSheet;
    return S_OK;
}

// No session is logged on, so there is no address book either: the page
// then asks for addresses to be typed.
STDMETHODIMP EditorCallback::GetSession(LPMAPISESSION* lppses, LPADRBOOK* lppab)
{
    if (lppses != NULL)
        *lppses = NULL;
    if (lppab != NULL)
        *lppab = NULL;
    return S_OK;
}

// No store and no item are open.
STDMETHODIMP EditorCallback::GetObject(LPMDB* lppmdb, LPMAPIPROP* lppmp)
{
    if (lppmdb != NULL)
        *lppmdb = NULL;
    if (lppmp != NULL)
        *lppmp = NULL;
    return MAPI_E_NO_SUPPORT;
}

// The editor has no menu, toolbar, selection, message or folders.
STDMETHODIMP EditorCallback::GetMenu(HMENU*)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::GetToolbar(ULONG, HWND*)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::GetSelectionCount(ULONG*)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::GetSelectionItem(ULONG, ULONG*, LPENTRYID*, ULONG*, LPSTR, ULONG, ULONG*, ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::GetMenuPos(ULONG, HMENU*, ULONG*, ULONG*, ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::GetSharedExtsDir(LPSTR, ULONG, ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::GetRecipients(LPADRLIST*)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::SetRecipients(LPADRLIST)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::GetNewMessageSite(ULONG, LPMAPIFOLDER, IPersistMessage*, LPMESSAGE*,
                                               IMAPIMessageSite**, IMAPIViewContext**, ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::RegisterModeless(IExchExtModeless*, IExchExtModelessCallback**)
{
    return MAPI_E_NO_SUPPORT;
}

STDMETHODIMP EditorCallback::ChooseFolder(_EXCHEXTCHOOSEFOLDER*)
{
    return MAPI_E_NO_SUPPORT;
}
