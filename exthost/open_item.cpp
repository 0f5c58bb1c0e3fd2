// exthost open: the client opening one item, in the order the client
// calls its extensions.
#include "host_commands.h"
#include "host_doubles.h"
#include "box_answerer.h"
#include <new>
#include <stdio.h>
#include <stdlib.h>

namespace {

BoxAnswerer* pAnswerer = NULL;
int idAnswer = 0;

void PrintIndented(const char* szLabel, const std::string& text)
{
    printf("    %-8s", szLabel);
    for (char ch : text)
    {
        putchar(ch);
        if (ch == '\n')
            printf("            ");
    }
    putchar('\n');
}

// Prints each box as it comes up and presses the scripted answer: Yes or
// No where the box asks, OK where it only tells.
void AnswerNextBox(HWND hwndHost)
{
    pAnswerer->WhileShown([hwndHost]() {
        const BoxSeen& box = pAnswerer->boxes.back();
        bool fAsks = box.buttons.find("No") != std::string::npos;
        int id = fAsks ? idAnswer : IDOK;
        printf("  message box\n");
        PrintIndented("caption", box.caption);
        PrintIndented("text", box.text);
        PrintIndented("buttons", box.buttons);
        PrintIndented("icon", box.icon);
        PrintIndented("owner", box.owner == hwndHost ? "the client's window" : (box.owner ? "another window" : "none"));
        PrintIndented("answer", id == IDYES ? "Yes" : id == IDNO ? "No" : "OK");
        fflush(stdout);
        pAnswerer->Answer(id);
        AnswerNextBox(hwndHost);
    });
}

bool ParseHex(const char* sz, std::vector<BYTE>* pBytes)
{
    pBytes->clear();
    for (int i = 0; sz[i] != '\0'; i += 2)
    {
        char szByte[3] = {sz[i], sz[i + 1], '\0'};
        char* pEnd = NULL;
        if (sz[i + 1] == '\0')
            return false;
        unsigned long ul = strtoul(szByte, &pEnd, 16);
        if (*pEnd != '\0')
            return false;
        pBytes->push_back((BYTE)ul);
    }
    return true;
}

// QueryInterface as the client asks, printing what came back.
template <class T>
T* Ask(IExchExt* pExt, REFIID riid, const char* szName)
{
    void* pv = NULL;
    HRESULT hr = pExt->QueryInterface(riid, &pv);
    printf("  QueryInterface(%s) -> %s\n", szName, ResultName(hr));
    return SUCCEEDED(hr) ? (T*)pv : NULL;
}

}  // namespace

