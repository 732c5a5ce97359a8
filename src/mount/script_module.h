#pragma once

#include "interfaces/script_runtime.h"

// The host's module manager, kept by vesk_open (null until then, never cleared). Every
// script function starts by asking it for the interface of its state.
extern ScriptModuleManager* g_pScriptModuleManager;

// The scripting interface that serves state, or null while the module is not open (or
// when the runtime does not know the state).
ScriptInterface* ScriptInterfaceFor(ScriptState state);

extern "C" {
// The script runtime's entry points for a native module, looked up by name.
int vesk_open(ScriptHostInterface* host);
// The runtime may pass arguments; the caller pops them, and none is used.
int vesk_close();
}
