// The real mount_plugin.dll driven out of order, as a confused engine or script runtime
// might: script functions before attach, after detach and after vesk_close, attach twice,
// detach without attach, vesk_open twice, and unload and reload in one process. Each
// sequence must leave the host running and tell scripts only what is true.
#include <windows.h>

#include <string>
#include <vector>

#include "fake_host.h"
#include "harness.h"
#include "tier0_testing.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

std::string Mounted(int appid) {
    return "M:[OK] Mounted appid " + std::to_string(appid) + "\n";
}

// The answer IsGameMounted pushes, or -1 when it pushed nothing.
int IsMounted(fake::RecordingRuntime& runtime, int appid) {
    const std::size_t before = runtime.pushed.size();
    const int results = runtime.Call("IsGameMounted", nullptr, appid);
    if (runtime.pushed.size() != before + 1) return -1;
    CheckEqual(results, 1, "results of IsGameMounted");
    return runtime.pushed.back();
}

int LiveBlocks() {
    Tier0AllocatorCounters counters{};
    Tier0Test_ReadCounters(&counters);
    return counters.liveBlocks;
}

// A fresh engine for each sequence.
struct Engine {
    fake::RecordingFileSystem fileSystem;
    fake::RecordingConsole console;
    Engine() { fake::g_Engine = {&fileSystem, &console}; }
    ~Engine() { fake::g_Engine = {}; }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
};

const harness::Test kBeforeAttach("script functions before the plugin is attached", [] {
    Engine engine;
    fake::PluginModule loaded;
    if (!Check(loaded.Usable(), "module")) return;
    fake::RecordingRuntime runtime;
    CheckEqual(loaded.open(&runtime), 0, "vesk_open");
    CheckEqual(runtime.Call("MountOtherGame", "content/early", 440), 0, "results");
    Check(runtime.reports == std::vector<std::string>{"F:[NOT OK] Unable to mount appid 440: "
                                                      "the server plugin is not loaded"},
          "the refusal says why");
    Check(engine.fileSystem.mounted.empty() && engine.fileSystem.appended.empty(),
          "the engine was not touched");
    CheckEqual(IsMounted(runtime, 440), 0, "IsGameMounted(440) before attach");

    // Once attached, the same functions work.
    IServerPluginCallbacks* plugin = loaded.Plugin();
    plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
    runtime.Call("MountOtherGame", "content/early", 440);
    CheckEqual(runtime.reports.back(), Mounted(440), "report after attach");
    CheckEqual(IsMounted(runtime, 440), 1, "IsGameMounted(440) after attach");
    plugin->DetachFromEngine();
});

const harness::Test kAfterDetach("script functions and the variable after detach", [] {
    Engine engine;
    fake::PluginModule loaded;
    if (!Check(loaded.Usable(), "module")) return;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
    fake::RecordingRuntime runtime;
    loaded.open(&runtime);
    runtime.Call("MountOtherGame", "content/first", 440);
    if (!CheckEqual(engine.console.registered.size(), std::size_t{1}, "entries")) return;
    auto* variable = static_cast<ConVar*>(engine.console.registered[0]);
    plugin->DetachFromEngine();
    Check(loaded.ExportedConsole() == nullptr, "console disconnected");

    // The engine's file system outlives the plugin's unload, and the script runtime still
    // holds the functions: mounting goes on, and says so truthfully.
    runtime.Call("MountOtherGame", "content/second", 441);
    runtime.Call("MountOtherGame", "content/missing", 999);
    Check(runtime.reports == std::vector<std::string>{Mounted(440), Mounted(441),
                                                      "F:[NOT OK] Unable to mount appid 999"},
          "reports");
    Check(engine.fileSystem.mounted == std::vector<int>{-440, -441, -999}, "mounted by the engine");
    CheckEqual(IsMounted(runtime, 440), 1, "IsGameMounted(440)");
    CheckEqual(IsMounted(runtime, 441), 1, "IsGameMounted(441)");
    CheckEqual(IsMounted(runtime, 999), 0, "IsGameMounted(999)");

    // A change with no console connected reaches no console, and the value still changes.
    variable->ApplyString("a text longer than the buffer the variable has had so far");
    variable->ApplyInt(4);
    CheckText(variable->ValueText(), "4", "value text");
    Check(engine.console.notifications.empty(), "nothing sent to the disconnected console");
    CheckEqual(engine.console.unregistered.size(), std::size_t{1}, "unregistered once");
});

