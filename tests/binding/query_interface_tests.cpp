// QueryInterface of the extension object and of its interface objects,
// and the counts they keep.
#include "quorbit_dll.h"
#include "client_objects.h"
#include <gtest/gtest.h>

namespace {

// The client's identifiers as it publishes them, written here apart from
// the project's header: a wrong byte there fails the tables below. The
// last three are refused by all.
#define CLIENT_IID(l) {l, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}
const IID kIExchExt = CLIENT_IID(0x00020D11);
const IID kIExchExtMessageEvents = CLIENT_IID(0x00020D15);
const IID kIExchExtPropertySheets = CLIENT_IID(0x00020D17);
const IID kIOutlookExtItemEvents = CLIENT_IID(0x0006723A);
const IID kIExchExtCallback = CLIENT_IID(0x00020D10);
const IID kIExchExtCommands = CLIENT_IID(0x00020D12);
const IID kIOutlookExtCallback = CLIENT_IID(0x0006720D);

enum Answer
{
    Itself,     // the extension object, its own count raised
    Object,     // an interface object of its own, that object's count raised
    Refused     // E_NOINTERFACE and NULL
};

struct Identifier
{
    const char* name;
    const IID* piid;
};

const Identifier identifiers[] = {
    {"IUnknown", &IID_IUnknown},
    {"IExchExt", &kIExchExt},
    {"IExchExtPropertySheets", &kIExchExtPropertySheets},
    {"IExchExtMessageEvents", &kIExchExtMessageEvents},
    {"IOutlookExtItemEvents", &kIOutlookExtItemEvents},
    {"IExchExtCallback", &kIExchExtCallback},
    {"IOutlookExtCallback", &kIOutlookExtCallback},
    {"IExchExtCommands", &kIExchExtCommands},
    {"IClassFactory", &IID_IClassFactory},
};

Answer Expected(ULONG eecontext, const IID& riid)
{
    if (riid == IID_IUnknown || riid == kIExchExt)
        return Itself;
    if (riid == kIExchExtPropertySheets)
        return (eecontext >= 6 && eecontext <= 11) ? Refused : Object;
    if (riid == kIExchExtMessageEvents || riid == kIOutlookExtItemEvents)
        return Object;
    return Refused;
}

class QueryInterfaceTable : public ::testing::TestWithParam<ULONG>
{
};

TEST_P(QueryInterfaceTable, AnswersEveryIdentifier)
{
    ULONG eecontext = GetParam();
    LPEXCHEXT pExt = InstalledExtension(eecontext);
    ASSERT_NE(pExt, nullptr);

    for (const Identifier& id : identifiers)
    {
        SCOPED_TRACE(id.name);
        HRESULT hr = 0xdeadbeef;
        IUnknown* pUnk = Ask(pExt, *id.piid, &hr);
        switch (Expected(eecontext, *id.piid))
        {
        case Itself:
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(pUnk, (IUnknown*)pExt);
            EXPECT_EQ(CountOf(pExt), 2u);
            EXPECT_EQ(pExt->Release(), 1u);
            break;
        case Object:
            EXPECT_EQ(hr, S_OK);
            ASSERT_NE(pUnk, nullptr);
            EXPECT_NE(pUnk, (IUnknown*)pExt);
            EXPECT_EQ(CountOf(pUnk), 1u);
            EXPECT_EQ(CountOf(pExt), 1u) << "the owner's count must not move";
            EXPECT_EQ(pUnk->Release(), 0u);
            break;
        case Refused:
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(pUnk, nullptr);
            EXPECT_EQ(CountOf(pExt), 1u);
            break;
        }
    }
    EXPECT_EQ(pExt->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Contexts, QueryInterfaceTable, ::testing::Range<ULONG>(0, 14));

// Before any Install the object is in no context, where nothing is refused.
TEST(QueryInterface, BeforeInstallThePageIsHandedOut)
{
    LPEXCHEXT pExt = NewExtension();
    ASSERT_NE(pExt, nullptr);
    HRESULT hr = 0;
    IUnknown* pSheets = Ask(pExt, IID_IExchExtPropertySheets, &hr);
    EXPECT_EQ(hr, S_OK);
    ASSERT_NE(pSheets, nullptr);
    EXPECT_EQ(pSheets->Release(), 0u);
    EXPECT_EQ(pExt->Release(), 0u);
}

TEST(QueryInterface, TheSameInterfaceObjectEachTime)
{
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
    ASSERT_NE(pExt, nullptr);
    IUnknown* pFirst = Ask(pExt, IID_IOutlookExtItemEvents);
    IUnknown* pSecond = Ask(pExt, IID_IOutlookExtItemEvents);
    ASSERT_NE(pFirst, nullptr);
    EXPECT_EQ(pFirst, pSecond);
    EXPECT_EQ(pSecond->Release(), 1u);
    EXPECT_EQ(pFirst->Release(), 0u);
    EXPECT_EQ(pExt->Release(), 0u);
}

TEST(QueryInterface, NullOutPointerIsRefused)
{
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
    ASSERT_NE(pExt, nullptr);
    EXPECT_EQ(pExt->QueryInterface(IID_IExchExt, NULL), E_POINTER);
    EXPECT_EQ(CountOf(pExt), 1u);
    const IID* interfaces[] = {&IID_IExchExtPropertySheets, &IID_IExchExtMessageEvents, &IID_IOutlookExtItemEvents};
    for (const IID* piid : interfaces)
    {
        IUnknown* pUnk = Ask(pExt, *piid);
        ASSERT_NE(pUnk, nullptr);
        EXPECT_EQ(pUnk->QueryInterface(*piid, NULL), E_POINTER);
        EXPECT_EQ(pUnk->Release(), 0u);
    }
    EXPECT_EQ(pExt->Release(), 0u);
}

// What each interface object answers, asked directly.
class InterfaceObjectQuery : public ::testing::TestWithParam<int>
{
};

TEST_P(InterfaceObjectQuery, OwnIdentifierAndIUnknownOnly)
{
    const IID* own[] = {&kIExchExtPropertySheets, &kIExchExtMessageEvents, &kIOutlookExtItemEvents};
    const IID& riidOwn = *own[GetParam()];
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
    ASSERT_NE(pExt, nullptr);
    IUnknown* pObject = Ask(pExt, riidOwn);
    ASSERT_NE(pObject, nullptr);
    ASSERT_EQ(CountOf(pObject), 1u);

    for (const Identifier& id : identifiers)
    {
        SCOPED_TRACE(id.name);
        HRESULT hr = 0xdeadbeef;
        IUnknown* pUnk = Ask(pObject, *id.piid, &hr);
        if (*id.piid == riidOwn)
        {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(pUnk, pObject);
            EXPECT_EQ(CountOf(pObject), 2u);
            EXPECT_EQ(CountOf(pExt), 1u);
            EXPECT_EQ(pObject->Release(), 1u);
        }
        else if (*id.piid == IID_IUnknown)
        {
            // The owner, with the owner's count raised.
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(pUnk, (IUnknown*)pExt);
            EXPECT_EQ(CountOf(pExt), 2u);
            EXPECT_EQ(CountOf(pObject), 1u);
            EXPECT_EQ(pExt->Release(), 1u);
        }
        else
        {
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(pUnk, nullptr);
            EXPECT_EQ(CountOf(pObject), 1u);
            EXPECT_EQ(CountOf(pExt), 1u);
        }
    }
    EXPECT_EQ(pObject->Release(), 0u);
    EXPECT_EQ(pExt->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Objects, InterfaceObjectQuery, ::testing::Values(0, 1, 2));

TEST(Counts, AddRefAndReleaseReturnTheNewCount)
{
    LPEXCHEXT pExt = InstalledExtension(EECONTEXT_PROPERTYSHEETS);
    ASSERT_NE(pExt, nullptr);
    EXPECT_EQ(pExt->AddRef(), 2u);
    EXPECT_EQ(pExt->AddRef(), 3u);
    EXPECT_EQ(pExt->Release(), 2u);
    EXPECT_EQ(pExt->Release(), 1u);

    IUnknown* pEvents = Ask(pExt, IID_IExchExtMessageEvents);
    ASSERT_NE(pEvents, nullptr);
    EXPECT_EQ(pEvents->AddRef(), 2u);
    EXPECT_EQ(pEvents->AddRef(), 3u);
    EXPECT_EQ(pEvents->Release(), 2u);
    EXPECT_EQ(pEvents->Release(), 1u);
    EXPECT_EQ(pEvents->Release(), 0u);
    EXPECT_EQ(pExt->Release(), 0u);
}

}  // namespace
