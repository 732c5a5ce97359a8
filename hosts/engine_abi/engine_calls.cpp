// The engine's calls on the DLL's objects, compiled the engine's way: each one goes through
// the table slot and the field offset that a real engine uses.
#include "engine_abi.h"

bool EngineCall_AttachToEngine(IServerPluginCallbacks* plugin, InterfaceFactory interfaceFactory,
                               InterfaceFactory gameServerFactory) {
    return plugin->AttachToEngine(interfaceFactory, gameServerFactory);
}

void EngineCall_DetachFromEngine(IServerPluginCallbacks* plugin) {
    plugin->DetachFromEngine();
}

const char* EngineCall_DescribePlugin(IServerPluginCallbacks* plugin) {
    return plugin->DescribePlugin();
}

bool EngineCall_IsCommandEntry(ConCommandBase* entry) {
    return entry->IsCommandEntry();
}

bool EngineCall_HasAnyFlag(ConCommandBase* entry, int32_t mask) {
    return entry->HasAnyFlag(mask);
}

const char* EngineCall_Name(ConCommandBase* entry) {
    return entry->Name();
}

const char* EngineCall_Description(ConCommandBase* entry) {
    return entry->Description();
}

bool EngineCall_IsAttached(ConCommandBase* entry) {
    return entry->IsAttached();
}

int32_t EngineCall_ModuleId(ConCommandBase* entry) {
    return entry->ModuleId();
}

int32_t EngineCall_FlagBits(ConCommandBase* entry) {
    return entry->FlagBits();
}

void EngineCall_ApplyString(ConVar* variable, const char* text) {
    variable->ApplyString(text);
}

void EngineCall_ApplyFloat(ConVar* variable, float value) {
    variable->ApplyFloat(value);
}

void EngineCall_ApplyInt(ConVar* variable, int32_t value) {
    variable->ApplyInt(value);
}

const char* EngineCall_ValueText(ConVar* variable) {
    return variable->ValueText();
}

float EngineCall_AsFloat(ConVar* variable) {
    return variable->AsFloat();
}

int32_t EngineCall_AsInt(ConVar* variable) {
    return variable->AsInt();
}

IConVar* EngineCall_ConVarView(ConVar* variable) {
    return variable;
}

void EngineCall_AssignInt(IConVar* view, int32_t value) {
    view->AssignInt(value);
}

void EngineCall_AssignFloat(IConVar* view, float value) {
    view->AssignFloat(value);
}

void EngineCall_AssignString(IConVar* view, const char* text) {
    view->AssignString(text);
}

const char* EngineCall_ViewName(IConVar* view) {
    return view->Name();
}

bool EngineCall_ViewHasAnyFlag(IConVar* view, int32_t mask) {
    return view->HasAnyFlag(mask);
}