const harness::Test kAfterClose("script functions after vesk_close", [] {
    Engine engine;
    fake::PluginModule loaded;
    if (!Check(loaded.Usable(), "module")) return;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
    fake::RecordingRuntime runtime;
    loaded.open(&runtime);
    runtime.Call("MountOtherGame", "content/before", 440);
    CheckEqual(loaded.close(), 0, "vesk_close");
    CheckEqual(loaded.close(), 0, "vesk_close again");
    runtime.Call("MountOtherGame", "content/after", 441);
    Check(runtime.reports == std::vector<std::string>{Mounted(440), Mounted(441)}, "reports");
    CheckEqual(IsMounted(runtime, 440), 1, "IsGameMounted(440)");
    CheckEqual(IsMounted(runtime, 441), 1, "IsGameMounted(441)");
    CheckEqual(IsMounted(runtime, 442), 0, "IsGameMounted(442)");
    plugin->DetachFromEngine();
});

fake::RecordingFileSystem g_SecondFileSystem;

void* SecondEngineFactory(const char* name, int* returnCode) {
    if (std::strcmp(name, kFileSystemVersion) == 0) {
        if (returnCode != nullptr) *returnCode = 0;
        return static_cast<FileSystemInterface*>(&g_SecondFileSystem);
    }
    return fake::EngineFactory(name, returnCode);
}

const harness::Test kAttachTwice("attach twice, then detach twice", [] {
    Engine engine;
    fake::PluginModule loaded;
    if (!Check(loaded.Usable(), "module")) return;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    Check(plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory), "first attach");
    // The second load takes the file system it is offered now; the console stays the one
    // connected first, and the entries are not handed over a second time.
    Check(plugin->AttachToEngine(SecondEngineFactory, SecondEngineFactory), "second attach");
    CheckEqual(engine.console.identifiersIssued, 1, "identifiers issued");
    CheckEqual(engine.console.registered.size(), std::size_t{1}, "entries registered");
    Check(loaded.ExportedConsole() == &engine.console, "console connected");

    fake::RecordingRuntime runtime;
    loaded.open(&runtime);
    runtime.Call("MountOtherGame", "content/other", 440);
    Check(runtime.reports == std::vector<std::string>{Mounted(440)}, "one report per call");
    Check(engine.fileSystem.mounted.empty(), "the first file system was replaced");
    Check(g_SecondFileSystem.mounted == std::vector<int>{-440}, "mounted once");

    plugin->DetachFromEngine();
    plugin->DetachFromEngine();
    Check(engine.console.unregistered == std::vector<int>{1234}, "unregistered once");
    Check(loaded.ExportedConsole() == nullptr, "console disconnected");
    g_SecondFileSystem = {};
});

const harness::Test kDetachFirst("detach before any attach", [] {
    Engine engine;
    fake::PluginModule loaded;
    if (!Check(loaded.Usable(), "module")) return;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    plugin->DetachFromEngine();
    Check(engine.console.unregistered.empty(), "nothing unregistered");
    // A proper life afterwards is unaffected.
    plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
    CheckEqual(engine.console.registered.size(), std::size_t{1}, "entries registered");
    plugin->DetachFromEngine();
    Check(engine.console.unregistered == std::vector<int>{1234}, "unregistered once");
});

const harness::Test kNoFactory("attach without an engine factory", [] {
    Engine engine;
    fake::PluginModule loaded;
    if (!Check(loaded.Usable(), "module")) return;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    // As a factory that offers nothing: the load succeeds and nothing is connected.
    Check(plugin->AttachToEngine(nullptr, nullptr), "attach returns true");
    Check(loaded.ExportedConsole() == nullptr, "no console");
    fake::RecordingRuntime runtime;
    loaded.open(&runtime);
    runtime.Call("MountOtherGame", "content/other", 440);
    Check(runtime.reports == std::vector<std::string>{"F:[NOT OK] Unable to mount appid 440: "
                                                      "the server plugin is not loaded"},
          "the refusal says why");
    plugin->DetachFromEngine();
    // A later proper load works as usual.
    plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
    CheckEqual(engine.console.registered.size(), std::size_t{1}, "entries registered");
    runtime.Call("MountOtherGame", "content/other", 440);
    CheckEqual(runtime.reports.back(), Mounted(440), "report after a proper attach");
    plugin->DetachFromEngine();
});

