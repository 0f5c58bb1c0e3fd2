// The mail client's objects as exthost plays the client: the callback it
// hands to every extension call, the message store and message behind it,
// and the address book. Each counts the references it hands out, so that
// exthost, and a test, can tell that everything taken was given back. They
// never delete themselves; whoever made them owns them.
#ifndef QUORBIT_EXTHOST_CLIENT_OBJECTS_H
#define QUORBIT_EXTHOST_CLIENT_OBJECTS_H

#include "exchext.h"
#include <mapix.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// IUnknown with a visible count.
template <class Base>
class CountedObject : public Base
{
public:
    LONG m_cRef = 1;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (riid != IID_IUnknown)
            return E_NOINTERFACE;
        *ppv = this;
        this->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
};

// IMAPIProp with every method refused; an object overrides what it answers.
template <class Base>
class MapiPropObject : public CountedObject<Base>
{
public:
    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR*) override { return E_NOTIMPL; }
    STDMETHODIMP SaveChanges(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetProps(LPSPropTagArray, ULONG, ULONG*, LPSPropValue*) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropList(ULONG, LPSPropTagArray*) override { return E_NOTIMPL; }
    STDMETHODIMP OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override { return E_NOTIMPL; }
    STDMETHODIMP SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                        LPSPropProblemArray*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                           LPSPropProblemArray*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override { return E_NOTIMPL; }
};

// The message store: the check only takes it and releases it.
typedef CountedObject<IUnknown> ClientMsgStore;

// One entry of a property table.
struct MessageProp
{
    enum Kind { String8, Unicode, Binary, Error, Number } kind;
    ULONG ulPropTag;
    std::string strA;
    std::wstring strW;
    std::vector<BYTE> bin;
    SCODE err;          // an Error's code, or the number MessageProp::Long made
    bool fNullPointer;  // string or binary value whose pointer is null

    static MessageProp Str(ULONG tag, const std::string& s);
    static MessageProp NullStr(ULONG tag);
    static MessageProp WStr(ULONG tag, const std::wstring& s);
    static MessageProp Bin(ULONG tag, const std::vector<BYTE>& b);
    static MessageProp Err(ULONG tag, SCODE sc);
    // A 32-bit number: tag's type should be PT_LONG, whatever is asked for.
    static MessageProp Long(ULONG tag, LONG l);
};

// Answers GetProps from props, as a MAPI store does: one array in MAPI
// memory from the real MAPIAllocateBuffer, the data of every value
// allocated with it, PT_ERROR for a property not in the table. A tag asked
// for is answered by the entry with that tag, or else by one with its
// identifier and another type. hrWarning is the answer when a value is
// PT_ERROR.
HRESULT AnswerProps(const std::vector<MessageProp>& props, HRESULT hrWarning, LPSPropTagArray lpPropTagArray,
                    ULONG* lpcValues, LPSPropValue* lppPropArray);

// text in the ANSI code page, converted as the A functions convert it.
std::string NarrowByBestFit(const std::wstring& text);

// A MAPI object whose GetProps answers from its table.
template <class Base>
class PropTableObject : public MapiPropObject<Base>
{
public:
    std::vector<MessageProp> m_props;
    HRESULT m_hrGetProps = S_OK;      // a failure here fails the whole call
    HRESULT m_hrWarning = MAPI_W_ERRORS_RETURNED;  // answer when a value is PT_ERROR
    int m_cGetProps = 0;
    ULONG m_ulLastFlags = 0xdeadbeef;

    // A text property in both forms, as a store with Unicode text keeps
    // it: its 8-bit form is the best-fit conversion the store makes
    // ("\uFF4F" becomes "o").
    void SetText(ULONG ulPropId, const std::wstring& text)
    {
        m_props.push_back(MessageProp::Str(PROP_TAG(PT_STRING8, ulPropId), NarrowByBestFit(text)));
        m_props.push_back(MessageProp::WStr(PROP_TAG(PT_UNICODE, ulPropId), text));
    }

