#include <gtest/gtest.h>
#include "handler_store.h"
#include "played_system.h"
#include "test_registry.h"
#include <string>

namespace {

const std::string kRoot = TEST_ROOT_KEY;

std::string HandlerPath(const std::string& name)
{
    return kRoot + "\\" + name;
}

// The names the store lists, in its order.
std::vector<std::string> Listed()
{
    std::vector<std::string> names;
    RegistryListHandlers([](const char* szName, void* pv) { ((std::vector<std::string>*)pv)->push_back(szName); },
                         &names);
    return names;
}

class HandlerStore : public ::testing::Test
{
protected:
    void SetUp() override { ResetStore(); }
    void TearDown() override { ResetStore(); }

    // Runs the search for one sender, its address and an SMTP address
    // (none: "") given in UTF-8, into m_found, zeroed first.
    HRESULT Find(const std::string& sender, const std::string& smtp = "")
    {
        std::wstring address = FromUtf8(sender), smtpAddress = FromUtf8(smtp);
        SENDER searched = {&address[0], smtp.empty() ? NULL : &smtpAddress[0], !smtp.empty()};
        ZeroMemory(&m_found, sizeof(m_found));
        return RegistryFindHandler(&searched, &m_found, NULL);
    }
    // Reads one handler into m_found, zeroed first.
    LONG Read(const std::string& name)
    {
        ZeroMemory(&m_found, sizeof(m_found));
        return RegistryReadHandler(name.c_str(), &m_found);
    }
    HANDLER m_found;
    PlayedSystem m_system;
};

// The page selects the first name and shows nothing selected for none
// (tests/ui).
TEST_F(HandlerStore, ListOnAComputerWithoutHandlersCreatesNothing)
{
    ASSERT_FALSE(KeyExists(kRoot));

    EXPECT_TRUE(Listed().empty());
    EXPECT_FALSE(KeyExists(kRoot));

    // An empty root: still nothing to list.
    WriteDword(kRoot, "Unrelated", 1);
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(S_FALSE, Find("anyone@example.com"));
}

TEST_F(HandlerStore, ListGivesTheNamesInEnumerationOrder)
{
    StoreHandler("Orders", "orders@example.com", "a.exe");
    StoreHandler("Reports", "reports@example.com", "b.exe");

    EXPECT_EQ(SubKeys(kRoot), Listed());
}

TEST_F(HandlerStore, SaveWritesTheFiveValuesWithTheirTypesAndSizes)
{
    // A new handler's values, with confirm 0 and debug 2.
    HANDLER handler;
    RegistryNewHandler(&handler);
    lstrcpyA(handler.szName, "Orders");
    lstrcpyA(handler.szSenderEmailAddress, "orders@example.com");
    handler.dwConfirmDialog = 0;
    handler.dwDebug = 2;

    ASSERT_EQ(ERROR_SUCCESS, RegistrySaveHandler("Orders", &handler, NULL));

    std::string path = HandlerPath("Orders");
    struct { const char* name; DWORD type; std::vector<BYTE> bytes; } expected[] = {
        {"ConfirmDialog", REG_DWORD, {0, 0, 0, 0}},
        {"PreventOpen", REG_DWORD, {1, 0, 0, 0}},
        {"SenderEmailAddress", REG_SZ, {}},
        {"FilePath", REG_SZ, {}},
        {"Debug", REG_DWORD, {2, 0, 0, 0}},
    };
    std::string sender = "orders@example.com";
    expected[2].bytes.assign(sender.c_str(), sender.c_str() + sender.size() + 1);
    std::string program = "\"Specify a path and file name\"";
    expected[3].bytes.assign(program.c_str(), program.c_str() + program.size() + 1);
    ASSERT_EQ(31u, expected[3].bytes.size());

    for (const auto& e : expected)
    {
        StoredValue v = ReadStored(path, e.name);
        ASSERT_TRUE(v.present) << e.name;
        EXPECT_EQ(e.type, v.type) << e.name;
        EXPECT_EQ(e.bytes, v.data) << e.name;
    }
    EXPECT_EQ(5u, ValueNames(path).size());
}

TEST_F(HandlerStore, SaveWritesAnEmptyTextAsItsTerminator)
{
    const HANDLER handler = {};
    ASSERT_EQ(ERROR_SUCCESS, RegistrySaveHandler("Empty", &handler, NULL));

    StoredValue v = ReadStored(HandlerPath("Empty"), "SenderEmailAddress");
    ASSERT_TRUE(v.present);
    EXPECT_EQ(std::vector<BYTE>{0}, v.data);
}

TEST_F(HandlerStore, ReadNeverOverrunsAFieldWithAnOversizedValue)
{
    std::string path = HandlerPath("Oversized");
    // 80 characters: one more than the field holds with its terminator.
    WriteString(path, "SenderEmailAddress", std::string(80, 'a'));
    // Exactly the field's 128 bytes, with no terminator.
    std::string unterminated(128, 'p');
    WriteRaw(path, "FilePath", REG_SZ, unterminated.data(), 128);
    // Eight bytes where four are expected.
    ULONGLONG ull = 0x1122334455667788ull;
    WriteRaw(path, "Debug", REG_BINARY, &ull, sizeof(ull));
    // The largest texts that do fit.
    std::string fits = HandlerPath("Fits");
    WriteString(fits, "SenderEmailAddress", std::string(79, 'b'));
    WriteString(fits, "FilePath", std::string(127, 'q'));
    // Texts of another type, or without a spelling in the code page.
    std::string odd = HandlerPath("Odd");
    WriteRaw(odd, "SenderEmailAddress", REG_BINARY, "odd@example.com", 16);
    WriteUnicode(odd, "FilePath", "C:\\\xC5\x81" "ab\\odd.exe");

    ASSERT_EQ(ERROR_SUCCESS, Read("Oversized"));
    EXPECT_STREQ("", m_found.szSenderEmailAddress);
    EXPECT_STREQ("", m_found.szFilePath);
    // Each text says why it is empty.
    EXPECT_EQ(ERROR_MORE_DATA, m_found.lSenderEmailAddressRead);
    EXPECT_EQ(ERROR_MORE_DATA, m_found.lFilePathRead);
    EXPECT_EQ(0u, m_found.dwDebug);
    // The field after the program text.
    EXPECT_EQ(0u, m_found.dwPreventOpen);

    ASSERT_EQ(ERROR_SUCCESS, Read("Fits"));
    EXPECT_EQ(std::string(79, 'b'), m_found.szSenderEmailAddress);
    EXPECT_EQ(std::string(127, 'q'), m_found.szFilePath);
    EXPECT_EQ(ERROR_SUCCESS, m_found.lSenderEmailAddressRead + m_found.lFilePathRead);

    ASSERT_EQ(ERROR_SUCCESS, Read("Odd"));
    EXPECT_EQ(ERROR_DATATYPE_MISMATCH, m_found.lSenderEmailAddressRead);
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, m_found.lFilePathRead);
    EXPECT_STREQ("", m_found.szFilePath);
}

