// The engine's objects, compiled the engine's way: what the DLL calls is laid out exactly as
// a real engine's object, and each operation goes on to this program's object through a plain
// function.
#include <stddef.h>

#include "engine_abi.h"

namespace {

// One engine-side object of Interface: its table, then the target it forwards to.
template <typename Interface>
class ForwardingObject : public Interface {
public:
    explicit ForwardingObject(void* target) : m_pTarget(target) {}

    // Objects live in the caller's storage: nothing here may allocate.
    static void* operator new(size_t, EngineObjectStorage* storage) { return storage; }

protected:
    void* m_pTarget;
};

class FileSystemObject final : public ForwardingObject<FileSystemInterface> {
public:
    using ForwardingObject::ForwardingObject;

    int MountApplicationContent(int id) override {
        return EngineTarget_MountApplicationContent(m_pTarget, id);
    }
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override {
        EngineTarget_AppendSearchPath(m_pTarget, path, pathIdentifier, position);
    }
};

class ConsoleObject final : public ForwardingObject<ConsoleVariableInterface> {
public:
    using ForwardingObject::ForwardingObject;

    int AllocateOwnerIdentifier() override {
        return EngineTarget_AllocateOwnerIdentifier(m_pTarget);
    }
    void RegisterCommand(ConCommandBase* command) override {
        EngineTarget_RegisterCommand(m_pTarget, command);
    }
    void UnregisterOwner(int identifier) override {
        EngineTarget_UnregisterOwner(m_pTarget, identifier);
    }
    void NotifyValueChanged(ConVar* variable, const char* oldString, float oldFloat) override {
        EngineTarget_NotifyValueChanged(m_pTarget, variable, oldString, oldFloat);
    }
};

class ScriptHostObject final : public ForwardingObject<ScriptHostInterface> {
public:
    using ForwardingObject::ForwardingObject;

    ScriptState FetchScriptState() override { return EngineTarget_FetchScriptState(m_pTarget); }
    ScriptModuleManager* FetchModuleManager() override {
        return EngineTarget_FetchModuleManager(m_pTarget);
    }
};

class ModuleManagerObject final : public ForwardingObject<ScriptModuleManager> {
public:
    using ForwardingObject::ForwardingObject;

    ScriptInterface* InterfaceForState(ScriptState state) override {
        return EngineTarget_InterfaceForState(m_pTarget, state);
    }
};

class ScriptInterfaceObject final : public ForwardingObject<ScriptInterface> {
public:
    using ForwardingObject::ForwardingObject;

    const char* ArgumentString(int index) override {
        return EngineTarget_ArgumentString(m_pTarget, index);
    }
    int ArgumentInteger(int index) override {
        return EngineTarget_ArgumentInteger(m_pTarget, index);
    }
    void PushBoolean(int value) override { EngineTarget_PushBoolean(m_pTarget, value); }
    void RegisterGlobalFunction(const char* name, ScriptFunction function) override {
        EngineTarget_RegisterGlobalFunction(m_pTarget, name, function);
    }
    void RequireArgumentType(int index, int typeCode) override {
        EngineTarget_RequireArgumentType(m_pTarget, index, typeCode);
    }
    void ReportFailure(const char* text) override { EngineTarget_ReportFailure(m_pTarget, text); }
    void PrintMessage(const char* format, ...) override {
        va_list arguments;
        va_start(arguments, format);
        EngineTarget_PrintMessage(m_pTarget, format, arguments);
        va_end(arguments);
    }
};

template <typename Object, typename Interface>
Interface* Build(EngineObjectStorage* storage, Interface* target) {
    static_assert(sizeof(Object) == sizeof(EngineObjectStorage), "storage fits the object");
    return new (storage) Object(target);
}

}  // namespace

FileSystemInterface* EngineObject_FileSystem(EngineObjectStorage* storage,
                                             FileSystemInterface* target) {
    return Build<FileSystemObject>(storage, target);
}

ConsoleVariableInterface* EngineObject_Console(EngineObjectStorage* storage,
                                               ConsoleVariableInterface* target) {
    return Build<ConsoleObject>(storage, target);
}

ScriptHostInterface* EngineObject_ScriptHost(EngineObjectStorage* storage,
                                             ScriptHostInterface* target) {
    return Build<ScriptHostObject>(storage, target);
}

ScriptModuleManager* EngineObject_ModuleManager(EngineObjectStorage* storage,
                                                ScriptModuleManager* target) {
    return Build<ModuleManagerObject>(storage, target);
}

ScriptInterface* EngineObject_ScriptInterface(EngineObjectStorage* storage,
                                              ScriptInterface* target) {
    return Build<ScriptInterfaceObject>(storage, target);
}
