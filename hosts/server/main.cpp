// The stand-in game server, and the demo of the product: it loads the engine's base library
// and then the plugin (mount_plugin.dll or mount_plugin.so) the way the engine does, attaches
// it as a server plugin, opens the same file a second time as a native script module the way
// the game's script runtime does, runs a script that mounts other games' content, and shows
// what the engine saw.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "application_catalogue.h"
#include "console_output.h"
#include "default_script.h"
#include "engine_abi.h"
#include "engine_factory.h"
#include "host_platform.h"
#include "script_runtime.h"
#include "server_plugin.h"
#include "standin_console.h"
#include "standin_file_system.h"
#include "standin_script_runtime.h"

namespace {

using host::kPluginFile;
constexpr char kMountPathIdentifier[] = "GAME";

constexpr char kUsage[] =
    "usage: %s [--catalogue FILE] [SCRIPT]\n"
    "  SCRIPT            script to run instead of the built-in demo script\n"
    "  --catalogue FILE  installed applications, one per line: appid folder [name]\n";

// Exit codes: the run went through (whatever the script did), the plugin could not be
// brought up, or the command line or its files were unusable.
constexpr int kExitRan = 0;
constexpr int kExitPluginFailed = 1;
constexpr int kExitUsage = 2;

struct ServerOptions {
    std::string scriptFile;     // empty: the built-in script
    std::string catalogueFile;  // empty: the built-in catalogue
};

std::optional<ServerOptions> ParseCommandLine(int argc, char** argv) {
    ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--catalogue" || argument == "--catalog") {
            if (i + 1 >= argc) return std::nullopt;
            options.catalogueFile = argv[++i];
        } else if (argument.starts_with("-") || !options.scriptFile.empty()) {
            return std::nullopt;
        } else {
            options.scriptFile = argument;
        }
    }
    return options;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

struct DemoInputs {
    ApplicationCatalogue catalogue;
    std::string script;
    std::string scriptName;
};

// The catalogue and the script, built in or read from the user's files.
std::optional<DemoInputs> PrepareInputs(const ServerOptions& options) {
    std::optional<ApplicationCatalogue> catalogue =
        options.catalogueFile.empty() ? ApplicationCatalogue::CreateDefault()
                                      : ApplicationCatalogue::ReadFile(options.catalogueFile);
    if (!catalogue) {
        PrintStep("server: cannot read the catalogue %s", options.catalogueFile.c_str());
        return std::nullopt;
    }
    if (options.scriptFile.empty()) {
        return DemoInputs{std::move(*catalogue), kDefaultScript, kDefaultScriptName};
    }
    std::optional<std::string> text = ReadWholeFile(options.scriptFile);
    if (!text) {
        PrintStep("server: cannot read the script %s", options.scriptFile.c_str());
        return std::nullopt;
    }
    return DemoInputs{std::move(*catalogue), std::move(*text), options.scriptFile};
}

int Fail(const char* what) {
    PrintStep("server: %s (%s)", what, host::LastError().c_str());
    return kExitPluginFailed;
}

// The engine's base library, loaded from the server's folder under the first of its names
// that is there, before any plugin, as the engine has it.
host::Module LoadBaseLibrary() {
    for (const char* file : host::BaseLibraryFiles()) {
        if (host::Module library = host::LoadModule(file)) {
            PrintStep("engine: loaded its base library %s", file);
            return library;
        }
    }
    return nullptr;
}

void PrintCatalogue(const ApplicationCatalogue& catalogue) {
    PrintStep("installed applications (%s):", catalogue.Origin().c_str());
    if (catalogue.Applications().empty()) PrintStep("    none");
    for (const auto& [appid, application] : catalogue.Applications()) {
        PrintStep("  %11d  %-14s %s", appid, application.name.c_str(), application.folder.c_str());
    }
}

void PrintSearchPaths(StandInFileSystem& fileSystem) {
    const auto& paths = fileSystem.SearchPaths(kMountPathIdentifier);
    PrintStep("\"%s\" search paths after the script, in search order:", kMountPathIdentifier);
    if (paths.empty()) PrintStep("    none");
    int position = 1;
    for (const SearchPathEntry& entry : paths) {
        if (entry.note.empty()) {
            PrintStep("  %3d. %s", position++, entry.path.c_str());
        } else {
            PrintStep("  %3d. %s  (%s)", position++, entry.path.c_str(), entry.note.c_str());
        }
    }
}

std::string DescribeApplication(const ApplicationCatalogue& catalogue, int appid) {
    const InstalledApplication* application = catalogue.Find(appid);
    if (application == nullptr || application->name.empty()) return Format("%d", appid);
    return Format("%d \"%s\"", appid, application->name.c_str());
}

