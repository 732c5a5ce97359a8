// The stack protector's guard and failure path, seeded from KERNEL32.dll only.
#include <windows.h>

#include <cstdint>

#include "support/stack_guard.h"

namespace {

// Used until the entry point seeds the guard: nothing protected runs before that.
constexpr std::uintptr_t kUnseededGuard = 0x2F8A4C00;

// What the process ends with when a guard was overwritten (the code Windows itself reports
// for a detected stack buffer overrun).
constexpr UINT kStackBufferOverrun = 0xC0000409;

// splitmix64's finaliser: every bit of the sources reaches every bit of the guard.
constexpr std::uint64_t Scramble(std::uint64_t value) {
    value ^= value >> 30;
    value *= 0xBF58476D1CE4E5B9u;
    value ^= value >> 27;
    value *= 0x94D049BB133111EBu;
    return value ^ (value >> 31);
}

}  // namespace

// The names and the global form the compiler uses for this target (no thread-local guard).
extern "C" {
constinit std::uintptr_t __stack_chk_guard = kUnseededGuard;

// A protected function found its frame's guard overwritten. Nothing in the process can be
// trusted now, so it ends at once: no allocation, no report, no at-exit functions or
// destructors that could run with the damaged state.
[[noreturn, gnu::no_stack_protector]] void __stack_chk_fail() {
    TerminateProcess(GetCurrentProcess(), kStackBufferOverrun);
    __builtin_trap();
}
}

// Not protected: it takes addresses of its locals, and it changes the guard that its own
// frame would have been checked against.
[[gnu::no_stack_protector]] void SeedStackGuard(const void* module) {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t sources[] = {
        static_cast<std::uint64_t>(counter.QuadPart),
        (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime,
        (std::uint64_t{GetCurrentProcessId()} << 32) | GetCurrentThreadId(),
        GetTickCount(),
        reinterpret_cast<std::uintptr_t>(&counter),  // where the loader placed this stack
        reinterpret_cast<std::uintptr_t>(module),    // and this DLL
    };
    std::uint64_t state = 0;
    for (const std::uint64_t source : sources) state = Scramble(state ^ source);
    // The lowest byte stays 0, as a terminator: a string copy that runs over the guard cannot
    // write it back, as a copy ends at its first NUL.
    const auto guard = static_cast<std::uintptr_t>(state ^ (state >> 32)) & ~std::uintptr_t{0xFF};
    if (guard != 0) __stack_chk_guard = guard;
}
