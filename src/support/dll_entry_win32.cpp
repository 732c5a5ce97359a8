// The DLL's entry point, chosen at link time in place of the runtime's own. The engine's
// allocator must be there before anything of the library runs: the runtime's start-up
// and the static initialisers already allocate through it.
#include <windows.h>

#include "support/exit_registration.h"
#include "support/platform.h"
#include "support/routed_allocation.h"
#include "support/stack_guard.h"

// The MinGW runtime's entry: runs the static initialisers, then DllMain.
extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved);

namespace {
constinit bool s_bRuntimeStarted = false;
}  // namespace

// Not protected: its frame is entered before the stack guard is seeded.
extern "C" [[gnu::no_stack_protector]] BOOL WINAPI MountPluginEntry(HANDLE module, DWORD reason,
                                                                    LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        SeedStackGuard(module);
        g_ppEngineAllocator = &g_pMemAlloc;
        // Refusing here makes LoadLibrary fail before a single static initialiser ran.
        if (HostAllocatorPresent() == 0) return FALSE;
        s_bRuntimeStarted = true;
    } else if (!s_bRuntimeStarted) {
        // Windows still reports the detach of a refused attach; nothing is there to undo.
        return TRUE;
    }
    const BOOL result = DllMainCRTStartup(module, reason, reserved);
    // The runtime has run its at-exit table; what it could not take at load runs now.
    if (reason == DLL_PROCESS_DETACH) RunKeptExitFunctions();
    return result;
}
