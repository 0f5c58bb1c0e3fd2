#include "system_calls.h"

SYSTEMCALLS gSystemCalls = {RegCreateKeyExA, RegSetValueExW, DeleteOneKey, GetTokenInformation, NULL, CreateProcessA, NULL};
