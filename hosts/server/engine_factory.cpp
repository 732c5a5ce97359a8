#include "engine_factory.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine_abi.h"
#include "engine_server.h"
#include "standin_console.h"
#include "standin_file_system.h"

namespace {

std::vector<std::string> s_RefusedVersions;

// The engine-server interface has no operation the plugin calls; any object stands for it.
struct EngineServerStandIn {
    int unused = 0;
} s_EngineServer;

}  // namespace

void* EngineFactory(const char* versionName, int* returnCode) {
    // The plugin is handed the engine's view of the stand-ins, laid out as a real engine's.
    static const EngineObject<FileSystemInterface> s_FileSystem(&TheFileSystem());
    static const EngineObject<ConsoleVariableInterface> s_Console(&TheConsole());
    void* offered = nullptr;
    if (std::strcmp(versionName, kFileSystemVersion) == 0) {
        offered = s_FileSystem.get();
    } else if (std::strcmp(versionName, kEngineServerVersion) == 0) {
        offered = &s_EngineServer;
    } else if (std::strcmp(versionName, kConsoleVariableVersion) == 0) {
        offered = s_Console.get();
    }
    if (offered == nullptr) s_RefusedVersions.emplace_back(versionName);
    if (returnCode != nullptr) *returnCode = offered != nullptr ? 0 : 1;
    return offered;
}

void PrintRefusedInterfaces() {
    if (s_RefusedVersions.empty()) return;
    // A stand-in engine offers only what the demo needs; the rest stays null in the plugin.
    std::printf("engine: not offered to the plugin (%zu interfaces):", s_RefusedVersions.size());
    std::size_t column = 80;
    for (const std::string& name : s_RefusedVersions) {
        if (column + name.size() + 1 > 88) {
            std::printf("\n       ");
            column = 7;
        }
        std::printf(" %s", name.c_str());
        column += name.size() + 1;
    }
    std::printf("\n");
}
