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

}  // namespace

bool CEmptyServerPlugin::AttachToEngine(InterfaceFactory interfaceFactory,
                                        InterfaceFactory /*gameServerFactory*/) {
    InterfaceFactory factories[] = {interfaceFactory};
    ConnectFirstLevel(factories, 1);
    ConnectSecondLevel(factories, 1);

    g_pEngineServer =
        static_cast<EngineServerInterface*>(interfaceFactory(kEngineServerVersion, nullptr));
    g_pPluginFileSystem =
        static_cast<FileSystemInterface*>(interfaceFactory(kFileSystemVersion, nullptr));

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
