#include <gtest/gtest.h>
#include "resource_usage.h"
#include "client_objects.h"
#include "prop_readers.h"
#include <mapiutil.h>
#include <mapicode.h>
#include <cstring>

namespace {

const ULONG PR_TEST_STRING = PROP_TAG(PT_STRING8, 0x6700);
const ULONG PR_TEST_UNICODE = PROP_TAG(PT_UNICODE, 0x6701);
const ULONG PR_TEST_BINARY = PROP_TAG(PT_BINARY, 0x6702);

void* const SENTINEL = (void*)0xdeadbeef;

TEST(GetPropString, CopiesEightBitTextWithTerminator)
{
    ClientMessage msg;
    msg.m_props.push_back(MessageProp::Str(PR_TEST_STRING, "abcde"));
    ULONG cb = 0xdeadbeef;
    void* pv = SENTINEL;

    ASSERT_EQ(S_OK, GetPropString(&msg, PR_TEST_STRING, &cb, &pv));
    EXPECT_EQ(6u, cb);
    ASSERT_NE(nullptr, pv);
    EXPECT_EQ(0, memcmp(pv, "abcde", 6));
    EXPECT_EQ(0u, msg.m_ulLastFlags) << "strings must be asked for as 8-bit text";
    MAPIFreeBuffer(pv);
}

TEST(GetPropString, EmptyAndNullTextsGiveTheTerminatorAlone)
{
    for (bool fNull : {false, true})
    {
        ClientMessage msg;
        msg.m_props.push_back(fNull ? MessageProp::NullStr(PR_TEST_STRING) : MessageProp::Str(PR_TEST_STRING, ""));
        ULONG cb = 0;
        void* pv = NULL;
        ASSERT_EQ(S_OK, GetPropString(&msg, PR_TEST_STRING, &cb, &pv));
        EXPECT_EQ(1u, cb);
        EXPECT_EQ('\0', *(char*)pv);
        MAPIFreeBuffer(pv);
    }
}

TEST(GetPropString, WideTagsAreMeasuredInWideCharacters)
{
    ClientMessage msg;
    msg.m_props.push_back(MessageProp::WStr(PR_TEST_UNICODE, L"xyz"));
    msg.m_props.push_back(MessageProp::WStr(PROP_TAG(PT_UNICODE, 0x6703), L""));
    ULONG cb = 0;
    void* pv = NULL;

    ASSERT_EQ(S_OK, GetPropString(&msg, PR_TEST_UNICODE, &cb, &pv));
    EXPECT_EQ(8u, cb);
    EXPECT_EQ(0, memcmp(pv, L"xyz", 8));
    MAPIFreeBuffer(pv);

    ASSERT_EQ(S_OK, GetPropString(&msg, PROP_TAG(PT_UNICODE, 0x6703), &cb, &pv));
    EXPECT_EQ(2u, cb);
    EXPECT_EQ(0, memcmp(pv, L"", 2));
    MAPIFreeBuffer(pv);
}

// The failures of both readers, which clear their outputs.
struct FailureCase
{
    const char* name;
    HRESULT hrWhole;     // failure of the whole call, or S_OK
    SCODE scValue;       // error of the value, or 0 for a missing property
    HRESULT hrWarning;   // what GetProps says of a PT_ERROR value
    HRESULT expected;
    bool fNumber = false;  // the value is the number scValue, not an error
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReaderFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ReaderFailures, AreSortedIntoTheirResultCodes)
{
    const FailureCase& c = GetParam();
    ClientMessage msg;
    msg.m_hrGetProps = c.hrWhole;
    msg.m_hrWarning = c.hrWarning;
    if (c.fNumber)
    {
        msg.m_props.push_back(MessageProp::Long(PROP_TAG(PT_LONG, PROP_ID(PR_TEST_STRING)), c.scValue));
        msg.m_props.push_back(MessageProp::Long(PROP_TAG(PT_LONG, PROP_ID(PR_TEST_BINARY)), c.scValue));
    }
    else if (c.scValue != 0)
    {
        msg.m_props.push_back(MessageProp::Err(PR_TEST_STRING, c.scValue));
        msg.m_props.push_back(MessageProp::Err(PR_TEST_BINARY, c.scValue));
    }

    ULONG cb = 0xdeadbeef;
    void* pv = SENTINEL;
    EXPECT_EQ(c.expected, GetPropString(&msg, PR_TEST_STRING, &cb, &pv));
    EXPECT_EQ(0u, cb);
    EXPECT_EQ(nullptr, pv);

    cb = 0xdeadbeef;
    pv = SENTINEL;
    EXPECT_EQ(c.expected, GetPropBinaryAsString(&msg, PR_TEST_BINARY, &cb, &pv));
    EXPECT_EQ(0u, cb);
    EXPECT_EQ(nullptr, pv);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReaderFailures,
    ::testing::Values(
        FailureCase{"Missing", S_OK, 0, MAPI_W_ERRORS_RETURNED, MAPI_E_NOT_FOUND},
        FailureCase{"NotFoundValue", S_OK, MAPI_E_NOT_FOUND, MAPI_W_ERRORS_RETURNED, MAPI_E_NOT_FOUND},
        FailureCase{"OtherValueError", S_OK, MAPI_E_NOT_ENOUGH_MEMORY, MAPI_W_ERRORS_RETURNED, E_FAIL},
        FailureCase{"NoAccess", MAPI_E_NO_ACCESS, 0, MAPI_W_ERRORS_RETURNED, E_FAIL},
        FailureCase{"CallFailed", E_FAIL, 0, MAPI_W_ERRORS_RETURNED, E_FAIL},
        // A store that answers S_OK with a PT_ERROR value: the error is not
        // read as a string pointer.
        FailureCase{"ErrorValueWithSuccess", S_OK, MAPI_E_NOT_FOUND, S_OK, MAPI_E_NOT_FOUND},
        FailureCase{"OtherErrorValueWithSuccess", S_OK, MAPI_E_CALL_FAILED, S_OK, E_FAIL},
        // A store that answers a number where text or bytes were asked: read
        // as asked, the number would be taken for a pointer.
        FailureCase{"ValueOfAnotherType", S_OK, 0x40, S_OK, E_FAIL, true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(GetPropBinaryAsString, WritesUpperCaseHexInByteOrder)
{
    ClientMessage msg;
    msg.m_props.push_back(MessageProp::Bin(PR_TEST_BINARY, {0x00, 0x1F, 0xA0}));
    ULONG cb = 0;
    void* pv = NULL;

    ASSERT_EQ(S_OK, GetPropBinaryAsString(&msg, PR_TEST_BINARY, &cb, &pv));
    EXPECT_EQ(8u, cb);
    EXPECT_STREQ("001FA0", (char*)pv);
    MAPIFreeBuffer(pv);
}

TEST(GetPropBinaryAsString, EmptyValueGivesTwoBytesStartingWithTheTerminator)
{
    ClientMessage msg;
    msg.m_props.push_back(MessageProp::Bin(PR_TEST_BINARY, {}));
    ULONG cb = 0;
    void* pv = NULL;

    ASSERT_EQ(S_OK, GetPropBinaryAsString(&msg, PR_TEST_BINARY, &cb, &pv));
    EXPECT_EQ(2u, cb);
    EXPECT_EQ('\0', *(char*)pv);
    MAPIFreeBuffer(pv);
}

TEST(GetPropBinaryAsString, LongEntryIdentifierIsConvertedWhole)
{
    std::vector<BYTE> id(300);
    for (size_t i = 0; i < id.size(); i++)
        id[i] = (BYTE)(i * 7);
    ClientMessage msg;
    msg.m_props.push_back(MessageProp::Bin(PR_TEST_BINARY, id));
    ULONG cb = 0;
    void* pv = NULL;

    ASSERT_EQ(S_OK, GetPropBinaryAsString(&msg, PR_TEST_BINARY, &cb, &pv));
    EXPECT_EQ(602u, cb);
    std::string hex = (char*)pv;
    ASSERT_EQ(600u, hex.size());
    char sz[3];
    wsprintfA(sz, "%02X", id[299]);
    EXPECT_EQ(sz, hex.substr(598));
    MAPIFreeBuffer(pv);
}

// Both readers free the value array on every exit: many reads, no growth.
TEST(PropReaders, FreeTheValueArrayOnEveryExit)
{
    ClientMessage found;
    found.m_props.push_back(MessageProp::Str(PR_TEST_STRING, std::string(500, 'x')));
    found.m_props.push_back(MessageProp::Bin(PR_TEST_BINARY, std::vector<BYTE>(500, 1)));
    ClientMessage failing;
    failing.m_props.push_back(MessageProp::Err(PR_TEST_STRING, MAPI_E_NOT_ENOUGH_MEMORY));

    auto readAll = [&]() {
        ULONG cb;
        void* pv = NULL;
        if (GetPropString(&found, PR_TEST_STRING, &cb, &pv) == S_OK)
            MAPIFreeBuffer(pv);
        pv = NULL;
        if (GetPropBinaryAsString(&found, PR_TEST_BINARY, &cb, &pv) == S_OK)
            MAPIFreeBuffer(pv);
        GetPropString(&failing, PR_TEST_STRING, &cb, &pv);
        GetPropString(&failing, PR_TEST_BINARY, &cb, &pv);
    };
    readAll();
    SIZE_T before = HeapBytesInUse();
    for (int i = 0; i < 2000; i++)
        readAll();
    SIZE_T after = HeapBytesInUse();
    // A leak of even one array a call would be over 2 MB.
    EXPECT_LT(after, before + 64 * 1024);
}

}  // namespace
