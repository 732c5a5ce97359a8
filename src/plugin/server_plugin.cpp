#include "plugin/server_plugin.h"

#include "convar/command_registration.h"
#include "mathlib/math_init.h"
#include "plugin/engine_connection.h"
#include "plugin/interface_registry.h"

CEmptyServerPlugin g_ServerPlugin;

constinit EngineServerInterface* g_pEngineServer = nullptr;
constinit FileSystemInterface* g_pPluginFileSystem = nullptr;

namespace {

void* CreateServerPlugin() {
    return static_cast<IServerPluginCallbacks*>(&g_ServerPlugin);
}

const InterfaceRegistration s_ServerPluginRegistration(CreateServerPlugin, kServerPluginVersion);

// What factory offers under version; no factory at all offers nothing.
void* Ask(InterfaceFactory factory, const char* version) {
    return factory != nullptr ? factory(version, nullptr) : nullptr;
}

}  // namespace

bool CEmptyServerPlugin::AttachToEngine(InterfaceFactory interfaceFactory,
                                        InterfaceFactory /*gameServerFactory*/) {
    // No factory at all is taken as one that offers nothing, rather than called.
    InterfaceFactory factories[] = {interfaceFactory};
    const int count = interfaceFactory != nullptr ? 1 : 0;
    ConnectFirstLevel(factories, count);
    ConnectSecondLevel(factories, count);

    g_pEngineServer =
        static_cast<EngineServerInterface*>(Ask(interfaceFactory, kEngineServerVersion));
    g_pPluginFileSystem =
        static_cast<FileSystemInterface*>(Ask(interfaceFactory, kFileSystemVersion));

    InitMathSupport(2.2f, 2.2f, 0.0f, 2, true, true, true, true);
    RegisterConsoleCommands(0, nullptr);
    // Load never fails: an interface the engine does not offer simply stays null.
    return true;
}

void CEmptyServerPlugin::DetachFromEngine() {
    UnregisterConsoleCommands();
    DisconnectSecondLevel();
    DisconnectFirstLevel();
}

const char* CEmptyServerPlugin::DescribePlugin() {
    return kPluginDescription;
}
