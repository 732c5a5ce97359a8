// This program's half of the bridge: the engine-side objects land here, and each call goes
// on to this program's object of the same interface.
#include <cstdio>

#include "engine_abi.h"

namespace {

template <typename Interface>
Interface* As(void* target) {
    return static_cast<Interface*>(target);
}

}  // namespace

int32_t EngineTarget_MountApplicationContent(void* target, int32_t id) {
    return As<FileSystemInterface>(target)->MountApplicationContent(id);
}

void EngineTarget_AppendSearchPath(void* target, const char* path, const char* pathIdentifier,
                                   int32_t position) {
    As<FileSystemInterface>(target)->AppendSearchPath(path, pathIdentifier, position);
}

int32_t EngineTarget_AllocateOwnerIdentifier(void* target) {
    return As<ConsoleVariableInterface>(target)->AllocateOwnerIdentifier();
}

void EngineTarget_RegisterCommand(void* target, ConCommandBase* command) {
    As<ConsoleVariableInterface>(target)->RegisterCommand(command);
}

void EngineTarget_UnregisterOwner(void* target, int32_t identifier) {
    As<ConsoleVariableInterface>(target)->UnregisterOwner(identifier);
}

void EngineTarget_NotifyValueChanged(void* target, ConVar* variable, const char* oldString,
                                     float oldFloat) {
    As<ConsoleVariableInterface>(target)->NotifyValueChanged(variable, oldString, oldFloat);
}

ScriptState EngineTarget_FetchScriptState(void* target) {
    return As<ScriptHostInterface>(target)->FetchScriptState();
}

ScriptModuleManager* EngineTarget_FetchModuleManager(void* target) {
    return As<ScriptHostInterface>(target)->FetchModuleManager();
}

ScriptInterface* EngineTarget_InterfaceForState(void* target, ScriptState state) {
    return As<ScriptModuleManager>(target)->InterfaceForState(state);
}

const char* EngineTarget_ArgumentString(void* target, int32_t index) {
    return As<ScriptInterface>(target)->ArgumentString(index);
}

int32_t EngineTarget_ArgumentInteger(void* target, int32_t index) {
    return As<ScriptInterface>(target)->ArgumentInteger(index);
}

void EngineTarget_PushBoolean(void* target, int32_t value) {
    As<ScriptInterface>(target)->PushBoolean(value);
}

void EngineTarget_RegisterGlobalFunction(void* target, const char* name, ScriptFunction function) {
    As<ScriptInterface>(target)->RegisterGlobalFunction(name, function);
}

void EngineTarget_RequireArgumentType(void* target, int32_t index, int32_t typeCode) {
    As<ScriptInterface>(target)->RequireArgumentType(index, typeCode);
}

void EngineTarget_ReportFailure(void* target, const char* text) {
    As<ScriptInterface>(target)->ReportFailure(text);
}

void EngineTarget_PrintMessage(void* target, const char* format, va_list arguments) {
    // A variable argument list cannot be handed on to another variadic call, so the message
    // travels finished; format and arguments make one text either way.
    char text[4096];
    std::vsnprintf(text, sizeof(text), format != nullptr ? format : "", arguments);
    As<ScriptInterface>(target)->PrintMessage("%s", text);
}
