#pragma once

#include <map>
#include <string>
#include <vector>

#include "console_entries.h"
#include "console_variable_interface.h"

// The stand-in engine console: keeps the entries a module registers under the owner
// identifier it was issued, drops them all when that owner unregisters, and records every
// value change it is told of.
class StandInConsole final : public ConsoleVariableInterface {
public:
    struct Change {
        std::string name;
        std::string oldText;
        float oldFloat;
        std::string newText;
        float newFloat;
    };

    int AllocateOwnerIdentifier() override;
    void RegisterCommand(ConCommandBase* command) override;
    void UnregisterOwner(int identifier) override;
    void NotifyValueChanged(ConVar* variable, const char* oldString, float oldFloat) override;

    const std::map<int, std::vector<ConCommandBase*>>& EntriesByOwner() const {
        return m_EntriesByOwner;
    }
    const std::vector<Change>& Changes() const { return m_Changes; }

private:
    int m_nNextOwner = 1;
    std::map<int, std::vector<ConCommandBase*>> m_EntriesByOwner;
    std::vector<Change> m_Changes;
};

StandInConsole& TheConsole();

// Lists every registered entry with its owner, name, value and flags.
void PrintConsoleEntries();
