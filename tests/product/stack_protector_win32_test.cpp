// Windows: the stack protector's own guard and failure path in the DLL, through the probe twin
// that exports them: the guard is seeded at each load, and a smashed frame ends the process.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "harness.h"
#include "host_platform.h"

using harness::Check;
using harness::CheckEqual;

namespace {

constexpr char kProbe[] = "mount_plugin_probe.dll";
constexpr DWORD kStackBufferOverrun = 0xC0000409;
constexpr DWORD kFailReturned = 0x5AFE;
constexpr DWORD kDetachRan = 0xDE7A;
constexpr DWORD kProbeMissing = 0x0B5E;
constexpr DWORD kHung = 0xDEAD;

// An export of the probe as T (a pointer), null when the probe or the export is missing.
template <typename T>
T Export(HMODULE probe, const char* name) {
    return probe != nullptr
               ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(probe, name)))
               : nullptr;
}

// The guard of a fresh load of the probe, 0 when it does not load.
std::uintptr_t GuardOfFreshLoad() {
    HMODULE probe = LoadLibraryA(kProbe);
    const auto* guard = Export<const std::uintptr_t*>(probe, "__stack_chk_guard");
    const std::uintptr_t value =
        Check(guard != nullptr, "the probe's __stack_chk_guard") ? *guard : 0;
    if (probe != nullptr) FreeLibrary(probe);
    return value;
}

// Each load starts from the image's unseeded guard; the entry point seeds it, differently
// each time, leaving its lowest byte 0.
const harness::Test kSeeded("the guard is seeded at each load, its lowest byte 0", [] {
    const std::uintptr_t first = GuardOfFreshLoad();
    const std::uintptr_t second = GuardOfFreshLoad();
    Check(first != second, "two loads, two guards");
    for (const std::uintptr_t guard : {first, second}) {
        Check(guard != 0, "a guard");
        CheckEqual(guard & 0xFF, std::uintptr_t{0}, "lowest byte");
    }
});

// Run as a child (this program with --smashed): reports a smashed frame as a protected
// function does. A function kept for the probe's detach would change the exit code, had the
// report ended the process through its detach. The harness's own tests do not run then.
const bool kChildRun = [] {
    const std::vector<std::string> arguments = host::ThisProgramArguments();
    if (arguments.size() != 1 || arguments[0] != "--smashed") return false;
    HMODULE probe = LoadLibraryA(kProbe);
    const auto keep = Export<int (*)(void (*)())>(probe, "KeepExitFunction");
    const auto fail = Export<void (*)()>(probe, "__stack_chk_fail");
    if (keep == nullptr || fail == nullptr) ExitProcess(kProbeMissing);
    keep([] { TerminateProcess(GetCurrentProcess(), kDetachRan); });
    fail();
    ExitProcess(kFailReturned);
}();

const harness::Test kSmashed("a smashed frame ends the process at once with the overrun code", [] {
    CheckEqual(host::RunThisProgram("--smashed", kHung), kStackBufferOverrun, "exit code");
});

}  // namespace
