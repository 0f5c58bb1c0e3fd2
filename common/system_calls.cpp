#include "system_calls.h"

SYSTEMCALLS gSystemCalls = {RegCreateKeyExA, RegSetValueExW, RegDeleteKeyW, GetTokenInformation, NULL};
