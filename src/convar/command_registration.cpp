#include "convar/command_registration.h"

#include "plugin/engine_connection.h"

constinit ConCommandBase* s_pPendingCommands = nullptr;
constinit IConCommandBaseAccessor* s_pActiveAccessor = nullptr;
constinit int s_nAddedFlags = 0;
constinit int s_nModuleId = kNoModuleId;
constinit bool s_bCommandsRegistered = false;
constinit CDefaultAccessor s_FallbackAccessor;

bool CDefaultAccessor::AcceptCommand(ConCommandBase* entry) {
    // The accessor stays in force after the console is disconnected, so an entry set up
    // then reaches here with no console to take it.
    if (g_pCVar != nullptr) g_pCVar->RegisterCommand(entry);
    return true;
}

void RegisterConsoleCommands(int flagsToAdd, IConCommandBaseAccessor* accessor) {
    if (g_pCVar == nullptr || s_bCommandsRegistered) return;
    s_nAddedFlags = flagsToAdd;
    // Set before the engine is asked, as the engine may call back into the library.
    s_bCommandsRegistered = true;
    s_nModuleId = g_pCVar->AllocateOwnerIdentifier();
    s_pActiveAccessor = accessor != nullptr ? accessor : &s_FallbackAccessor;

    ConCommandBase* entry = s_pPendingCommands;
    while (entry != nullptr) {
        // Read before the entry is handed over, whatever the accessor does with it.
        ConCommandBase* next = entry->Link();
        entry->SetFlagBits(s_nAddedFlags);
        entry->Publish();
        entry = next;
    }
    s_pPendingCommands = nullptr;
}

void UnregisterConsoleCommands() {
    if (g_pCVar == nullptr || !s_bCommandsRegistered) return;
    g_pCVar->UnregisterOwner(s_nModuleId);
    s_nModuleId = kNoModuleId;
    s_bCommandsRegistered = false;
}
