// The message events and the item events, through the DLL, with the real
// registry and the recorder program standing in for a handler.
#include "quorbit_dll.h"
#include "client_objects.h"
#include "box_answerer.h"
#include "recorder_client.h"
#include "test_registry.h"
#include <gtest/gtest.h>
#include <mapicode.h>

namespace {

const char SENDER[] = "orders@example.com";

class Events : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetStore();
        m_pExt = InstalledExtension(EECONTEXT_READNOTEMESSAGE);
        ASSERT_NE(m_pExt, nullptr);
        m_pItemEvents = (IOutlookExtItemEvents*)Ask(m_pExt, IID_IOutlookExtItemEvents);
        m_pMessageEvents = (IExchExtMessageEvents*)Ask(m_pExt, IID_IExchExtMessageEvents);
        ASSERT_NE(m_pItemEvents, nullptr);
        ASSERT_NE(m_pMessageEvents, nullptr);
        m_recording = PrepareRecording();
    }
    void TearDown() override
    {
        if (m_pItemEvents)
            m_pItemEvents->Release();
        if (m_pMessageEvents)
            m_pMessageEvents->Release();
        if (m_pExt)
            m_pExt->Release();
        ResetStore();
        // Everything the client handed out came back.
        EXPECT_EQ(m_store.m_cRef, 1);
        EXPECT_EQ(m_message.m_cRef, 1);
        EXPECT_EQ(m_callback.m_cRef, 1);
    }
    std::string Program()
    {
        return "\"" + RecorderPath() + "\"";
    }
    std::string ExpectedCommandLine()
    {
        return Program() + " \"MessageID\" \"001FA0\"";
    }
    bool Recorded(std::string* pCmdLine, int timeoutMs = 15000)
    {
        return WaitForRecording(m_recording, pCmdLine, timeoutMs);
    }

    // A message without a sender until a test gives it one.
    OpenedItem m_item{""};
    ClientCallback& m_callback = m_item.callback;
    ClientMsgStore& m_store = m_item.store;
    ClientMessage& m_message = m_item.message;
    HWND m_hwnd = m_item.hwndClient;
    LPEXCHEXT m_pExt = nullptr;
    IOutlookExtItemEvents* m_pItemEvents = nullptr;
    IExchExtMessageEvents* m_pMessageEvents = nullptr;
    std::string m_recording;
};

struct OpenCase
{
    const char* name;
    const char* sender;     // of the opened message
    DWORD confirm, prevent;
    int answer;             // button pressed in the confirmation box
    HRESULT hrExpected;
    bool fAsked;
    bool fStarted;
};

const OpenCase openCases[] = {
    {"ConfirmedAndPrevented", SENDER, 1, 1, IDYES, E_ABORT, true, true},
    {"DeclinedOpensTheItem", SENDER, 1, 1, IDNO, S_FALSE, true, false},
    {"ConfirmedAndOpened", SENDER, 1, 0, IDYES, S_FALSE, true, true},
    {"UnaskedAndPrevented", SENDER, 0, 1, 0, E_ABORT, false, true},
    {"UnaskedAndOpened", SENDER, 0, 0, 0, S_FALSE, false, true},
    {"SenderMatchesWithoutRegardToCase", "ORDERS@Example.COM", 0, 1, 0, E_ABORT, false, true},
    {"OtherSenderIsLeftAlone", "someone@example.com", 1, 1, IDYES, S_FALSE, false, false},
};

class OnOpen : public Events, public ::testing::WithParamInterface<OpenCase>
{
};

TEST_P(OnOpen, RunsTheCheckAndHandsBackItsResult)
{
    const OpenCase& c = GetParam();
    StoreHandler("Orders", SENDER, Program(), c.confirm, c.prevent, 0);
    m_message.SetSender(c.sender);
    BoxAnswerer answerer;
    if (c.answer != 0)
        answerer.Answer(c.answer);

    EXPECT_EQ(m_pItemEvents->OnOpen(&m_callback), c.hrExpected);

    if (c.fAsked)
    {
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].caption, "Message Handling");
        EXPECT_EQ(answerer.boxes[0].text, "Do you want to process this document?");
        EXPECT_EQ(answerer.boxes[0].buttons, "Yes|No");
        EXPECT_EQ(answerer.boxes[0].icon, "none");
        EXPECT_EQ(answerer.boxes[0].owner, m_hwnd);
    }
    else
        EXPECT_TRUE(answerer.boxes.empty());

    std::string cmdLine;
    if (c.fStarted)
    {
        ASSERT_TRUE(Recorded(&cmdLine));
        EXPECT_EQ(cmdLine, ExpectedCommandLine());
    }
    else
        EXPECT_FALSE(Recorded(&cmdLine, 1500)) << cmdLine;
    EXPECT_EQ(m_callback.m_cGetObject, 1);
}

