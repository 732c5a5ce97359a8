// The unit tests' entry point. All tests share one process (a filter, a debugger or a plain run
// of the binary), so each starts from the state the library has when the engine has just
// loaded it, whatever the tests before it left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "convar/command_registration.h"
#include "convar/empty_console_variable.h"
#include "mathlib/gamma_tables.h"
#include "mathlib/math_init.h"
#include "mathlib/math_routines.h"
#include "mathlib/sine_table.h"
#include "mount/mounted_app_registry.h"
#include "mount/script_module.h"
#include "plugin/engine_connection.h"
#include "plugin/server_plugin.h"
#include "support/platform_linked.h"
#include "tier0_testing.h"

namespace {

// What the native module-file query answers until a test chooses otherwise.
constexpr char kInstalledPath[] = "C:\\server\\bin\\mount_plugin.dll";

void ResetStandInTier0() {
    Tier0Test_PublishAllocator(1);
    Tier0Test_SetWantsAllocationTags(1);
    Tier0Test_FailAllocation(0);
    Tier0Test_FailAllocationPattern(0);
    Tier0Test_OverrideFeatureBits(-1);
    Tier0Test_ResetCounters();
    SetLinkedModuleFileName(kInstalledPath);
    SetLinkedBaseLibraryStarted(true);
}

void ResetEngineConnection() {
    DisconnectSecondLevel();
    // Directly: tests set the console without connecting, which a disconnect would skip.
    cvar = g_pCVar = nullptr;
    g_pProcessUtilities = nullptr;
    g_bFirstLevelConnected = false;
    g_pVertexBufferAllocTracker = nullptr;  // kept by a disconnect, as the engine expects
    g_pEngineServer = nullptr;
    g_pPluginFileSystem = nullptr;
    g_pScriptModuleManager = nullptr;
}

// Nothing registered and no accessor; the library's one static entry set up afresh (value,
// flags and link), alone on the pending list as after static initialisation.
void ResetConsoleRegistration() {
    s_pActiveAccessor = nullptr;
    s_bCommandsRegistered = false;
    s_nModuleId = kNoModuleId;
    s_nAddedFlags = 0;
    s_pPendingCommands = nullptr;
    std::destroy_at(&s_BlankVariable);
    std::construct_at(&s_BlankVariable);
}

void ResetMathLibrary() {
    g_MathReady = g_3DNowUsable = g_SSEUsable = g_SSE2Usable = g_Feature40Usable = false;
    g_MathRoutines = MathRoutineTable{};
    const auto clear = [](auto& table) { std::fill(std::begin(table), std::end(table), 0); };
    clear(g_SineSamples);
    clear(g_TextureLevelToDisplay);
    clear(g_LinearToDisplayLevel);
    clear(g_TextureLevelToLinear);
    clear(g_LinearToGamma22);
    clear(g_Gamma22ToLinear);
    clear(g_LinearToTextureLevel);
    clear(g_OverbrightLinearScale);
    clear(g_OverbrightDisplayLevel);
}

void ResetMountedApps() {
    // Gives the storage back, as an unload does, and starts empty again.
    std::destroy_at(&g_MountedAppRegistry);
    std::construct_at(&g_MountedAppRegistry);
}

class LoadStateBeforeEachTest final : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        ResetStandInTier0();
        ResetEngineConnection();
        ResetConsoleRegistration();
        ResetMathLibrary();
        ResetMountedApps();
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new LoadStateBeforeEachTest);
    return RUN_ALL_TESTS();
}
