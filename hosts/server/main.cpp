// The stand-in game server: loads mount_plugin.dll the way the engine does, attaches it as
// a server plugin, and reports every step.
#include <windows.h>

#include <cstdio>

#include "engine_factory.h"
#include "server_plugin.h"

namespace {

constexpr char kPluginFile[] = "mount_plugin.dll";

// GetProcAddress hands out every export as one generic function type.
template <typename Function>
Function ExportedFunction(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

int Fail(const char* what) {
    std::printf("server: %s (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf("server: loading %s\n", kPluginFile);
    HMODULE plugin = LoadLibraryA(kPluginFile);
    if (plugin == nullptr) return Fail("could not load the plugin");

    auto createInterface = ExportedFunction<InterfaceFactory>(plugin, "CreateInterface");
    if (createInterface == nullptr) return Fail("the plugin exports no CreateInterface");

    int returnCode = -1;
    auto* callbacks =
        static_cast<IServerPluginCallbacks*>(createInterface(kServerPluginVersion, &returnCode));
    if (callbacks == nullptr) return Fail("the plugin does not offer ISERVERPLUGINCALLBACKS002");
    std::printf("server: obtained %s (return code %d)\n", kServerPluginVersion, returnCode);

    const bool attached = callbacks->AttachToEngine(EngineFactory, EngineFactory);
    std::printf("server: attached plugin \"%s\": %s\n", callbacks->DescribePlugin(),
                attached ? "true" : "false");
    PrintRefusedInterfaces();

    callbacks->DetachFromEngine();
    std::printf("server: detached plugin\n");
    FreeLibrary(plugin);
    std::printf("server: unloaded %s\n", kPluginFile);
    return 0;
}
