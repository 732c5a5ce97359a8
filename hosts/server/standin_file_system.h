#pragma once

#include <map>
#include <string>
#include <vector>

#include "application_catalogue.h"
#include "file_system.h"

// One entry of a search path list; note says who added it when it was not a plugin.
struct SearchPathEntry {
    std::string path;
    std::string note;
};

// The stand-in engine file system: search paths kept per path identifier, and the
// applications of a catalogue that can be mounted. Every call is shown as it happens.
class StandInFileSystem final : public FileSystemInterface {
public:
    // Mounting an installed application (the caller passes its id negated) adds its
    // content folder under "GAME" and answers 0; anything else answers 1.
    int MountApplicationContent(int id) override;
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override;

    // The catalogue must outlive the file system's use.
    void UseCatalogue(const ApplicationCatalogue* catalogue) { m_pCatalogue = catalogue; }

    const std::vector<SearchPathEntry>& SearchPaths(const std::string& pathIdentifier);
    // Application ids mounted so far, in the order of their first mount.
    const std::vector<int>& MountedApplications() const { return m_Mounted; }
    // Application ids whose mount was refused, in order, each once.
    const std::vector<int>& RefusedApplications() const { return m_Refused; }

private:
    std::map<std::string, std::vector<SearchPathEntry>> m_SearchPaths;
    const ApplicationCatalogue* m_pCatalogue = nullptr;
    std::vector<int> m_Mounted;
    std::vector<int> m_Refused;
};

StandInFileSystem& TheFileSystem();
