// Fixture of the dialog tests: an empty store, the page's last loaded
// handler as at load, the
// module's handles pointing at this program (which holds the templates),
// and the options sheet with the handlers page in front. Boxes and dialogs
// are answered by the answerer and the driver.
#ifndef QUORBIT_TEST_UI_TEST_H
#define QUORBIT_TEST_UI_TEST_H

#include <gtest/gtest.h>
#include "box_answerer.h"
#include "dialog_driver.h"
#include "host_handles.h"
#include "message_handlers_page.h"
#include "options_sheet.h"
#include "played_system.h"
#include "resource.h"
#include "test_registry.h"
#include <algorithm>
#include <memory>

#define DEFINITION_CAPTION "Message Handler Definition"

// What the definition dialog shows.
struct Shown
{
    std::string name, sender, program;
    bool prevent, confirm, debug;
};

inline bool operator==(const Shown& a, const Shown& b)
{
    return a.name == b.name && a.sender == b.sender && a.program == b.program && a.prevent == b.prevent &&
           a.confirm == b.confirm && a.debug == b.debug;
}

inline void PrintTo(const Shown& v, std::ostream* os)
{
    *os << "{\"" << v.name << "\", \"" << v.sender << "\", \"" << v.program << "\", prevent " << v.prevent
        << ", confirm " << v.confirm << ", debug " << v.debug << "}";
}

inline Shown Read(HWND hDlg)
{
    return Shown{ItemText(hDlg, IDC_HANDLER_NAME), ItemText(hDlg, IDC_SENDER_EMAIL_ADDRESS),
                 ItemText(hDlg, IDC_FILE_PATH), IsChecked(hDlg, IDC_PREVENT_OPEN),
                 IsChecked(hDlg, IDC_CONFIRM_DIALOG), IsChecked(hDlg, IDC_DEBUG)};
}

// The page's handler as the module loaded it.
static const HANDLER lastLoadedAtLoad = [] {
    HANDLER handler;
    GetLastLoadedHandler(&handler);
    return handler;
}();

class UiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetStore();
        RememberLoadedHandler(&lastLoadedAtLoad);
        ghInstDLL = GetModuleHandleA(NULL);
        lpAdrbook = NULL;
    }
    void TearDown() override
    {
        sheet.reset();
        driver.ExpectScriptRan();
        lpAdrbook = NULL;
        ResetStore();
    }
    // Opens the options dialog; the page fills its list as it comes to front.
    OptionsSheet& Sheet()
    {
        if (!sheet)
        {
            PROPSHEETPAGEA page = {};
            DescribeHandlersPage(&page);
            driver.Unwatched([&] { sheet.reset(new OptionsSheet(&page, 1)); });
        }
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

    // Selects the listed handler name on the page.
    void Choose(const std::string& name)
    {
        std::vector<std::string> listed = Sheet().Listed();
        Sheet().Select((int)(std::find(listed.begin(), listed.end(), name) - listed.begin()));
    }
    // What the definition dialog shows when the page's button idButton
    // opens it (on the handler name, when given), ended with idEnd.
    Shown ShownBy(int idButton, const std::string& name = "", int idEnd = IDC_DEFINITION_CANCEL)
    {
        Shown shown{"<not shown>", "", "", false, false, false};
        driver.When(DEFINITION_CAPTION, [&](HWND hDlg) {
            shown = Read(hDlg);
            Click(hDlg, idEnd);
        });
        if (!name.empty())
            Choose(name);
        Sheet().ClickPage(idButton);
        return shown;
    }

    PlayedSystem system;
    BoxAnswerer answerer;
    DialogDriver driver;
    std::unique_ptr<OptionsSheet> sheet;
};

#endif
