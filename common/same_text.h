// Names and addresses compared as the file system and the registry compare
// names: the same text up to letter case, and nothing else. A locale's
// linguistic rules (lstrcmpi, CompareString) ignore the soft hyphen, take
// "\u00DF" for "ss" and "\u00E6" for "ae", and fold i and I otherwise in
// Turkish: two different names or senders would be one.
#ifndef QUORBIT_SAME_TEXT_H
#define QUORBIT_SAME_TEXT_H

#include <windows.h>

// Whether wsz1 and wsz2 are the same UTF-16 text once each unit is
// upper-cased one to one by the file system's casing rules, which do not
// depend on the locale. Nothing is ignored, expanded or folded beyond
// that: "\u00DF" stays itself, a soft hyphen is a character, a fullwidth
// letter is not its ASCII one. NULL equals only NULL.
BOOL SameText(LPCWSTR wsz1, LPCWSTR wsz2);

// The same for names in the ANSI code page (files, registry keys), each
// widened with it first. A name that cannot be widened equals nothing.
BOOL SameName(const char* sz1, const char* sz2);

// Whether two e-mail addresses name one sender: SameText, where an empty
// or missing address is no address and equals nothing, not even another
// empty one. Every comparison of addresses goes through here.
BOOL SameAddress(LPCWSTR wsz1, LPCWSTR wsz2);

#endif