TEST_F(HandlerStore, OpenCreatesAMissingHandlerKeyThatReadsEmptyAndReadCreatesNone)
{
    HKEY hk = NULL;
    DWORD dwDisposition = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegistryOpenForWriting(HandlerPath("New").c_str(), &hk, &dwDisposition));
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, dwDisposition);
    ASSERT_NE((HKEY)NULL, hk);
    RegistryClose(hk);
    EXPECT_TRUE(ValueNames(HandlerPath("New")).empty());
    ASSERT_EQ(ERROR_SUCCESS, Read("New"));
    EXPECT_STREQ("", m_found.szFilePath);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, m_found.lFilePathRead);
    EXPECT_EQ(0u, m_found.dwPreventOpen);

    EXPECT_EQ(ERROR_SUCCESS, RegistryOpenForWriting(HandlerPath("New").c_str(), &hk, &dwDisposition));
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, dwDisposition);
    RegistryClose(hk);

    // No such handler, and no name: nothing is filled in or created, and
    // the root's own values are no handler's.
    WriteDword(kRoot, "Debug", 1);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Read("Missing"));
    EXPECT_NE(ERROR_SUCCESS, Read(""));
    EXPECT_EQ(0u, m_found.dwDebug);
    EXPECT_STREQ("", m_found.szName);
    EXPECT_EQ(std::vector<std::string>{"New"}, SubKeys(kRoot));
}

