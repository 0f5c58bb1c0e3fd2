#include <gtest/gtest.h>
#include "full_paths.h"
#include <string>

namespace {

// A path beside this program, in a buffer of exactly cchPath characters
// followed by guard bytes: it fits with its terminator, or it is refused
// and left empty, and nothing past the buffer is written.
TEST(PathBesideModule, FitsExactlyOrIsRefusedEmpty)
{
    char szModule[MAX_PATH] = "";
    const size_t cchModule = GetModuleFileNameA(NULL, szModule, MAX_PATH);
    ASSERT_LT(cchModule, (size_t)MAX_PATH);
    const std::string folder(szModule, std::string(szModule).rfind('\\') + 1);
    // A name longer than the program's own, and a short one.
    const std::string longer(cchModule - folder.size() + 3, 'f'), shorter = "f";
    const struct
    {
        const char* szWhy;
        const std::string& file;
        size_t cchPath;
        bool fFits;
    } cases[] = {
        {"the module's own path cut by one", shorter, cchModule, false},
        {"the module's own path exactly", shorter, cchModule + 1, true},
        {"the path beside it one short", longer, folder.size() + longer.size(), false},
        {"the path beside it exactly", longer, folder.size() + longer.size() + 1, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.szWhy);
        std::string buffer(c.cchPath + 8, '#');
        buffer[0] = 'x';
        EXPECT_EQ(c.fFits ? TRUE : FALSE, PathBesideModule(NULL, c.file.c_str(), &buffer[0], (DWORD)c.cchPath));
        EXPECT_EQ(c.fFits ? folder + c.file : "", std::string(buffer.c_str()));
        EXPECT_EQ(std::string(8, '#'), buffer.substr(c.cchPath)) << "written past the buffer";
    }
}

}  // namespace
