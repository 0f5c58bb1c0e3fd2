#include "planted_files.h"
#include <windows.h>

PlantedFiles::PlantedFiles(const std::vector<std::string>& paths, const std::string& from)
{
    for (const std::string& path : paths)
    {
        for (size_t i = 3; (i = path.find('\\', i)) != std::string::npos; i++)
            if (CreateDirectoryA(path.substr(0, i).c_str(), NULL))
                m_folders.insert(m_folders.begin(), path.substr(0, i));
        if (!from.empty())
            CopyFileA(from.c_str(), path.c_str(), FALSE);
        else
            CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
        m_files.push_back(path);
    }
}

PlantedFiles::~PlantedFiles()
{
    for (const std::string& file : m_files)
        DeleteFileA(file.c_str());
    for (const std::string& folder : m_folders)
        RemoveDirectoryA(folder.c_str());
}

ClientFolders::ClientFolders(const std::string& current, const std::string& path)
{
    char sz[32767] = "";
    GetCurrentDirectoryA(MAX_PATH, sz);
    m_current = sz;
    GetEnvironmentVariableA("PATH", sz, sizeof(sz));
    m_path = sz;
    SetCurrentDirectoryA(current.c_str());
    SetEnvironmentVariableA("PATH", path.c_str());
}

ClientFolders::~ClientFolders()
{
    SetEnvironmentVariableA("PATH", m_path.c_str());
    SetCurrentDirectoryA(m_current.c_str());
}
