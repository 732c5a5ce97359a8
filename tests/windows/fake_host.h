#pragma once

// The engine and script-runtime side of the Windows tests: recording fakes of every
// interface mount_plugin.dll calls, an engine factory that hands them out, and the DLL
// loaded through its exports. Shared by the tests that drive the real DLL.

#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console_entries.h"
#include "console_variable_interface.h"
#include "engine_server.h"
#include "file_system.h"
#include "script_runtime.h"
#include "server_plugin.h"

namespace fake {

inline constexpr char kPluginFile[] = "mount_plugin.dll";

// GetProcAddress hands out every export as one generic function type.
template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Mounts every id but the negation of failingAppId, and records what it was asked.
class RecordingFileSystem final : public FileSystemInterface {
public:
    int MountApplicationContent(int id) override {
        mounted.push_back(id);
        return id == static_cast<int>(0u - static_cast<unsigned>(failingAppId)) ? kMountFailed : 0;
    }
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override {
        appended.push_back(std::string(path) + "|" + pathIdentifier + "|" +
                           std::to_string(position));
    }

    int failingAppId = 999;
    std::vector<int> mounted;
    std::vector<std::string> appended;
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
        const char* now = variable != nullptr ? variable->ValueText() : nullptr;
        notifications.push_back({variable, oldString != nullptr ? oldString : "(null)", oldFloat,
                                 now != nullptr ? now : "(null)"});
    }

    int identifiersIssued = 0;
    std::vector<ConCommandBase*> registered;
    std::vector<int> unregistered;
    std::vector<Notification> notifications;
};

// One script runtime: its host object, module manager and the interface of its one state.
class RecordingRuntime final : public ScriptHostInterface,
                               public ScriptModuleManager,
                               public ScriptInterface {
public:
    explicit RecordingRuntime(std::uintptr_t stateId = 0x1234)
        : state(reinterpret_cast<ScriptState>(stateId)) {}

    ScriptState FetchScriptState() override { return state; }
    ScriptModuleManager* FetchModuleManager() override { return this; }
    // A state of another runtime is unknown here.
    ScriptInterface* InterfaceForState(ScriptState asked) override {
        return asked == state ? this : nullptr;
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

    // The most recently registered function of that name, or null.
    ScriptFunction Function(const char* name) const {
        for (std::size_t i = registered.size(); i-- > 0;) {
            if (registered[i] == name) return functions[i];
        }
        return nullptr;
    }

    // Calls a registered function the way the runtime does for a script, with the given
    // state (this runtime's own by default); -1 when no such function was registered.
    int Call(const char* name, const char* pathArgument, int numberArgument) {
        return CallAs(state, name, pathArgument, numberArgument);
    }
    int CallAs(ScriptState caller, const char* name, const char* pathArgument, int numberArgument) {
        path = pathArgument;
        number = numberArgument;
        ScriptFunction function = Function(name);
        return function != nullptr ? function(caller) : -1;
    }

    const ScriptState state;
    const char* path = nullptr;
    int number = 0;
    std::vector<int> pushed;
    std::vector<std::string> registered;
    std::vector<ScriptFunction> functions;
    std::vector<std::string> reports;
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
    if (std::strcmp(name, kFileSystemVersion) == 0) {
        offered = static_cast<FileSystemInterface*>(g_Engine.fileSystem);
    } else if (std::strcmp(name, kConsoleVariableVersion) == 0) {
        offered = static_cast<ConsoleVariableInterface*>(g_Engine.console);
    } else if (std::strcmp(name, kEngineServerVersion) == 0) {
        offered = &g_Engine.engineServer;
    }
    if (returnCode != nullptr) *returnCode = offered != nullptr ? 0 : 1;
    return offered;
}

// mount_plugin.dll loaded for the life of this object, with the entry points it exports.
struct PluginModule {
    HMODULE module = LoadLibraryA(kPluginFile);
    InterfaceFactory createInterface = Export<InterfaceFactory>(module, "CreateInterface");
    ScriptModuleOpen open = Export<ScriptModuleOpen>(module, "vesk_open");
    ScriptModuleClose close = Export<ScriptModuleClose>(module, "vesk_close");

    PluginModule() = default;
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    ~PluginModule() { Unload(); }

    bool Usable() const {
        return module != nullptr && createInterface != nullptr && open != nullptr &&
               close != nullptr;
    }
    IServerPluginCallbacks* Plugin() const {
        if (createInterface == nullptr) return nullptr;
        return static_cast<IServerPluginCallbacks*>(createInterface(kServerPluginVersion, nullptr));
    }
    // The exported console-variable pointer (g_pCVar), or null when not exported.
    ConsoleVariableInterface* ExportedConsole() const {
        auto** exported = Export<ConsoleVariableInterface**>(module, "g_pCVar");
        return exported != nullptr ? *exported : nullptr;
    }
    void Unload() {
        if (module != nullptr) FreeLibrary(module);
        module = nullptr;
        createInterface = nullptr;
        open = nullptr;
        close = nullptr;
    }
};

}  // namespace fake
