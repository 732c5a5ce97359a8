#pragma once

// The host game's script runtime, as the native module sees it.

// Opaque handle that identifies one script state.
struct ScriptStateHandle;
using ScriptState = ScriptStateHandle*;

extern "C" {
// A script function returns the number of results it pushed.
using ScriptFunction = int (*)(ScriptState state);
}

inline constexpr int kScriptTypeString = 1;
inline constexpr int kScriptTypeNumber = 2;

class ScriptInterface {
public:
    virtual const char* ArgumentString(int index) = 0;
    virtual int ArgumentInteger(int index) = 0;
    virtual void PushBoolean(int value) = 0;
    virtual void RegisterGlobalFunction(const char* name, ScriptFunction function) = 0;
    // The runtime refuses the call (the function does not go on) on a mismatch.
    virtual void RequireArgumentType(int index, int typeCode) = 0;
    virtual void ReportFailure(const char* text) = 0;
    virtual void PrintMessage(const char* format, ...) = 0;

protected:
    ~ScriptInterface() = default;
};

class ScriptModuleManager {
public:
    virtual ScriptInterface* InterfaceForState(ScriptState state) = 0;

protected:
    ~ScriptModuleManager() = default;
};

// The object the runtime passes to vesk_open.
class ScriptHostInterface {
public:
    virtual ScriptState FetchScriptState() = 0;
    virtual ScriptModuleManager* FetchModuleManager() = 0;

protected:
    ~ScriptHostInterface() = default;
};

extern "C" {
using ScriptModuleOpen = int (*)(ScriptHostInterface* host);
using ScriptModuleClose = int (*)();
}