    STDMETHODIMP GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                          LPSPropValue* lppPropArray) override
    {
        m_cGetProps++;
        m_ulLastFlags = ulFlags;
        if (FAILED(m_hrGetProps))
            return m_hrGetProps;
        HRESULT hr = AnswerProps(m_props, m_hrWarning, lpPropTagArray, lpcValues, lppPropArray);
        return hr == S_OK ? m_hrGetProps : hr;
    }
};

// A message from a table of properties.
class ClientMessage : public PropTableObject<IMessage>
{
public:
    // The sender's address in both forms (SetText): from 8-bit text, its
    // Unicode form is the same text.
    void SetSender(const std::string& sender);
    void SetSender(const std::wstring& sender);
    void SetEntryId(const std::vector<BYTE>& id);

    STDMETHODIMP GetAttachmentTable(ULONG, LPMAPITABLE*) override;
    STDMETHODIMP OpenAttach(ULONG, LPCIID, ULONG, LPATTACH*) override;
    STDMETHODIMP CreateAttach(LPCIID, ULONG, ULONG*, LPATTACH*) override;
    STDMETHODIMP DeleteAttach(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) override;
    STDMETHODIMP GetRecipientTable(ULONG, LPMAPITABLE*) override;
    STDMETHODIMP ModifyRecipients(ULONG, LPADRLIST) override;
    STDMETHODIMP SubmitMessage(ULONG) override;
    STDMETHODIMP SetReadFlag(ULONG) override;
};

// An entry of the address book, as OpenEntry opens it: a mail user unless
// m_ulObjType says otherwise.
class ClientMailUser : public PropTableObject<IMailUser>
{
public:
    std::vector<BYTE> m_entryId;
    ULONG m_ulObjType = MAPI_MAILUSER;
};

// The client's callback for one opened item.
class ClientCallback : public CountedObject<IExchExtCallback>
{
public:
    // Scripted answers.
    HWND m_hwnd = NULL;
    HRESULT m_hrGetWindow = S_OK;
    HRESULT m_hrGetObject = S_OK;
    ClientMsgStore* m_pStore = NULL;      // handed out with a reference
    IMAPIProp* m_pMessage = NULL;       // handed out with a reference
    ULONG m_ulVersion = 0x000D0000;
    LPMAPISESSION m_pSession = NULL;      // handed out with a reference
    LPADRBOOK m_pAdrBook = NULL;          // handed out with a reference

    // What was asked.
    int m_cGetWindow = 0;
    int m_cGetObject = 0;
    int m_cGetVersion = 0;
    int m_cGetSession = 0;

    STDMETHODIMP GetVersion(ULONG* lpulVersion, ULONG ulFlags) override;
    STDMETHODIMP GetWindow(HWND* lphwnd) override;
    STDMETHODIMP GetMenu(HMENU*) override;
    STDMETHODIMP GetToolbar(ULONG, HWND*) override;
    STDMETHODIMP GetSession(LPMAPISESSION* lppses, LPADRBOOK* lppab) override;
    STDMETHODIMP GetObject(LPMDB* lppmdb, LPMAPIPROP* lppmp) override;
    STDMETHODIMP GetSelectionCount(ULONG*) override;
    STDMETHODIMP GetSelectionItem(ULONG, ULONG*, LPENTRYID*, ULONG*, LPSTR, ULONG, ULONG*, ULONG) override;
    STDMETHODIMP GetMenuPos(ULONG, HMENU*, ULONG*, ULONG*, ULONG) override;
    STDMETHODIMP GetSharedExtsDir(LPSTR, ULONG, ULONG) override;
    STDMETHODIMP GetRecipients(LPADRLIST*) override;
    STDMETHODIMP SetRecipients(LPADRLIST) override;
    STDMETHODIMP GetNewMessageSite(ULONG, LPMAPIFOLDER, IPersistMessage*, LPMESSAGE*, IMAPIMessageSite**,
                                   IMAPIViewContext**, ULONG) override;
    STDMETHODIMP RegisterModeless(IExchExtModeless*, IExchExtModelessCallback**) override;
    STDMETHODIMP ChooseFolder(_EXCHEXTCHOOSEFOLDER*) override;
};

