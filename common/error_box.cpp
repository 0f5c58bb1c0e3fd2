#include "error_box.h"
#include "ansi_text.h"

char szMessageBoxTitle[40] = "Message Handling";

static char szError[256];

// Appends szSrc to szDest without passing cchDest characters.
static void AppendBounded(char* szDest, int cchDest, const char* szSrc)
{
    int cch = lstrlenA(szDest);

    if (cch < cchDest - 1)
        CopyCharacters(szDest + cch, cchDest - cch, szSrc);
}

void ErrorMessageBox(void* hWnd, long hr, const char* szFunction, const char* szMessage)
{
    const char* lpszText;
    char szCode[16];

    if (szMessage == NULL)
        lpszText = "An unknown error occured.";
    else if (hr == 0 && szFunction == NULL)
        lpszText = szMessage;
    else
    {
        wsprintfA(szCode, "%08X", (unsigned int)hr);
        lstrcpyA(szError, "Error ");
        AppendBounded(szError, sizeof(szError), szCode);
        if (szFunction != NULL)
        {
            AppendBounded(szError, sizeof(szError), " in ");
            AppendBounded(szError, sizeof(szError), szFunction);
        }
        AppendBounded(szError, sizeof(szError), "\n");
        AppendBounded(szError, sizeof(szError), szMessage);
        lpszText = szError;
    }
    MessageBoxA((HWND)hWnd, lpszText, szMessageBoxTitle, MB_OK | MB_ICONEXCLAMATION);
}
