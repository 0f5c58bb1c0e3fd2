// Cost of the message check when no handler matches, against the least the
// store's layout allows: for every handler key, one open by full path, one
// read of "SenderEmailAddress" and one close. A second floor adds what the
// search must also do to learn the names: one enumeration call per key. All
// run in this process, alternating, over several rounds; the medians and
// the ratios are printed.
#include "handler_store.h"
#include "host_doubles.h"
#include "message_check.h"
#include "test_registry.h"
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

static double Now()
{
    static LARGE_INTEGER freq;
    LARGE_INTEGER t;
    if (freq.QuadPart == 0)
        QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)freq.QuadPart;
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Stores n handlers, none of which matches the benchmark's sender.
static std::vector<std::string> StoreHandlers(int n)
{
    std::vector<std::string> paths;
    ResetStore();
    for (int i = 0; i < n; i++)
    {
        char szName[40];
        wsprintfA(szName, "Handler %04d", i);
        char szKey[CCH_HANDLER_KEY];
        RegistryHandlerKeyPath(szKey, CCH_HANDLER_KEY, szName);
        HANDLER handler;
        ZeroMemory(&handler, sizeof(handler));
        wsprintfA(handler.szSenderEmailAddress, "handler%04d@example.com", i);
        RegistrySaveHandler(szName, &handler, NULL);
        paths.push_back(szKey);
    }
    return paths;
}

// The floor: what any search over this layout must do for each key.
static void Floor(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
    {
        HKEY hk;
        char szAddress[CCH_SENDER_EMAIL];
        DWORD cb = sizeof(szAddress);
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &hk) == ERROR_SUCCESS)
        {
            RegQueryValueExA(hk, REGVAL_SENDER_EMAIL, NULL, NULL, (LPBYTE)szAddress, &cb);
            RegCloseKey(hk);
        }
    }
}

// The same, learning each name by enumeration first, as the search must,
// and opening each key by that name below the root, the cheaper open.
static void FloorWithEnumeration(size_t cKeys)
{
    HKEY hkRoot;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, szRootKey, 0, KEY_READ, &hkRoot) != ERROR_SUCCESS)
        return;
    for (DWORD i = (DWORD)cKeys; i-- > 0;)
    {
        char szName[CCH_KEY_NAME];
        HKEY hk;
        char szAddress[CCH_SENDER_EMAIL];
        DWORD cb = sizeof(szAddress);
        if (RegEnumKeyA(hkRoot, i, szName, CCH_KEY_NAME) != ERROR_SUCCESS)
            break;
        if (RegOpenKeyExA(hkRoot, szName, 0, KEY_QUERY_VALUE, &hk) == ERROR_SUCCESS)
        {
            RegQueryValueExA(hk, REGVAL_SENDER_EMAIL, NULL, NULL, (LPBYTE)szAddress, &cb);
            RegCloseKey(hk);
        }
    }
    RegCloseKey(hkRoot);
}

int main()
{
    const int counts[] = {0, 10, 100, 1000};
    const int kRounds = 9;

    FakeCallback callback;
    FakeMsgStore store;
    FakeMessage message;
    message.SetSender("nobody@example.org");
    message.SetEntryId({0x00, 0x1F, 0xA0});
    callback.m_pStore = &store;
    callback.m_pMessage = &message;

    printf("%6s %12s %12s %7s %16s %7s\n", "N", "check (us)", "floor (us)", "ratio", "floor+enum (us)", "ratio");
    bool fOk = true;
    for (int n : counts)
    {
        std::vector<std::string> paths = StoreHandlers(n);
        // Enough calls per sample that each lasts a few tens of milliseconds.
        int reps = n == 0 ? 2000 : std::max(1, 2000 / n);
        std::vector<double> check, floor, floorEnum;
        CheckMessage(&callback);
        Floor(paths);
        for (int r = 0; r < kRounds; r++)
        {
            double t0 = Now();
            for (int i = 0; i < reps; i++)
                if (CheckMessage(&callback) != S_FALSE)
                    fOk = false;
            double t1 = Now();
            for (int i = 0; i < reps; i++)
                Floor(paths);
            double t2 = Now();
            for (int i = 0; i < reps; i++)
                FloorWithEnumeration(paths.size());
            double t3 = Now();
            check.push_back((t1 - t0) / reps * 1e6);
            floor.push_back((t2 - t1) / reps * 1e6);
            floorEnum.push_back((t3 - t2) / reps * 1e6);
        }
        double mc = Median(check), mf = Median(floor), me = Median(floorEnum);
        if (n == 0)
            printf("%6d %12.1f %12.1f %7s %16.1f %7s\n", n, mc, mf, "-", me, "-");
        else
            printf("%6d %12.1f %12.1f %7.2f %16.1f %7.2f\n", n, mc, mf, mc / mf, me, mc / me);
        fflush(stdout);
    }
    ResetStore();
    if (!fOk)
        printf("a check matched or failed where none should\n");
    return fOk ? 0 : 1;
}
