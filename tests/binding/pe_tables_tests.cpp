// The built DLL's export and import tables, read from the file the way the
// loader reads them.
#include "pe_tables.h"
#include "quorbit_dll.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>

namespace {

class PeTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_bytes = ReadFileBytes(QuorbitPath());
        ASSERT_FALSE(m_bytes.empty());
        m_tables = ReadPeTables(m_bytes);
        ASSERT_TRUE(m_tables.fValid);
    }
    // The problems found in a damaged copy, after damage(copy) ran.
    template <class F>
    std::vector<std::string> ProblemsAfter(F damage)
    {
        std::vector<BYTE> copy = m_bytes;
        damage(copy);
        return ExtensionTableProblems(ReadPeTables(copy));
    }
    static bool Mentions(const std::vector<std::string>& problems, const char* sz)
    {
        for (const std::string& p : problems)
            if (p.find(sz) != std::string::npos)
                return true;
        return false;
    }

    std::vector<BYTE> m_bytes;
    PeTables m_tables;
};

TEST_F(PeTableTest, OneExportAtOrdinalOneAndSystemImportsOnly)
{
    std::vector<std::string> problems = ExtensionTableProblems(m_tables);
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
    EXPECT_EQ(m_tables.exportNames, std::vector<std::string>{"ExchEntryPoint"});
    EXPECT_EQ(m_tables.exportOrdinals, std::vector<WORD>{1});
    EXPECT_EQ(m_tables.cFunctions, 1u);
}

TEST_F(PeTableTest, Mapi32IsImportedByTheFourOrdinals)
{
    const PeImport* pMapi = nullptr;
    for (const PeImport& import : m_tables.imports)
        if (lstrcmpiA(import.dll.c_str(), "mapi32.dll") == 0)
            pMapi = &import;
    ASSERT_NE(pMapi, nullptr);
    EXPECT_TRUE(pMapi->names.empty());
    std::vector<WORD> ordinals = pMapi->ordinals;
    std::sort(ordinals.begin(), ordinals.end());
    EXPECT_EQ(ordinals, (std::vector<WORD>{13, 17, 45, 129}));
}

TEST_F(PeTableTest, NoMingwRuntime)
{
    for (const PeImport& import : m_tables.imports)
    {
        EXPECT_EQ(import.dll.find("libgcc"), std::string::npos);
        EXPECT_EQ(import.dll.find("libstdc++"), std::string::npos);
        EXPECT_EQ(import.dll.find("libwinpthread"), std::string::npos);
    }
}

// The check itself fails on each kind of damage.
TEST_F(PeTableTest, CheckFailsOnASecondExport)
{
    ASSERT_GE(m_tables.offExportDirectory, 0);
    std::vector<std::string> problems = ProblemsAfter([&](std::vector<BYTE>& copy) {
        IMAGE_EXPORT_DIRECTORY* pDir = (IMAGE_EXPORT_DIRECTORY*)(copy.data() + m_tables.offExportDirectory);
        pDir->NumberOfFunctions = 2;
    });
    EXPECT_TRUE(Mentions(problems, "not one")) << ::testing::PrintToString(problems);
}

TEST_F(PeTableTest, CheckFailsOnADecoratedName)
{
    std::vector<std::string> problems = ProblemsAfter([&](std::vector<BYTE>& copy) {
        const char szName[] = "ExchEntryPoint";
        BYTE* pEnd = copy.data() + copy.size();
        BYTE* pFound = std::search(copy.data(), pEnd, szName, szName + sizeof(szName));
        ASSERT_NE(pFound, pEnd);
        memcpy(pFound, "ExchEntryPoi@0", sizeof(szName));
    });
    EXPECT_TRUE(Mentions(problems, "decorated export name ExchEntryPoi@0")) << ::testing::PrintToString(problems);
}

TEST_F(PeTableTest, CheckFailsOnMapi32ImportedByName)
{
    std::vector<std::string> problems = ProblemsAfter([&](std::vector<BYTE>& copy) {
        for (const PeImport& import : m_tables.imports)
            if (lstrcmpiA(import.dll.c_str(), "mapi32.dll") == 0)
            {
                ASSERT_FALSE(import.thunkOffsets.empty());
                *(DWORD*)(copy.data() + import.thunkOffsets[0]) &= ~IMAGE_ORDINAL_FLAG32;
            }
    });
    EXPECT_TRUE(Mentions(problems, "from mapi32 by name")) << ::testing::PrintToString(problems);
}

TEST_F(PeTableTest, CheckFailsOnANonSystemDll)
{
    std::vector<std::string> problems = ProblemsAfter([&](std::vector<BYTE>& copy) {
        // A mingw runtime DLL's name, over a system DLL's name as long.
        const char szRuntime[] = "mingwm10.dll";
        for (const PeImport& import : m_tables.imports)
            if (import.dll.size() == sizeof(szRuntime) - 1)
            {
                memcpy(copy.data() + import.offName, szRuntime, sizeof(szRuntime));
                return;
            }
        FAIL() << "no import name of 12 characters to overwrite";
    });
    EXPECT_TRUE(Mentions(problems, "imports mingwm10.dll, not a system DLL")) << ::testing::PrintToString(problems);
}

}  // namespace
