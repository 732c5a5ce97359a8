// The real mount_plugin.dll, loaded beside the stand-in tier0.dll and driven only through
// its exports and the public interface headers, as a separately compiled engine drives it.
#include <windows.h>

#include <cstring>

#include "file_system.h"
#include "harness.h"
#include "server_plugin.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

// GetProcAddress hands out every export as one generic function type.
template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class NeverMountingFileSystem final : public FileSystemInterface {
public:
    int MountApplicationContent(int) override { return kMountFailed; }
    void AppendSearchPath(const char*, const char*, int) override {}
};

NeverMountingFileSystem g_FileSystem;
int g_nFactoryCalls = 0;

void* TestEngineFactory(const char* name, int* returnCode) {
    ++g_nFactoryCalls;
    void* offered = std::strcmp(name, kFileSystemVersion) == 0 ? &g_FileSystem : nullptr;
    if (returnCode != nullptr) *returnCode = offered != nullptr ? 0 : 1;
    return offered;
}

const harness::Test kExports("exports exactly the documented names, undecorated", [] {
    HMODULE plugin = LoadLibraryA("mount_plugin.dll");
    if (!Check(plugin != nullptr, "LoadLibrary(mount_plugin.dll)")) return;
    for (const char* name : {"CreateInterface", "cvar", "g_pCVar"}) {
        Check(GetProcAddress(plugin, name) != nullptr, name);
    }
    Check(GetProcAddress(plugin, "_CreateInterface") == nullptr, "no underscore name");
    Check(GetProcAddress(plugin, "CreateInterface@8") == nullptr, "no stdcall name");
    FreeLibrary(plugin);
});

const harness::Test kFactory("the factory answers the exact name and fails others", [] {
    HMODULE plugin = LoadLibraryA("mount_plugin.dll");
    auto createInterface = Export<InterfaceFactory>(plugin, "CreateInterface");
    if (!Check(createInterface != nullptr, "CreateInterface")) return;
    int code = -1;
    void* object = createInterface(kServerPluginVersion, &code);
    Check(object != nullptr, "plugin object");
    CheckEqual(code, 0, "return code on success");
    Check(createInterface(kServerPluginVersion, nullptr) == object, "same object again");
    Check(createInterface("ISERVERPLUGINCALLBACKS003", &code) == nullptr, "other version");
    CheckEqual(code, 1, "return code on failure");
    FreeLibrary(plugin);
});

// Every slot of the engine's table, called through the engine's view with the argument
// counts the engine pushes: a wrong slot or a wrong argument count (the callee pops its
// arguments) shows up as a wrong answer or a corrupted stack.
const harness::Test kTable("all eighteen operations answer through the engine's view", [] {
    HMODULE module = LoadLibraryA("mount_plugin.dll");
    auto createInterface = Export<InterfaceFactory>(module, "CreateInterface");
    if (!Check(createInterface != nullptr, "CreateInterface")) return;
    auto* plugin =
        static_cast<IServerPluginCallbacks*>(createInterface(kServerPluginVersion, nullptr));
    if (!Check(plugin != nullptr, "plugin object")) return;

    CheckText(plugin->DescribePlugin(), "Mount Plugin", "description before attach");
    Check(plugin->AttachToEngine(TestEngineFactory, TestEngineFactory), "attach returns true");
    Check(g_nFactoryCalls > 0, "attach asked the engine factory");
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
    CheckText(plugin->DescribePlugin(), "Mount Plugin", "description after attach");
    plugin->DetachFromEngine();
    FreeLibrary(module);
});

}  // namespace
