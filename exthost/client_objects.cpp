#include "client_objects.h"
#include <mapiutil.h>
#include <mapicode.h>
#include <cstring>

MessageProp MessageProp::Str(ULONG tag, const std::string& s)
{
    MessageProp p{String8, tag, s, L"", {}, 0, false};
    return p;
}

MessageProp MessageProp::NullStr(ULONG tag)
{
    MessageProp p{PROP_TYPE(tag) == PT_STRING8 ? String8 : Unicode, tag, "", L"", {}, 0, true};
    return p;
}

MessageProp MessageProp::WStr(ULONG tag, const std::wstring& s)
{
    MessageProp p{Unicode, tag, "", s, {}, 0, false};
    return p;
}

MessageProp MessageProp::Bin(ULONG tag, const std::vector<BYTE>& b)
{
    MessageProp p{Binary, tag, "", L"", b, 0, false};
    return p;
}

MessageProp MessageProp::Err(ULONG tag, SCODE sc)
{
    MessageProp p{Error, tag, "", L"", {}, sc, false};
    return p;
}

MessageProp MessageProp::Long(ULONG tag, LONG l)
{
    MessageProp p{Number, tag, "", L"", {}, l, false};
    return p;
}

void ClientMessage::SetSender(const std::string& sender)
{
    std::wstring wide(sender.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, sender.c_str(), -1, &wide[0], (int)wide.size()) - 1);
    m_props.push_back(MessageProp::Str(PR_SENDER_EMAIL_ADDRESS_A, sender));
    m_props.push_back(MessageProp::WStr(PR_SENDER_EMAIL_ADDRESS_W, wide));
}

void ClientMessage::SetSender(const std::wstring& sender)
{
    SetText(PROP_ID(PR_SENDER_EMAIL_ADDRESS), sender);
}

std::string NarrowByBestFit(const std::wstring& text)
{
    std::string narrow(2 * text.size() + 1, '\0');
    narrow.resize(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], (int)narrow.size(), NULL, NULL) - 1);
    return narrow;
}

void ClientMessage::SetEntryId(const std::vector<BYTE>& id)
{
    m_props.push_back(MessageProp::Bin(PR_ENTRYID, id));
}

HRESULT AnswerProps(const std::vector<MessageProp>& props, HRESULT hrWarning, LPSPropTagArray lpPropTagArray,
                    ULONG* lpcValues, LPSPropValue* lppPropArray)
{
    ULONG cValues = lpPropTagArray->cValues;
    ULONG cbData = 0;
    std::vector<const MessageProp*> found(cValues, nullptr);
    for (ULONG i = 0; i < cValues; i++)
    {
        for (const MessageProp& p : props)
            if (PROP_ID(p.ulPropTag) == PROP_ID(lpPropTagArray->aulPropTag[i]) &&
                (found[i] == nullptr || found[i]->ulPropTag != lpPropTagArray->aulPropTag[i]))
                found[i] = &p;
        if (found[i])
            cbData += (ULONG)(found[i]->strA.size() + 1 + 2 * (found[i]->strW.size() + 1) + found[i]->bin.size());
    }

    LPSPropValue lpValues = NULL;
    if (FAILED(MAPIAllocateBuffer(cValues * sizeof(SPropValue) + cbData, (void**)&lpValues)))
        return MAPI_E_NOT_ENOUGH_MEMORY;
    BYTE* pData = (BYTE*)(lpValues + cValues);
    bool fErrors = false;
    for (ULONG i = 0; i < cValues; i++)
    {
        SPropValue& v = lpValues[i];
        ZeroMemory(&v, sizeof(v));
        const MessageProp* p = found[i];
        if (p == nullptr || p->kind == MessageProp::Error)
        {
            v.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(lpPropTagArray->aulPropTag[i]));
            v.Value.err = p ? p->err : MAPI_E_NOT_FOUND;
            fErrors = true;
            continue;
        }
        v.ulPropTag = p->ulPropTag;
        switch (p->kind)
        {
        case MessageProp::String8:
            memcpy(pData, p->strA.c_str(), p->strA.size() + 1);
            v.Value.lpszA = p->fNullPointer ? NULL : (LPSTR)pData;
            pData += p->strA.size() + 1;
            break;
        case MessageProp::Unicode:
            memcpy(pData, p->strW.c_str(), 2 * (p->strW.size() + 1));
            v.Value.lpszW = p->fNullPointer ? NULL : (LPWSTR)pData;
            pData += 2 * (p->strW.size() + 1);
            break;
        case MessageProp::Binary:
            if (!p->bin.empty())
                memcpy(pData, p->bin.data(), p->bin.size());
            v.Value.bin.cb = (ULONG)p->bin.size();
            v.Value.bin.lpb = pData;
            pData += p->bin.size();
            break;
        case MessageProp::Number:
            v.Value.l = p->err;
            break;
        default:
            break;
        }
    }
    *lpcValues = cValues;
    *lppPropArray = lpValues;
    return fErrors ? hrWarning : S_OK;
}

