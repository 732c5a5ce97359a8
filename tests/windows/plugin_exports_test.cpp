// The real mount_plugin.dll, loaded beside the stand-in tier0.dll and driven only through
// its exports: the export table and the factory. The tables and fields the engine sees are
// checked from the engine's side by engine_layout_test.
#include <windows.h>

#include "fake_host.h"
#include "harness.h"

using harness::Check;
using harness::CheckEqual;

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

}  // namespace
