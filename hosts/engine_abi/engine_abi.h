#pragma once

// The engine's side of the DLL's binary interface. A real engine, its script runtime and
// tier0.dll are built with Microsoft's C++ compiler: every object they hand the DLL is laid
// out and called that way, and so is every call they make on the DLL's objects. The
// stand-in server and the Windows tests are built with the DLL's own compiler, so they meet
// the DLL only through this bridge. Its engine half (engine_objects.cpp, engine_calls.cpp)
// is compiled the engine's way and talks to this program's half (engine_targets.cpp) through
// the plain functions below.

#include <stdarg.h>
#include <stdint.h>

#include "console_entries.h"
#include "console_variable_interface.h"
#include "file_system.h"
#include "interface_factory.h"
#include "script_runtime.h"
#include "server_plugin.h"

// Room for one engine-side object: its table and the object of this program it serves.
struct EngineObjectStorage {
    void* table;
    void* target;
};

extern "C" {

// Each builds in storage an object laid out by the engine's compiler that forwards every
// operation to target, an object of this program, and returns the engine's view of it.
FileSystemInterface* EngineObject_FileSystem(EngineObjectStorage* storage,
                                             FileSystemInterface* target);
ConsoleVariableInterface* EngineObject_Console(EngineObjectStorage* storage,
                                               ConsoleVariableInterface* target);
ScriptHostInterface* EngineObject_ScriptHost(EngineObjectStorage* storage,
                                             ScriptHostInterface* target);
ScriptModuleManager* EngineObject_ModuleManager(EngineObjectStorage* storage,
                                                ScriptModuleManager* target);
ScriptInterface* EngineObject_ScriptInterface(EngineObjectStorage* storage,
                                              ScriptInterface* target);

// Where those objects land: one function per operation, calling it on this program's target.
int32_t EngineTarget_MountApplicationContent(void* target, int32_t id);
void EngineTarget_AppendSearchPath(void* target, const char* path, const char* pathIdentifier,
                                   int32_t position);
int32_t EngineTarget_AllocateOwnerIdentifier(void* target);
void EngineTarget_RegisterCommand(void* target, ConCommandBase* command);
void EngineTarget_UnregisterOwner(void* target, int32_t identifier);
void EngineTarget_NotifyValueChanged(void* target, ConVar* variable, const char* oldString,
                                     float oldFloat);
ScriptState EngineTarget_FetchScriptState(void* target);
ScriptModuleManager* EngineTarget_FetchModuleManager(void* target);
ScriptInterface* EngineTarget_InterfaceForState(void* target, ScriptState state);
const char* EngineTarget_ArgumentString(void* target, int32_t index);
int32_t EngineTarget_ArgumentInteger(void* target, int32_t index);
void EngineTarget_PushBoolean(void* target, int32_t value);
void EngineTarget_RegisterGlobalFunction(void* target, const char* name, ScriptFunction function);
void EngineTarget_RequireArgumentType(void* target, int32_t index, int32_t typeCode);
void EngineTarget_ReportFailure(void* target, const char* text);
// The message as the runtime formats it; the target receives the finished text.
void EngineTarget_PrintMessage(void* target, const char* format, va_list arguments);

// The engine's calls on the DLL's objects.
bool EngineCall_AttachToEngine(IServerPluginCallbacks* plugin, InterfaceFactory interfaceFactory,
                               InterfaceFactory gameServerFactory);
void EngineCall_DetachFromEngine(IServerPluginCallbacks* plugin);
const char* EngineCall_DescribePlugin(IServerPluginCallbacks* plugin);

bool EngineCall_IsCommandEntry(ConCommandBase* entry);
bool EngineCall_HasAnyFlag(ConCommandBase* entry, int32_t mask);
const char* EngineCall_Name(ConCommandBase* entry);
const char* EngineCall_Description(ConCommandBase* entry);
bool EngineCall_IsAttached(ConCommandBase* entry);
int32_t EngineCall_ModuleId(ConCommandBase* entry);
int32_t EngineCall_FlagBits(ConCommandBase* entry);

void EngineCall_ApplyString(ConVar* variable, const char* text);
void EngineCall_ApplyFloat(ConVar* variable, float value);
void EngineCall_ApplyInt(ConVar* variable, int32_t value);
const char* EngineCall_ValueText(ConVar* variable);
float EngineCall_AsFloat(ConVar* variable);
int32_t EngineCall_AsInt(ConVar* variable);

// The variable's IConVar part, as the engine's compiler finds it, and the calls on it.
IConVar* EngineCall_ConVarView(ConVar* variable);
void EngineCall_AssignInt(IConVar* view, int32_t value);
void EngineCall_AssignFloat(IConVar* view, float value);
void EngineCall_AssignString(IConVar* view, const char* text);
const char* EngineCall_ViewName(IConVar* view);
bool EngineCall_ViewHasAnyFlag(IConVar* view, int32_t mask);

}  // extern "C"

inline FileSystemInterface* MakeEngineObject(EngineObjectStorage* storage,
                                             FileSystemInterface* target) {
    return EngineObject_FileSystem(storage, target);
}
inline ConsoleVariableInterface* MakeEngineObject(EngineObjectStorage* storage,
                                                  ConsoleVariableInterface* target) {
    return EngineObject_Console(storage, target);
}
inline ScriptHostInterface* MakeEngineObject(EngineObjectStorage* storage,
                                             ScriptHostInterface* target) {
    return EngineObject_ScriptHost(storage, target);
}
inline ScriptModuleManager* MakeEngineObject(EngineObjectStorage* storage,
                                             ScriptModuleManager* target) {
    return EngineObject_ModuleManager(storage, target);
}
inline ScriptInterface* MakeEngineObject(EngineObjectStorage* storage, ScriptInterface* target) {
    return EngineObject_ScriptInterface(storage, target);
}

// The engine's view of target for as long as this lives: what the DLL is handed in place of
// target itself.
template <typename Interface>
class EngineObject {
public:
    explicit EngineObject(Interface* target) : m_pObject(MakeEngineObject(&m_Storage, target)) {}
    EngineObject(const EngineObject&) = delete;
    EngineObject& operator=(const EngineObject&) = delete;

    Interface* get() const { return m_pObject; }

private:
    EngineObjectStorage m_Storage{};
    Interface* m_pObject;
};