// The client's address book. Address records what it was given and
// answers as scripted. A returned list is built the way MAPI hands one out,
// with the real MAPIAllocateBuffer: the list in one buffer, each row's
// property values in a buffer of their own, so the caller's row-by-row
// free is the real one. OpenEntry opens the entries added with AddEntry,
// each with a counted reference.
class ClientAddrBook : public MapiPropObject<IAddrBook>
{
public:
    enum Answer { Fail, Cancel, Entries, EmptyList, NullList };

    // Scripted answer.
    Answer m_answer = Cancel;
    HRESULT m_hrFail = MAPI_E_CALL_FAILED;
    std::vector<std::vector<MessageProp> > m_rows;   // for Entries
    std::function<void()> m_whileShown;            // runs inside Address

    // What Address was given.
    int m_cAddress = 0;
    ULONG_PTR m_ulUIParam = 0;
    ADRPARM m_adrparm = {};         // copied; its pointers are not to be followed
    std::string m_caption;
    bool m_fListWasNull = false;    // *lppAdrList held NULL on entry

    // Allocations of the last list handed out, for a check that they were
    // freed: the list itself first, then each row's values.
    std::vector<void*> m_allocated;

    // Adds a row holding these properties (8-bit text and bytes).
    void AddRow(const std::vector<MessageProp>& props) { m_rows.push_back(props); }

    // Entries OpenEntry finds by their identifier; a failure of its own
    // when m_hrOpenEntry is one.
    std::vector<std::unique_ptr<ClientMailUser> > m_entries;
    HRESULT m_hrOpenEntry = S_OK;
    int m_cOpenEntry = 0;
    ClientMailUser* AddEntry(const std::vector<BYTE>& id, const std::vector<MessageProp>& props);
    // Whether every entry opened was released again.
    bool EntriesReleased() const;

    STDMETHODIMP OpenEntry(ULONG, LPENTRYID, LPCIID, ULONG, ULONG*, LPUNKNOWN*) override;
    STDMETHODIMP CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) override;
    STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override;
    STDMETHODIMP Unadvise(ULONG) override;
    STDMETHODIMP CreateOneOff(LPTSTR, LPTSTR, LPTSTR, ULONG, ULONG*, LPENTRYID*) override;
    STDMETHODIMP NewEntry(ULONG_PTR, ULONG, ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG*, LPENTRYID*) override;
    STDMETHODIMP ResolveName(ULONG_PTR, ULONG, LPTSTR, LPADRLIST) override;
    STDMETHODIMP Address(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms, LPADRLIST* lppAdrList) override;
    STDMETHODIMP Details(ULONG*, LPFNDISMISS, LPVOID, ULONG, LPENTRYID, LPFNBUTTON, LPVOID, LPTSTR, ULONG) override;
    STDMETHODIMP RecipOptions(ULONG_PTR, ULONG, LPADRENTRY) override;
    STDMETHODIMP QueryDefaultRecipOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*) override;
    STDMETHODIMP GetPAB(ULONG*, LPENTRYID*) override;
    STDMETHODIMP SetPAB(ULONG, LPENTRYID) override;
    STDMETHODIMP GetDefaultDir(ULONG*, LPENTRYID*) override;
    STDMETHODIMP SetDefaultDir(ULONG, LPENTRYID) override;
    STDMETHODIMP GetSearchPath(ULONG, LPSRowSet*) override;
    STDMETHODIMP SetSearchPath(ULONG, LPSRowSet) override;
    STDMETHODIMP PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST) override;
};

// An item the client opens: a message from sender (none: a new message,
// which has no sender yet), with entryId, in a store, both handed out by
// the callback, which gives a window of the client's as its own and the
// session's address book.
struct OpenedItem
{
    ClientAddrBook addrBook;
    ClientCallback callback;
    ClientMsgStore store;
    ClientMessage message;
    HWND hwndClient;

    explicit OpenedItem(const std::string& sender, const std::vector<BYTE>& entryId = {0x00, 0x1F, 0xA0});
    ~OpenedItem();
    OpenedItem(const OpenedItem&) = delete;
    OpenedItem& operator=(const OpenedItem&) = delete;
};

#endif
