// The sender of a message under check, and Exchange senders' SMTP
// addresses.
#include "sender_address.h"
#include "prop_readers.h"
#include "same_text.h"
#include <mapiutil.h>
#include <mapitags.h>

HRESULT ReadSender(LPMAPIPROP lpMessage, LPSENDER lpSender)
{
    LPWSTR lpszType = NULL;
    HRESULT hr = GetPropText(lpMessage, PROP_ID(PR_SENDER_EMAIL_ADDRESS), &lpSender->lpszAddress);

    if (FAILED(hr))
        return hr;
    // Any other type (SMTP and the rest) is compared by its address alone:
    // an SMTP address beside it is not read.
    if (SUCCEEDED(GetPropText(lpMessage, PROP_ID(PR_SENDER_ADDRTYPE), &lpszType)))
        lpSender->fExchange = SameText(lpszType, L"EX");
    MAPIFreeBuffer(lpszType);
    if (lpSender->fExchange &&
        FAILED(GetPropText(lpMessage, PROP_ID_SENDER_SMTP_ADDRESS, &lpSender->lpszSmtpAddress)))
        lpSender->lpszSmtpAddress = NULL;
    return S_OK;
}

HRESULT GetEntrySmtpAddress(LPADRBOOK lpAdrBook, ULONG cbEntryId, LPENTRYID lpEntryId, LPWSTR* lppszSmtp)
{
    LPUNKNOWN lpEntry = NULL;
    ULONG ulObjType = 0;
    HRESULT hr;

    *lppszSmtp = NULL;
    if (lpAdrBook == NULL || lpEntryId == NULL)
        return E_INVALIDARG;
    hr = lpAdrBook->OpenEntry(cbEntryId, lpEntryId, NULL, 0, &ulObjType, &lpEntry);
    if (FAILED(hr) || lpEntry == NULL)
    {
        lpEntry = NULL;
        hr = FAILED(hr) ? hr : E_FAIL;
        goto Cleanup;
    }
    // A mail user only: what it opens to is then an IMailUser, and so an
    // IMAPIProp.
    if (ulObjType != MAPI_MAILUSER)
    {
        hr = MAPI_E_NOT_FOUND;
        goto Cleanup;
    }
    hr = GetPropText((LPMAPIPROP)lpEntry, PROP_ID_SMTP_ADDRESS, lppszSmtp);

Cleanup:
    UlRelease(lpEntry);
    return hr;
}

HRESULT LookUpSenderSmtpAddress(IExchExtCallback* lpeecb, LPMAPIPROP lpMessage, LPSENDER lpSender)
{
    LPMAPISESSION lpSession = NULL;
    LPADRBOOK lpAdrBook = NULL;
    LPENTRYID lpEntryId = NULL;
    LPWSTR lpszSmtp = NULL;
    ULONG cbEntryId = 0;
    HRESULT hr = E_INVALIDARG;

    if (lpeecb == NULL || !lpSender->fExchange || lpSender->lpszSmtpAddress != NULL)
        return hr;
    hr = GetPropBinary(lpMessage, PR_SENDER_ENTRYID, &cbEntryId, (void**)&lpEntryId);
    if (FAILED(hr))
        goto Cleanup;
    hr = lpeecb->GetSession(&lpSession, &lpAdrBook);
    if (FAILED(hr))
    {
        // A failing call's outputs are not references of ours.
        lpSession = NULL;
        lpAdrBook = NULL;
        goto Cleanup;
    }
    hr = GetEntrySmtpAddress(lpAdrBook, cbEntryId, lpEntryId, &lpszSmtp);
    if (SUCCEEDED(hr))
    {
        lpSender->lpszSmtpAddress = lpszSmtp;
        lpszSmtp = NULL;
    }

Cleanup:
    MAPIFreeBuffer(lpszSmtp);
    MAPIFreeBuffer(lpEntryId);
    UlRelease(lpAdrBook);
    UlRelease(lpSession);
    return hr;
}

void FreeSender(LPSENDER lpSender)
{
    MAPIFreeBuffer(lpSender->lpszAddress);
    MAPIFreeBuffer(lpSender->lpszSmtpAddress);
    lpSender->lpszAddress = NULL;
    lpSender->lpszSmtpAddress = NULL;
}
