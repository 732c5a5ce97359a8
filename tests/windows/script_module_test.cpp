// The real mount_plugin.dll opened as a script module, with a recording runtime on this
// side of the binary boundary: entry points, registration, reports, and what unloading
// gives back. Every test loads and unloads the DLL, so each starts from a fresh library.
#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "fake_host.h"
#include "harness.h"
#include "tier0_testing.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

using fake::RecordingFileSystem;
using fake::RecordingRuntime;
using LoadedModule = fake::PluginModule;

// Offers the engine's factory this file system alone (null: nothing).
void OfferFileSystem(RecordingFileSystem* fileSystem) {
    fake::g_Engine = {fileSystem, nullptr};
}

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
    OfferFileSystem(&fileSystem);
    IServerPluginCallbacks* plugin = loaded.Plugin();
    if (!Check(plugin != nullptr, "plugin")) return;
    plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
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
    OfferFileSystem(nullptr);
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
        OfferFileSystem(&fileSystem);
        loaded.Plugin()->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
        RecordingRuntime runtime;
        loaded.open(&runtime);
        for (int appid = 1; appid <= count; ++appid) {
            runtime.Call("MountOtherGame", "p", appid * 7919);
        }
        loaded.Plugin()->DetachFromEngine();
        OfferFileSystem(nullptr);
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
