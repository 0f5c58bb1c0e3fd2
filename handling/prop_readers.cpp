// Message property readers.
#include "prop_readers.h"
#include <mapix.h>
#include <mapiutil.h>
#include <mapicode.h>
#include "system_calls.h"

// A buffer of cb bytes of MAPI memory for the caller, from the allocator
// the system calls name.
static HRESULT AllocateResult(ULONG cb, void** ppv)
{
    return gSystemCalls.pfnMAPIAllocateBuffer != NULL ? gSystemCalls.pfnMAPIAllocateBuffer(cb, ppv)
                                                      : MAPIAllocateBuffer(cb, ppv);
}

// Asks the message for one property and sorts the outcome: S_OK with the
// value array (which the caller frees), MAPI_E_NOT_FOUND, or E_FAIL. A value
// of another tag than the one asked for (a store may answer a number where
// a string was asked) is as unreadable as a missing one: read as the type
// asked for, its bytes would be taken for a pointer.
static HRESULT GetOneProp(LPMAPIPROP pMessage, ULONG ulPropTag, LPSPropValue* lppValues)
{
    SizedSPropTagArray(1, sptTag) = {1, {ulPropTag}};
    ULONG cValues = 0;
    LPSPropValue lpValues = NULL;
    HRESULT hr;

    *lppValues = NULL;
    if (pMessage == NULL)
        return E_FAIL;

    hr = pMessage->GetProps((LPSPropTagArray)&sptTag, 0, &cValues, &lpValues);
    if (FAILED(hr) || lpValues == NULL)
    {
        // No array comes with a failure; whatever the pointer holds is not ours.
        lpValues = NULL;
        hr = E_FAIL;
    }
    else if (cValues == 0)
        hr = E_FAIL;
    else if (hr == MAPI_W_ERRORS_RETURNED || PROP_TYPE(lpValues[0].ulPropTag) == PT_ERROR)
    {
        // A value of type PT_ERROR says why the property is missing; it is
        // never read as the property itself.
        hr = lpValues[0].Value.err == (SCODE)MAPI_E_NOT_FOUND ? MAPI_E_NOT_FOUND : E_FAIL;
    }
    else if (lpValues[0].ulPropTag != ulPropTag)
        hr = E_FAIL;
    else
    {
        *lppValues = lpValues;
        lpValues = NULL;
        hr = S_OK;
    }
    MAPIFreeBuffer(lpValues);
    return hr;
}

HRESULT GetPropString(LPMAPIPROP pMessage, ULONG ulPropTag, ULONG* lpcbProp, void** lppvProp)
{
    LPSPropValue lpValues = NULL;
    ULONG cb;
    const void* pvText;
    HRESULT hr;

    *lpcbProp = 0;
    *lppvProp = NULL;
    if (PROP_TYPE(ulPropTag) != PT_STRING8 && PROP_TYPE(ulPropTag) != PT_UNICODE)
        return E_FAIL;

    hr = GetOneProp(pMessage, ulPropTag, &lpValues);
    if (FAILED(hr))
        goto Cleanup;

    if (PROP_TYPE(ulPropTag) == PT_STRING8)
    {
        pvText = lpValues[0].Value.lpszA;
        cb = (pvText != NULL ? lstrlenA(lpValues[0].Value.lpszA) : 0) + 1;
    }
    else
    {
        pvText = lpValues[0].Value.lpszW;
        cb = 2 * (pvText != NULL ? lstrlenW(lpValues[0].Value.lpszW) : 0) + 2;
    }

    if (FAILED(AllocateResult(cb, lppvProp)) || *lppvProp == NULL)
    {
        *lppvProp = NULL;
        hr = E_OUTOFMEMORY;
        goto Cleanup;
    }
    if (pvText != NULL)
        CopyMemory(*lppvProp, pvText, cb);
    else
        ZeroMemory(*lppvProp, cb);
    *lpcbProp = cb;
    hr = S_OK;

Cleanup:
    MAPIFreeBuffer(lpValues);
    return hr;
}

