#pragma once

#include "interfaces/console_entries.h"

// Process-wide registration state. Constant-initialised, so static entries can link
// themselves in while static constructors run, in whatever order those run.
extern ConCommandBase* s_pPendingCommands;          // newest set-up entry first
extern IConCommandBaseAccessor* s_pActiveAccessor;  // set by a pass, never reset
extern int s_nAddedFlags;                           // bits the last pass added
extern int s_nModuleId;                             // the engine's identifier; -1 unregistered
extern bool s_bCommandsRegistered;

// Passes every entry to the engine's console.
class CDefaultAccessor final : public IConCommandBaseAccessor {
public:
    bool AcceptCommand(ConCommandBase* entry) override;
};

extern CDefaultAccessor s_FallbackAccessor;

inline constexpr int kNoModuleId = -1;

// Hands every pending console entry to the accessor (the default one when none is given),
// newest first, under a fresh identifier from the engine; does nothing while registered or
// while no console is connected.
void RegisterConsoleCommands(int flagsToAdd, IConCommandBaseAccessor* accessor);
// Asks the engine to drop everything registered under the library's identifier.
void UnregisterConsoleCommands();