// A key named outside the code page, below HKLM.
void MakeWideKey(const wchar_t* szPath)
{
    HKEY hk = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, szPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hk, NULL));
    RegCloseKey(hk);
}

TEST_F(HandlerStore, DeleteRemovesTheHandlerWithItsValuesAndKeysAndCallsOnlyAMissingKeyGone)
{
    StoreHandler("Orders", "orders@example.com", "a.exe");
    StoreHandler("Reports", "reports@example.com", "b.exe");
    // Made by hand, or by a name once saved with a backslash; and one whose
    // name the ANSI enumeration can only give as "??".
    WriteDword(HandlerPath("Orders\\Nested\\Deeper"), "Debug", 1);
    WriteDword(HandlerPath("Orders\\Second"), "Debug", 1);
    MakeWideKey(L"SOFTWARE\\Quorbit\\Message Handlers\\Orders\\\u0416\u0429");
    HKEY hkRoot = NULL;
    RegistryOpenForReading(szRootKey, &hkRoot);

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegistryDelete(hkRoot, "Nobody"));
    EXPECT_EQ(2u, SubKeys(kRoot).size());
    EXPECT_NE(ERROR_SUCCESS, RegistryDelete(hkRoot, ""));
    EXPECT_TRUE(KeyExists(kRoot));

    EXPECT_EQ(ERROR_SUCCESS, RegistryDelete(hkRoot, "Orders"));
    EXPECT_EQ(std::vector<std::string>{"Reports"}, SubKeys(kRoot));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegistryDelete(NULL, "Reports"));

    // A handler listed as "??" is there, and cannot be removed by that name.
    MakeWideKey(L"SOFTWARE\\Quorbit\\Message Handlers\\\u0416\u0429");
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, RegistryDelete(hkRoot, "??"));
    EXPECT_EQ(2u, SubKeys(kRoot).size());
    RegistryClose(hkRoot);
}

// A handler's values in the registry's order, "name=data", numbers as
// numbers; "NULL" when the key is missing.
std::string Stored(const std::string& name)
{
    if (!KeyExists(HandlerPath(name)))
        return "NULL";
    std::string all;
    for (const std::string& value : ValueNames(HandlerPath(name)))
    {
        StoredValue v = ReadStored(HandlerPath(name), value.c_str());
        all += (all.empty() ? "" : " ") + value + "=" +
               (v.type == REG_DWORD ? std::to_string(*(DWORD*)v.data.data()) : std::string((char*)v.data.data()));
    }
    return all;
}

