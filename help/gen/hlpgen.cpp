// hlpgen SOURCE.txt OUTPUT.HLP [CHM_FOLDER]: builds the help file from its
// text source and, given a folder, writes there the HTML Help project that
// chmcmd compiles into the .chm of the same name. A bad source writes
// nothing at all.
#include "help_file.h"
#include "help_source.h"
#include "html_help.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

bool Write(const std::filesystem::path& path, const char* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    if (!out)
        std::cerr << path.string() << ": cannot be written\n";
    return static_cast<bool>(out);
}

}

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4)
    {
        std::cerr << "usage: hlpgen SOURCE.txt OUTPUT.HLP [CHM_FOLDER]\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
    {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();

    HelpSource source;
    Bytes file;
    std::string error;
    if (!ParseHelpSource(text.str(), source, error) || !BuildHelpFile(source, file, error))
    {
        std::cerr << argv[1] << ": " << error << "\n";
        return 1;
    }
    if (!Write(argv[2], reinterpret_cast<const char*>(file.data()), file.size()))
        return 1;
    if (argc == 4)
    {
        std::filesystem::path folder(argv[3]);
        std::error_code failed;
        std::filesystem::create_directories(folder, failed);
        TextFiles html;
        BuildHtmlHelp(source, std::filesystem::path(argv[2]).stem().string(), html);
        for (const auto& page : html)
            if (!Write(folder / page.first, page.second.data(), page.second.size()))
                return 1;
    }
    return 0;
}