INSTANTIATE_TEST_SUITE_P(Handlers, OnOpen, ::testing::ValuesIn(openCases),
                         [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

// The client stops the user's action at any error from OnOpen, without a
// word: only a handler's PreventOpen may keep an item closed. Whatever else
// goes wrong, the item opens.
TEST_F(Events, OnOpenLetsTheItemOpenWhateverGoesWrong)
{
    StoreHandler("Orders", SENDER, Program(), 0, 1, 0);
    BoxAnswerer answerer;

    // A new message, a reply, a forward: no sender yet.
    for (ULONG eecontext : {EECONTEXT_SENDNOTEMESSAGE, EECONTEXT_SENDPOSTMESSAGE, EECONTEXT_SENDRESENDMESSAGE})
    {
        LPEXCHEXT pExt = InstalledExtension(eecontext);
        ASSERT_NE(pExt, nullptr);
        IOutlookExtItemEvents* pItemEvents = (IOutlookExtItemEvents*)Ask(pExt, IID_IOutlookExtItemEvents);
        ASSERT_NE(pItemEvents, nullptr);
        EXPECT_EQ(pItemEvents->OnOpen(&m_callback), S_FALSE) << eecontext;
        pItemEvents->Release();
        pExt->Release();
    }
    // A received item without a sender, and one whose sender cannot be read.
    EXPECT_EQ(m_pItemEvents->OnOpen(&m_callback), S_FALSE);
    m_message.SetSender(SENDER);
    m_message.m_hrGetProps = MAPI_E_NO_ACCESS;
    EXPECT_EQ(m_pItemEvents->OnOpen(&m_callback), S_FALSE);
    // Handlers that cannot be searched.
    m_message.m_hrGetProps = S_OK;
    SetStoreUnreadable();
    EXPECT_EQ(m_pItemEvents->OnOpen(&m_callback), S_FALSE);
    EXPECT_TRUE(answerer.boxes.empty());

    // The client cannot give the item: the check's own report, then the item opens.
    m_callback.m_hrGetObject = E_FAIL;
    EXPECT_EQ(m_pItemEvents->OnOpen(&m_callback), S_FALSE);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text,
              "Error 80004005 in Message Handling\nAn error occured while getting a pointer to the message.");
    EXPECT_EQ(answerer.boxes[0].owner, m_hwnd);
    std::string cmdLine;
    EXPECT_FALSE(Recorded(&cmdLine, 1000));
}

// The client lets go of everything while the question is on the screen:
// the check finishes, its answer still reaches the client, and nothing
// freed is touched.
TEST_F(Events, ClientReleasesEverythingDuringTheQuestion)
{
    StoreHandler("Orders", SENDER, Program(), 1, 1, 0);
    m_message.SetSender(SENDER);
    BoxAnswerer answerer;
    answerer.Answer(IDYES);
    IOutlookExtItemEvents* pItemEvents = m_pItemEvents;
    answerer.WhileShown([this]() {
        EXPECT_EQ(m_pMessageEvents->Release(), 0u);
        EXPECT_EQ(m_pExt->Release(), 0u);
        m_pMessageEvents = nullptr;
        m_pExt = nullptr;
        // New objects take whatever memory was given back.
        for (int i = 0; i < 8; i++)
            InstalledExtension(EECONTEXT_READNOTEMESSAGE)->Release();
    });

    EXPECT_EQ(pItemEvents->OnOpen(&m_callback), E_ABORT);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    std::string cmdLine;
    EXPECT_TRUE(Recorded(&cmdLine));
    // The client still held the item events: they answer, then go.
    EXPECT_EQ(pItemEvents->OnClose(&m_callback, 0), S_FALSE);
    EXPECT_EQ(pItemEvents->Release(), 0u);
    m_pItemEvents = nullptr;
}

// Reading a message never runs the check, even for a handled sender.
TEST_F(Events, OnReadDoesNothingForAMatchingSender)
{
    StoreHandler("Orders", SENDER, Program(), 1, 1, 1);
    m_message.SetSender(SENDER);
    BoxAnswerer answerer;

    EXPECT_EQ(m_pMessageEvents->OnRead(&m_callback), S_FALSE);
    EXPECT_EQ(m_pMessageEvents->OnReadComplete(&m_callback, 0), S_FALSE);

    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_EQ(m_callback.m_cGetObject, 0);
    EXPECT_EQ(m_callback.m_cGetWindow, 0);
    EXPECT_EQ(m_message.m_cGetProps, 0);
    std::string cmdLine;
    EXPECT_FALSE(Recorded(&cmdLine, 1500)) << cmdLine;
}

TEST_F(Events, EveryOtherEventAnswersNotHandled)
{
    StoreHandler("Orders", SENDER, Program(), 1, 1, 1);
    m_message.SetSender(SENDER);
    BoxAnswerer answerer;
    const ULONG flags[] = {0, 1, 0xFFFFFFFF};
    for (ULONG ulFlags : flags)
    {
        EXPECT_EQ(m_pMessageEvents->OnWrite(&m_callback), S_FALSE);
        EXPECT_EQ(m_pMessageEvents->OnWriteComplete(&m_callback, ulFlags), S_FALSE);
        EXPECT_EQ(m_pMessageEvents->OnCheckNames(&m_callback), S_FALSE);
        EXPECT_EQ(m_pMessageEvents->OnCheckNamesComplete(&m_callback, ulFlags), S_FALSE);
        EXPECT_EQ(m_pMessageEvents->OnSubmit(&m_callback), S_FALSE);
        m_pMessageEvents->OnSubmitComplete(&m_callback, ulFlags);
        EXPECT_EQ(m_pItemEvents->OnOpenComplete(&m_callback, ulFlags), S_FALSE);
        EXPECT_EQ(m_pItemEvents->OnClose(&m_callback, ulFlags), S_FALSE);
        EXPECT_EQ(m_pItemEvents->OnCloseComplete(&m_callback, ulFlags), S_FALSE);
    }
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_EQ(m_callback.m_cGetObject + m_callback.m_cGetWindow + m_callback.m_cGetSession, 0);
    std::string cmdLine;
    EXPECT_FALSE(Recorded(&cmdLine, 1000)) << cmdLine;
}

}  // namespace
