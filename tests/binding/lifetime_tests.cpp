// The extension object and its interface objects point at each other
// without counted references. These tests release them in every order and
// then go on using what the client still holds; the memory of anything
// freed too early is handed straight back out to new objects in between,
// so a stale pointer shows as a wrong count, a wrong answer or a crash.
#include "quorbit_dll.h"
#include "resource_usage.h"
#include "client_objects.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <vector>

namespace {

const IID* const objectIids[] = {&IID_IExchExtPropertySheets, &IID_IExchExtMessageEvents, &IID_IOutlookExtItemEvents};

// Makes and drops whole groups, so freed blocks of the sizes ours use are
// taken again at once.
void Churn()
{
    for (int i = 0; i < 8; i++)
    {
        LPEXCHEXT pExt = NewExtension();
        IUnknown* pUnk = Ask(pExt, IID_IExchExtMessageEvents);
        pExt->Release();
        pUnk->AddRef();
        pUnk->Release();
        pUnk->Release();
    }
}

// Calls one method that only the right kind of object answers so.
void ExpectAlive(IUnknown* pUnk, const IID& riid)
{
    ClientCallback callback;
    if (riid == IID_IExchExtPropertySheets)
    {
        IExchExtPropertySheets* pSheets = static_cast<IExchExtPropertySheets*>(pUnk);
        EXPECT_EQ(pSheets->GetMaxPageCount(EEPS_TOOLSOPTIONS), 1u);
        EXPECT_EQ(pSheets->GetMaxPageCount(EEPS_MESSAGE), 0u);
    }
    else if (riid == IID_IExchExtMessageEvents)
        EXPECT_EQ(static_cast<IExchExtMessageEvents*>(pUnk)->OnWrite(&callback), S_FALSE);
    else if (riid == IID_IOutlookExtItemEvents)
        EXPECT_EQ(static_cast<IOutlookExtItemEvents*>(pUnk)->OnClose(&callback, 0), S_FALSE);
    else
    {
        // The extension object: Install answers by context.
        EXPECT_EQ(static_cast<IExchExt*>(pUnk)->Install(&callback, EECONTEXT_ADDRBOOK, 0), S_FALSE);
        EXPECT_EQ(static_cast<IExchExt*>(pUnk)->Install(&callback, EECONTEXT_PROPERTYSHEETS, 0), S_OK);
    }
    void* pv = NULL;
    EXPECT_EQ(pUnk->QueryInterface(riid, &pv), S_OK);
    EXPECT_EQ(pv, (void*)pUnk);
    if (pv != NULL)
        pUnk->Release();
}

// Four references: the extension object's own and one per interface
// object, released in each of the 24 orders.
TEST(Lifetime, EveryReleaseOrderLeavesTheRestUsable)
{
    int order[4] = {0, 1, 2, 3};
    int cOrders = 0;
    do
    {
        SCOPED_TRACE(::testing::Message() << "order " << order[0] << order[1] << order[2] << order[3]);
        LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
        ASSERT_NE(pExt, nullptr);
        IUnknown* held[4] = {pExt, NULL, NULL, NULL};
        const IID* iids[4] = {&IID_IExchExt, objectIids[0], objectIids[1], objectIids[2]};
        for (int i = 1; i < 4; i++)
        {
            held[i] = Ask(pExt, *iids[i]);
            ASSERT_NE(held[i], nullptr);
        }
        bool released[4] = {false, false, false, false};
        for (int step = 0; step < 4; step++)
        {
            int which = order[step];
            EXPECT_EQ(held[which]->Release(), 0u);
            released[which] = true;
            Churn();
            for (int j = 0; j < 4; j++)
            {
                if (released[j])
                    continue;
                ExpectAlive(held[j], *iids[j]);
                EXPECT_EQ(CountOf(held[j]), 1u);
            }
        }
        cOrders++;
    } while (std::next_permutation(order, order + 4));
    EXPECT_EQ(cOrders, 24);
}

// The client asks the same extension object again for an interface whose
// object it already released to 0: it gets the same, working object back.
TEST(Lifetime, AskingAgainAfterReleaseToZero)
{
    for (const IID* piid : objectIids)
    {
        LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
        ASSERT_NE(pExt, nullptr);
        IUnknown* pFirst = Ask(pExt, *piid);
        ASSERT_NE(pFirst, nullptr);
        EXPECT_EQ(pFirst->Release(), 0u);
        Churn();

        IUnknown* pSecond = Ask(pExt, *piid);
        ASSERT_NE(pSecond, nullptr);
        EXPECT_EQ(pSecond, pFirst);
        EXPECT_EQ(CountOf(pSecond), 1u);
        ExpectAlive(pSecond, *piid);
        EXPECT_EQ(pSecond->Release(), 0u);

        // And once more after the owner has gone to 0 and been brought back
        // through an interface object.
        IUnknown* pThird = Ask(pExt, *piid);
        EXPECT_EQ(pExt->Release(), 0u);
        Churn();
        IUnknown* pOwner = Ask(pThird, IID_IUnknown);
        EXPECT_EQ(pOwner, (IUnknown*)pExt);
        EXPECT_EQ(CountOf(pOwner), 1u);
        EXPECT_EQ(pThird->Release(), 0u);
        Churn();
        ExpectAlive(pOwner, IID_IExchExt);
        EXPECT_EQ(pOwner->Release(), 0u);
    }
}

// An interface object the client still holds outlives its owner's last
// Release, and its IID_IUnknown still answers with the owner.
TEST(Lifetime, InterfaceObjectOutlivesTheOwnersRelease)
{
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_READNOTEMESSAGE);
    ASSERT_NE(pExt, nullptr);
    IUnknown* pItemEvents = Ask(pExt, IID_IOutlookExtItemEvents);
    ASSERT_NE(pItemEvents, nullptr);
    EXPECT_EQ(pExt->Release(), 0u);
    Churn();

