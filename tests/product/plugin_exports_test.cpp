// The real plugin library, loaded beside the stand-in base library and driven only through
// its exports, as the engine drives it: the export table, the factory's exact-name rule, and
// the values of the console variable it registers, which come from the library's x87 code.
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
    if (!Check(loaded.module != nullptr, "the plugin library loads")) return;
    // The export table, read from the image as the loader reads it: these names and nothing
    // else, no export by ordinal only on Windows, no runtime function on Linux.
    const std::vector<std::string> found = host::ModuleExportNames(loaded.module);
    std::string listed;
    for (const std::string& name : found) listed += " " + name;
    Check(found == std::vector<std::string>{"CreateInterface", "cvar", "g_pCVar", "vesk_close",
                                            "vesk_open"},
          "exported names:" + listed);

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