// A save writes all five values or leaves the handler as it was: Orders
// holds four values (the one it lacks must be lacking again), New is none.
// "FilePath" comes after three values that were written.
TEST_F(HandlerStore, SaveThatIsRefusedHalfwayPutsBackWhatWasStored)
{
    const struct
    {
        const char* szHandler;
        int cFilePathRefusals;  // -1: every time, the putting back too
        bool fRefuseDelete;
        LONG lResult;
        BOOL fUndone;
        std::string after;  // "as before", or a part of what is stored; "" when not pinned
    } cases[] = {
        {"Orders", 1, false, ERROR_ACCESS_DENIED, TRUE, "as before"},
        // Refused again while putting back: the caller hears of it.
        {"Orders", -1, false, ERROR_ACCESS_DENIED, FALSE, ""},
        // A handler this save created is taken away again, or reported.
        {"New", -1, false, ERROR_ACCESS_DENIED, TRUE, "NULL"},
        {"New", -1, true, ERROR_ACCESS_DENIED, FALSE, ""},
        {"Orders", 0, false, ERROR_SUCCESS, TRUE, "FilePath=changed.exe"},
    };
    HANDLER changed = {};
    lstrcpyA(changed.szName, "Orders");
    lstrcpyA(changed.szSenderEmailAddress, "changed@example.com");
    lstrcpyA(changed.szFilePath, "changed.exe");
    changed.dwPreventOpen = 1;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.szHandler) + ", FilePath refused " + std::to_string(c.cFilePathRefusals));
        ResetStore();
        WriteDword(HandlerPath("Orders"), "ConfirmDialog", 1);
        WriteDword(HandlerPath("Orders"), "PreventOpen", 1);
        // A text the code page cannot spell must come back exactly.
        WriteUnicode(HandlerPath("Orders"), "SenderEmailAddress", "\xC5\x81orders@example.com");
        WriteString(HandlerPath("Orders"), "FilePath", "orders.exe");
        const std::string before = Stored("Orders");
        m_system.RefuseValueWrites(c.cFilePathRefusals ? "FilePath" : NULL, c.cFilePathRefusals);
        m_system.RefuseDeletes(c.fRefuseDelete);
        BOOL fUndone = 0xdeadbeef;
        EXPECT_EQ(c.lResult, RegistrySaveHandler(c.szHandler, &changed, &fUndone));
        EXPECT_EQ(c.fUndone, fUndone);
        if (c.after == "as before")
        {
            EXPECT_EQ(before, Stored(c.szHandler));
            EXPECT_EQ("\xC5\x81orders@example.com", ReadUnicode(HandlerPath("Orders"), "SenderEmailAddress"));
        }
        else
        {
            EXPECT_NE(std::string::npos, Stored(c.szHandler).find(c.after)) << Stored(c.szHandler);
        }
    }
}

TEST_F(HandlerStore, FindMatchesWithoutRegardToCase)
{
    StoreHandler("Orders", "Orders@Example.COM", "import.exe", 0, 1, 0);

    EXPECT_EQ(S_OK, Find("orders@example.com"));
    EXPECT_STREQ("Orders", m_found.szName);
    EXPECT_STREQ("Orders@Example.COM", m_found.szSenderEmailAddress);
    EXPECT_STREQ("import.exe", m_found.szFilePath);
    EXPECT_EQ(0u, m_found.dwConfirmDialog);
    EXPECT_EQ(1u, m_found.dwPreventOpen);

    // No match: nothing is filled in.
    EXPECT_EQ(S_FALSE, Find("someone.else@example.com"));
    EXPECT_STREQ("", m_found.szName);
    EXPECT_STREQ("", m_found.szFilePath);

    // Only letter case is ignored, in UTF-16, whatever the locale would
    // fold; an empty address is none. Addresses in UTF-8; an Exchange
    // sender's directory address, then its SMTP address.
    const std::string directory = "/O=CORP/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=";
    const struct
    {
        std::string stored, sender, smtp;
        bool fMatch;
    } rows[] = {
        {"J\xC3\x9CRG@example.com", "j\xC3\xBCrg@example.com", "", true},
        {"invoices@strasse-partner.de", "invoices@stra\xC3\x9F" "e-partner.de", "", false},
        {"orders@example.com", "or\xC2\xAD" "ders@example.com", "", false},
        {"aesop@example.com", "\xC3\xA6sop@example.com", "", false},
        {"oeuvre@example.com", "\xC5\x93uvre@example.com", "", false},
        {"thorsten@example.com", "\xC3\xBEorsten@example.com", "", false},
        {"", "", "", false},
        {"", "", "jsmith@example.com", false},
        {"jsmith@example.com", directory + "JSMITH", "JSmith@Example.com", true},
        {"jsmith@example.com", directory + "JDOE", "jdoe@example.com", false},
        // Held to its 79 characters, a cut directory address would be
        // another sender's too.
        {(directory + "JSMITH").substr(0, 79), directory + "JSMITH", "", false},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.stored + " | " + row.sender + " | " + row.smtp);
        ResetStore();
        StoreHandler("Row", "", "row.exe");
        WriteUnicode(HandlerPath("Row"), "SenderEmailAddress", row.stored);
        EXPECT_EQ(row.fMatch ? S_OK : S_FALSE, Find(row.sender, row.smtp));
    }
}