// The engine's view of what was mounted, checked against what the module answers.
void PrintSummary(const StandInScriptRuntime::RunCounts& counts,
                  const ApplicationCatalogue& catalogue, StandInFileSystem& fileSystem,
                  StandInScriptRuntime& runtime) {
    PrintStep("summary: %d statement%s run, %d failed or refused", counts.statements,
              counts.statements == 1 ? "" : "s", counts.errors);
    std::string mounted;
    for (const int appid : fileSystem.MountedApplications()) {
        mounted += (mounted.empty() ? "" : ", ") + DescribeApplication(catalogue, appid);
    }
    PrintStep("  mounted appids: %s", mounted.empty() ? "none" : mounted.c_str());
    std::string refused;
    for (const int appid : fileSystem.RefusedApplications()) {
        refused += (refused.empty() ? "" : ", ") + Format("%d", appid);
    }
    if (!refused.empty()) PrintStep("  not installed, not mounted: %s", refused.c_str());

    int disagreements = 0;
    const auto check = [&](int appid, bool expected) {
        const std::optional<ScriptValue> answer =
            runtime.CallQuietly("IsGameMounted", {ScriptValue::Number(appid)});
        const bool agrees =
            answer && answer->type == ScriptValue::Type::Boolean && answer->boolean == expected;
        if (agrees) return;
        ++disagreements;
        PrintStep("  IsGameMounted(%d) answers %s, but the engine %s it", appid,
                  answer ? ShowValue(*answer).c_str() : "nothing",
                  expected ? "mounted" : "did not mount");
    };
    for (const int appid : fileSystem.MountedApplications()) check(appid, true);
    for (const int appid : fileSystem.RefusedApplications()) check(appid, false);
    if (disagreements == 0 &&
        !(fileSystem.MountedApplications().empty() && fileSystem.RefusedApplications().empty())) {
        PrintStep("  IsGameMounted agrees with the engine for each of them");
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::optional<ServerOptions> options = ParseCommandLine(argc, argv);
    if (!options) {
        std::printf(kUsage, host::kServerFile);
        return kExitUsage;
    }
    PrintStep("mount-plugin demo: a stand-in game server loads %s as the engine does, then",
              kPluginFile);
    PrintStep("opens it as a script module as the game's script runtime does, and runs a script.");
    PrintBlankLine();

    std::optional<DemoInputs> inputs = PrepareInputs(*options);
    if (!inputs) return kExitUsage;
    const ApplicationCatalogue& catalogue = inputs->catalogue;
    StandInFileSystem& fileSystem = TheFileSystem();
    fileSystem.UseCatalogue(&catalogue);
    PrintCatalogue(catalogue);
    PrintBlankLine();

    // The engine's side: its base library, then the plugin, attached.
    const host::Module baseLibrary = LoadBaseLibrary();
    if (baseLibrary == nullptr) return Fail("could not load the engine's base library");
    PrintStep("engine: loading %s", kPluginFile);
    const host::Module plugin = host::LoadModule(kPluginFile);
    if (plugin == nullptr) return Fail("could not load the plugin");
    auto createInterface = host::Export<InterfaceFactory>(plugin, "CreateInterface");
    if (createInterface == nullptr) return Fail("the plugin exports no CreateInterface");
    int returnCode = -1;
    auto* callbacks =
        static_cast<IServerPluginCallbacks*>(createInterface(kServerPluginVersion, &returnCode));
    if (callbacks == nullptr) {
        // A plugin that loads but offers nothing did not start: it found no engine allocator.
        PrintStep("engine: %s offers no %s (return code %d):", kPluginFile, kServerPluginVersion,
                  returnCode);
        PrintStep(
            "        it did not start, as it does when the engine's base library has no "
            "allocator");
        host::UnloadModule(plugin);
        return kExitPluginFailed;
    }
    PrintStep("engine: obtained %s (return code %d)", kServerPluginVersion, returnCode);
    const bool attached = EngineCall_AttachToEngine(callbacks, EngineFactory, EngineFactory);
    PrintStep("engine: attached plugin \"%s\": %s", EngineCall_DescribePlugin(callbacks),
              attached ? "true" : "false");
    PrintRefusedInterfaces();
    PrintConsoleEntries();

    // The script runtime's side: open the same file as a native module.
    StandInScriptRuntime runtime;
    const host::Module module = host::LoadModule(kPluginFile);
    if (module == nullptr) return Fail("the script runtime could not load the module");
    auto open = host::Export<ScriptModuleOpen>(module, "vesk_open");
    auto close = host::Export<ScriptModuleClose>(module, "vesk_close");
    if (open == nullptr || close == nullptr) return Fail("the module lacks vesk_open/vesk_close");
    const int opened = open(runtime.Host());
    std::string globals;
    for (const std::string& name : runtime.GlobalNames()) {
        globals += (globals.empty() ? "" : ", ") + name;
    }
    PrintStep("runtime: opened %s as a script module: vesk_open returned %d; it registered %s",
              kPluginFile, opened, globals.empty() ? "nothing" : globals.c_str());
    PrintBlankLine();

    PrintStep("script: %s", inputs->scriptName.c_str());
    const StandInScriptRuntime::RunCounts counts = runtime.Run(inputs->script);
    PrintBlankLine();
    PrintSearchPaths(fileSystem);
    PrintBlankLine();
    PrintSummary(counts, catalogue, fileSystem, runtime);
    PrintBlankLine();

    PrintStep("runtime: closed the module: vesk_close returned %d", close());
    host::UnloadModule(module);
    EngineCall_DetachFromEngine(callbacks);
    PrintStep("engine: detached plugin");
    PrintConsoleEntries();
    host::UnloadModule(plugin);
    PrintStep("engine: unloaded %s", kPluginFile);
    host::UnloadModule(baseLibrary);
    return kExitRan;
}