int OpenItem(LoadedExtension* pLoaded, const HostOptions* pOptions)
{
    FakeMsgStore store;
    FakeMessage message;
    FakeCallback callback;
    std::vector<BYTE> entryId;
    ULONG eecontext = pOptions->eecontext != 0   ? pOptions->eecontext
                      : pOptions->fCompose ? EECONTEXT_SENDNOTEMESSAGE
                                           : EECONTEXT_READNOTEMESSAGE;
    IExchExt* pExt = NULL;
    IExchExtMessageEvents* pMessageEvents = NULL;
    IOutlookExtItemEvents* pItemEvents = NULL;
    IExchExtPropertySheets* pSheets = NULL;
    HRESULT hrOpen = S_FALSE;
    HWND hwndHost = NULL;
    int rc = 0;

    if (!ParseHex(pOptions->szEntryId, &entryId))
    {
        fprintf(stderr, "exthost: --entryid wants hexadecimal digits in pairs\n");
        return 2;
    }
    // A new message has no sender until it is sent.
    if (!pOptions->fCompose)
        message.SetSender(pOptions->szFrom);
    message.SetEntryId(entryId);
    hwndHost = CreateWindowA("STATIC", "exthost", WS_POPUP, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    callback.m_hwnd = hwndHost;
    callback.m_pStore = &store;
    callback.m_pMessage = &message;
    callback.m_ulVersion = pOptions->ulBuildVersion;

    if (pOptions->fCompose)
        printf("open: a new message, without a sender, context %lu\n", eecontext);
    else
        printf("open: item from %s, entry identifier %s, context %lu\n", pOptions->szFrom, pOptions->szEntryId,
               eecontext);
    if (!ContextInMap(pLoaded, eecontext))
    {
        printf("  context %lu is not in the context map %s: the extension is not loaded\n", eecontext,
               pLoaded->szContextMap);
        goto Opened;
    }

    pExt = pLoaded->pfnEntryPoint();
    if (pExt == NULL)
    {
        printf("  ExchEntryPoint -> NULL\n");
        rc = 1;
        goto Cleanup;
    }
    {
        HRESULT hr = pExt->Install(&callback, eecontext, 0);
        printf("  Install(context %lu, build version 0x%08lX) -> %s\n", eecontext, pOptions->ulBuildVersion,
               ResultName(hr));
        if (hr != S_OK)
            goto Opened;
    }
    pMessageEvents = Ask<IExchExtMessageEvents>(pExt, IID_IExchExtMessageEvents, "IExchExtMessageEvents");
    pItemEvents = Ask<IOutlookExtItemEvents>(pExt, IID_IOutlookExtItemEvents, "IOutlookExtItemEvents");
    pSheets = Ask<IExchExtPropertySheets>(pExt, IID_IExchExtPropertySheets, "IExchExtPropertySheets");
    fflush(stdout);

    if (pItemEvents != NULL)
    {
        if (pOptions->idAnswer != 0)
        {
            pAnswerer = new (std::nothrow) BoxAnswerer();
            idAnswer = pOptions->idAnswer;
            if (pAnswerer != NULL)
                AnswerNextBox(hwndHost);
        }
        hrOpen = pItemEvents->OnOpen(&callback);
        delete pAnswerer;
        pAnswerer = NULL;
        printf("  OnOpen -> %s\n", ResultName(hrOpen));
        // As OnRead is followed by OnReadComplete; EEME_FAILED when the
        // opening stopped.
        ULONG ulFlags = FAILED(hrOpen) ? EEME_FAILED : 0;
        printf("  OnOpenComplete(%s) -> %s\n", ulFlags != 0 ? "EEME_FAILED" : "0",
               ResultName(pItemEvents->OnOpenComplete(&callback, ulFlags)));
    }

Opened:
    // Any error from an event method stops the user's action: E_ABORT, and
    // every failure code alike.
    if (FAILED(hrOpen))
        printf("  the client does NOT open the item: %s stopped it\n", ResultName(hrOpen));
    else
        printf("  the client opens the item\n");
    if (SUCCEEDED(hrOpen))
    {
        // The item is read and shown, then closed.
        if (pMessageEvents != NULL)
        {
            printf("  OnRead -> %s\n", ResultName(pMessageEvents->OnRead(&callback)));
            printf("  OnReadComplete -> %s\n", ResultName(pMessageEvents->OnReadComplete(&callback, 0)));
        }
        if (pItemEvents != NULL)
        {
            printf("  OnClose -> %s\n", ResultName(pItemEvents->OnClose(&callback, 0)));
            printf("  OnCloseComplete -> %s\n", ResultName(pItemEvents->OnCloseComplete(&callback, 0)));
        }
    }

Cleanup:
    // Interfaces first, then the extension object.
    if (pItemEvents != NULL)
        printf("  release IOutlookExtItemEvents -> %lu\n", pItemEvents->Release());
    if (pMessageEvents != NULL)
        printf("  release IExchExtMessageEvents -> %lu\n", pMessageEvents->Release());
    if (pSheets != NULL)
        printf("  release IExchExtPropertySheets -> %lu\n", pSheets->Release());
    if (pExt != NULL)
        printf("  release IExchExt -> %lu\n", pExt->Release());
    if (store.m_cRef != 1 || message.m_cRef != 1 || callback.m_cRef != 1)
    {
        printf("  the extension kept references: store %ld, message %ld, callback %ld\n", store.m_cRef - 1,
               message.m_cRef - 1, callback.m_cRef - 1);
        rc = 1;
    }
    else
        printf("  every reference the client handed out came back\n");
    if (hwndHost != NULL)
        DestroyWindow(hwndHost);
    fflush(stdout);
    return rc;
}
