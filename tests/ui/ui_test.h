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

    // Box i: its text, icon and owner, with the caption and the one OK
    // button of the extension's boxes.
    void ExpectBox(size_t i, const std::string& text, const char* icon, HWND owner)
    {
        ASSERT_LT(i, answerer.boxes.size());
        EXPECT_EQ(text, answerer.boxes[i].text);
        EXPECT_EQ("Message Handling", answerer.boxes[i].caption);
        EXPECT_EQ("OK", answerer.boxes[i].buttons);
        EXPECT_EQ(icon, answerer.boxes[i].icon);
        EXPECT_EQ(owner, answerer.boxes[i].owner);
    }

    BoxAnswerer answerer;
    DialogDriver driver;
    std::unique_ptr<OptionsSheet> sheet;
};

#endif
