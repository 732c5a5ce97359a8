#include "standin_console.h"

#include <cstdio>

#include "engine_abi.h"

int StandInConsole::AllocateOwnerIdentifier() {
    return m_nNextOwner++;
}

void StandInConsole::RegisterCommand(ConCommandBase* command) {
    // The entry names its owner: the identifier its module was issued before registering.
    m_EntriesByOwner[EngineCall_ModuleId(command)].push_back(command);
}

void StandInConsole::UnregisterOwner(int identifier) {
    const auto owner = m_EntriesByOwner.find(identifier);
    const std::size_t dropped = owner != m_EntriesByOwner.end() ? owner->second.size() : 0;
    if (owner != m_EntriesByOwner.end()) m_EntriesByOwner.erase(owner);
    std::printf("console: owner %d unregistered, %zu entr%s dropped\n", identifier, dropped,
                dropped == 1 ? "y" : "ies");
}

void StandInConsole::NotifyValueChanged(ConVar* variable, const char* oldString, float oldFloat) {
    m_Changes.push_back({EngineCall_Name(variable), oldString != nullptr ? oldString : "", oldFloat,
                         EngineCall_ValueText(variable), EngineCall_AsFloat(variable)});
    const Change& change = m_Changes.back();
    std::printf("console: \"%s\" changed from \"%s\" (%g) to \"%s\" (%g)\n", change.name.c_str(),
                change.oldText.c_str(), static_cast<double>(change.oldFloat),
                change.newText.c_str(), static_cast<double>(change.newFloat));
}

StandInConsole& TheConsole() {
    static StandInConsole console;
    return console;
}

void PrintConsoleEntries() {
    const auto& owners = TheConsole().EntriesByOwner();
    if (owners.empty()) {
        std::printf("console: no entries registered\n");
        return;
    }
    std::printf("console: registered entries:\n");
    for (const auto& [owner, entries] : owners) {
        for (ConCommandBase* entry : entries) {
            const auto flags = static_cast<unsigned>(EngineCall_FlagBits(entry));
            if (EngineCall_IsCommandEntry(entry)) {
                std::printf("  owner %d  command  \"%s\"  flags 0x%08x\n", owner,
                            EngineCall_Name(entry), flags);
            } else {
                auto* variable = static_cast<ConVar*>(entry);
                std::printf("  owner %d  variable \"%s\" = \"%s\"  flags 0x%08x\n", owner,
                            EngineCall_Name(variable), EngineCall_ValueText(variable), flags);
            }
        }
    }
}
