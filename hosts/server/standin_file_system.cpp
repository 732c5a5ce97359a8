#include "standin_file_system.h"

#include <cstdio>

int StandInFileSystem::MountApplicationContent(int id) {
    std::printf("filesystem: MountApplicationContent(%d): no applications installed\n", id);
    return kMountFailed;
}

void StandInFileSystem::AppendSearchPath(const char* path, const char* pathIdentifier,
                                         int position) {
    std::vector<std::string>& paths = m_SearchPaths[pathIdentifier];
    if (position == kSearchPathAtTail) {
        paths.emplace_back(path);
    } else {
        paths.insert(paths.begin(), path);
    }
}

const std::vector<std::string>& StandInFileSystem::SearchPaths(const std::string& pathIdentifier) {
    return m_SearchPaths[pathIdentifier];
}

StandInFileSystem& TheFileSystem() {
    static StandInFileSystem fileSystem;
    return fileSystem;
}
