#pragma once

class IConCommandBaseAccessor;

// Hands every pending console entry to the engine (through the default accessor when
// none is given), and takes them back at unload.
void RegisterConsoleCommands(int flagsToAdd, IConCommandBaseAccessor* accessor);
void UnregisterConsoleCommands();