// A PT_BINARY property's bytes, whole: *lpcb receives their count, and
// *lppValues the value array they are in, which the caller frees.
static HRESULT GetBinaryValue(LPMAPIPROP pMessage, ULONG ulPropTag, ULONG* lpcb, LPSPropValue* lppValues)
{
    HRESULT hr;

    *lpcb = 0;
    if (PROP_TYPE(ulPropTag) != PT_BINARY)
        return E_FAIL;
    hr = GetOneProp(pMessage, ulPropTag, lppValues);
    if (FAILED(hr))
        return hr;
    *lpcb = (*lppValues)[0].Value.bin.cb;
    // Two digits a byte and the terminator must not wrap a size.
    return *lpcb > 0x3FFFFFF0 ? E_FAIL : S_OK;
}

HRESULT GetPropBinaryAsString(LPMAPIPROP pMessage, ULONG ulPropTag, ULONG* lpcbProp, void** lppvProp)
{
    LPSPropValue lpValues = NULL;
    void* pvText = NULL;
    ULONG cbBin;
    ULONG cb;
    HRESULT hr;

    *lpcbProp = 0;
    *lppvProp = NULL;
    hr = GetBinaryValue(pMessage, ulPropTag, &cbBin, &lpValues);
    if (FAILED(hr))
        goto Cleanup;
    cb = 2 * cbBin + 2;

    if (FAILED(AllocateResult(cb, &pvText)) || pvText == NULL)
    {
        hr = E_OUTOFMEMORY;
        goto Cleanup;
    }
    HexFromBin(lpValues[0].Value.bin.lpb, (int)cbBin, (LPTSTR)pvText);

    *lpcbProp = cb;
    *lppvProp = pvText;
    hr = S_OK;

Cleanup:
    MAPIFreeBuffer(lpValues);
    return hr;
}

HRESULT GetPropBinary(LPMAPIPROP pMessage, ULONG ulPropTag, ULONG* lpcbProp, void** lppvProp)
{
    LPSPropValue lpValues = NULL;
    void* pvBytes = NULL;
    ULONG cb;
    HRESULT hr;

    *lpcbProp = 0;
    *lppvProp = NULL;
    hr = GetBinaryValue(pMessage, ulPropTag, &cb, &lpValues);
    if (FAILED(hr))
        goto Cleanup;
    // One byte at least: MAPI memory of no bytes is no buffer.
    if (FAILED(AllocateResult(cb != 0 ? cb : 1, &pvBytes)) || pvBytes == NULL)
    {
        hr = E_OUTOFMEMORY;
        goto Cleanup;
    }
    if (cb != 0)
        CopyMemory(pvBytes, lpValues[0].Value.bin.lpb, cb);
    *lpcbProp = cb;
    *lppvProp = pvBytes;

Cleanup:
    MAPIFreeBuffer(lpValues);
    return hr;
}

HRESULT GetPropText(LPMAPIPROP pMessage, ULONG ulPropId, LPWSTR* lppszText)
{
    LPSTR lpszNarrow = NULL;
    ULONG cb = 0;
    int cch;
    HRESULT hr;

    hr = GetPropString(pMessage, PROP_TAG(PT_UNICODE, ulPropId), &cb, (void**)lppszText);
    if (SUCCEEDED(hr))
        return hr;
    hr = GetPropString(pMessage, PROP_TAG(PT_STRING8, ulPropId), &cb, (void**)&lpszNarrow);
    if (FAILED(hr))
        return hr;
    cch = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, lpszNarrow, -1, NULL, 0);
    if (cch == 0)
        hr = E_FAIL;
    else if (FAILED(AllocateResult(cch * sizeof(WCHAR), (void**)lppszText)) || *lppszText == NULL)
        hr = E_OUTOFMEMORY;
    else if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, lpszNarrow, -1, *lppszText, cch) == 0)
        hr = E_FAIL;
    if (FAILED(hr))
    {
        MAPIFreeBuffer(*lppszText);
        *lppszText = NULL;
    }
    MAPIFreeBuffer(lpszNarrow);
    return hr;
}
