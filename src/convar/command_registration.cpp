#include "convar/command_registration.h"

// The console entries and their passes are not built yet; load and unload call these so
// that registration happens in its place once it exists.
void RegisterConsoleCommands(int, IConCommandBaseAccessor*) {}
void UnregisterConsoleCommands() {}
