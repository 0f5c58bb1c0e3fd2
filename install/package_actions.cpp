// QuorbitPackage.dll, the package's custom action. Windows Installer runs it
// from the package's Binary table; it depends on system DLLs only.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include "quorbit_facts.h"

// The Active Setup entry that has every user's cache marks deleted at logon
// (Quorbit.wxs). This DLL is 32-bit: on 64-bit Windows it sees the 32-bit
// view, where the 32-bit package writes the entry.
#define ACTIVE_SETUP_KEY QUORBIT_ACTIVE_SETUP_KEY
#define VERSION_PROPERTY "QUORBIT_ACTIVE_SETUP_VERSION"

// Active Setup compares versions as four comma-separated numbers; each is
// kept within a WORD.
#define FIELD_MAX 65535

// Reads the entry's Version into fields[4]; fields not there stay 0, and
// all four stay 0 when there is no entry or no Version.
static void ReadEntryVersion(DWORD fields[4])
{
    HKEY hk = NULL;
    char sz[64] = "";
    DWORD cb = sizeof(sz) - 1;
    DWORD dwType = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY, 0, KEY_QUERY_VALUE, &hk) != ERROR_SUCCESS)
        return;
    if (RegQueryValueExA(hk, "Version", NULL, &dwType, (BYTE*)sz, &cb) != ERROR_SUCCESS || dwType != REG_SZ)
        cb = 0;
    RegCloseKey(hk);
    sz[cb] = '\0';
    const char* p = sz;
    for (int i = 0; i < 4 && *p != '\0'; i++)
    {
        DWORD dw = 0;
        for (; *p >= '0' && *p <= '9'; p++)
            dw = dw < FIELD_MAX ? dw * 10 + (DWORD)(*p - '0') : FIELD_MAX;
        fields[i] = dw < FIELD_MAX ? dw : FIELD_MAX;
        while (*p != '\0' && *p != ',')
            p++;
        if (*p == ',')
            p++;
    }
}

// Whether version a is higher than version b, field by field.
static bool IsHigher(const DWORD a[4], const DWORD b[4])
{
    for (int i = 0; i < 4; i++)
    {
        if (a[i] != b[i])
            return a[i] > b[i];
    }
    return false;
}

// Sets QUORBIT_ACTIVE_SETUP_VERSION to the version this installation or
// removal gives the entry. Each user's logon runs the entry's command once
// per version, so every installation, a reinstall of the same package
// included, and every removal needs a version of its own, higher than any
// before it: the time now (UTC) as year, month and day, hour and minute,
// and the milliseconds of the minute. When the entry already has that
// version or a higher one (a clock set back), the entry's own with its
// last field raised. Fails only when the property cannot be set.
extern "C" UINT __stdcall ActiveSetupVersion(MSIHANDLE hInstall)
{
    SYSTEMTIME st;
    GetSystemTime(&st);
    DWORD now[4] = {st.wYear, st.wMonth * 100u + st.wDay, st.wHour * 100u + st.wMinute,
                    st.wSecond * 1000u + st.wMilliseconds};
    DWORD entry[4] = {0, 0, 0, 0};
    ReadEntryVersion(entry);
    if (!IsHigher(now, entry))
    {
        int i = 3;
        while (i > 0 && entry[i] == FIELD_MAX)
            entry[i--] = 0;
        if (entry[i] < FIELD_MAX)
            entry[i]++;
        for (i = 0; i < 4; i++)
            now[i] = entry[i];
    }
    char sz[64];
    wsprintfA(sz, "%lu,%lu,%lu,%lu", now[0], now[1], now[2], now[3]);
    return MsiSetPropertyA(hInstall, VERSION_PROPERTY, sz);
}
