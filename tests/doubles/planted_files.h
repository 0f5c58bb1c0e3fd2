// Files a test puts where the code under test might look: created with
// their folders, and removed with the folders they needed however the test
// ends.
#ifndef QUORBIT_TEST_PLANTED_FILES_H
#define QUORBIT_TEST_PLANTED_FILES_H

#include <string>
#include <vector>

class PlantedFiles
{
public:
    // Each a copy of from, or an empty file when from is empty.
    explicit PlantedFiles(const std::vector<std::string>& paths, const std::string& from = "");
    ~PlantedFiles();

private:
    std::vector<std::string> m_files;
    std::vector<std::string> m_folders;  // deepest first
};

// The client's current folder and PATH: folders of the test's own, which
// it has made, while this lives (PATH may list several, separated by ";"),
// and as they were again however the test ends.
class ClientFolders
{
public:
    ClientFolders(const std::string& current, const std::string& path);
    ~ClientFolders();

private:
    std::string m_current;
    std::string m_path;
};

#endif
