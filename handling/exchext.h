// The mail client's extension interfaces, declared once for the whole module.
//
// The client ships no header for these to mingw, so they are written out here
// in the client's published slot order. Every method uses the COM calling
// convention; slots the extension never calls are declared all the same so
// that the ones it does call land where the client put them.
#ifndef QUORBIT_EXCHEXT_H
#define QUORBIT_EXCHEXT_H

#include <windows.h>
#include <prsht.h>
#include <mapix.h>
#include <mapidefs.h>

// Types the extension never looks into.
struct IPersistMessage;
struct IMAPIMessageSite;
struct IMAPIViewContext;
struct IExchExtModeless;
struct IExchExtModelessCallback;
struct _EXCHEXTCHOOSEFOLDER;

// IExchExtCallback::GetVersion
#define EECBGV_GETBUILDVERSION          0x00000001
#define EECBGV_BUILDVERSION_MAJOR_MASK  0xFFFF0000
#define EECBGV_BUILDVERSION_MAJOR       0x000D0000

// Contexts the client installs an extension in (IExchExt::Install).
#define EECONTEXT_SESSION               0x00000001
#define EECONTEXT_VIEWER                0x00000002
#define EECONTEXT_REMOTEVIEWER          0x00000003
#define EECONTEXT_SEARCHVIEWER          0x00000004
#define EECONTEXT_ADDRBOOK              0x00000005
#define EECONTEXT_SENDNOTEMESSAGE       0x00000006
#define EECONTEXT_READNOTEMESSAGE       0x00000007
#define EECONTEXT_SENDPOSTMESSAGE       0x00000008
#define EECONTEXT_READPOSTMESSAGE       0x00000009
#define EECONTEXT_READREPORTMESSAGE     0x0000000A
#define EECONTEXT_SENDRESENDMESSAGE     0x0000000B
#define EECONTEXT_PROPERTYSHEETS        0x0000000C

// Kinds of property dialog (IExchExtPropertySheets).
#define EEPS_MESSAGE                    0x00000001
#define EEPS_FOLDER                     0x00000002
#define EEPS_STORE                      0x00000003
#define EEPS_TOOLSOPTIONS               0x00000004

// Flag of the OnXxxComplete events: the action did not go through.
#define EEME_FAILED                     0x00000001

struct IExchExtCallback : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetVersion(ULONG* lpulVersion, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWindow(HWND* lphwnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMenu(HMENU* lphmenu) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetToolbar(ULONG tbid, HWND* lphwndTb) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSession(LPMAPISESSION* lppses, LPADRBOOK* lppab) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObject(LPMDB* lppmdb, LPMAPIPROP* lppmp) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSelectionCount(ULONG* lpceid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSelectionItem(ULONG ieid, ULONG* lpcbEid, LPENTRYID* lppeid,
        ULONG* lpulType, LPSTR lpszMsgClass, ULONG cbMsgClass, ULONG* lpulMsgFlags, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMenuPos(ULONG cmdid, HMENU* lphmenu, ULONG* lpmposMin,
        ULONG* lpmposMax, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSharedExtsDir(LPSTR lpszDir, ULONG cchDir, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRecipients(LPADRLIST* lppal) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRecipients(LPADRLIST lpal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNewMessageSite(ULONG fComposeInFolder, LPMAPIFOLDER pfldFocus,
        IPersistMessage* ppermsg, LPMESSAGE* ppmsg, IMAPIMessageSite** ppmms,
        IMAPIViewContext** ppmvc, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterModeless(IExchExtModeless* peem,
        IExchExtModelessCallback** ppeemcb) = 0;
    virtual HRESULT STDMETHODCALLTYPE ChooseFolder(_EXCHEXTCHOOSEFOLDER* peecf) = 0;
};
typedef IExchExtCallback* LPEXCHEXTCALLBACK;

struct IExchExt : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Install(LPEXCHEXTCALLBACK lpeecb, ULONG mecontext, ULONG ulFlags) = 0;
};
typedef IExchExt* LPEXCHEXT;

struct IExchExtPropertySheets : public IUnknown
{
    virtual ULONG STDMETHODCALLTYPE GetMaxPageCount(ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPages(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags,
        LPPROPSHEETPAGEA lppsp, ULONG* lpcpsp) = 0;
    virtual void STDMETHODCALLTYPE FreePages(LPPROPSHEETPAGEA lppsp, ULONG ulFlags, ULONG cpsp) = 0;
};

struct IExchExtMessageEvents : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE OnRead(LPEXCHEXTCALLBACK lpeecb) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnReadComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnWrite(LPEXCHEXTCALLBACK lpeecb) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnWriteComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnCheckNames(LPEXCHEXTCALLBACK lpeecb) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnCheckNamesComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnSubmit(LPEXCHEXTCALLBACK lpeecb) = 0;
    virtual void STDMETHODCALLTYPE OnSubmitComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) = 0;
};

struct IOutlookExtItemEvents : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE OnOpen(LPEXCHEXTCALLBACK lpeecb) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnOpenComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnClose(LPEXCHEXTCALLBACK lpeecb, ULONG ulSaveOptions) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnCloseComplete(LPEXCHEXTCALLBACK lpeecb, ULONG ulFlags) = 0;
};

// The client's interface identifiers (defined in exchext_iids.cpp).
extern const IID IID_IExchExt;
extern const IID IID_IExchExtCallback;
extern const IID IID_IExchExtMessageEvents;
extern const IID IID_IExchExtPropertySheets;
extern const IID IID_IOutlookExtItemEvents;

// Signature of the module's one export.
typedef LPEXCHEXT (CALLBACK* LPEXCHENTRYPOINT)(void);

#endif
