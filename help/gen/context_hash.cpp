#include "context_hash.h"

namespace {

// Value of one character in the hash; 0 for characters outside the set.
unsigned CharValue(char c)
{
    if (c >= '1' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c == '0')
        return 10;
    if (c == '.')
        return 12;
    if (c == '_')
        return 13;
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned>(c - 'A') + 17;
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned>(c - 'a') + 17;
    return 0;
}

}

bool IsValidContextName(const std::string& name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (CharValue(c) == 0)
            return false;
    return true;
}

uint32_t ContextHash(const std::string& name)
{
    uint32_t h = 0;
    for (char c : name)
        h = h * 43 + CharValue(c);
    return h;
}
