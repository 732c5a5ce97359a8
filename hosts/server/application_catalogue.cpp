#include "application_catalogue.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "console_output.h"
#include "host_platform.h"

namespace {

struct DefaultApplication {
    int appid;
    const char* name;
};

constexpr DefaultApplication kDefaultApplications[] = {
    {240, "Harbor Siege"},
    {300, "Quiet Valley"},
    {4000, "Copper Reach"},
};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of(host::kPathSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Splits off the next token: a run of non-blanks, or a double-quoted text.
std::optional<std::string> NextToken(const std::string& line, std::size_t& position) {
    position = line.find_first_not_of(" \t", position);
    if (position == std::string::npos) return std::nullopt;
    if (line[position] == '"') {
        const std::size_t close = line.find('"', position + 1);
        if (close == std::string::npos) return std::nullopt;
        std::string token = line.substr(position + 1, close - position - 1);
        position = close + 1;
        return token;
    }
    const std::size_t end = std::min(line.find_first_of(" \t", position), line.size());
    std::string token = line.substr(position, end - position);
    position = end;
    return token;
}

std::optional<int> ParseAppId(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < -2147483648LL || value > 2147483647LL) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

ApplicationCatalogue::ApplicationCatalogue(ApplicationCatalogue&& other) noexcept
    : m_Applications(std::move(other.m_Applications)),
      m_Origin(std::move(other.m_Origin)),
      m_CreatedFolders(std::exchange(other.m_CreatedFolders, {})) {}

ApplicationCatalogue::~ApplicationCatalogue() {
    for (auto folder = m_CreatedFolders.rbegin(); folder != m_CreatedFolders.rend(); ++folder) {
        host::RemoveFolder(*folder);
    }
}

std::optional<ApplicationCatalogue> ApplicationCatalogue::CreateDefault() {
    const std::string temporary = host::TemporaryFolder();
    if (temporary.empty()) {
        PrintStep("server: no temporary folder for the built-in catalogue");
        return std::nullopt;
    }
    ApplicationCatalogue catalogue;
    const std::string root = Format("%smount-demo-%lu", temporary.c_str(),
                                    static_cast<unsigned long>(host::ProcessId()));
    if (!host::MakeFolder(root)) {
        PrintStep("server: cannot create %s (%s)", root.c_str(), host::LastError().c_str());
        return std::nullopt;
    }
    catalogue.m_CreatedFolders.push_back(root);
    for (const DefaultApplication& application : kDefaultApplications) {
        const std::string folder = host::InFolder(root, std::to_string(application.appid));
        if (!host::MakeFolder(folder)) {
            PrintStep("server: cannot create %s (%s)", folder.c_str(), host::LastError().c_str());
            return std::nullopt;
        }
        catalogue.m_CreatedFolders.push_back(folder);
        catalogue.m_Applications[application.appid] =
            InstalledApplication{application.appid, application.name, folder};
    }
    catalogue.m_Origin = "built-in catalogue, content folders under " + root;
    return catalogue;
}

std::optional<ApplicationCatalogue> ApplicationCatalogue::ReadFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    ApplicationCatalogue catalogue;
    catalogue.m_Origin = "catalogue " + path;
    const std::string base = FolderOf(path);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string content = Trimmed(line);
        if (content.empty() || content[0] == '#') continue;
        std::size_t position = 0;
        const std::optional<std::string> idText = NextToken(content, position);
        const std::optional<int> appid = idText ? ParseAppId(*idText) : std::nullopt;
        const std::optional<std::string> folder = NextToken(content, position);
        if (!appid || !folder || folder->empty()) {
            PrintStep("server: %s:%d: skipped, expected: appid folder [name]", path.c_str(),
                      number);
            continue;
        }
        InstalledApplication application;
        application.appid = *appid;
        application.folder = host::IsAbsolutePath(*folder) ? *folder : base + *folder;
        application.name = position < content.size() ? Trimmed(content.substr(position)) : "";
        if (catalogue.m_Applications.count(*appid) != 0) {
            PrintStep("server: %s:%d: appid %d listed again; this line wins", path.c_str(), number,
                      *appid);
        }
        catalogue.m_Applications[*appid] = std::move(application);
    }
    return catalogue;
}

const InstalledApplication* ApplicationCatalogue::Find(int appid) const {
    const auto found = m_Applications.find(appid);
    return found == m_Applications.end() ? nullptr : &found->second;
}
