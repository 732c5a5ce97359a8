#include "standin_file_system.h"

#include <algorithm>
#include <cstdint>

#include "console_output.h"

namespace {

constexpr char kGamePaths[] = "GAME";

bool Holds(const std::vector<int>& ids, int appid) {
    return std::find(ids.begin(), ids.end(), appid) != ids.end();
}

}  // namespace

int StandInFileSystem::MountApplicationContent(int id) {
    // The plugin hands over the id negated; undo that without overflow.
    const int appid = static_cast<int>(0u - static_cast<std::uint32_t>(id));
    const InstalledApplication* application =
        m_pCatalogue != nullptr ? m_pCatalogue->Find(appid) : nullptr;
    if (application == nullptr) {
        PrintDetail("engine", "MountApplicationContent(%d): appid %d is not installed -> 1", id,
                    appid);
        if (!Holds(m_Refused, appid)) m_Refused.push_back(appid);
        return kMountFailed;
    }
    if (Holds(m_Mounted, appid)) {
        PrintDetail("engine", "MountApplicationContent(%d): appid %d is already mounted -> 0", id,
                    appid);
        return 0;
    }
    const std::string named =
        application->name.empty() ? std::string() : " \"" + application->name + "\"";
    PrintDetail("engine", "MountApplicationContent(%d): mounted appid %d%s -> 0", id, appid,
                named.c_str());
    m_Mounted.push_back(appid);
    m_SearchPaths[kGamePaths].push_back(
        {application->folder, Format("content of appid %d, mounted by the engine", appid)});
    return 0;
}

void StandInFileSystem::AppendSearchPath(const char* path, const char* pathIdentifier,
                                         int position) {
    if (path == nullptr || pathIdentifier == nullptr) {
        PrintDetail("engine", "AppendSearchPath given a null text: ignored");
        return;
    }
    PrintDetail("engine", "AppendSearchPath(\"%s\", \"%s\", %d)", path, pathIdentifier, position);
    std::vector<SearchPathEntry>& paths = m_SearchPaths[pathIdentifier];
    if (position == kSearchPathAtTail) {
        paths.push_back({path, ""});
    } else {
        paths.insert(paths.begin(), {path, ""});
    }
}

const std::vector<SearchPathEntry>& StandInFileSystem::SearchPaths(
    const std::string& pathIdentifier) {
    return m_SearchPaths[pathIdentifier];
}

StandInFileSystem& TheFileSystem() {
    static StandInFileSystem fileSystem;
    return fileSystem;
}
