#pragma once

#include "interfaces/engine_server.h"
#include "interfaces/file_system.h"
#include "interfaces/server_plugin.h"

// The object the engine drives as a server plugin. Its load brings the whole library up;
// it has no data of its own.
class CEmptyServerPlugin final : public IServerPluginCallbacks, public IGameEventListener {
public:
    bool AttachToEngine(InterfaceFactory interfaceFactory,
                        InterfaceFactory gameServerFactory) override;
    void DetachFromEngine() override;
    void Operation03() override {}
    void Operation04() override {}
    const char* DescribePlugin() override;
    void Operation06(PluginArgument) override {}
    void Operation07(PluginArgument, PluginArgument, PluginArgument) override {}
    void Operation08(PluginArgument) override {}
    void Operation09() override {}
    void Operation10(PluginArgument) override {}
    void Operation11(PluginArgument) override {}
    void Operation12(PluginArgument, PluginArgument) override {}
    void Operation13(PluginArgument) override {}
    void Operation14(PluginArgument) override {}
    int Operation15(PluginArgument, PluginArgument, PluginArgument, PluginArgument, PluginArgument,
                    PluginArgument) override {
        return 0;
    }
    int Operation16(PluginArgument, PluginArgument) override { return 0; }
    int Operation17(PluginArgument, PluginArgument) override { return 0; }
    void Operation18(PluginArgument, PluginArgument, PluginArgument, PluginArgument,
                     PluginArgument) override {}

    // The second base's operations follow the engine's eighteen in the primary table.
    ENGINE_DESTRUCTOR_OVERRIDE;
    void HandleGameEvent(void*) override {}
};

// The single plugin object handed out for every request.
extern CEmptyServerPlugin g_ServerPlugin;

inline constexpr char kPluginDescription[] = "Mount Plugin";

// Obtained at load for the library's own use and kept after unload; a second load
// overwrites them.
extern EngineServerInterface* g_pEngineServer;
extern FileSystemInterface* g_pPluginFileSystem;