    // The owner still answers as installed in the read context.
    IUnknown* pOwner = Ask(pItemEvents, IID_IUnknown);
    ASSERT_EQ(pOwner, (IUnknown*)pExt);
    HRESULT hr = S_OK;
    EXPECT_EQ(Ask(pOwner, IID_IExchExtPropertySheets, &hr), nullptr);
    EXPECT_EQ(hr, E_NOINTERFACE);
    IUnknown* pAgain = Ask(pOwner, IID_IOutlookExtItemEvents);
    EXPECT_EQ(pAgain, pItemEvents);
    EXPECT_EQ(pAgain->Release(), 1u);
    EXPECT_EQ(pOwner->Release(), 0u);
    Churn();
    ExpectAlive(pItemEvents, IID_IOutlookExtItemEvents);
    EXPECT_EQ(pItemEvents->Release(), 0u);
}

// A Release too many is ignored rather than freeing anything twice.
TEST(Lifetime, ExtraReleaseIsHarmless)
{
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
    ASSERT_NE(pExt, nullptr);
    IUnknown* pSheets = Ask(pExt, IID_IExchExtPropertySheets);
    IUnknown* pEvents = Ask(pExt, IID_IExchExtMessageEvents);
    ASSERT_NE(pSheets, nullptr);
    ASSERT_NE(pEvents, nullptr);
    EXPECT_EQ(pSheets->Release(), 0u);
    EXPECT_EQ(pSheets->Release(), 0u);
    Churn();
    EXPECT_EQ(CountOf(pExt), 1u);
    ExpectAlive(pEvents, IID_IExchExtMessageEvents);
    EXPECT_EQ(pEvents->Release(), 0u);
    EXPECT_EQ(pExt->Release(), 0u);
}

// Without memory for the extension object, the entry point gives none;
// without memory for an interface object, only that interface is refused,
// and the rest work and go as ever.
TEST(Lifetime, WhatCannotBeAllocatedIsRefusedAndNothingElse)
{
    ClientCallback callback;
    // In the order the entry point allocates them.
    const IID* const allocated[] = {&IID_IExchExt, &IID_IExchExtPropertySheets, &IID_IExchExtMessageEvents,
                                    &IID_IOutlookExtItemEvents};
    for (const IID* piidMissing : allocated)
    {
        LPEXCHEXT pExt;
        {
            FailedAllocation failed((int)(std::find(allocated, allocated + 4, piidMissing) - allocated));
            pExt = NewExtension();
        }
        if (piidMissing == &IID_IExchExt)
        {
            EXPECT_EQ(nullptr, pExt);
            continue;
        }
        ASSERT_NE(nullptr, pExt);
        EXPECT_EQ(S_OK, pExt->Install(&callback, EECONTEXT_PROPERTYSHEETS, 0));
        for (const IID* piid : objectIids)
        {
            HRESULT hr = 0xdeadbeef;
            IUnknown* pUnk = Ask(pExt, *piid, &hr);
            EXPECT_EQ(piid == piidMissing ? E_NOINTERFACE : S_OK, hr);
            if (piid == piidMissing)
                EXPECT_EQ(nullptr, pUnk);
            else
            {
                ExpectAlive(pUnk, *piid);
                EXPECT_EQ(0u, pUnk->Release());
            }
        }
        EXPECT_EQ(0u, pExt->Release());
    }
}

// Everything is freed once the last count is gone, whatever the order and
// whether or not the interface objects were ever handed out.
TEST(Lifetime, NothingIsLeftBehind)
{
    auto cycle = [](int i) {
        LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
        IUnknown* pSheets = Ask(pExt, IID_IExchExtPropertySheets);
        IUnknown* pEvents = Ask(pExt, IID_IExchExtMessageEvents);
        IUnknown* pItem = Ask(pExt, IID_IOutlookExtItemEvents);
        switch (i % 4)
        {
        case 0:  // the client's usual order
            pItem->Release();
            pEvents->Release();
            pSheets->Release();
            pExt->Release();
            break;
        case 1:
            pExt->Release();
            pSheets->Release();
            pEvents->Release();
            pItem->Release();
            break;
        case 2:
            pEvents->Release();
            pExt->Release();
            pItem->Release();
            pSheets->Release();
            break;
        default:  // interface objects never handed out
            pItem->Release();
            pEvents->Release();
            pSheets->Release();
            pExt->Release();
            NewExtension()->Release();
            break;
        }
    };
    for (int i = 0; i < 200; i++)
        cycle(i);
    SIZE_T cbBefore = HeapBytesInUse();
    for (int i = 0; i < 20000; i++)
        cycle(i);
    SIZE_T cbAfter = HeapBytesInUse();
    // The measure itself sees blocks of that size.
    std::vector<void*> blocks;
    for (int i = 0; i < 1000; i++)
        blocks.push_back(HeapAlloc(GetProcessHeap(), 0, 64));
    SIZE_T cbWithBlocks = HeapBytesInUse();
    for (void* pv : blocks)
        HeapFree(GetProcessHeap(), 0, pv);
    EXPECT_GE(cbWithBlocks, cbAfter + 1000 * 64);
    // A leaked group is well over 50 bytes: 20,000 of them would be a
    // megabyte.
    EXPECT_LT(cbAfter, cbBefore + 16 * 1024) << "before " << cbBefore << ", after " << cbAfter;
}

}  // namespace
