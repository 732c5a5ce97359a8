#pragma once

#include <map>
#include <string>
#include <vector>

#include "file_system.h"

// The stand-in engine file system: search paths kept per path identifier.
class StandInFileSystem final : public FileSystemInterface {
public:
    int MountApplicationContent(int id) override;
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override;

    const std::vector<std::string>& SearchPaths(const std::string& pathIdentifier);

private:
    std::map<std::string, std::vector<std::string>> m_SearchPaths;
};

StandInFileSystem& TheFileSystem();
