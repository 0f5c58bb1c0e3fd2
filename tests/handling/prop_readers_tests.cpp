#include <gtest/gtest.h>
#include "resource_usage.h"
#include "client_objects.h"
#include "played_system.h"
#include "prop_readers.h"
#include <mapiutil.h>
#include <mapicode.h>
#include <cstring>

namespace {

const ULONG PR_TEST_STRING = PROP_TAG(PT_STRING8, 0x6700);
const ULONG PR_TEST_UNICODE = PROP_TAG(PT_UNICODE, 0x6701);
const ULONG PR_TEST_BINARY = PROP_TAG(PT_BINARY, 0x6702);

void* const SENTINEL = (void*)0xdeadbeef;

// What each reader gives for a value: its buffer's size, and the text that
// starts it, terminator included: the text whole for a string; for bytes,
// two hexadecimal digits each (the buffer has one byte to spare). Strings
// are asked for as the tag says, 8-bit or wide.
TEST(PropReaders, CopyTheValueIntoABufferOfItsOwnSize)
{
    std::vector<BYTE> id(300);
    for (size_t i = 0; i < id.size(); i++)
        id[i] = (BYTE)(i * 7);
    std::string idHex;
    for (BYTE b : id)
    {
        char sz[3];
        wsprintfA(sz, "%02X", b);
        idHex += sz;
    }
    const struct
    {
        const char* szWhat;
        MessageProp prop;
        ULONG cb;
        std::string text;  // terminator included
    } cases[] = {
        {"8-bit text", MessageProp::Str(PR_TEST_STRING, "abcde"), 6, std::string("abcde", 6)},
        {"empty text", MessageProp::Str(PR_TEST_STRING, ""), 1, std::string(1, '\0')},
        {"text without a pointer", MessageProp::NullStr(PR_TEST_STRING), 1, std::string(1, '\0')},
        {"wide text", MessageProp::WStr(PR_TEST_UNICODE, L"xyz"), 8, std::string((const char*)L"xyz", 8)},
        {"empty wide text", MessageProp::WStr(PR_TEST_UNICODE, L""), 2, std::string(2, '\0')},
        {"bytes in upper-case hexadecimal", MessageProp::Bin(PR_TEST_BINARY, {0x00, 0x1F, 0xA0}), 8,
         std::string("001FA0", 7)},
        {"no bytes", MessageProp::Bin(PR_TEST_BINARY, {}), 2, std::string(1, '\0')},
        // Real stores' entry ids run to 150 bytes.
        {"a long entry id, whole", MessageProp::Bin(PR_TEST_BINARY, id), 602, idHex + std::string(1, '\0')},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.szWhat);
        ClientMessage msg;
        msg.m_props.push_back(c.prop);
        ULONG cb = 0xdeadbeef;
        void* pv = SENTINEL;
        if (PROP_TYPE(c.prop.ulPropTag) == PT_BINARY)
            ASSERT_EQ(S_OK, GetPropBinaryAsString(&msg, c.prop.ulPropTag, &cb, &pv));
        else
            ASSERT_EQ(S_OK, GetPropString(&msg, c.prop.ulPropTag, &cb, &pv));
        ASSERT_EQ(c.cb, cb);
        EXPECT_EQ(c.text, std::string((const char*)pv, c.text.size()));
        EXPECT_EQ(0u, msg.m_ulLastFlags) << "asked for as the tag says";
        MAPIFreeBuffer(pv);
    }
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
    bool fNoMemory = false;  // the values are there, and MAPI has no memory for their copies
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
    PlayedSystem system;
    if (c.fNoMemory)
    {
        msg.m_props.push_back(MessageProp::Str(PR_TEST_STRING, "abc"));
        msg.m_props.push_back(MessageProp::Bin(PR_TEST_BINARY, {0x01}));
        system.RefuseMapiAllocations();
    }
    else if (c.fNumber)
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
        FailureCase{"ValueOfAnotherType", S_OK, 0x40, S_OK, E_FAIL, true},
        FailureCase{"NoMemory", S_OK, 0, S_OK, E_OUTOFMEMORY, false, true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

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
