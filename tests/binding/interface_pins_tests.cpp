// The client's extension interfaces as the client publishes them, kept
// apart from the project's header: each identifier as its sixteen bytes,
// each method by its slot. The DLL is asked with these bytes and called
// through these slots, and it calls back a client object laid out from
// them alone: a method moved in the header, or a wrong byte in an
// identifier, fails here as it would in the client.
#include "quorbit_dll.h"
#include "client_objects.h"
#include "box_answerer.h"
#include "recorder_client.h"
#include "test_registry.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {

// The identifiers in memory: the first three fields little-endian.
#define CLIENT_IID(b0, b1, b2) {b0, b1, b2, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}
const BYTE kIExchExt[16] = CLIENT_IID(0x11, 0x0D, 0x02);
const BYTE kIExchExtCallback[16] = CLIENT_IID(0x10, 0x0D, 0x02);
const BYTE kIExchExtMessageEvents[16] = CLIENT_IID(0x15, 0x0D, 0x02);
const BYTE kIExchExtPropertySheets[16] = CLIENT_IID(0x17, 0x0D, 0x02);
const BYTE kIOutlookExtItemEvents[16] = CLIENT_IID(0x3A, 0x72, 0x06);

// Slots: IUnknown's three, then each interface's methods in order.
enum { QUERYINTERFACE, ADDREF, RELEASE, FIRST_METHOD };
enum { INSTALL = FIRST_METHOD };
enum { GETMAXPAGECOUNT = FIRST_METHOD, GETPAGES, FREEPAGES };
enum { ONREAD = FIRST_METHOD, ONREADCOMPLETE, ONWRITE, ONWRITECOMPLETE, ONCHECKNAMES, ONCHECKNAMESCOMPLETE,
       ONSUBMIT, ONSUBMITCOMPLETE };
enum { ONOPEN = FIRST_METHOD, ONOPENCOMPLETE, ONCLOSE, ONCLOSECOMPLETE };
enum { GETVERSION = FIRST_METHOD, GETWINDOW, GETMENU, GETTOOLBAR, GETSESSION, GETOBJECT, GETSELECTIONCOUNT,
       GETSELECTIONITEM, GETMENUPOS, GETSHAREDEXTSDIR, GETRECIPIENTS, SETRECIPIENTS, GETNEWMESSAGESITE,
       REGISTERMODELESS, CHOOSEFOLDER };

// Calls method slot of pObject, a COM object, with args.
template <class R, class... A>
R Call(void* pObject, int slot, A... args)
{
    typedef R(STDMETHODCALLTYPE * PFN)(void*, A...);
    return ((PFN)(*(void***)pObject)[slot])(pObject, args...);
}

void* Ask(void* pObject, const BYTE* pbIid, HRESULT* phr)
{
    IID iid;
    void* pv = (void*)(ULONG_PTR)0xdeadbeef;
    memcpy(&iid, pbIid, sizeof(iid));
    *phr = Call<HRESULT>(pObject, QUERYINTERFACE, &iid, &pv);
    return pv;
}

// The client's callback, laid out slot by slot. The four methods the DLL
// may call answer as exthost's callback for item does; every slot called
// is recorded.
struct PinnedCallback
{
    const void* const* lpVtbl;
    OpenedItem* pItem;
    std::vector<int> called;
};

