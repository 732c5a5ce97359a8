// The real mount_plugin.dll, loaded beside the stand-in tier0.dll and driven only through
// its exports and the public interface headers, as a separately compiled engine drives it:
// the export table, the factory, the plugin's table and the console variable it registers.
// The variable's fields are also read at their fixed offsets, so a layout that differs from
// the engine's view shows up here; its values come from the DLL's x87 code.
#include <windows.h>

#include <climits>
#include <cstring>
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

template <typename Field>
Field At(const void* object, int offset) {
    Field value;
    std::memcpy(&value, static_cast<const char*>(object) + offset, sizeof(value));
    return value;
}

// The value as the engine reads it, at the offsets 36 (text), 44 (float) and 48 (integer).
void CheckValue(const ConVar* variable, const char* text, float asFloat, int asInt) {
    CheckText(variable->ValueText(), text, "value text");
    CheckText(At<const char*>(variable, 36), text, "value text at its offset");
    CheckEqual(At<float>(variable, 44), asFloat, "float at its offset");
    CheckEqual(At<int>(variable, 48), asInt, "integer at its offset");
}

// Every slot of the engine's tables, called through the engine's view with the argument
// counts the engine pushes: a wrong slot or a wrong argument count (the callee pops its
// arguments) shows up as a wrong answer or a corrupted stack.
const harness::Test kTables("eighteen operations and the variable, as the engine sees them", [] {
    fake::RecordingFileSystem fileSystem;
    fake::RecordingConsole console;
    fake::g_Engine = {&fileSystem, &console};
    fake::PluginModule loaded;
    IServerPluginCallbacks* plugin = loaded.Plugin();
    if (!Check(plugin != nullptr, "plugin object")) return;
    Check(loaded.ExportedConsole() == nullptr && loaded.ExportedConsole("cvar") == nullptr,
          "cvar exports before attach");
    Check(plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory), "attach returns true");
    Check(loaded.ExportedConsole() == &console && loaded.ExportedConsole("cvar") == &console,
          "cvar exports after attach");
    plugin->Operation03();
    plugin->Operation04();
    plugin->Operation06(1);
    plugin->Operation07(1, 2, 3);
    plugin->Operation08(1);
    plugin->Operation09();
    plugin->Operation10(1);
    plugin->Operation11(1);
    plugin->Operation12(1, 2);
    plugin->Operation13(1);
    plugin->Operation14(1);
    CheckEqual(plugin->Operation15(1, 2, 3, 4, 5, 6), 0, "operation 15");
    CheckEqual(plugin->Operation16(1, 2), 0, "operation 16");
    CheckEqual(plugin->Operation17(1, 2), 0, "operation 17");
    plugin->Operation18(1, 2, 3, 4, 5);
    CheckText(plugin->DescribePlugin(), "Mount Plugin", "description");

    // The blank variable, through the pointer handed to the console.
    if (!CheckEqual(console.registered.size(), std::size_t{1}, "entries registered")) return;
    ConCommandBase* entry = console.registered[0];
    CheckEqual(entry->ModuleId(), 1234, "identifier of the entry");
    Check(*entry->Name() == '\0' && *entry->Description() == '\0', "blank name, description");
    Check(!entry->IsCommandEntry() && !entry->HasAnyFlag(-1) && !entry->IsAttached(),
          "a variable, without flags, not attached");
    CheckEqual(At<int>(entry, 20), 0, "flag word at 20");
    auto* variable = static_cast<ConVar*>(entry);
    IConVar* view = variable;
    CheckEqual(reinterpret_cast<char*>(view) - reinterpret_cast<char*>(variable),
               std::ptrdiff_t{24}, "IConVar view at 24");
    Check(At<ConVar*>(variable, 28) == variable, "answers for itself, at 28");
    CheckEqual(At<int>(variable, 40), 2, "capacity at 40");

    // The engine's assignments through IConVar are ignored (the sweep drives them).
    Check(*view->Name() == '\0' && !view->HasAnyFlag(-1), "blank name, no flags through IConVar");
    variable->ApplyInt(3);
    CheckValue(variable, "3", 3.0f, 3);
    Check(console.notifications.size() == 1 && console.notifications[0].variable == variable &&
              console.notifications[0].oldText == "0" && console.notifications[0].oldFloat == 0.0f,
          "notified once, with the ConVar, its old text and float");
    // The text's number must be rounded to single precision before it is truncated.
    variable->ApplyString("16777217");
    CheckValue(variable, "16777217", 16777216.0f, 16777216);
    variable->ApplyFloat(1e30f);
    CheckText(variable->ValueText(), "1000000015047466219876688855040", "cut %f form");
    // A plain x87 conversion would give INT_MIN for both.
    variable->ApplyFloat(3e9f);
    CheckEqual(variable->AsInt(), INT_MAX, "integer of 3e9");
    variable->ApplyFloat(std::numeric_limits<float>::quiet_NaN());
    CheckEqual(variable->AsInt(), 0, "integer of NaN");

    plugin->DetachFromEngine();
    Check(console.unregistered == std::vector<int>{1234}, "unregistered once, as 1234");
    Check(loaded.ExportedConsole() == nullptr && loaded.ExportedConsole("cvar") == nullptr,
          "cvar exports after detach");
    // The pending list was handed over: a second load takes a new identifier, nothing more.
    plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
    CheckEqual(console.identifiersIssued, 2, "identifiers issued");
    CheckEqual(console.registered.size(), std::size_t{1}, "entries registered in all");
    plugin->DetachFromEngine();
});

}  // namespace