// Each handler is read from its own key alone: what it lacks, or holds too
// long for its field, is empty or off, whatever the handler found before
// it held.
TEST_F(HandlerStore, FindFillsOnlyWhatTheMatchingKeyHolds)
{
    StoreHandler("Full", "full@example.com", "full.exe", 1, 1, 1);
    WriteString(HandlerPath("Bare"), "SenderEmailAddress", "bare@example.com");
    StoreHandler("Overlong", "overlong@example.com", std::string(128, 'p'), 1, 0, 0);
    // Text of the other type is the same text, never expanded.
    const std::string expandable = "%SystemRoot%\\expand.exe";
    WriteRaw(HandlerPath("Expand"), "SenderEmailAddress", REG_EXPAND_SZ, "expand@example.com", 19);
    WriteRaw(HandlerPath("Expand"), "FilePath", REG_EXPAND_SZ, expandable.c_str(), (DWORD)expandable.size() + 1);

    ASSERT_EQ(S_OK, Find("EXPAND@example.com"));
    EXPECT_STREQ("expand@example.com", m_found.szSenderEmailAddress);
    EXPECT_EQ(expandable, m_found.szFilePath);
    ASSERT_EQ(S_OK, Find("full@example.com"));
    ASSERT_EQ(S_OK, Find("bare@example.com"));
    EXPECT_STREQ("", m_found.szFilePath);
    EXPECT_EQ(0u, m_found.dwConfirmDialog + m_found.dwPreventOpen + m_found.dwDebug);
    ASSERT_EQ(S_OK, Find("overlong@example.com"));
    EXPECT_STREQ("", m_found.szFilePath);
    EXPECT_EQ(1u, m_found.dwConfirmDialog);
}

TEST_F(HandlerStore, FindCreatesNoKey)
{
    EXPECT_EQ(S_FALSE, Find("orders@example.com"));
    EXPECT_FALSE(KeyExists(kRoot));

    // A name outside the code page comes back from the enumeration as
    // another name ("?"), which opening must not make into a key.
    StoreHandler("Orders", "orders@example.com", "orders.exe");
    HKEY hk = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorbit\\Message Handlers\\\u0416\u0429",
                                             0, NULL, 0, KEY_ALL_ACCESS, NULL, &hk, NULL));
    RegCloseKey(hk);
    std::vector<std::string> before = SubKeys(kRoot);
    EXPECT_EQ(S_FALSE, Find("nobody@example.com"));
    EXPECT_EQ(before, SubKeys(kRoot));
}

TEST_F(HandlerStore, OfTwoHandlersForOneAddressTheHigherIndexWins)
{
    StoreHandler("Alpha", "shared@example.com", "alpha.exe");
    StoreHandler("Beta", "SHARED@example.com", "beta.exe");
    std::vector<std::string> order = SubKeys(kRoot);
    ASSERT_EQ(2u, order.size());

    EXPECT_EQ(S_OK, Find("shared@example.com"));
    EXPECT_EQ(order[1] == "Beta" ? "beta.exe" : "alpha.exe", std::string(m_found.szFilePath));
}

