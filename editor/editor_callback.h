// The editor's side of the client's extension interface: what the
// extension may ask of the program that hosts its options page.
#ifndef QUORBIT_EDITOR_CALLBACK_H
#define QUORBIT_EDITOR_CALLBACK_H

#include "exchext.h"

// The build version the editor reports: the major part the extension
// expects of its client.
#define EDITOR_BUILD_VERSION EECBGV_BUILDVERSION_MAJOR

// There is no MAPI session here, hence no address book and no message.
// Made with a count of 1; the last Release deletes it.
class EditorCallback final : public IExchExtCallback
{
public:
    // GetWindow answers what *phwndSheet holds at the time of the call.
    explicit EditorCallback(const HWND* phwndSheet);

    STDMETHODIMP QueryInterface(REFIID riid, LPVOID* ppvObj) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetVersion(ULONG* lpulVersion, ULONG ulFlags) override;
    STDMETHODIMP GetWindow(HWND* lphwnd) override;
    STDMETHODIMP GetMenu(HMENU* lphmenu) override;
    STDMETHODIMP GetToolbar(ULONG tbid, HWND* lphwndTb) override;
    STDMETHODIMP GetSession(LPMAPISESSION* lppses, LPADRBOOK* lppab) override;
    STDMETHODIMP GetObject(LPMDB* lppmdb, LPMAPIPROP* lppmp) override;
    STDMETHODIMP GetSelectionCount(ULONG* lpceid) override;
    STDMETHODIMP GetSelectionItem(ULONG ieid, ULONG* lpcbEid, LPENTRYID* lppeid, ULONG* lpulType,
                                  LPSTR lpszMsgClass, ULONG cbMsgClass, ULONG* lpulMsgFlags, ULONG ulFlags) override;
    STDMETHODIMP GetMenuPos(ULONG cmdid, HMENU* lphmenu, ULONG* lpmposMin, ULONG* lpmposMax,
                            ULONG ulFlags) override;
    STDMETHODIMP GetSharedExtsDir(LPSTR lpszDir, ULONG cchDir, ULONG ulFlags) override;
    STDMETHODIMP GetRecipients(LPADRLIST* lppal) override;
    STDMETHODIMP SetRecipients(LPADRLIST lpal) override;
    STDMETHODIMP GetNewMessageSite(ULONG fComposeInFolder, LPMAPIFOLDER pfldFocus, IPersistMessage* ppermsg,
                                   LPMESSAGE* ppmsg, IMAPIMessageSite** ppmms, IMAPIViewContext** ppmvc,
                                   ULONG ulFlags) override;
    STDMETHODIMP RegisterModeless(IExchExtModeless* peem, IExchExtModelessCallback** ppeemcb) override;
    STDMETHODIMP ChooseFolder(_EXCHEXTCHOOSEFOLDER* peecf) override;

private:
    ~EditorCallback() {}

    ULONG m_cRef;
    const HWND* m_phwndSheet;
};

#endif
