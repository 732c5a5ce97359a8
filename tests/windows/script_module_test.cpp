// The real mount_plugin.dll opened as a script module, with a recording runtime on this
// side of the binary boundary: entry points, registration, reports, and what unloading
// gives back. Every test loads and unloads the DLL, so each starts from a fresh library.
#include <windows.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "file_system.h"
#include "harness.h"
#include "script_runtime.h"
#include "server_plugin.h"
#include "tier0_testing.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class RecordingFileSystem final : public FileSystemInterface {
public:
    int MountApplicationContent(int id) override {
        mounted.push_back(id);
        return id == -999 ? kMountFailed : 0;
    }
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override {
        appended.push_back(std::string(path) + "|" + pathIdentifier + "|" +
                           std::to_string(position));
    }
    std::vector<int> mounted;
    std::vector<std::string> appended;
};

RecordingFileSystem* g_pOfferedFileSystem = nullptr;

void* TestEngineFactory(const char* name, int* returnCode) {
    void* offered = std::strcmp(name, kFileSystemVersion) == 0 ? g_pOfferedFileSystem : nullptr;
    if (returnCode != nullptr) *returnCode = offered != nullptr ? 0 : 1;
    return offered;
}

class RecordingRuntime final : public ScriptHostInterface,
                               public ScriptModuleManager,
                               public ScriptInterface {
public:
    ScriptState FetchScriptState() override { return kState; }
    ScriptModuleManager* FetchModuleManager() override { return this; }
    ScriptInterface* InterfaceForState(ScriptState state) override {
        return state == kState ? this : nullptr;
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

    // Calls a registered function the way the runtime does for a script.
    int Call(const char* name, const char* pathArgument, int numberArgument) {
        path = pathArgument;
        number = numberArgument;
        for (std::size_t i = 0; i < registered.size(); ++i) {
            if (registered[i] == name) return functions[i](kState);
        }
        return -1;
    }

    static inline const ScriptState kState = reinterpret_cast<ScriptState>(0x1234);
    const char* path = nullptr;
    int number = 0;
    std::vector<int> pushed;
    std::vector<std::string> registered;
    std::vector<ScriptFunction> functions;
    std::vector<std::string> reports;
};

struct LoadedModule {
    HMODULE module = LoadLibraryA("mount_plugin.dll");
    ScriptModuleOpen open = Export<ScriptModuleOpen>(module, "vesk_open");
    ScriptModuleClose close = Export<ScriptModuleClose>(module, "vesk_close");
    ~LoadedModule() {
        if (module != nullptr) FreeLibrary(module);
    }
    bool Usable() const { return module != nullptr && open != nullptr && close != nullptr; }
    IServerPluginCallbacks* Plugin() const {
        auto createInterface = Export<InterfaceFactory>(module, "CreateInterface");
        return static_cast<IServerPluginCallbacks*>(createInterface(kServerPluginVersion, nullptr));
    }
};

const harness::Test kEntryPoints("vesk_open registers both functions in order", [] {
    LoadedModule loaded;
    if (!Check(loaded.Usable(), "vesk_open and vesk_close exported")) return;
    Check(GetProcAddress(loaded.module, "_vesk_open") == nullptr, "undecorated name only");
    RecordingRuntime runtime;
    CheckEqual(loaded.open(&runtime), 0, "vesk_open");
    CheckEqual(runtime.registered.size(), std::size_t{2}, "registrations");
    if (runtime.registered.size() == 2) {
        CheckText(runtime.registered[0].c_str(), "MountOtherGame", "first");
        CheckText(runtime.registered[1].c_str(), "IsGameMounted", "second");
    }
    CheckEqual(loaded.close(), 0, "vesk_close");
});

const harness::Test kMounting("reports and negated ids through the real DLL", [] {
    LoadedModule loaded;
    if (!Check(loaded.Usable(), "module")) return;
    RecordingFileSystem fileSystem;
    g_pOfferedFileSystem = &fileSystem;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    if (!Check(plugin != nullptr, "plugin")) return;
    plugin->AttachToEngine(TestEngineFactory, TestEngineFactory);
    RecordingRuntime runtime;
    loaded.open(&runtime);

    runtime.Call("MountOtherGame", "content/other", 240);
    runtime.Call("MountOtherGame", "content/min", INT_MIN);
    runtime.Call("MountOtherGame", "content/missing", 999);
    Check(fileSystem.mounted == std::vector<int>{-240, INT_MIN, -999}, "ids as mounted");
    Check(fileSystem.appended == std::vector<std::string>{"content/other|GAME|1",
                                                          "content/min|GAME|1",
                                                          "content/missing|GAME|1"},
          "search paths appended at the tail of GAME");
    Check(runtime.reports == std::vector<std::string>{"M:[OK] Mounted appid 240\n",
                                                      "M:[OK] Mounted appid -2147483648\n",
                                                      "F:[NOT OK] Unable to mount appid 999"},
          "reports");
    for (const int appid : {240, INT_MIN, 999, 0}) runtime.Call("IsGameMounted", nullptr, appid);
    Check(runtime.pushed == std::vector<int>{1, 1, 0, 0}, "IsGameMounted answers");

    plugin->DetachFromEngine();
    g_pOfferedFileSystem = nullptr;
});

// Host-allocator blocks still live after the DLL is gone, having mounted count ids.
int LiveBlocksLeftAfterMounting(int count) {
    Tier0AllocatorCounters before{};
    Tier0AllocatorCounters after{};
    Tier0Test_ReadCounters(&before);
    {
        LoadedModule loaded;
        if (!loaded.Usable()) return -1;
        RecordingFileSystem fileSystem;
        g_pOfferedFileSystem = &fileSystem;
        loaded.Plugin()->AttachToEngine(TestEngineFactory, TestEngineFactory);
        RecordingRuntime runtime;
        loaded.open(&runtime);
        for (int appid = 1; appid <= count; ++appid) {
            runtime.Call("MountOtherGame", "p", appid * 7919);
        }
        loaded.Plugin()->DetachFromEngine();
        g_pOfferedFileSystem = nullptr;
    }
    Tier0Test_ReadCounters(&after);
    return after.liveBlocks - before.liveBlocks;
}

const harness::Test kUnload("the registry's storage goes back when the DLL unloads", [] {
    // Compared with a run that mounts nothing, so that only the registry's part counts.
    const int withoutMounts = LiveBlocksLeftAfterMounting(0);
    const int withMounts = LiveBlocksLeftAfterMounting(200);
    CheckEqual(withMounts, withoutMounts, "blocks left behind by 200 mounts");
});

}  // namespace
