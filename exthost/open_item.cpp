// exthost open: the client opening one item, in the order the client
// calls its extensions.
#include "host_commands.h"
#include "client_objects.h"
#include "box_answerer.h"
#include <mapitags.h>
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

// The extension object the client holds for the item, and the interfaces
// it got from it.
struct ItemExtension
{
    IExchExt* pExt = NULL;
    IExchExtMessageEvents* pMessageEvents = NULL;
    IOutlookExtItemEvents* pItemEvents = NULL;
    IExchExtPropertySheets* pSheets = NULL;
};

// How far the client got with the extension for the item.
enum Installation
{
    INSTALLED,      // installed, and asked for its interfaces
    NOT_INSTALLED,  // not loaded in this context, or it declined
    NO_EXTENSION    // the entry point gave no object
};

ULONG ItemContext(const HostOptions* pOptions)
{
    if (pOptions->eecontext != 0)
        return pOptions->eecontext;
    return pOptions->fCompose ? EECONTEXT_SENDNOTEMESSAGE : EECONTEXT_READNOTEMESSAGE;
}

void PrintItem(const HostOptions* pOptions, ULONG eecontext)
{
    if (pOptions->fCompose)
    {
        printf("open: a new message, without a sender, context %lu\n", eecontext);
        return;
    }
    printf("open: item from %s, entry identifier %s, context %lu\n", pOptions->szFrom, pOptions->szEntryId,
           eecontext);
    if (pOptions->szAddrType != NULL)
        printf("  the sender's address type is %s\n", pOptions->szAddrType);
    if (pOptions->szSmtp != NULL)
        printf("  the message keeps the sender's SMTP address %s\n", pOptions->szSmtp);
    if (pOptions->szBookSmtp != NULL)
        printf("  the sender's address-book entry answers the SMTP address %s\n", pOptions->szBookSmtp);
}

std::wstring Widened(const char* sz)
{
    std::wstring wide(lstrlenA(sz) + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, sz, -1, &wide[0], (int)wide.size()) - 1);
    return wide;
}

// The sender's address type and SMTP address, on the message or in the
// address book's entry for the sender, which the message names.
void DescribeSender(const HostOptions* pOptions, OpenedItem* pItem)
{
    if (pOptions->szAddrType != NULL)
        pItem->message.SetText(PROP_ID(PR_SENDER_ADDRTYPE), Widened(pOptions->szAddrType));
    if (pOptions->szSmtp != NULL)
        pItem->message.SetText(0x5D01, Widened(pOptions->szSmtp));
    if (pOptions->szBookSmtp != NULL)
    {
        // Four flag bytes, then the directory address.
        std::string from = pOptions->szFrom;
        std::vector<BYTE> id(4 + from.size(), 0x00);
        CopyMemory(&id[4], from.data(), from.size());
        ClientMailUser* pEntry = pItem->addrBook.AddEntry(id, {});
        pEntry->SetText(PROP_ID(PR_ADDRTYPE), Widened(pOptions->szAddrType != NULL ? pOptions->szAddrType : "EX"));
        pEntry->SetText(PROP_ID(PR_EMAIL_ADDRESS), Widened(pOptions->szFrom));
        pEntry->SetText(0x39FE, Widened(pOptions->szBookSmtp));
        pItem->message.m_props.push_back(MessageProp::Bin(PR_SENDER_ENTRYID, id));
    }
}

// Gets an extension object for the context, installs it and asks it for
// the interfaces the client uses, as the client does.
Installation InstallExtension(LoadedExtension* pLoaded, OpenedItem* pItem, ULONG eecontext, ULONG ulBuildVersion,
                              ItemExtension* pExtension)
{
    HRESULT hr;

    if (!ContextInMap(pLoaded, eecontext))
    {
        printf("  context %lu is not in the context map %s: the extension is not loaded\n", eecontext,
               pLoaded->szContextMap);
        return NOT_INSTALLED;
    }
    pExtension->pExt = pLoaded->pfnEntryPoint();
    if (pExtension->pExt == NULL)
    {
        printf("  ExchEntryPoint -> NULL\n");
        return NO_EXTENSION;
    }
    hr = pExtension->pExt->Install(&pItem->callback, eecontext, 0);
    printf("  Install(context %lu, build version 0x%08lX) -> %s\n", eecontext, ulBuildVersion, ResultName(hr));
    if (hr != S_OK)
        return NOT_INSTALLED;
    pExtension->pMessageEvents =
        Ask<IExchExtMessageEvents>(pExtension->pExt, IID_IExchExtMessageEvents, "IExchExtMessageEvents");
    pExtension->pItemEvents =
        Ask<IOutlookExtItemEvents>(pExtension->pExt, IID_IOutlookExtItemEvents, "IOutlookExtItemEvents");
    pExtension->pSheets =
        Ask<IExchExtPropertySheets>(pExtension->pExt, IID_IExchExtPropertySheets, "IExchExtPropertySheets");
    fflush(stdout);
    return INSTALLED;
}

