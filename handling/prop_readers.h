// Reading one property of a message into a buffer of MAPI memory that the
// caller frees with MAPIFreeBuffer.
#ifndef QUORBIT_PROP_READERS_H
#define QUORBIT_PROP_READERS_H

#include <windows.h>
#include <mapidefs.h>

// A string property as a copy of its text, terminator included. PT_STRING8
// tags give 8-bit text, PT_UNICODE tags wide text; a value of another tag
// than asked for, or a tag of no string type, is E_FAIL. Results: S_OK,
// MAPI_E_NOT_FOUND, E_FAIL, E_OUTOFMEMORY. On failure *lpcbProp is 0 and
// *lppvProp NULL.
HRESULT GetPropString(LPMAPIPROP pMessage, ULONG ulPropTag, ULONG* lpcbProp, void** lppvProp);

// A binary property as upper-case hexadecimal text in a buffer of
// 2 * cb + 2 bytes; the tag and the value must be PT_BINARY. Results: S_OK,
// MAPI_E_NOT_FOUND, E_FAIL, E_OUTOFMEMORY. On failure *lpcbProp is 0 and
// *lppvProp NULL, as with GetPropString.
HRESULT GetPropBinaryAsString(LPMAPIPROP pMessage, ULONG ulPropTag, ULONG* lpcbProp, void** lppvProp);

// A binary property as a copy of its bytes, in a buffer of its own size
// (one byte at least); the tag and the value must be PT_BINARY. Results
// and outputs as GetPropBinaryAsString's.
HRESULT GetPropBinary(LPMAPIPROP pMessage, ULONG ulPropTag, ULONG* lpcbProp, void** lppvProp);

// A text property (by its identifier) in UTF-16, terminated, in MAPI
// memory: its Unicode form where the object has one, else its 8-bit form
// widened with the ANSI code page, which must define every byte of it.
// Results as GetPropString's for the 8-bit form (E_FAIL for 8-bit text
// the code page cannot read); on failure *lppszText is NULL.
HRESULT GetPropText(LPMAPIPROP pMessage, ULONG ulPropId, LPWSTR* lppszText);

#endif
