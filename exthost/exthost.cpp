// exthost: a small stand-in for the mail client. It loads an extension the
// way the client does and calls it only through the client's published
// interfaces, with its own callback, message store, message and address
// book.
#include "host_commands.h"
#include "full_paths.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void Usage()
{
    fprintf(stderr,
            "usage: exthost [where] [--build-version HEX] open --from ADDRESS --entryid HEX\n"
            "                   [--addrtype TYPE] [--smtp ADDRESS | --book-smtp ADDRESS]\n"
            "                   [--context N] [--answer yes|no]\n"
            "       exthost [where] [--build-version HEX] open --compose [--context N] [--answer yes|no]\n"
            "       exthost [where] [--build-version HEX] options [--context N] [--close-after MS]\n"
            "where the extension is, as the client finds it (default: Quorbit.dll beside exthost):\n"
            "       --dll PATH             a path; the context map is " DEFAULT_CONTEXT_MAP "\n"
            "       --line \"4.0;PATH;1;MAP\" a registration line\n"
            "       --registry NAME        the registration value NAME of the client's extension key\n"
            "an Exchange sender: --from its directory address, --addrtype EX, and its SMTP address\n"
            "       --smtp ADDRESS         kept on the message (PR_SENDER_SMTP_ADDRESS)\n"
            "       --book-smtp ADDRESS    answered by its address-book entry (PR_SMTP_ADDRESS)\n");
}

static BOOL ParseNumber(const char* sz, int base, ULONG* pul)
{
    char* pEnd = NULL;
    *pul = strtoul(sz, &pEnd, base);
    return sz[0] != '\0' && *pEnd == '\0';
}

int main(int argc, char** argv)
{
    char szSpec[MAX_PATH + 64] = "";
    char szRegistry[128] = "";
    const char* szCommand = NULL;
    HostOptions options;
    LoadedExtension loaded;
    HRESULT hr;
    int rc;

    ZeroMemory(&options, sizeof(options));
    options.ulBuildVersion = EECBGV_BUILDVERSION_MAJOR;
    options.szFrom = "";
    options.szEntryId = "";

    for (int i = 1; i < argc; i++)
    {
        const char* szArg = argv[i];
        const char* szValue = (i + 1 < argc) ? argv[i + 1] : NULL;
        ULONG ul = 0;
        if (strcmp(szArg, "open") == 0 || strcmp(szArg, "options") == 0)
        {
            szCommand = szArg;
            continue;
        }
        if (strcmp(szArg, "--compose") == 0)
        {
            options.fCompose = true;
            continue;
        }
        if (szValue == NULL)
        {
            Usage();
            return 2;
        }
        i++;
        if (strcmp(szArg, "--dll") == 0 || strcmp(szArg, "--line") == 0)
            lstrcpynA(szSpec, szValue, sizeof(szSpec));
        else if (strcmp(szArg, "--registry") == 0)
            lstrcpynA(szRegistry, szValue, sizeof(szRegistry));
        else if (strcmp(szArg, "--build-version") == 0 && ParseNumber(szValue, 16, &ul))
            options.ulBuildVersion = ul;
        else if (strcmp(szArg, "--context") == 0 && ParseNumber(szValue, 10, &ul) && ul != 0)
            options.eecontext = ul;
        else if (strcmp(szArg, "--from") == 0)
            options.szFrom = szValue;
        else if (strcmp(szArg, "--addrtype") == 0)
            options.szAddrType = szValue;
        else if (strcmp(szArg, "--smtp") == 0)
            options.szSmtp = szValue;
        else if (strcmp(szArg, "--book-smtp") == 0)
            options.szBookSmtp = szValue;
        else if (strcmp(szArg, "--entryid") == 0)
            options.szEntryId = szValue;
        else if (strcmp(szArg, "--answer") == 0 && (strcmp(szValue, "yes") == 0 || strcmp(szValue, "no") == 0))
            options.idAnswer = strcmp(szValue, "yes") == 0 ? IDYES : IDNO;
        else if (strcmp(szArg, "--close-after") == 0 && ParseNumber(szValue, 10, &ul))
            options.msCloseAfter = (int)ul;
        else
        {
            Usage();
            return 2;
        }
    }
    if (szCommand == NULL || (strcmp(szCommand, "open") == 0 && (options.szFrom[0] == '\0') == !options.fCompose))
    {
        Usage();
        return 2;
    }

    if (szRegistry[0] != '\0')
    {
        hr = ReadRegistration(szRegistry, szSpec, sizeof(szSpec));
        if (FAILED(hr))
        {
            fprintf(stderr, "exthost: no registration \"%s\" below the client's extension key\n", szRegistry);
            return 1;
        }
        printf("registration \"%s\": %s\n", szRegistry, szSpec);
    }
    else if (szSpec[0] == '\0')
    {
        if (!PathBesideModule(NULL, "Quorbit.dll", szSpec, sizeof(szSpec)))
        {
            fprintf(stderr, "exthost: the path of Quorbit.dll beside exthost.exe is too long\n");
            return 2;
        }
    }

    hr = ParseRegistration(szSpec, DEFAULT_CONTEXT_MAP, &loaded);
    if (FAILED(hr))
    {
        fprintf(stderr, "exthost: not a registration line or a path: %s\n", szSpec);
        return 2;
    }
    hr = LoadExtensionModule(&loaded);
    if (FAILED(hr))
    {
        fprintf(stderr, "exthost: cannot load %s (0x%08lX)\n", loaded.szPath, (unsigned long)hr);
        return 1;
    }
    if (loaded.wOrdinal != 0)
        printf("loaded %s, entry point at ordinal %u, context map %s\n", loaded.szPath, loaded.wOrdinal,
               loaded.szContextMap);
    else
        printf("loaded %s, entry point ExchEntryPoint, context map %s\n", loaded.szPath, loaded.szContextMap);

    rc = strcmp(szCommand, "open") == 0 ? OpenItem(&loaded, &options) : ShowOptions(&loaded, &options);
    // The client keeps the module until it exits.
    FreeLibrary(loaded.hModule);
    return rc;
}
