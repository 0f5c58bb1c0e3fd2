// Fixture of the dialog tests: an empty store, the record as at load, the
// module's handles pointing at this program (which holds the templates),
// and the options sheet with the handlers page in front. Boxes and dialogs
// are answered by the answerer and the driver.
#ifndef QUORBIT_TEST_UI_TEST_H
#define QUORBIT_TEST_UI_TEST_H

#include <gtest/gtest.h>
#include "box_answerer.h"
#include "dialog_driver.h"
#include "host_handles.h"
#include "options_sheet.h"
#include "test_registry.h"
#include <memory>

#define DEFINITION_CAPTION "Message Handler Definition"

class UiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetStore();
        ResetRecord();
        ghInstDLL = GetModuleHandleA(NULL);
        lpAdrbook = NULL;
    }
    void TearDown() override
    {
        sheet.reset();
        EXPECT_TRUE(driver.AllStepsRan()) << "a dialog the test expected never appeared";
        EXPECT_TRUE(driver.unexpected.empty()) << "unexpected dialog: " << driver.unexpected[0];
        EXPECT_TRUE(driver.leftOpen.empty()) << "dialog left open: " << driver.leftOpen[0];
        lpAdrbook = NULL;
        ResetStore();
    }
    // Opens the options dialog; the page fills its list as it comes to front.
    OptionsSheet& Sheet()
    {
        if (!sheet)
            driver.Unwatched([&] { sheet.reset(new OptionsSheet()); });
        return *sheet;
    }

    BoxAnswerer answerer;
    DialogDriver driver;
    std::unique_ptr<OptionsSheet> sheet;
};

#endif
