#pragma once

inline constexpr char kConsoleVariableVersion[] = "VEngineCvar004";
inline constexpr char kProcessUtilitiesVersion[] = "VProcessUtils001";

class ConCommandBase;
class ConVar;

// The engine's console: it takes the library's console entries and hears of value changes.
class ConsoleVariableInterface {
public:
    virtual int AllocateOwnerIdentifier() = 0;
    virtual void RegisterCommand(ConCommandBase* command) = 0;
    virtual void UnregisterOwner(int identifier) = 0;
    virtual void NotifyValueChanged(ConVar* variable, const char* oldString, float oldFloat) = 0;

protected:
    ~ConsoleVariableInterface() = default;
};

// The process-utilities interface: connected alongside the console, never called.
class ProcessUtilitiesInterface;