// OnOpen and OnOpenComplete, the boxes between them answered with idButton
// where they ask (0: by the user). Returns what OnOpen answered.
HRESULT OpenWithExtension(const ItemExtension* pExtension, OpenedItem* pItem, int idButton)
{
    HRESULT hrOpen;
    ULONG ulFlags;

    if (pExtension->pItemEvents == NULL)
        return S_FALSE;
    if (idButton != 0)
    {
        pAnswerer = new (std::nothrow) BoxAnswerer();
        idAnswer = idButton;
        if (pAnswerer != NULL)
            AnswerNextBox(pItem->hwndClient);
    }
    hrOpen = pExtension->pItemEvents->OnOpen(&pItem->callback);
    delete pAnswerer;
    pAnswerer = NULL;
    printf("  OnOpen -> %s\n", ResultName(hrOpen));
    // As OnRead is followed by OnReadComplete; EEME_FAILED when the
    // opening stopped.
    ulFlags = FAILED(hrOpen) ? EEME_FAILED : 0;
    printf("  OnOpenComplete(%s) -> %s\n", ulFlags != 0 ? "EEME_FAILED" : "0",
           ResultName(pExtension->pItemEvents->OnOpenComplete(&pItem->callback, ulFlags)));
    return hrOpen;
}

// Opens the item or not, as hrOpen says; an opened item is read, shown and
// closed.
void ShowItem(const ItemExtension* pExtension, OpenedItem* pItem, HRESULT hrOpen)
{
    LPEXCHEXTCALLBACK pCallback = &pItem->callback;

    // Any error from an event method stops the user's action: E_ABORT, and
    // every failure code alike.
    if (FAILED(hrOpen))
    {
        printf("  the client does NOT open the item: %s stopped it\n", ResultName(hrOpen));
        return;
    }
    printf("  the client opens the item\n");
    if (pExtension->pMessageEvents != NULL)
    {
        printf("  OnRead -> %s\n", ResultName(pExtension->pMessageEvents->OnRead(pCallback)));
        printf("  OnReadComplete -> %s\n", ResultName(pExtension->pMessageEvents->OnReadComplete(pCallback, 0)));
    }
    if (pExtension->pItemEvents != NULL)
    {
        printf("  OnClose -> %s\n", ResultName(pExtension->pItemEvents->OnClose(pCallback, 0)));
        printf("  OnCloseComplete -> %s\n", ResultName(pExtension->pItemEvents->OnCloseComplete(pCallback, 0)));
    }
}

// Releases the interfaces, then the extension object, and checks that the
// extension gave back every reference to the item, and every one to the
// address book and its entries that it took after cBookRefs (Install
// keeps the book's). Returns false when it kept one.
bool ReleaseExtension(ItemExtension* pExtension, const OpenedItem* pItem, LONG cBookRefs)
{
    if (pExtension->pItemEvents != NULL)
        printf("  release IOutlookExtItemEvents -> %lu\n", pExtension->pItemEvents->Release());
    if (pExtension->pMessageEvents != NULL)
        printf("  release IExchExtMessageEvents -> %lu\n", pExtension->pMessageEvents->Release());
    if (pExtension->pSheets != NULL)
        printf("  release IExchExtPropertySheets -> %lu\n", pExtension->pSheets->Release());
    if (pExtension->pExt != NULL)
        printf("  release IExchExt -> %lu\n", pExtension->pExt->Release());
    if (pItem->store.m_cRef != 1 || pItem->message.m_cRef != 1 || pItem->callback.m_cRef != 1 ||
        pItem->addrBook.m_cRef != cBookRefs || !pItem->addrBook.EntriesReleased())
    {
        printf("  the extension kept references: store %ld, message %ld, callback %ld, address book %ld%s\n",
               pItem->store.m_cRef - 1, pItem->message.m_cRef - 1, pItem->callback.m_cRef - 1,
               pItem->addrBook.m_cRef - cBookRefs, pItem->addrBook.EntriesReleased() ? "" : ", an entry");
        return false;
    }
    printf("  every reference the client handed out came back\n");
    return true;
}

}  // namespace

int OpenItem(LoadedExtension* pLoaded, const HostOptions* pOptions)
{
    std::vector<BYTE> entryId;
    ItemExtension extension;
    ULONG eecontext = ItemContext(pOptions);
    int rc = 0;

    if (!ParseHex(pOptions->szEntryId, &entryId))
    {
        fprintf(stderr, "exthost: --entryid wants hexadecimal digits in pairs\n");
        return 2;
    }
    // A new message has no sender until it is sent.
    OpenedItem item(pOptions->fCompose ? "" : pOptions->szFrom, entryId);
    LONG cBookRefs = item.addrBook.m_cRef;
    item.callback.m_ulVersion = pOptions->ulBuildVersion;
    if (!pOptions->fCompose)
        DescribeSender(pOptions, &item);
    PrintItem(pOptions, eecontext);
    switch (InstallExtension(pLoaded, &item, eecontext, pOptions->ulBuildVersion, &extension))
    {
    case INSTALLED:
        // The address book's reference Install took stays with the module.
        cBookRefs = item.addrBook.m_cRef;
        ShowItem(&extension, &item, OpenWithExtension(&extension, &item, pOptions->idAnswer));
        break;
    case NOT_INSTALLED:
        ShowItem(&extension, &item, S_FALSE);
        break;
    default:
        rc = 1;
        break;
    }
    if (!ReleaseExtension(&extension, &item, cBookRefs))
        rc = 1;
    fflush(stdout);
    return rc;
}
