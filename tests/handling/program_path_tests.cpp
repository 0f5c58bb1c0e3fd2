// Which program an unquoted program text with a blank means: the rule, as a
// table of texts and of the files that exist.
#include <gtest/gtest.h>
#include "planted_files.h"
#include "program_path.h"
#include <string>
#include <vector>

namespace {

// A folder of the test's own; "@" in a text or a file stands for it.
const std::string kFolder = "C:\\quorbit-path-tests";

std::string InFolder(std::string s)
{
    for (size_t i; (i = s.find('@')) != std::string::npos;)
        s.replace(i, 1, kFolder);
    return s;
}

struct Case
{
    const char* text;
    std::vector<const char*> files;
    PROGRAMTEXT expected;
    const char* program;  // settled: the file started
    const char* args;     // settled: what follows it
};

const Case cases[] = {
    // Quoted, or without a blank: the system's own reading, as ever.
    {"\"@\\Tool Box\\imp.exe\" /q", {"@\\Tool Box\\imp.exe", "@\\Tool.exe"}, PROGRAM_AS_WRITTEN, "", ""},
    {"@\\imp.exe", {}, PROGRAM_AS_WRITTEN, "", ""},
    // The only reading is the program the text names; a tab is a blank.
    {"@\\Tool Box\\imp.exe /q", {"@\\Tool Box\\imp.exe"}, PROGRAM_SETTLED, "@\\Tool Box\\imp.exe", " /q"},
    {"@\\Tool Box\\imp.exe\t/q", {"@\\Tool Box\\imp.exe"}, PROGRAM_SETTLED, "@\\Tool Box\\imp.exe", "\t/q"},
    {"@\\imp.exe\t/q", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", "\t/q"},
    {"@\\Tool Box\\imp.exe", {"@\\Tool Box\\imp.exe"}, PROGRAM_SETTLED, "@\\Tool Box\\imp.exe", ""},
    {"@\\imp.exe  /q ", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", "  /q "},
    {"@\\imp /q", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", " /q"},
    {"@\\tool.exe orders\\new batch", {"@\\tool.exe"}, PROGRAM_SETTLED, "@\\tool.exe", " orders\\new batch"},
    // Arguments that are paths, after programs of any kind; "imp.exe ." is
    // imp.exe too, and the system takes the shorter.
    {"@\\Scripts\\run.bat @\\data\\in.txt", {"@\\Scripts\\run.bat", "@\\data\\in.txt"}, PROGRAM_SETTLED,
     "@\\Scripts\\run.bat", " @\\data\\in.txt"},
    {"@\\imp @\\data\\in.txt", {"@\\imp.exe", "@\\data\\in.txt"}, PROGRAM_SETTLED, "@\\imp.exe", " @\\data\\in.txt"},
    {"@\\imp.exe .", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", " ."},
    // A shorter part names a program too: either may be meant.
    {"@\\Tool Box\\imp.exe /q", {"@\\Tool Box\\imp.exe", "@\\Tool.exe"}, PROGRAM_AMBIGUOUS, "", ""},
    // The program named is missing, and a part the system completes with
    // ".exe" is followed by more of a path, with either separator: the text
    // names no program.
    {"@\\Tool Box\\imp.exe /q", {"@\\Tool.exe", "@\\Tool Box\\readme.txt"}, PROGRAM_NOT_FOUND, "", ""},
    {"@/Tool Box/imp.exe /q", {"@\\Tool.exe", "@\\Tool Box\\readme.txt"}, PROGRAM_NOT_FOUND, "", ""},
    {"@\\Tool Box/imp.exe /q", {"@\\Tool.exe", "@\\Tool Box\\readme.txt"}, PROGRAM_NOT_FOUND, "", ""},
    {"@\\Tool Box\\imp /q", {"@\\Tool.exe", "@\\Tool Box\\readme.txt"}, PROGRAM_NOT_FOUND, "", ""},
    // A longer name made of the program and its first argument.
    {"@\\tool.exe orders\\new batch", {"@\\tool.exe", "@\\tool.exe orders\\new.exe"}, PROGRAM_AMBIGUOUS, "", ""},
    {"@\\Tool Box\\imp.exe /q", {}, PROGRAM_NOT_FOUND, "", ""},
};

TEST(ProgramText, IsSettledOnlyWhenItMeansOneProgram)
{
    for (const Case& c : cases)
    {
        std::string text = InFolder(c.text);
        SCOPED_TRACE(text);
        std::vector<std::string> paths;
        for (const char* f : c.files)
            paths.push_back(InFolder(f));
        PlantedFiles files(paths);
        char szProgram[MAX_PATH] = "unchanged";
        const char* pszArgs = (const char*)0xdeadbeef;

        EXPECT_EQ(c.expected, SettleProgramText(text.c_str(), szProgram, MAX_PATH, &pszArgs));
        EXPECT_EQ(0, lstrcmpiA(InFolder(c.program).c_str(), szProgram)) << szProgram;
        EXPECT_EQ(InFolder(c.args), std::string(pszArgs != NULL ? pszArgs : ""));
    }
}

}  // namespace
