#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// What the stand-in engine knows as installed: application id → its content.
struct InstalledApplication {
    int appid = 0;
    std::string name;
    std::string folder;
};

class ApplicationCatalogue {
public:
    // Built-in applications whose content folders are created under a fresh folder in the
    // temporary directory and removed again when the catalogue goes away.
    static std::optional<ApplicationCatalogue> CreateDefault();
    // Reads a catalogue file: one application per line, "appid folder [name]". The folder
    // may be quoted when it holds spaces; a relative folder is taken from the file's own
    // folder. Lines starting with '#' and empty lines are skipped; a line that cannot be
    // read is reported and skipped. Nothing when the file cannot be opened.
    static std::optional<ApplicationCatalogue> ReadFile(const std::string& path);

    ApplicationCatalogue(ApplicationCatalogue&& other) noexcept;
    ApplicationCatalogue& operator=(ApplicationCatalogue&&) = delete;
    ~ApplicationCatalogue();

    const InstalledApplication* Find(int appid) const;
    const std::map<int, InstalledApplication>& Applications() const { return m_Applications; }
    // Where the catalogue came from, for the report.
    const std::string& Origin() const { return m_Origin; }

private:
    ApplicationCatalogue() = default;

    std::map<int, InstalledApplication> m_Applications;
    std::string m_Origin;
    // Folders this catalogue created, removed at destruction (deepest first).
    std::vector<std::string> m_CreatedFolders;
};
