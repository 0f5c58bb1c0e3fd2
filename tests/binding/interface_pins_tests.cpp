// The client's extension interfaces by their methods' slots, as the client
// publishes them and apart from the project's header: the DLL is called
// through these slots, and calls back a client object laid out from them
// alone. A method moved in the header fails here as it would in the
// client. (The identifiers are pinned in the QueryInterface table.)
#include "quorbit_dll.h"
#include "client_objects.h"
#include "box_answerer.h"
#include "test_registry.h"
#include <gtest/gtest.h>

namespace {

// IUnknown's three, then each interface's methods in order.
enum { RELEASE = 2, FIRST_METHOD };
enum { INSTALL = FIRST_METHOD };
enum { GETMAXPAGECOUNT = FIRST_METHOD, GETPAGES, FREEPAGES };
enum { ONREAD = FIRST_METHOD, ONREADCOMPLETE, ONWRITE, ONWRITECOMPLETE, ONCHECKNAMES, ONCHECKNAMESCOMPLETE,
       ONSUBMIT, ONSUBMITCOMPLETE };
enum { ONOPEN = FIRST_METHOD, ONOPENCOMPLETE, ONCLOSE, ONCLOSECOMPLETE };
enum { GETVERSION = FIRST_METHOD, GETWINDOW, GETMENU, GETTOOLBAR, GETSESSION, GETOBJECT, GETSELECTIONCOUNT,
       GETSELECTIONITEM, GETMENUPOS, GETSHAREDEXTSDIR, GETRECIPIENTS, SETRECIPIENTS, GETNEWMESSAGESITE,
       REGISTERMODELESS, CHOOSEFOLDER };

// Calls method slot of the COM object pObject with args.
template <class R, class... A>
R Call(void* pObject, int slot, A... args)
{
    typedef R(STDMETHODCALLTYPE * PFN)(void*, A...);
    return ((PFN)(*(void***)pObject)[slot])(pObject, args...);
}

// The client's callback slot by slot: the methods the DLL may call answer
// as exthost's callback for item does, and every slot called is recorded.
struct PinnedCallback
{
    const void* lpVtbl;
    OpenedItem* pItem;
    std::vector<int> called;
};

template <int Slot, class... A>
HRESULT STDMETHODCALLTYPE Unexpected(PinnedCallback* p, A...)
{
    p->called.push_back(Slot);
    return E_NOTIMPL;
}

// Method slot of exthost's callback, recorded.
template <int Slot, class... A>
HRESULT STDMETHODCALLTYPE Answered(PinnedCallback* p, A... args)
{
    p->called.push_back(Slot);
    return Call<HRESULT>(&p->pItem->callback, Slot, args...);
}

typedef void (*SLOT)();
const SLOT kCallbackSlots[] = {
    (SLOT)&Unexpected<0, REFIID, void**>, (SLOT)&Unexpected<1>, (SLOT)&Unexpected<2>,
    (SLOT)&Answered<GETVERSION, ULONG*, ULONG>, (SLOT)&Answered<GETWINDOW, HWND*>,
    (SLOT)&Unexpected<GETMENU, HMENU*>, (SLOT)&Unexpected<GETTOOLBAR, ULONG, HWND*>,
    (SLOT)&Answered<GETSESSION, LPMAPISESSION*, LPADRBOOK*>, (SLOT)&Answered<GETOBJECT, LPMDB*, LPMAPIPROP*>,
    (SLOT)&Unexpected<GETSELECTIONCOUNT, ULONG*>,
    (SLOT)&Unexpected<GETSELECTIONITEM, ULONG, ULONG*, void*, ULONG*, LPSTR, ULONG, ULONG*, ULONG>,
    (SLOT)&Unexpected<GETMENUPOS, ULONG, HMENU*, ULONG*, ULONG*, ULONG>,
    (SLOT)&Unexpected<GETSHAREDEXTSDIR, LPSTR, ULONG, ULONG>, (SLOT)&Unexpected<GETRECIPIENTS, void*>,
    (SLOT)&Unexpected<SETRECIPIENTS, void*>,
    (SLOT)&Unexpected<GETNEWMESSAGESITE, ULONG, void*, void*, void*, void*, void*, ULONG>,
    (SLOT)&Unexpected<REGISTERMODELESS, void*, void*>, (SLOT)&Unexpected<CHOOSEFOLDER, void*>,
};
static_assert(sizeof(kCallbackSlots) / sizeof(kCallbackSlots[0]) == CHOOSEFOLDER + 1, "the callback's 18 slots");

TEST(PinnedInterfaces, TheDllIsCalledAndCallsBackThroughThePublishedSlots)
{
    ResetStore();
    StoreHandler("Orders", "orders@example.com", "\"" + RecorderPath() + "\"", 0, 1, 0);
    std::string recording = PrepareRecording(), cmd;
    OpenedItem item("orders@example.com");
    PinnedCallback callback = {kCallbackSlots, &item, {}};
    void* pExt = NewExtension();
    ASSERT_NE(nullptr, pExt);

    EXPECT_EQ(S_OK, Call<HRESULT>(pExt, INSTALL, &callback, (ULONG)EECONTEXT_PROPERTYSHEETS, (ULONG)0));
    EXPECT_EQ(std::vector<int>({GETVERSION, GETSESSION}), callback.called);

    void* pSheets = Ask((IUnknown*)pExt, IID_IExchExtPropertySheets);
    PROPSHEETPAGEA page = {};
    ULONG cPages = 0xdeadbeef;
    EXPECT_EQ(1u, Call<ULONG>(pSheets, GETMAXPAGECOUNT, (ULONG)EEPS_TOOLSOPTIONS));
    EXPECT_EQ(S_OK, Call<HRESULT>(pSheets, GETPAGES, &callback, (ULONG)EEPS_TOOLSOPTIONS, &page, &cPages));
    EXPECT_EQ(1u, cPages);
    Call<void>(pSheets, FREEPAGES, &page, (ULONG)EEPS_TOOLSOPTIONS, cPages);

    void* pEvents = Ask((IUnknown*)pExt, IID_IExchExtMessageEvents);
    for (int slot : {ONREAD, ONWRITE, ONCHECKNAMES, ONSUBMIT})
        EXPECT_EQ(S_FALSE, Call<HRESULT>(pEvents, slot, &callback)) << slot;
    for (int slot : {ONREADCOMPLETE, ONWRITECOMPLETE, ONCHECKNAMESCOMPLETE})
        EXPECT_EQ(S_FALSE, Call<HRESULT>(pEvents, slot, &callback, (ULONG)0)) << slot;
    Call<void>(pEvents, ONSUBMITCOMPLETE, &callback, (ULONG)0);

    // Only OnOpen looks at the item: the window for its boxes, then the
    // message, whose handler runs and keeps it closed.
    void* pItemEvents = Ask((IUnknown*)pExt, IID_IOutlookExtItemEvents);
    callback.called.clear();
    for (int slot : {ONOPENCOMPLETE, ONCLOSE, ONCLOSECOMPLETE})
        EXPECT_EQ(S_FALSE, Call<HRESULT>(pItemEvents, slot, &callback, (ULONG)0)) << slot;
    EXPECT_EQ(std::vector<int>(), callback.called);
    {
        BoxAnswerer boxes;
        EXPECT_EQ(E_ABORT, Call<HRESULT>(pItemEvents, ONOPEN, &callback));
    }
    EXPECT_EQ(std::vector<int>({GETWINDOW, GETOBJECT}), callback.called);
    EXPECT_TRUE(WaitForRecording(recording, &cmd));

    for (void* pObject : {pItemEvents, pEvents, pSheets})
        EXPECT_EQ(0u, Call<ULONG>(pObject, RELEASE));
    EXPECT_EQ(0u, Call<ULONG>(pExt, RELEASE));
    ResetStore();
}

}  // namespace
