#include "host_commands.h"
#include <mapicode.h>

const char* ResultName(HRESULT hr)
{
    static char szCode[16];
    switch (hr)
    {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_ABORT: return "E_ABORT";
    case E_FAIL: return "E_FAIL";
    case E_NOINTERFACE: return "E_NOINTERFACE";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case MAPI_E_NOT_FOUND: return "MAPI_E_NOT_FOUND";
    default:
        wsprintfA(szCode, "0x%08lX", (unsigned long)hr);
        return szCode;
    }
}
