#pragma once

// Where the two halves of the engine layout test meet: the program (harness, child processes,
// loading the library) and the engine's side, compiled for the engine's C++ ABI. Only plain C
// functions and data cross, so neither compiler's C++ ABI is assumed by the other.

#include <stdint.h>

// The loaded library, as the engine's side needs it.
struct EngineLayoutModule {
    void* createInterface;
    void* open;  // vesk_open
    void** exportedGCVar;
    void** exportedCvar;
};

enum class EngineLayoutGroup : int32_t {
    kPluginOperations = 1,     // the eighteen operations of the plugin table
    kEventListener = 2,        // the plugin's IGameEventListener part
    kCommandBase = 3,          // the registered variable: ConCommandBase entries and fields
    kVariable = 4,             // the registered variable: ConVar entries 11-16, its IConVar part
    kStackAlignment = 5,       // a server life with every call entering at one stack alignment
    kDeletingDestructors = 6,  // the deleting destructor entries, memory given back
};

extern "C" {
// The engine's side: runs one group on the loaded library, every call into it entering
// with the stack pointer at stackResidue mod 16. Returns the number of failed checks.
int32_t EngineLayout_Run(EngineLayoutGroup group, int32_t stackResidue,
                         const EngineLayoutModule* module);
// The call the engine's side made last, for a crash report.
const char* EngineLayout_Step();

// The program's side: prints one failed check.
void EngineLayout_Fail(const char* message);
// Blocks the stand-in allocator has been asked to release so far.
int32_t EngineLayout_AllocatorReleases();
// The block of the index-th of those releases (from 0), or null.
const void* EngineLayout_ReleasedBlock(int32_t index);
// From now on the stand-in allocator keeps the blocks it is given back (counted and recorded
// as released), so that a static object can go through a deleting destructor.
void EngineLayout_KeepReleasedBlocks();
}
