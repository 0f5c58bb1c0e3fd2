// hlpgen SOURCE.txt OUTPUT.HLP [CHM_FOLDER]: builds the help file from its
// text source and, given a folder, writes there the HTML Help project that
// chmcmd compiles into the .chm of the same name.
// hlpgen --chm-stamps SOURCE.txt FILE.chm: sets the time stamps chmcmd
// wrote into FILE.chm from the source, so that a build is reproducible.
//
// Every file is written under a temporary name beside its own and renamed
// only once all of them are written. A bad source writes nothing at all;
// a file or folder that cannot be written is reported, and neither the
// temporary files nor a folder made for them stay behind.
#include "chm_stamps.h"
#include "help_file.h"
#include "help_source.h"
#include "html_help.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The files written so far, each under its temporary name, and the
// outermost folder made for them, if any.
struct Outputs
{
    std::vector<fs::path> files;
    fs::path madeFolder;
};

fs::path Temporary(const fs::path& path)
{
    fs::path temporary(path);
    temporary += ".tmp";
    return temporary;
}

bool Read(const char* path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        std::cerr << path << ": cannot be read\n";
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

bool Write(Outputs& outputs, const fs::path& path, const char* data, size_t size)
{
    outputs.files.push_back(path);
    std::ofstream out(Temporary(path), std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    out.close();
    if (!out)
        std::cerr << path.string() << ": cannot be written\n";
    return static_cast<bool>(out);
}

// Makes the folder and its missing parents, noting the outermost made.
bool MakeFolder(Outputs& outputs, const fs::path& folder)
{
    std::error_code failed;
    for (fs::path p = folder; !p.empty() && fs::status(p, failed).type() == fs::file_type::not_found;
         p = p.parent_path())
    {
        outputs.madeFolder = p;
        if (p == p.parent_path())
            break;
    }
    if (!fs::create_directories(folder, failed) && failed)
    {
        std::cerr << folder.string() << ": cannot be made: " << failed.message() << "\n";
        return false;
    }
    return true;
}

// Gives every file its own name, the first written last, or removes what
// was written.
bool Finish(Outputs& outputs, bool written)
{
    std::error_code failed;
    for (auto path = outputs.files.rbegin(); path != outputs.files.rend(); ++path)
    {
        if (written)
        {
            fs::rename(Temporary(*path), *path, failed);
            written = !failed;
            if (failed)
                std::cerr << path->string() << ": cannot be renamed from its temporary name: " << failed.message()
                          << "\n";
        }
        fs::remove(Temporary(*path), failed);
    }
    if (!written && !outputs.madeFolder.empty())
        fs::remove_all(outputs.madeFolder, failed);
    return written;
}

int Build(const char* sourcePath, const fs::path& hlp, const char* folder)
{
    std::string text, error;
    if (!Read(sourcePath, text))
        return 1;
    HelpSource source;
    Bytes file;
    if (!ParseHelpSource(text, source, error) || !BuildHelpFile(source, file, error))
    {
        std::cerr << sourcePath << ": " << error << "\n";
        return 1;
    }
    Outputs outputs;
    bool written = Write(outputs, hlp, reinterpret_cast<const char*>(file.data()), file.size());
    if (written && folder)
    {
        TextFiles html;
        BuildHtmlHelp(source, hlp.stem().string(), html);
        written = MakeFolder(outputs, folder);
        for (auto page = html.begin(); written && page != html.end(); ++page)
            written = Write(outputs, fs::path(folder) / page->first, page->second.data(), page->second.size());
    }
    return Finish(outputs, written) ? 0 : 1;
}

int SetStamps(const char* sourcePath, const char* chmPath)
{
    std::string text, chm, error;
    if (!Read(sourcePath, text) || !Read(chmPath, chm))
        return 1;
    Bytes bytes(chm.begin(), chm.end());
    if (!SetChmStamps(bytes, SourceStamp(text), error))
    {
        std::cerr << chmPath << ": " << error << "\n";
        return 1;
    }
    Outputs outputs;
    bool written = Write(outputs, chmPath, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return Finish(outputs, written) ? 0 : 1;
}

}

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--chm-stamps")
        return SetStamps(argv[2], argv[3]);
    if (argc != 3 && argc != 4)
    {
        std::cerr << "usage: hlpgen SOURCE.txt OUTPUT.HLP [CHM_FOLDER]\n"
                     "       hlpgen --chm-stamps SOURCE.txt FILE.chm\n";
        return 2;
    }
    return Build(argv[1], argv[2], argc == 4 ? argv[3] : nullptr);
}
