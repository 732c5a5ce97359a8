// The plugin library against the engine's binary interface: Microsoft's 32-bit C++ ABI on
// Windows, the Itanium C++ ABI for i386 (as GCC builds the engine) on Linux. The engine's side
// (engine_layout/engine_side.cpp) is compiled as the engine is, from the documented tables and
// data layouts, and calls every entry the library hands out. Each group runs in a child
// process of its own with the library freshly loaded, so that an entry which crashes still
// names its group and the call it was in.
#include "engine_layout/engine_layout.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness.h"
#include "host_platform.h"
#include "tier0_testing.h"

using harness::Check;

namespace {

// The child's exit code, unless it crashed (then what the system makes of the crash).
constexpr std::uint32_t kGroupPassed = 10;
constexpr std::uint32_t kGroupFailed = 11;
constexpr std::uint32_t kGroupHung = 12;
// The stack residue at which the product's compilers' callers enter their callees.
constexpr int kUsualResidue = 12;

// In the child: loads the library beside the stand-in base library, runs the group and
// unloads the library, whose static destructors then run after whatever the group did to its
// objects.
std::uint32_t RunGroupHere(EngineLayoutGroup group, int residue) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    host::ReportCrashes(EngineLayout_Step);
    const host::Module library = host::LoadModule(host::kPluginFile);
    const EngineLayoutModule module{host::ModuleExport(library, "CreateInterface"),
                                    host::ModuleExport(library, "vesk_open"),
                                    static_cast<void**>(host::ModuleExport(library, "g_pCVar")),
                                    static_cast<void**>(host::ModuleExport(library, "cvar"))};
    if (module.createInterface == nullptr || module.open == nullptr ||
        module.exportedGCVar == nullptr || module.exportedCvar == nullptr) {
        std::printf("  %s or one of its exports is missing\n", host::kPluginFile);
        return kGroupFailed;
    }
    const int failures = EngineLayout_Run(group, residue, &module);
    host::UnloadModule(library);
    return failures == 0 ? kGroupPassed : kGroupFailed;
}

// Run as a child (this program with --group, the group and the residue): one group, its
// outcome as the exit code. The harness's own tests do not run then.
const bool kChildRun = [] {
    const std::vector<std::string> arguments = host::ThisProgramArguments();
    if (arguments.size() != 3 || arguments[0] != "--group") return false;
    host::ExitNow(RunGroupHere(static_cast<EngineLayoutGroup>(std::atoi(arguments[1].c_str())),
                               std::atoi(arguments[2].c_str())));
}();

void RunGroup(EngineLayoutGroup group, int residue = kUsualResidue) {
    const std::uint32_t outcome = host::RunThisProgram(
        "--group " + std::to_string(static_cast<int>(group)) + " " + std::to_string(residue),
        kGroupHung);
    char verdict[96];
    if (outcome == kGroupFailed) {
        std::snprintf(verdict, sizeof(verdict), "the checks listed above failed");
    } else if (outcome == kGroupHung) {
        std::snprintf(verdict, sizeof(verdict), "the group hung");
    } else {
        std::snprintf(verdict, sizeof(verdict), "the group crashed: exit code 0x%08lx",
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
// The deleting destructor entries, with the objects' memory given back (the stand-in keeps
// the static objects' blocks). The objects are gone for any later call, hence a child of its
// own.
const harness::Test kDeleting("deleting destructor entries: the variable and the plugin given back",
                              [] { RunGroup(EngineLayoutGroup::kDeletingDestructors); });

}  // namespace

extern "C" void EngineLayout_Fail(const char* message) {
    std::printf("  %s\n", message);
}

extern "C" int32_t EngineLayout_AllocatorReleases() {
    Tier0AllocatorCounters counters{};
    Tier0Test_ReadCounters(&counters);
    return counters.releases;
}

extern "C" const void* EngineLayout_ReleasedBlock(int32_t index) {
    Tier0AllocationRecord record{};
    for (std::int32_t call = 0; Tier0Test_ReadRecord(call, &record) != 0; ++call) {
        if (record.operation == kTier0Release && index-- == 0) return record.block;
    }
    return nullptr;
}

extern "C" void EngineLayout_KeepReleasedBlocks() {
    Tier0Test_KeepReleasedBlocks(1);
}
