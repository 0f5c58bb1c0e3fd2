// Context names of help topics and the hash the viewer looks them up by.
#ifndef QUORBIT_HELP_CONTEXT_HASH_H
#define QUORBIT_HELP_CONTEXT_HASH_H

#include <cstdint>
#include <string>

// True when the name is non-empty and made only of A-Z, a-z, 0-9, '.' and
// '_', the characters the hash is defined for.
bool IsValidContextName(const std::string& name);

// The viewer's hash of a context name; letters count without regard to
// case. Only meaningful for valid names.
uint32_t ContextHash(const std::string& name);

#endif
