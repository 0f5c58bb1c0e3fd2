// hlpgen SOURCE.txt OUTPUT.HLP: builds the help file from its text source.
#include "help_file.h"
#include "help_source.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::cerr << "usage: hlpgen SOURCE.txt OUTPUT.HLP\n";
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
    if (!ParseHelpSource(text.str(), source, error))
    {
        std::cerr << argv[1] << ": " << error << "\n";
        return 1;
    }
    if (!BuildHelpFile(source, file, error))
    {
        std::cerr << argv[1] << ": " << error << "\n";
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out)
    {
        std::cerr << argv[2] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