template <int Slot, class... A>
HRESULT STDMETHODCALLTYPE Unexpected(PinnedCallback* p, A...)
{
    p->called.push_back(Slot);
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE GetVersion(PinnedCallback* p, ULONG* pul, ULONG ulFlags)
{
    p->called.push_back(GETVERSION);
    return p->pItem->callback.GetVersion(pul, ulFlags);
}
HRESULT STDMETHODCALLTYPE GetWindow(PinnedCallback* p, HWND* phwnd)
{
    p->called.push_back(GETWINDOW);
    return p->pItem->callback.GetWindow(phwnd);
}
HRESULT STDMETHODCALLTYPE GetSession(PinnedCallback* p, LPMAPISESSION* ppSession, LPADRBOOK* ppAdrBook)
{
    p->called.push_back(GETSESSION);
    return p->pItem->callback.GetSession(ppSession, ppAdrBook);
}
HRESULT STDMETHODCALLTYPE GetObject(PinnedCallback* p, LPMDB* ppMdb, LPMAPIPROP* ppProp)
{
    p->called.push_back(GETOBJECT);
    return p->pItem->callback.GetObject(ppMdb, ppProp);
}

typedef void (*SLOT)();
const SLOT kCallbackSlots[] = {
    (SLOT)&Unexpected<QUERYINTERFACE, REFIID, void**>, (SLOT)&Unexpected<ADDREF>, (SLOT)&Unexpected<RELEASE>,
    (SLOT)&GetVersion, (SLOT)&GetWindow, (SLOT)&Unexpected<GETMENU, HMENU*>,
    (SLOT)&Unexpected<GETTOOLBAR, ULONG, HWND*>, (SLOT)&GetSession, (SLOT)&GetObject,
    (SLOT)&Unexpected<GETSELECTIONCOUNT, ULONG*>,
    (SLOT)&Unexpected<GETSELECTIONITEM, ULONG, ULONG*, void*, ULONG*, LPSTR, ULONG, ULONG*, ULONG>,
    (SLOT)&Unexpected<GETMENUPOS, ULONG, HMENU*, ULONG*, ULONG*, ULONG>,
    (SLOT)&Unexpected<GETSHAREDEXTSDIR, LPSTR, ULONG, ULONG>, (SLOT)&Unexpected<GETRECIPIENTS, void*>,
    (SLOT)&Unexpected<SETRECIPIENTS, void*>,
    (SLOT)&Unexpected<GETNEWMESSAGESITE, ULONG, void*, void*, void*, void*, void*, ULONG>,
    (SLOT)&Unexpected<REGISTERMODELESS, void*, void*>, (SLOT)&Unexpected<CHOOSEFOLDER, void*>,
};
static_assert(sizeof(kCallbackSlots) / sizeof(kCallbackSlots[0]) == CHOOSEFOLDER + 1, "the callback's 18 slots");

TEST(PinnedInterfaces, TheDllIsAskedAndCalledAsTheClientPublishedIt)
{
    ResetStore();
    StoreHandler("Orders", "orders@example.com", "\"" + RecorderPath() + "\"", 0, 1, 0);
    std::string recording = PrepareRecording();
    OpenedItem item("orders@example.com");
    PinnedCallback callback = {(const void* const*)kCallbackSlots, &item, {}};
    void* pExt = NewExtension();
    HRESULT hr = 0xdeadbeef;
    ASSERT_NE(nullptr, pExt);

    EXPECT_EQ(S_OK, Call<HRESULT>(pExt, INSTALL, &callback, (ULONG)EECONTEXT_PROPERTYSHEETS, (ULONG)0));
    EXPECT_EQ(std::vector<int>({GETVERSION, GETSESSION}), callback.called);
    EXPECT_EQ(pExt, Ask(pExt, kIExchExt, &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(nullptr, Ask(pExt, kIExchExtCallback, &hr));
    EXPECT_EQ(E_NOINTERFACE, hr);
    EXPECT_EQ(1u, Call<ULONG>(pExt, RELEASE));

    void* pSheets = Ask(pExt, kIExchExtPropertySheets, &hr);
    ASSERT_EQ(S_OK, hr);
    PROPSHEETPAGEA page = {};
    ULONG cPages = 0xdeadbeef;
    EXPECT_EQ(1u, Call<ULONG>(pSheets, GETMAXPAGECOUNT, (ULONG)EEPS_TOOLSOPTIONS));
    EXPECT_EQ(0u, Call<ULONG>(pSheets, GETMAXPAGECOUNT, (ULONG)EEPS_MESSAGE));
    EXPECT_EQ(S_OK, Call<HRESULT>(pSheets, GETPAGES, &callback, (ULONG)EEPS_TOOLSOPTIONS, &page, &cPages));
    EXPECT_EQ(1u, cPages);
    EXPECT_EQ(MAKEINTRESOURCEA(102), page.pszTemplate);
    Call<void>(pSheets, FREEPAGES, &page, (ULONG)EEPS_TOOLSOPTIONS, cPages);

    void* pEvents = Ask(pExt, kIExchExtMessageEvents, &hr);
    ASSERT_EQ(S_OK, hr);
    for (int slot : {ONREAD, ONWRITE, ONCHECKNAMES, ONSUBMIT})
        EXPECT_EQ(S_FALSE, Call<HRESULT>(pEvents, slot, &callback)) << slot;
    for (int slot : {ONREADCOMPLETE, ONWRITECOMPLETE, ONCHECKNAMESCOMPLETE})
        EXPECT_EQ(S_FALSE, Call<HRESULT>(pEvents, slot, &callback, (ULONG)0)) << slot;
    Call<void>(pEvents, ONSUBMITCOMPLETE, &callback, (ULONG)0);

    // Only OnOpen looks at the item: the window for its boxes, then the
    // message, whose handler runs and keeps it closed.
    void* pItemEvents = Ask(pExt, kIOutlookExtItemEvents, &hr);
    ASSERT_EQ(S_OK, hr);
    callback.called.clear();
    EXPECT_EQ(S_FALSE, Call<HRESULT>(pItemEvents, ONOPENCOMPLETE, &callback, (ULONG)0));
    EXPECT_EQ(S_FALSE, Call<HRESULT>(pItemEvents, ONCLOSE, &callback, (ULONG)0));
    EXPECT_EQ(S_FALSE, Call<HRESULT>(pItemEvents, ONCLOSECOMPLETE, &callback, (ULONG)0));
    EXPECT_EQ(std::vector<int>(), callback.called);
    {
        BoxAnswerer boxes;
        EXPECT_EQ(E_ABORT, Call<HRESULT>(pItemEvents, ONOPEN, &callback));
    }
    EXPECT_EQ(std::vector<int>({GETWINDOW, GETOBJECT}), callback.called);
    std::string cmd;
    EXPECT_TRUE(WaitForRecording(recording, &cmd));

    EXPECT_EQ(2u, Call<ULONG>(pItemEvents, ADDREF));
    for (void* pObject : {pItemEvents, pItemEvents, pEvents, pSheets})
        Call<ULONG>(pObject, RELEASE);
    EXPECT_EQ(0u, Call<ULONG>(pExt, RELEASE));
    EXPECT_EQ(1, item.store.m_cRef);
    EXPECT_EQ(1, item.message.m_cRef);
    ResetStore();
}

}  // namespace