#define NOT_USED(call) \
    STDMETHODIMP call { return E_NOTIMPL; }

NOT_USED(ClientMessage::GetAttachmentTable(ULONG, LPMAPITABLE*))
NOT_USED(ClientMessage::OpenAttach(ULONG, LPCIID, ULONG, LPATTACH*))
NOT_USED(ClientMessage::CreateAttach(LPCIID, ULONG, ULONG*, LPATTACH*))
NOT_USED(ClientMessage::DeleteAttach(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG))
NOT_USED(ClientMessage::GetRecipientTable(ULONG, LPMAPITABLE*))
NOT_USED(ClientMessage::ModifyRecipients(ULONG, LPADRLIST))
NOT_USED(ClientMessage::SubmitMessage(ULONG))
NOT_USED(ClientMessage::SetReadFlag(ULONG))

STDMETHODIMP ClientCallback::GetVersion(ULONG* lpulVersion, ULONG)
{
    m_cGetVersion++;
    *lpulVersion = m_ulVersion;
    return S_OK;
}

STDMETHODIMP ClientCallback::GetWindow(HWND* lphwnd)
{
    m_cGetWindow++;
    *lphwnd = m_hwnd;
    return m_hrGetWindow;
}

STDMETHODIMP ClientCallback::GetSession(LPMAPISESSION* lppses, LPADRBOOK* lppab)
{
    m_cGetSession++;
    // The caller releases both, as the client's documentation asks.
    if (lppses)
    {
        *lppses = m_pSession;
        if (m_pSession)
            m_pSession->AddRef();
    }
    if (lppab)
    {
        *lppab = m_pAdrBook;
        if (m_pAdrBook)
            m_pAdrBook->AddRef();
    }
    return S_OK;
}

STDMETHODIMP ClientCallback::GetObject(LPMDB* lppmdb, LPMAPIPROP* lppmp)
{
    m_cGetObject++;
    if (FAILED(m_hrGetObject))
        return m_hrGetObject;
    if (m_pStore)
        m_pStore->AddRef();
    if (m_pMessage)
        m_pMessage->AddRef();
    *lppmdb = (LPMDB)(IUnknown*)m_pStore;
    *lppmp = m_pMessage;
    return m_hrGetObject;
}

NOT_USED(ClientCallback::GetMenu(HMENU*))
NOT_USED(ClientCallback::GetToolbar(ULONG, HWND*))
NOT_USED(ClientCallback::GetSelectionCount(ULONG*))
NOT_USED(ClientCallback::GetSelectionItem(ULONG, ULONG*, LPENTRYID*, ULONG*, LPSTR, ULONG, ULONG*, ULONG))
NOT_USED(ClientCallback::GetMenuPos(ULONG, HMENU*, ULONG*, ULONG*, ULONG))
NOT_USED(ClientCallback::GetSharedExtsDir(LPSTR, ULONG, ULONG))
NOT_USED(ClientCallback::GetRecipients(LPADRLIST*))
NOT_USED(ClientCallback::SetRecipients(LPADRLIST))
NOT_USED(ClientCallback::GetNewMessageSite(ULONG, LPMAPIFOLDER, IPersistMessage*, LPMESSAGE*, IMAPIMessageSite**,
                                         IMAPIViewContext**, ULONG))
NOT_USED(ClientCallback::RegisterModeless(IExchExtModeless*, IExchExtModelessCallback**))
NOT_USED(ClientCallback::ChooseFolder(_EXCHEXTCHOOSEFOLDER*))

STDMETHODIMP ClientAddrBook::Address(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms, LPADRLIST* lppAdrList)
{
    m_cAddress++;
    m_ulUIParam = lpulUIParam ? *lpulUIParam : 0;
    ZeroMemory(&m_adrparm, sizeof(m_adrparm));
    m_caption.clear();
    if (lpAdrParms)
    {
        m_adrparm = *lpAdrParms;
        if (lpAdrParms->lpszCaption)
            m_caption = (const char*)lpAdrParms->lpszCaption;
    }
    m_fListWasNull = lppAdrList != NULL && *lppAdrList == NULL;
    m_allocated.clear();
    if (m_whileShown)
        m_whileShown();

    switch (m_answer)
    {
    case Fail:
        return m_hrFail;
    case Cancel:
        return MAPI_E_USER_CANCEL;
    case NullList:
        *lppAdrList = NULL;
        return S_OK;
    default:
        break;
    }

    ULONG cRows = m_answer == Entries ? (ULONG)m_rows.size() : 0;
    LPADRLIST lpList = NULL;
    if (FAILED(MAPIAllocateBuffer(CbNewADRLIST(cRows), (void**)&lpList)))
        return MAPI_E_NOT_ENOUGH_MEMORY;
    m_allocated.push_back(lpList);
    lpList->cEntries = cRows;
    for (ULONG r = 0; r < cRows; r++)
    {
        const std::vector<MessageProp>& props = m_rows[r];
        ULONG cbData = 0;
        for (const MessageProp& p : props)
            cbData += (ULONG)(p.strA.size() + 1 + p.bin.size());
        LPSPropValue lpValues = NULL;
        MAPIAllocateBuffer((ULONG)(props.size() * sizeof(SPropValue)) + cbData, (void**)&lpValues);
        m_allocated.push_back(lpValues);
        char* pData = (char*)(lpValues + props.size());
        for (size_t i = 0; i < props.size(); i++)
        {
            ZeroMemory(&lpValues[i], sizeof(SPropValue));
            lpValues[i].ulPropTag = props[i].ulPropTag;
            if (props[i].kind == MessageProp::Binary)
            {
                if (!props[i].bin.empty())
                    memcpy(pData, props[i].bin.data(), props[i].bin.size());
                lpValues[i].Value.bin.cb = (ULONG)props[i].bin.size();
                lpValues[i].Value.bin.lpb = (LPBYTE)pData;
                pData += props[i].bin.size();
                continue;
            }
            memcpy(pData, props[i].strA.c_str(), props[i].strA.size() + 1);
            lpValues[i].Value.lpszA = props[i].fNullPointer ? NULL : pData;
            pData += props[i].strA.size() + 1;
        }
        lpList->aEntries[r].ulReserved1 = 0;
        lpList->aEntries[r].cValues = (ULONG)props.size();
        lpList->aEntries[r].rgPropVals = lpValues;
    }
    *lppAdrList = lpList;
    return S_OK;
}

