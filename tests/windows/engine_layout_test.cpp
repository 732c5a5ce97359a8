// mount_plugin.dll against the engine's binary interface, Microsoft's 32-bit C++ ABI. The
// engine's side (engine_layout/engine_side.cpp) is compiled as the engine is, from the
// documented tables and data layouts, and calls every entry the DLL hands out. Each group runs
// in a child process of its own with the DLL freshly loaded, so that an entry which crashes
// still names its group and the call it was in.
#include "engine_layout/engine_layout.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness.h"
#include "tier0_testing.h"

using harness::Check;

namespace {

// The child's exit code, unless it crashed (then the exception code).
constexpr DWORD kGroupPassed = 0x600D;
constexpr DWORD kGroupFailed = 0xBAD;
constexpr DWORD kGroupHung = 0xB10C;
// The stack residue at which a MinGW caller enters its callees.
constexpr int kUsualResidue = 12;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    std::printf("  crashed (exception 0x%08lx at %p) in: %s\n", record.ExceptionCode,
                record.ExceptionAddress, EngineLayout_Step());
    ExitProcess(record.ExceptionCode);
}

// In the child: loads the DLL beside the stand-in tier0.dll, runs the group and unloads the
// DLL, whose static destructors then run after whatever the group did to its objects.
DWORD RunGroupHere(EngineLayoutGroup group, int residue) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
    HMODULE dll = LoadLibraryA("mount_plugin.dll");
    auto exported = [dll](const char* name) {
        return dll != nullptr ? reinterpret_cast<void*>(GetProcAddress(dll, name)) : nullptr;
    };
    const EngineLayoutModule module{exported("CreateInterface"), exported("vesk_open"),
                                    static_cast<void**>(exported("g_pCVar")),
                                    static_cast<void**>(exported("cvar"))};
    if (module.createInterface == nullptr || module.open == nullptr ||
        module.exportedGCVar == nullptr || module.exportedCvar == nullptr) {
        std::printf("  mount_plugin.dll or one of its exports is missing\n");
        return kGroupFailed;
    }
    const int failures = EngineLayout_Run(group, residue, &module);
    FreeLibrary(dll);
    return failures == 0 ? kGroupPassed : kGroupFailed;
}

// Run as a child (this program with --group, the group and the residue): one group, its
// outcome as the exit code. The harness's own tests do not run then.
const bool kChildRun = [] {
    if (__argc != 4 || std::strcmp(__argv[1], "--group") != 0) return false;
    ExitProcess(
        RunGroupHere(static_cast<EngineLayoutGroup>(std::atoi(__argv[2])), std::atoi(__argv[3])));
}();

void RunGroup(EngineLayoutGroup group, int residue = kUsualResidue) {
    const std::uint32_t outcome = harness::RunThisProgram(
        "--group " + std::to_string(static_cast<int>(group)) + " " + std::to_string(residue),
        kGroupHung);
    char verdict[96];
    if (outcome == kGroupFailed) {
        std::snprintf(verdict, sizeof(verdict), "the checks listed above failed");
    } else if (outcome == kGroupHung) {
        std::snprintf(verdict, sizeof(verdict), "the group hung");
    } else {
        std::snprintf(verdict, sizeof(verdict), "the group crashed: exception 0x%08lx",
                      static_cast<unsigned long>(outcome));
    }
    Check(outcome == kGroupPassed, verdict);
}

const harness::Test kPlugin("plugin table: eighteen operations, results, argument words popped",
                            [] { RunGroup(EngineLayoutGroup::kPluginOperations); });
const harness::Test kListener("plugin's IGameEventListener part: destructor and event entries",
                              [] { RunGroup(EngineLayoutGroup::kEventListener); });
const harness::Test kCommandBase("registered variable: ConCommandBase entries 1-10, fields 4-20",
                                 [] { RunGroup(EngineLayoutGroup::kCommandBase); });
const harness::Test kVariable("registered variable: ConVar entries 11-16, fields 28-68, IConVar",
                              [] { RunGroup(EngineLayoutGroup::kVariable); });
const harness::Test kStack0("server life entered with the stack at 0 mod 16",
                            [] { RunGroup(EngineLayoutGroup::kStackAlignment, 0); });
const harness::Test kStack4("server life entered with the stack at 4 mod 16",
                            [] { RunGroup(EngineLayoutGroup::kStackAlignment, 4); });
const harness::Test kStack8("server life entered with the stack at 8 mod 16",
                            [] { RunGroup(EngineLayoutGroup::kStackAlignment, 8); });
const harness::Test kStack12("server life entered with the stack at 12 mod 16",
                             [] { RunGroup(EngineLayoutGroup::kStackAlignment, 12); });

}  // namespace

extern "C" void EngineLayout_Fail(const char* message) {
    std::printf("  %s\n", message);
}

extern "C" int32_t EngineLayout_AllocatorReleases() {
    Tier0AllocatorCounters counters{};
    Tier0Test_ReadCounters(&counters);
    return counters.releases;
}
