#include "system_calls.h"

SYSTEMCALLS gSystemCalls = {RegCreateKeyExA, RegSetValueExA, RegDeleteKeyW, GetTokenInformation, NULL};
