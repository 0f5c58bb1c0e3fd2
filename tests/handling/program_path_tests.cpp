// Which program a program text means, and whether it can be started as
// meant: the rule, as a table of texts and of the files that exist.
#include <gtest/gtest.h>
#include "planted_files.h"
#include "program_path.h"
#include <string>
#include <vector>

namespace {

// A folder of the test's own; "@" in a text or a file stands for it, "#"
// for the system folder. The current folder is "@\\cwd"; PATH is "@\\path"
// after entries that are no full paths on their own.
const std::string kFolder = "C:\\quorbit-path-tests";

std::string InFolder(std::string s)
{
    char szSystem[MAX_PATH];
    GetSystemDirectoryA(szSystem, MAX_PATH);
    for (size_t i; (i = s.find_first_of("@#")) != std::string::npos;)
        s.replace(i, 1, s[i] == '@' ? kFolder : szSystem);
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
    // Quoted, or without a blank: the program it names, as written.
    {"\"@\\Tool Box\\imp.exe\" /q", {"@\\Tool Box\\imp.exe", "@\\Tool.exe"}, PROGRAM_AS_WRITTEN,
     "@\\Tool Box\\imp.exe", " /q"},
    {"@\\imp.exe", {"@\\imp.exe"}, PROGRAM_AS_WRITTEN, "@\\imp.exe", ""},
    {"@\\imp.exe", {}, PROGRAM_NOT_FOUND, "", ""},
    // Quotes that do not pair, or a quoted part that goes on.
    {"\"@\\Tool Box\\imp.exe", {"@\\Tool Box\\imp.exe"}, PROGRAM_UNPAIRED_QUOTES, "", ""},
    {"@\\imp.exe \"a", {"@\\imp.exe"}, PROGRAM_UNPAIRED_QUOTES, "", ""},
    {"\"@\\Tool Box\"\\imp.exe /q", {"@\\Tool Box.exe", "@\\Tool Box\\imp.exe"}, PROGRAM_QUOTE_GOES_ON, "", ""},
    // A bare name is looked for where the system looks, but never in the
    // current folder; any other relative text is refused.
    {"qtool", {"@\\cwd\\qtool.exe"}, PROGRAM_AS_WRITTEN, "@\\path\\qtool.exe", ""},
    {"qtool /x", {"@\\cwd\\qtool.exe"}, PROGRAM_SETTLED, "@\\path\\qtool.exe", " /x"},
    // Not from the PATH entries before it, "C:" (drive C's current folder,
    // not its root), "Tools" and a "%" no one expanded; nor its folder.
    {"qtool", {"C:\\qtool.exe", "@\\cwd\\Tools\\qtool.exe", "@\\%QP%\\qtool.exe", "@\\path\\qtool\\x.txt"},
     PROGRAM_AS_WRITTEN, "@\\path\\qtool.exe", ""},
    {" @\\imp.exe -x", {"@\\imp.exe"}, PROGRAM_LEADING_BLANK, "", ""},
    {"cmd /c", {}, PROGRAM_SETTLED, "#\\cmd.exe", " /c"},
    {"C:Tools\\imp.exe /q", {"@\\cwd\\Tools\\imp.exe"}, PROGRAM_RELATIVE, "", ""},
    {"%ProgramFiles%\\T\\imp.exe /q", {"@\\cwd\\%ProgramFiles%\\T\\imp.exe"}, PROGRAM_RELATIVE, "", ""},
    {"%QTOOL% /q", {"@\\cwd\\%QTOOL%.exe"}, PROGRAM_RELATIVE, "", ""},
    {"Scripts\\run.bat a", {"@\\cwd\\Scripts\\run.bat"}, PROGRAM_RELATIVE, "", ""},
    {"\\quorbit-path-tests\\imp.exe", {"@\\imp.exe"}, PROGRAM_RELATIVE, "", ""},
    // cmd.exe reads a batch file's line: its path goes in quotes, where
    // only "%" means more; its arguments must be text. An .exe program's
    // are its own.
    {"@\\R&D\\run.bat", {"@\\R&D\\run.bat"}, PROGRAM_AS_WRITTEN, "@\\R&D\\run.bat", ""},
    {"@\\run.bat @\\R&D\\in.txt", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", "&D\\in.txt"},
    {"@\\run.bat 50%OS%^x a^^b", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", "%OS%^x a^^b"},
    {"\"@\\run.bat\" \"a&b|c<d>e^f\" (x)", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", "(x)"},
    {"@\\run.bat \"50%\"", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", "%\""},
    {"@\\run.bat a\nb", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", "\nb"},
    {"@\\run.bat a\rb", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", "\rb"},
    {"@\\RUN.CMD. x|y", {"@\\run.cmd"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.cmd", "|y"},
    {"@\\run.bat a>b", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", ">b"},
    {"@\\run.bat a<b", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", "<b"},
    {"@\\run.bat a)b", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", ")b"},
    {"@\\run.bat a^b", {"@\\run.bat"}, PROGRAM_BATCH_ARGUMENTS, "@\\run.bat", "^b"},
    {"@\\50%\\run.bat", {"@\\50%\\run.bat"}, PROGRAM_BATCH_PATH, "@\\50%\\run.bat", ""},
    {"@\\imp.exe C:\\R&D 50%OS%", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", " C:\\R&D 50%OS%"},
    // The only reading is the program the text names; a tab is a blank.
    {"@\\Tool Box\\imp.exe /q", {"@\\Tool Box\\imp.exe"}, PROGRAM_SETTLED, "@\\Tool Box\\imp.exe", " /q"},
    {"@\\Tool Box\\imp.exe\t/q", {"@\\Tool Box\\imp.exe"}, PROGRAM_SETTLED, "@\\Tool Box\\imp.exe", "\t/q"},
    {"@\\imp.exe\t/q", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", "\t/q"},
    {"@\\Tool Box\\imp.exe", {"@\\Tool Box\\imp.exe"}, PROGRAM_SETTLED, "@\\Tool Box\\imp.exe", ""},
    {"@\\imp.exe  /q ", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", "  /q "},
    {"@\\imp /q", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", " /q"},
    {"@\\imp -x", {"@\\imp.exe", "@\\imp\\x.txt"}, PROGRAM_SETTLED, "@\\imp.exe", " -x"},
    // A program's C runtime reads a quote after an odd run of backslashes
    // as text; cmd.exe reads a batch file's backslashes as they are.
    {"@\\imp.exe \"C:\\Out Dir\\\"", {"@\\imp.exe"}, PROGRAM_ESCAPED_QUOTE, "@\\imp.exe", "\""},
    {"@\\imp.exe a\\\\\\\"b c\"", {"@\\imp.exe"}, PROGRAM_ESCAPED_QUOTE, "@\\imp.exe", "\"b c\""},
    {"@\\imp.exe \"C:\\Out Dir\\\\\"", {"@\\imp.exe"}, PROGRAM_SETTLED, "@\\imp.exe", " \"C:\\Out Dir\\\\\""},
    {"@\\run.bat \"C:\\Out Dir\\\"", {"@\\run.bat"}, PROGRAM_SETTLED, "@\\run.bat", " \"C:\\Out Dir\\\""},
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
    // A longer part up to a blank, or the whole text, that names a folder.
    {"@\\My Tools -q", {"@\\My.exe", "@\\My Tools\\readme.txt"}, PROGRAM_NOT_FOUND, "", ""},
    {"@\\My Tools", {"@\\My.exe", "@\\My Tools\\readme.txt"}, PROGRAM_NOT_FOUND, "", ""},
    // A longer name made of the program and its first argument.
    {"@\\tool.exe orders\\new batch", {"@\\tool.exe", "@\\tool.exe orders\\new.exe"}, PROGRAM_AMBIGUOUS, "", ""},
    {"@\\Tool Box\\imp.exe /q", {}, PROGRAM_NOT_FOUND, "", ""},
};

TEST(ProgramText, IsSettledOnlyWhenItMeansOneProgram)
{
    PlantedFiles folders({InFolder("@\\cwd\\qtool.exe"), InFolder("@\\path\\qtool.exe")});
    ClientFolders client(InFolder("@\\cwd"), InFolder("@\\none;C:;Tools;.;;@\\%QP%;@\\path\\"));

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

// The folder a program starts in: its own, a drive's root with its
// backslash; a batch file on a share, which cmd.exe takes not as its
// current folder, in the system folder. What does not fit is refused.
TEST(ProgramText, StartsInItsOwnFolder)
{
    const struct
    {
        const char *program, *folder;
        DWORD cchFolder;
    } cases[] = {
        {"@\\Tool Box\\imp.exe", "@\\Tool Box", MAX_PATH},
        {"@/Tool Box/run.cmd", "@/Tool Box", MAX_PATH},
        {"C:\\imp.exe", "C:\\", MAX_PATH},
        {"\\\\srv\\share\\imp.exe", "\\\\srv\\share", MAX_PATH},
        {"\\\\srv\\share\\run.bat", "#", MAX_PATH},
        {"C:\\Tools\\imp.exe", "C:\\Tools", 9},
        {"C:\\Tools\\imp.exe", "", 8},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.program);
        std::string folder(c.cchFolder + 4, '#');
        EXPECT_EQ(*c.folder != '\0', !!FolderToStartIn(InFolder(c.program).c_str(), &folder[0], c.cchFolder));
        EXPECT_EQ(InFolder(c.folder), folder.c_str());
        EXPECT_EQ("####", folder.substr(c.cchFolder)) << "written past the buffer";
    }
}

}  // namespace