ClientMailUser* ClientAddrBook::AddEntry(const std::vector<BYTE>& id, const std::vector<MessageProp>& props)
{
    m_entries.emplace_back(new ClientMailUser);
    m_entries.back()->m_entryId = id;
    m_entries.back()->m_props = props;
    return m_entries.back().get();
}

bool ClientAddrBook::EntriesReleased() const
{
    for (const std::unique_ptr<ClientMailUser>& p : m_entries)
        if (p->m_cRef != 1)
            return false;
    return true;
}

STDMETHODIMP ClientAddrBook::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID, ULONG, ULONG* lpulObjType,
                                       LPUNKNOWN* lppUnk)
{
    m_cOpenEntry++;
    if (FAILED(m_hrOpenEntry))
        return m_hrOpenEntry;
    for (const std::unique_ptr<ClientMailUser>& p : m_entries)
    {
        if (p->m_entryId.size() == cbEntryID && lpEntryID != NULL &&
            memcmp(p->m_entryId.data(), lpEntryID, cbEntryID) == 0)
        {
            p->AddRef();
            *lpulObjType = p->m_ulObjType;
            *lppUnk = (LPUNKNOWN)(IMailUser*)p.get();
            return S_OK;
        }
    }
    return MAPI_E_UNKNOWN_ENTRYID;
}

NOT_USED(ClientAddrBook::CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*))
NOT_USED(ClientAddrBook::Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*))
NOT_USED(ClientAddrBook::Unadvise(ULONG))
NOT_USED(ClientAddrBook::CreateOneOff(LPTSTR, LPTSTR, LPTSTR, ULONG, ULONG*, LPENTRYID*))
NOT_USED(ClientAddrBook::NewEntry(ULONG_PTR, ULONG, ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG*, LPENTRYID*))
NOT_USED(ClientAddrBook::ResolveName(ULONG_PTR, ULONG, LPTSTR, LPADRLIST))
NOT_USED(ClientAddrBook::Details(ULONG*, LPFNDISMISS, LPVOID, ULONG, LPENTRYID, LPFNBUTTON, LPVOID, LPTSTR, ULONG))
NOT_USED(ClientAddrBook::RecipOptions(ULONG_PTR, ULONG, LPADRENTRY))
NOT_USED(ClientAddrBook::QueryDefaultRecipOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*))
NOT_USED(ClientAddrBook::GetPAB(ULONG*, LPENTRYID*))
NOT_USED(ClientAddrBook::SetPAB(ULONG, LPENTRYID))
NOT_USED(ClientAddrBook::GetDefaultDir(ULONG*, LPENTRYID*))
NOT_USED(ClientAddrBook::SetDefaultDir(ULONG, LPENTRYID))
NOT_USED(ClientAddrBook::GetSearchPath(ULONG, LPSRowSet*))
NOT_USED(ClientAddrBook::SetSearchPath(ULONG, LPSRowSet))
NOT_USED(ClientAddrBook::PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST))

OpenedItem::OpenedItem(const std::string& sender, const std::vector<BYTE>& entryId)
{
    hwndClient = CreateWindowA("STATIC", "client", WS_POPUP, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    callback.m_hwnd = hwndClient;
    callback.m_pAdrBook = &addrBook;
    callback.m_pStore = &store;
    callback.m_pMessage = &message;
    if (!sender.empty())
        message.SetSender(sender);
    message.SetEntryId(entryId);
}

OpenedItem::~OpenedItem()
{
    if (hwndClient != NULL)
        DestroyWindow(hwndClient);
}
