#pragma once

// The engine and script-runtime side of the product's tests: recording fakes of every
// interface the plugin calls, an engine factory that hands them out, and the plugin loaded
// through its exports. Shared by the tests that drive the real library. The library is handed
// each fake's engine view, laid out as a real engine's object, and the tests call the
// library's objects through the bridge's engine calls, as a real engine does.

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine_abi.h"
#include "engine_server.h"
#include "host_platform.h"
#include "tier0_testing.h"

namespace fake {

using host::Export;
using host::kPluginFile;
// The one app the engine cannot mount.
inline constexpr int kMissingAppId = 999;

// Mounts every id but the negation of kMissingAppId, and records what it was asked.
class RecordingFileSystem final : public FileSystemInterface {
public:
    int MountApplicationContent(int id) override {
        mounted.push_back(id);
        return id == -kMissingAppId ? kMountFailed : 0;
    }
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override {
        appended.push_back(std::string(path) + "|" + pathIdentifier + "|" +
                           std::to_string(position));
    }

    std::vector<int> mounted;
    std::vector<std::string> appended;
    EngineObject<FileSystemInterface> engine{this};
};

struct Notification {
    ConVar* variable;
    std::string oldText;
    float oldFloat;
    std::string newText;  // the variable's text while it was being notified
};

// Issues identifiers 1234, 1235, ... and records registrations and change notifications.
class RecordingConsole final : public ConsoleVariableInterface {
public:
    int AllocateOwnerIdentifier() override { return ++identifiersIssued + 1233; }
    void RegisterCommand(ConCommandBase* command) override { registered.push_back(command); }
    void UnregisterOwner(int identifier) override { unregistered.push_back(identifier); }
    void NotifyValueChanged(ConVar* variable, const char* oldString, float oldFloat) override {
        const char* now = variable != nullptr ? EngineCall_ValueText(variable) : nullptr;
        notifications.push_back({variable, oldString != nullptr ? oldString : "(null)", oldFloat,
                                 now != nullptr ? now : "(null)"});
    }

    int identifiersIssued = 0;
    std::vector<ConCommandBase*> registered;
    std::vector<int> unregistered;
    std::vector<Notification> notifications;
    EngineObject<ConsoleVariableInterface> engine{this};
};

// One script runtime: its host object, module manager and the interface of its one state.
class RecordingRuntime final : public ScriptHostInterface,
                               public ScriptModuleManager,
                               public ScriptInterface {
public:
    ScriptState FetchScriptState() override { return state; }
    ScriptModuleManager* FetchModuleManager() override { return managerEngine.get(); }
    // A state of another runtime is unknown here.
    ScriptInterface* InterfaceForState(ScriptState asked) override {
        return asked == state ? interfaceEngine.get() : nullptr;
    }
    const char* ArgumentString(int index) override { return index == 1 ? path : nullptr; }
    int ArgumentInteger(int) override { return number; }
    void PushBoolean(int value) override { pushed.push_back(value); }
    void RegisterGlobalFunction(const char* name, ScriptFunction function) override {
        registered.emplace_back(name);
        functions.push_back(function);
    }
    void RequireArgumentType(int, int) override {}
    void ReportFailure(const char* text) override { reports.push_back(std::string("F:") + text); }
    void PrintMessage(const char* format, ...) override {
        char text[256];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof(text), format, arguments);
        va_end(arguments);
        reports.push_back(std::string("M:") + text);
    }
    // Calls the latest function registered under name as the runtime does for a script of
    // this runtime's state; -1 when there is none.
    int Call(const char* name, const char* pathArgument, int numberArgument) {
        path = pathArgument;
        number = numberArgument;
        for (std::size_t i = registered.size(); i-- > 0;) {
            if (registered[i] == name) return functions[i](state);
        }
        return -1;
    }

    ScriptState state = reinterpret_cast<ScriptState>(0x1234);
    const char* path = nullptr;
    int number = 0;
    std::vector<int> pushed;
    std::vector<std::string> registered;
    std::vector<ScriptFunction> functions;
    std::vector<std::string> reports;  // "M:" messages and "F:" failures, in order
    // What vesk_open is handed.
    ScriptHostInterface* Host() { return hostEngine.get(); }

private:
    EngineObject<ScriptHostInterface> hostEngine{this};
    EngineObject<ScriptModuleManager> managerEngine{this};
    EngineObject<ScriptInterface> interfaceEngine{this};
};

// What the engine's factory offers: set these before attaching, null offers nothing.
struct Engine {
    RecordingFileSystem* fileSystem = nullptr;
    RecordingConsole* console = nullptr;
    int engineServer = 0;
};
inline Engine g_Engine;

inline void* EngineFactory(const char* name, int* returnCode) {
    void* offered = nullptr;
    if (std::strcmp(name, kFileSystemVersion) == 0 && g_Engine.fileSystem != nullptr) {
        offered = g_Engine.fileSystem->engine.get();
    } else if (std::strcmp(name, kConsoleVariableVersion) == 0 && g_Engine.console != nullptr) {
        offered = g_Engine.console->engine.get();
    } else if (std::strcmp(name, kEngineServerVersion) == 0) {
        offered = &g_Engine.engineServer;
    }
    if (returnCode != nullptr) *returnCode = offered != nullptr ? 0 : 1;
    return offered;
}

// The plugin loaded for the life of this object, with the entry points it exports.
struct PluginModule {
    host::Module module = host::LoadModule(kPluginFile);
    InterfaceFactory createInterface = Export<InterfaceFactory>(module, "CreateInterface");
    ScriptModuleOpen open = Export<ScriptModuleOpen>(module, "vesk_open");
    ScriptModuleClose close = Export<ScriptModuleClose>(module, "vesk_close");
    ~PluginModule() { Unload(); }

    // The plugin object, or null when the library or one of its entry points is missing.
    IServerPluginCallbacks* Plugin() const {
        if (module == nullptr || !createInterface || !open || !close) return nullptr;
        return static_cast<IServerPluginCallbacks*>(createInterface(kServerPluginVersion, nullptr));
    }
    // The console-variable pointer exported as g_pCVar or cvar (the engine view the library
    // was handed), or null when not exported.
    ConsoleVariableInterface* ExportedConsole(const char* name = "g_pCVar") const {
        auto** exported = Export<ConsoleVariableInterface**>(module, name);
        return exported != nullptr ? *exported : nullptr;
    }
    void Unload() {
        host::UnloadModule(module);
        module = nullptr;
    }
};

// The stand-in allocator's counters; liveBlocks: handed out and not yet given back.
inline Tier0AllocatorCounters Counters() {
    Tier0AllocatorCounters counters{};
    Tier0Test_ReadCounters(&counters);
    return counters;
}

}  // namespace fake
