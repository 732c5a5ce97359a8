#include "mount/script_module.h"

#include "mount/mount_functions.h"
#include "support/platform.h"

constinit ScriptModuleManager* g_pScriptModuleManager = nullptr;

namespace {

struct GlobalFunction {
    const char* name;
    ScriptFunction function;
};

// Registered in this order.
constexpr GlobalFunction kGlobalFunctions[] = {
    {"MountOtherGame", MountOtherGame},
    {"IsGameMounted", IsGameMounted},
};

}  // namespace

ScriptInterface* ScriptInterfaceFor(ScriptState state) {
    ScriptModuleManager* manager = g_pScriptModuleManager;
    return manager != nullptr ? manager->InterfaceForState(state) : nullptr;
}

int vesk_open(ScriptHostInterface* host) {
    // A runtime that hands over no host, no manager or no interface gets no functions
    // rather than a crash, and so does any runtime when the library could not start;
    // opening still answers 0 as it always does.
    if (host == nullptr || !BaseLibraryStarted()) return 0;
    g_pScriptModuleManager = host->FetchModuleManager();
    const ScriptState state = host->FetchScriptState();
    ScriptInterface* script = ScriptInterfaceFor(state);
    if (script == nullptr) return 0;
    for (const GlobalFunction& global : kGlobalFunctions) {
        script->RegisterGlobalFunction(global.name, global.function);
    }
    return 0;
}

int vesk_close() {
    // The functions stay registered and the manager stays known: the runtime may still
    // hold them.
    return 0;
}