TEST_F(HandlerStore, EveryHandlerIsFoundWhateverTheAddressesBeforeIt)
{
    const char* senders[] = {"a@x.org", "a.much.longer.address@subdomain.example.com", "bb@x.org", "x",
                             "c@example.com"};
    for (int i = 0; i < 5; i++)
        StoreHandler("H" + std::to_string(i), senders[i], "p" + std::to_string(i) + ".exe");
    // Stored empty, it is no address, and matches no empty one.
    StoreHandler("Empty", "", "empty.exe");
    EXPECT_EQ(S_FALSE, Find(""));

    for (int i = 0; i < 5; i++)
    {
        EXPECT_EQ(S_OK, Find(senders[i])) << senders[i];
        EXPECT_EQ("p" + std::to_string(i) + ".exe", std::string(m_found.szFilePath)) << senders[i];
    }
}

TEST_F(HandlerStore, FindSkipsKeysWhoseAddressCannotBeReadAndFindsNamesOfAnyLength)
{
    // No address at all, and an address too long for the field: neither
    // may match, not even an empty address, nor overrun anything.
    WriteDword(HandlerPath("NoAddress"), "Debug", 1);
    StoreHandler("TooLong", std::string(100, 'z'), "toolong.exe");
    // An address of another type than text.
    WriteRaw(HandlerPath("Binary"), "SenderEmailAddress", REG_BINARY, "bin@example.com", 16);
    // The longest name a key can have, far past any "root\name" buffer.
    std::string longName(255, 'Z');
    StoreHandler(longName, "long@example.com", "longname.exe");
    StoreHandler("Orders", "orders@example.com", "orders.exe");

    EXPECT_EQ(S_FALSE, Find(""));
    EXPECT_EQ(S_FALSE, Find(std::string(100, 'z').c_str()));
    EXPECT_EQ(S_FALSE, Find(std::string(79, 'z').c_str()));
    EXPECT_EQ(S_FALSE, Find("bin@example.com"));

    EXPECT_EQ(S_OK, Find("orders@example.com"));
    EXPECT_STREQ("orders.exe", m_found.szFilePath);
    EXPECT_EQ(S_OK, Find("long@example.com"));
    EXPECT_EQ(longName, m_found.szName);
}

}  // namespace

namespace {

// A user without administrator rights: HKLM\SOFTWARE refuses KEY_ALL_ACCESS.
class StandardUser : public HandlerStore
{
protected:
    void SetUp() override
    {
        HandlerStore::SetUp();
        m_system.RefuseCreateAndDelete(true);
    }
};

TEST_F(StandardUser, StillFindsAndListsTheStoredHandlers)
{
    StoreHandler("Orders", "orders@example.com", "orders.exe", 0, 1, 0);
    EXPECT_EQ(std::vector<std::string>{"Orders"}, Listed());
    EXPECT_EQ(S_OK, Find("ORDERS@example.com"));
    EXPECT_STREQ("orders.exe", m_found.szFilePath);
}

TEST_F(StandardUser, WritesNothingAndCreatesNoKey)
{
    StoreHandler("Orders", "orders@example.com", "orders.exe");
    HKEY hk = (HKEY)0xdeadbeef;

    HANDLER changed = {};
    lstrcpyA(changed.szName, "Orders");
    lstrcpyA(changed.szSenderEmailAddress, "orders@example.com");
    lstrcpyA(changed.szFilePath, "changed.exe");

    EXPECT_EQ(ERROR_ACCESS_DENIED, RegistrySaveHandler("Orders", &changed, NULL));
    EXPECT_EQ(std::string("orders.exe"), std::string((char*)ReadStored(HandlerPath("Orders"), "FilePath").data.data()));

    EXPECT_EQ(ERROR_ACCESS_DENIED, RegistrySaveHandler("Missing", &changed, NULL));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegistryOpenForWriting(HandlerPath("Missing").c_str(), &hk, NULL));
    EXPECT_EQ((HKEY)NULL, hk);
    EXPECT_FALSE(KeyExists(HandlerPath("Missing")));
}

TEST_F(StandardUser, WithoutTheRootNothingIsListedOrFound)
{
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(S_FALSE, Find("orders@example.com"));
    EXPECT_FALSE(KeyExists(kRoot));
}

}  // namespace
