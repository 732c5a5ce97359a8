// Linked with --wrap=atexit: every registration made inside the DLL (static destructors,
// the runtime's own start-up) passes here before it reaches the runtime's table.
#include <atomic>

#include "support/exit_registration.h"

extern "C" int __real_atexit(ExitFunction function);

namespace {

// The library registers a handful of functions at load; room for all of them lost at once.
constexpr int kKeptCapacity = 32;

// A registration may come from any thread (a function-local static's first use).
constinit std::atomic<ExitFunction> s_KeptFunctions[kKeptCapacity] = {};
constinit std::atomic<int> s_nKeptClaimed{0};

}  // namespace

int KeepExitFunction(ExitFunction function) {
    if (function == nullptr) return -1;
    const int slot = s_nKeptClaimed.fetch_add(1);
    if (slot >= kKeptCapacity) return -1;
    s_KeptFunctions[slot] = function;
    return 0;
}

void RunKeptExitFunctions() {
    const int claimed = s_nKeptClaimed.exchange(0);
    for (int slot = claimed < kKeptCapacity ? claimed : kKeptCapacity; slot-- > 0;) {
        if (ExitFunction function = s_KeptFunctions[slot].exchange(nullptr)) function();
    }
}

extern "C" int __wrap_atexit(ExitFunction function) {
    // The runtime answers non-zero when it could not grow its table; nothing was taken.
    if (__real_atexit(function) == 0) return 0;
    return KeepExitFunction(function);
}
