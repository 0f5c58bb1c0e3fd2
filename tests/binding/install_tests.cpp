// IExchExt::Install: the version test, the contexts, and the session.
#include "quorbit_dll.h"
#include "client_objects.h"
#include <gtest/gtest.h>

namespace {

// Records what Install passes to GetVersion and GetSession.
class RecordingCallback : public ClientCallback
{
public:
    ULONG m_ulVersionFlags = 0xdeadbeef;
    HRESULT m_hrGetVersion = S_OK;
    HRESULT m_hrGetSession = S_OK;
    bool m_fSessionOut = false;
    bool m_fAdrBookOut = false;

    STDMETHODIMP GetVersion(ULONG* lpulVersion, ULONG ulFlags) override
    {
        m_ulVersionFlags = ulFlags;
        if (FAILED(m_hrGetVersion))
        {
            m_cGetVersion++;
            return m_hrGetVersion;
        }
        return ClientCallback::GetVersion(lpulVersion, ulFlags);
    }
    STDMETHODIMP GetSession(LPMAPISESSION* lppses, LPADRBOOK* lppab) override
    {
        m_fSessionOut = lppses != NULL;
        m_fAdrBookOut = lppab != NULL;
        if (FAILED(m_hrGetSession))
        {
            m_cGetSession++;
            return m_hrGetSession;
        }
        return ClientCallback::GetSession(lppses, lppab);
    }
};

struct InstallCase
{
    ULONG ulVersion;
    ULONG eecontext;
};

class InstallTable : public ::testing::TestWithParam<InstallCase>
{
};

// Every context 0 to 13 (and one far above) under majors 0x000C, 0x000D
// and 0x000E, with minor parts that must not matter.
std::vector<InstallCase> AllInstallCases()
{
    static const ULONG versions[] = {0x000C0000, 0x000CFFFF, 0x000D0000, 0x000D1234, 0x000DFFFF,
                                     0x000E0000, 0x000E0001};
    std::vector<InstallCase> cases;
    for (ULONG ulVersion : versions)
    {
        for (ULONG ctx = 0; ctx <= 13; ctx++)
            cases.push_back({ulVersion, ctx});
        cases.push_back({ulVersion, 0xFFFFFFFF});
    }
    return cases;
}

TEST_P(InstallTable, AnswersByVersionAndContext)
{
    const InstallCase& c = GetParam();
    bool fVersionOk = (c.ulVersion >> 16) == 0x000D;
    bool fContextOk = c.eecontext >= 6 && c.eecontext <= 12;
    RecordingCallback callback;
    callback.m_ulVersion = c.ulVersion;

    LPEXCHEXT pExt = NewExtension();
    ASSERT_NE(pExt, nullptr);
    HRESULT hr = pExt->Install(&callback, c.eecontext, 0);

    EXPECT_EQ(hr, (fVersionOk && fContextOk) ? S_OK : S_FALSE);
    EXPECT_EQ(callback.m_cGetVersion, 1);
    EXPECT_EQ(callback.m_ulVersionFlags, (ULONG)EECBGV_GETBUILDVERSION);
    // The session is taken whenever the version passes, whatever the context.
    EXPECT_EQ(callback.m_cGetSession, fVersionOk ? 1 : 0);
    if (fVersionOk)
    {
        EXPECT_TRUE(callback.m_fSessionOut);
        EXPECT_TRUE(callback.m_fAdrBookOut);
    }
    EXPECT_EQ(callback.m_cGetObject, 0);
    EXPECT_EQ(callback.m_cGetWindow, 0);
    EXPECT_EQ(callback.m_cRef, 1) << "Install must not keep the callback";
    EXPECT_EQ(pExt->Release(), 0u);
}

std::string InstallCaseName(const ::testing::TestParamInfo<InstallCase>& info)
{
    char sz[64];
    wsprintfA(sz, "version_%08lX_context_%lu", info.param.ulVersion, info.param.eecontext);
    return sz;
}

INSTANTIATE_TEST_SUITE_P(Contexts, InstallTable, ::testing::ValuesIn(AllInstallCases()), InstallCaseName);

TEST(Install, FailingGetVersionCountsAsMismatch)
{
    RecordingCallback callback;
    callback.m_hrGetVersion = E_FAIL;
    LPEXCHEXT pExt = NewExtension();
    ASSERT_NE(pExt, nullptr);

    EXPECT_EQ(pExt->Install(&callback, EECONTEXT_READNOTEMESSAGE, 0), S_FALSE);
    EXPECT_EQ(callback.m_cGetSession, 0);
    EXPECT_EQ(pExt->Release(), 0u);
}

TEST(Install, FailingGetSessionStillAnswersByContext)
{
    RecordingCallback callback;
    callback.m_hrGetSession = E_FAIL;
    LPEXCHEXT pExt = NewExtension();
    ASSERT_NE(pExt, nullptr);

    EXPECT_EQ(pExt->Install(&callback, EECONTEXT_PROPERTYSHEETS, 0), S_OK);
    EXPECT_EQ(pExt->Install(&callback, EECONTEXT_ADDRBOOK, 0), S_FALSE);
    EXPECT_EQ(callback.m_cGetSession, 2);
    EXPECT_EQ(pExt->Release(), 0u);
}

TEST(Install, NullCallbackIsRefused)
{
    LPEXCHEXT pExt = NewExtension();
    ASSERT_NE(pExt, nullptr);
    EXPECT_EQ(pExt->Install(NULL, EECONTEXT_READNOTEMESSAGE, 0), S_FALSE);
    EXPECT_EQ(pExt->Release(), 0u);
}

TEST(Install, FlagsAreNotExamined)
{
    ClientCallback callback;
    LPEXCHEXT pExt = NewExtension();
    ASSERT_NE(pExt, nullptr);
    EXPECT_EQ(pExt->Install(&callback, EECONTEXT_SENDNOTEMESSAGE, 0xFFFFFFFF), S_OK);
    EXPECT_EQ(pExt->Release(), 0u);
}

// A failed version test still sets the context: the options page is then
// refused in a message context, and handed out again after a later Install
// in the property-sheets context.
TEST(Install, ContextIsKeptEvenWhenTheVersionFails)
{
    ClientCallback callback;
    callback.m_ulVersion = 0x000C0000;
    LPEXCHEXT pExt = NewExtension();
    ASSERT_NE(pExt, nullptr);
    HRESULT hr = S_OK;

    EXPECT_EQ(pExt->Install(&callback, EECONTEXT_READNOTEMESSAGE, 0), S_FALSE);
    EXPECT_EQ(Ask(pExt, IID_IExchExtPropertySheets, &hr), nullptr);
    EXPECT_EQ(hr, E_NOINTERFACE);

    EXPECT_EQ(pExt->Install(&callback, EECONTEXT_PROPERTYSHEETS, 0), S_FALSE);
    IUnknown* pSheets = Ask(pExt, IID_IExchExtPropertySheets, &hr);
    EXPECT_EQ(hr, S_OK);
    ASSERT_NE(pSheets, nullptr);
    EXPECT_EQ(pSheets->Release(), 0u);
    EXPECT_EQ(pExt->Release(), 0u);
}

TEST(EntryPoint, EachCallGivesANewObjectWithCountOne)
{
    LPEXCHEXT pFirst = NewExtension();
    LPEXCHEXT pSecond = NewExtension();
    ASSERT_NE(pFirst, nullptr);
    ASSERT_NE(pSecond, nullptr);
    EXPECT_NE(pFirst, pSecond);

    EXPECT_EQ(pFirst->AddRef(), 2u);
    EXPECT_EQ(pFirst->Release(), 1u);
    EXPECT_EQ(pSecond->AddRef(), 2u);
    EXPECT_EQ(pSecond->Release(), 1u);

    EXPECT_EQ(pFirst->Release(), 0u);
    EXPECT_EQ(CountOf(pSecond), 1u);
    ClientCallback callback;
    EXPECT_EQ(pSecond->Install(&callback, EECONTEXT_READNOTEMESSAGE, 0), S_OK);
    EXPECT_EQ(pSecond->Release(), 0u);
}

TEST(EntryPoint, IsTheExportAtOrdinalOne)
{
    HMODULE hModule = QuorbitModule();
    ASSERT_NE(hModule, nullptr);
    FARPROC pfnByName = GetProcAddress(hModule, "ExchEntryPoint");
    ASSERT_NE(pfnByName, nullptr);
    EXPECT_EQ(GetProcAddress(hModule, MAKEINTRESOURCEA(1)), pfnByName);
    EXPECT_EQ(GetProcAddress(hModule, "ExchEntryPoint@0"), nullptr);
    EXPECT_EQ(GetProcAddress(hModule, "_ExchEntryPoint@0"), nullptr);
}

}  // namespace
