// The test programs' main: every test runs under a handle check. A handle
// lost per deleted key, per Remove or per check is a leak the client feels
// long after the test, so each test must end holding no more handles than
// it began with.
#include <gtest/gtest.h>
#include "resource_usage.h"

namespace {

class HandleCheck : public ::testing::EmptyTestEventListener
{
    DWORD m_cBefore = 0;

    void OnTestStart(const ::testing::TestInfo&) override
    {
        m_cBefore = OwnHandlesInUse();
    }
    // Runs before the printer's: a failure here still belongs to the test.
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        EXPECT_EQ(m_cBefore, OwnHandlesInUse()) << "handles the test left open";
    }
};

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new HandleCheck);
    return RUN_ALL_TESTS();
}
