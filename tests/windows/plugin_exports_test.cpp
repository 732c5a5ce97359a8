// The real mount_plugin.dll, loaded beside the stand-in tier0.dll and driven only through
// its exports, as the engine drives it: the export table, the factory's exact-name rule, and
// the values of the console variable it registers, which come from the DLL's x87 code.
#include <windows.h>

#include <climits>
#include <limits>

#include "fake_host.h"
#include "harness.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

const harness::Test kExports("exactly the documented exports; the factory's exact-name rule", [] {
    fake::PluginModule loaded;
    if (!Check(loaded.module != nullptr, "LoadLibrary(mount_plugin.dll)")) return;
    // The export table, read from the image as the loader reads it.
    const auto* base = reinterpret_cast<const unsigned char*>(loaded.module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        found.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    }
    // Sorted, as the table keeps them, and no export by ordinal only besides.
    Check(found == std::vector<std::string>{"CreateInterface", "cvar", "g_pCVar", "vesk_close",
                                            "vesk_open"},
          "exported names");
    CheckEqual(exports->NumberOfFunctions, DWORD{5}, "exported functions and data");

    // The factory answers the exact name only.
    if (!Check(loaded.Plugin() != nullptr, "CreateInterface")) return;
    int code = -1;
    void* object = loaded.createInterface(kServerPluginVersion, &code);
    Check(object != nullptr && code == 0, "plugin object, return code 0");
    Check(loaded.createInterface(kServerPluginVersion, nullptr) == object, "same object again");
    for (const char* other : {"ISERVERPLUGINCALLBACKS003", "iserverplugincallbacks002",
                              "ISERVERPLUGINCALLBACKS002 ", "ISERVERPLUGINCALLBACKS00"}) {
        code = -1;
        Check(loaded.createInterface(other, &code) == nullptr, other);
        CheckEqual(code, 1, "return code on failure");
        Check(loaded.createInterface(other, nullptr) == nullptr, other);
    }
});

// The value conversions as the i686 build does them on the x87 unit, through the variable
// handed to the engine's console.
const harness::Test kValues("the registered variable's values in the i686 build", [] {
    fake::RecordingFileSystem fileSystem;
    fake::RecordingConsole console;
    fake::g_Engine = {&fileSystem, &console};
    fake::PluginModule loaded;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    if (!Check(plugin != nullptr, "plugin object")) return;
    EngineCall_AttachToEngine(plugin, fake::EngineFactory, fake::EngineFactory);
    if (!CheckEqual(console.registered.size(), std::size_t{1}, "entries registered")) return;
    auto* variable = static_cast<ConVar*>(console.registered[0]);

    // The text's number is rounded to single precision before it is truncated.
    EngineCall_ApplyString(variable, "16777217");
    CheckText(EngineCall_ValueText(variable), "16777217", "text as given");
    CheckEqual(EngineCall_AsFloat(variable), 16777216.0f, "float of 16777217");
    CheckEqual(EngineCall_AsInt(variable), 16777216, "integer of 16777217");
    EngineCall_ApplyFloat(variable, 1e30f);
    CheckText(EngineCall_ValueText(variable), "1000000015047466219876688855040", "cut %f form");
    // A plain x87 conversion would give INT_MIN for both.
    EngineCall_ApplyFloat(variable, 3e9f);
    CheckEqual(EngineCall_AsInt(variable), INT_MAX, "integer of 3e9");
    EngineCall_ApplyFloat(variable, std::numeric_limits<float>::quiet_NaN());
    CheckEqual(EngineCall_AsInt(variable), 0, "integer of NaN");
    CheckEqual(console.notifications.size(), std::size_t{4}, "notifications");
    EngineCall_DetachFromEngine(plugin);
});

}  // namespace