const harness::Test kOpenTwice("vesk_open twice, by the same and by another runtime", [] {
    Engine engine;
    fake::PluginModule loaded;
    if (!Check(loaded.Usable(), "module")) return;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
    fake::RecordingRuntime first;
    CheckEqual(loaded.open(&first), 0, "first vesk_open");
    CheckEqual(loaded.open(&first), 0, "second vesk_open");
    Check(first.registered == std::vector<std::string>{"MountOtherGame", "IsGameMounted",
                                                       "MountOtherGame", "IsGameMounted"},
          "each open registers both again");
    first.Call("MountOtherGame", "content/other", 440);
    Check(first.reports == std::vector<std::string>{Mounted(440)}, "one report per call");
    Check(engine.fileSystem.mounted == std::vector<int>{-440}, "mounted once");

    // Another runtime opens the module: from now on the module serves the states that
    // runtime knows. A state it does not know gets neither an answer nor a mount.
    fake::RecordingRuntime second(0x5678);
    CheckEqual(loaded.open(&second), 0, "vesk_open by another runtime");
    CheckEqual(first.Call("MountOtherGame", "content/stale", 441), 0, "results for a stale state");
    CheckEqual(first.Call("IsGameMounted", nullptr, 440), 0, "answers for a stale state");
    Check(first.reports.size() == 1 && first.pushed.empty(), "nothing reported to it");
    Check(engine.fileSystem.mounted == std::vector<int>{-440}, "nothing mounted for it");
    second.Call("MountOtherGame", "content/other", 442);
    Check(second.reports == std::vector<std::string>{Mounted(442)}, "the new runtime's report");
    CheckEqual(IsMounted(second, 440), 1, "the registry is the process's");
    CheckEqual(IsMounted(second, 441), 0, "the stale call mounted nothing");
    plugin->DetachFromEngine();
});

// One life of the DLL in this process: what it registered and what it reports.
struct Life {
    bool registeredAfresh = false;
    int mountedBeforeMounting = -1;
    std::string textAtStart;
    int blocksLeft = -1;
};

Life LiveOnce(Engine& engine) {
    Life life;
    const int liveBefore = LiveBlocks();
    {
        fake::PluginModule loaded;
        if (!Check(loaded.Usable(), "module")) return life;
        Check(loaded.ExportedConsole() == nullptr, "console not connected before attach");
        IServerPluginCallbacks* plugin = loaded.Plugin();
        const std::size_t registeredBefore = engine.console.registered.size();
        plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
        life.registeredAfresh = engine.console.registered.size() == registeredBefore + 1;
        fake::RecordingRuntime runtime;
        loaded.open(&runtime);
        life.mountedBeforeMounting = IsMounted(runtime, 440);
        runtime.Call("MountOtherGame", "content/other", 440);
        CheckEqual(runtime.reports.back(), Mounted(440), "report");
        CheckEqual(IsMounted(runtime, 440), 1, "IsGameMounted(440) after mounting");
        if (life.registeredAfresh) {
            auto* variable = static_cast<ConVar*>(engine.console.registered.back());
            life.textAtStart = variable->ValueText();
            variable->ApplyString("a value text that makes the variable's buffer grow");
        }
        loaded.close();
        plugin->DetachFromEngine();
    }
    Check(GetModuleHandleA(fake::kPluginFile) == nullptr, "unloaded");
    life.blocksLeft = LiveBlocks() - liveBefore;
    return life;
}

const harness::Test kReload("unload and reload in one process start afresh", [] {
    Engine engine;
    for (int life = 1; life <= 3; ++life) {
        const Life seen = LiveOnce(engine);
        const std::string which = "life " + std::to_string(life);
        Check(seen.registeredAfresh, which + ": console entry registered");
        CheckEqual(seen.mountedBeforeMounting, 0, which + ": IsGameMounted(440) at start");
        CheckEqual(seen.textAtStart, std::string("0"), which + ": variable text at start");
        CheckEqual(seen.blocksLeft, 0, which + ": blocks left after unload");
    }
    CheckEqual(engine.console.identifiersIssued, 3, "identifiers issued");
    Check(engine.console.unregistered == std::vector<int>{1234, 1235, 1236}, "unregistered");
});

}  // namespace
