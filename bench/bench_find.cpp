// Cost of the message check when no handler matches, against the least the
// store's layout allows: for every handler key, one open by full path, one
// read of "SenderEmailAddress" and one close. A second floor adds what the
// search must also do to learn the names: one enumeration call per key.
// The check of an Exchange sender whose message keeps its SMTP address,
// which compares two addresses with each handler's, is timed beside the
// check of an SMTP sender; their ratio should stay within 1.10.
//
// Every registry call is a round trip to the Wine server, whose speed
// follows whatever else the machine runs. So the four are interleaved call
// by call, each taking its turn first, and each round gives the check's
// ratio to each floor over the same stretch of time. Many rounds give the
// median and its spread (the middle half of the rounds) of the times and of
// the ratios, which hold still from run to run where the times do not.
#include "bench_clock.h"
#include "handler_store.h"
#include "client_objects.h"
#include "message_check.h"
#include "test_registry.h"
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// The median of v, and the quartiles around it.
struct Spread
{
    double median, q1, q3;
};

static double Quantile(const std::vector<double>& sorted, double p)
{
    double x = p * (double)(sorted.size() - 1);
    size_t i = (size_t)x;
    if (i + 1 >= sorted.size())
        return sorted.back();
    return sorted[i] + (x - (double)i) * (sorted[i + 1] - sorted[i]);
}

static Spread SpreadOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return Spread{0.0, 0.0, 0.0};
    return Spread{Quantile(v, 0.5), Quantile(v, 0.25), Quantile(v, 0.75)};
}

static void PrintSpread(const char* szFormat, const Spread& s)
{
    char sz[64];
    snprintf(sz, sizeof(sz), szFormat, s.median, s.q1, s.q3);
    printf(" %24s", sz);
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

// Times of one round, in microseconds per call: the median call of each,
// so that a call the system preempted does not weigh.
struct Round
{
    double check, floor, floorEnum, exchange;
};

// reps calls of each of the four, interleaved call by call; each takes
// its turn first. *pfOk turns false when a check matched or failed.
static Round RunRound(IExchExtCallback* pCallback, IExchExtCallback* pExchange, const std::vector<std::string>& paths,
                      int reps, bool* pfOk)
{
    std::vector<double> times[4];
    for (int i = 0; i < reps; i++)
    {
        for (int k = 0; k < 4; k++)
        {
            int which = (i + k) % 4;
            double t0 = Seconds();
            if (which == 0)
                *pfOk = CheckMessage(pCallback) == S_FALSE && *pfOk;
            else if (which == 1)
                Floor(paths);
            else if (which == 2)
                FloorWithEnumeration(paths.size());
            else
                *pfOk = CheckMessage(pExchange) == S_FALSE && *pfOk;
            times[which].push_back((Seconds() - t0) * 1e6);
        }
    }
    return Round{SpreadOf(times[0]).median, SpreadOf(times[1]).median, SpreadOf(times[2]).median,
                 SpreadOf(times[3]).median};
}

int main()
{
    const int counts[] = {0, 10, 100, 1000};
    const int kRounds = 41;
    // Each of the three runs about this long in every round.
    const double kRoundSeconds = 0.01;

    OpenedItem item("nobody@example.org");
    // A colleague on an Exchange server, whose message keeps the SMTP
    // address beside the directory address.
    OpenedItem exchange("/O=CORP/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=NOBODY");
    exchange.message.SetText(PROP_ID(PR_SENDER_ADDRTYPE), L"EX");
    exchange.message.SetText(0x5D01, L"nobody@example.org");

    printf("%d rounds per N, the four interleaved call by call; median [middle half] of the rounds' median "
           "calls\n",
           kRounds);
    printf("%6s %24s %24s %24s %24s %24s %24s %24s\n", "N", "check (us)", "floor (us)", "check/floor",
           "floor+enum (us)", "check/(floor+enum)", "EX check (us)", "EX/check (< 1.10)");
    bool fOk = true;
    for (int n : counts)
    {
        std::vector<std::string> paths = StoreHandlers(n);
        std::vector<double> check, floor, floorEnum, ratio, ratioEnum, exchangeCheck, ratioExchange;
        // Warm up, and learn how many calls make a round long enough.
        Round first = RunRound(&item.callback, &exchange.callback, paths, 3, &fOk);
        double slowest = std::max(std::max(first.check, first.exchange), std::max(first.floor, first.floorEnum));
        // Three calls at least, for a median that one slow call cannot move.
        int reps = std::max(3, (int)(kRoundSeconds * 1e6 / std::max(slowest, 1.0)));
        for (int r = 0; r < kRounds; r++)
        {
            Round round = RunRound(&item.callback, &exchange.callback, paths, reps, &fOk);
            check.push_back(round.check);
            floor.push_back(round.floor);
            floorEnum.push_back(round.floorEnum);
            exchangeCheck.push_back(round.exchange);
            ratioExchange.push_back(round.exchange / round.check);
            if (n > 0)
            {
                ratio.push_back(round.check / round.floor);
                ratioEnum.push_back(round.check / round.floorEnum);
            }
        }
        printf("%6d", n);
        PrintSpread("%.1f [%.1f %.1f]", SpreadOf(check));
        PrintSpread("%.1f [%.1f %.1f]", SpreadOf(floor));
        if (n > 0)
            PrintSpread("%.2f [%.2f %.2f]", SpreadOf(ratio));
        else
            printf(" %24s", "-");
        PrintSpread("%.1f [%.1f %.1f]", SpreadOf(floorEnum));
        if (n > 0)
            PrintSpread("%.2f [%.2f %.2f]", SpreadOf(ratioEnum));
        else
            printf(" %24s", "-");
        PrintSpread("%.1f [%.1f %.1f]", SpreadOf(exchangeCheck));
        PrintSpread("%.2f [%.2f %.2f]", SpreadOf(ratioExchange));
        printf("\n");
        fflush(stdout);
    }
    ResetStore();
    if (!fOk)
        printf("a check matched or failed where none should\n");
    return fOk ? 0 : 1;
}
