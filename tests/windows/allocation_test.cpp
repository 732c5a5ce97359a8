// The real mount_plugin.dll against the stand-in tier0.dll: every block the DLL takes
// comes from the engine's allocator with the right tag, the DLL refuses to load without
// that allocator, and a refused allocation anywhere leaves the host running.
#include <windows.h>

#include <string>
#include <vector>

#include "fake_host.h"
#include "harness.h"
#include "tier0_testing.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

using fake::kPluginFile;
// Enough distinct ids to make the mounted-app registry grow by reallocation.
constexpr int kFirstAppId = 440;
constexpr int kMounts = 12;

using StepHook = void (*)();
void NoHook() {}

// Load, attach, open the script module, mount, change the console variable, detach and
// unload, going as far as the DLL lets it. Returns whether the last mount was seen to
// succeed.
bool RunServer(StepHook afterLoad = NoHook) {
    fake::RecordingFileSystem fileSystem;
    fake::RecordingConsole console;
    fake::g_Engine = {&fileSystem, &console};
    fake::RecordingRuntime runtime;
    fake::PluginModule loaded;
    if (loaded.module == nullptr) return false;
    afterLoad();
    IServerPluginCallbacks* plugin = loaded.Plugin();
    if (plugin != nullptr) plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
    if (loaded.open != nullptr) loaded.open(&runtime);
    for (int i = 0; i < kMounts; ++i)
        runtime.Call("MountOtherGame", "content/other", kFirstAppId + i);
    runtime.Call("IsGameMounted", nullptr, kFirstAppId + kMounts - 1);
    for (ConCommandBase* entry : console.registered) {
        if (entry->IsCommandEntry()) continue;
        static_cast<ConVar*>(entry)->ApplyString(
            "a value text well longer than the one the variable started with");
    }
    if (plugin != nullptr) plugin->DetachFromEngine();
    loaded.Unload();
    fake::g_Engine = {};
    return runtime.pushed == std::vector<int>{1};
}

struct Seen {
    int tagged = 0;    // AllocateTagged and ReallocateTagged
    int untagged = 0;  // Allocate and Reallocate
    int releases = 0;
    int questions = 0;
};

// Checks what every recorded call carried and sums them up.
Seen InspectRecord(const char* expectedTag) {
    Seen seen;
    const std::int32_t count = Tier0Test_RecordCount();
    Check(count <= kTier0RecordCapacity, "record kept every call");
    for (std::int32_t i = 0; i < count; ++i) {
        Tier0AllocationRecord record{};
        if (Tier0Test_ReadRecord(i, &record) == 0) continue;
        switch (record.operation) {
            case kTier0AllocateTagged:
            case kTier0ReallocateTagged:
                ++seen.tagged;
                Check(record.tagged == 1, "tagged call with a tag");
                CheckText(record.tag, expectedTag, "tag");
                CheckEqual(record.line, 0, "line");
                break;
            case kTier0Allocate:
            case kTier0Reallocate:
                ++seen.untagged;
                break;
            case kTier0Release:
                ++seen.releases;
                break;
            case kTier0WantsAllocationTags:
                ++seen.questions;
                break;
            default:
                break;
        }
    }
    return seen;
}

int LiveBlocks() {
    Tier0AllocatorCounters counters{};
    Tier0Test_ReadCounters(&counters);
    return counters.liveBlocks;
}

const harness::Test kTagged("with tags wanted, every allocation carries mount_plugin, line 0", [] {
    Tier0Test_SetWantsAllocationTags(1);
    Tier0Test_ResetCounters();
    const int liveBefore = LiveBlocks();
    Check(RunServer(), "the mount succeeded and is reported");
    Check(GetModuleHandleA(kPluginFile) == nullptr, "the DLL was unloaded");
    const Seen seen = InspectRecord("mount_plugin");
    Check(seen.tagged > 0, "the DLL allocated");
    CheckEqual(seen.untagged, 0, "untagged allocations");
    Check(seen.releases > 0, "the DLL released");
    CheckEqual(seen.questions, 2, "questions about tags (one per cache)");
    CheckEqual(LiveBlocks(), liveBefore, "blocks still held after unload");
    Tier0AllocatorCounters counters{};
    Tier0Test_ReadCounters(&counters);
    Check(counters.taggedReallocations > 0, "the registry grew by a tagged reallocation");
});

void StartWantingTags() {
    Tier0Test_SetWantsAllocationTags(1);
}

const harness::Test kUntagged("without tags nothing is tagged, and the first answer holds", [] {
    Tier0Test_SetWantsAllocationTags(0);
    Tier0Test_ResetCounters();
    // The allocator changes its mind once the DLL has loaded: too late for allocations,
    // but the first reallocation comes later and asks again for its own cache.
    Check(RunServer(StartWantingTags), "the mount succeeded and is reported");
    Tier0AllocatorCounters counters{};
    Tier0Test_ReadCounters(&counters);
    CheckEqual(counters.taggedAllocations, 0, "tagged allocations");
    Check(counters.allocations > 0, "the DLL allocated");
    CheckEqual(counters.reallocations, 0, "untagged reallocations");
    Check(counters.taggedReallocations > 0, "tagged reallocations");
    CheckEqual(counters.tagQuestions, 2, "questions about tags");
    Tier0Test_SetWantsAllocationTags(1);
});

const harness::Test kRefused("without the engine's allocator the DLL does not load", [] {
    Tier0Test_PublishAllocator(0);
    SetLastError(0);
    HMODULE module = LoadLibraryA(kPluginFile);
    const DWORD error = GetLastError();
    Tier0Test_PublishAllocator(1);
    if (!Check(module == nullptr, "LoadLibrary refused")) FreeLibrary(module);
    CheckEqual(error, static_cast<DWORD>(ERROR_DLL_INIT_FAILED), "error");
    Check(GetModuleHandleA(kPluginFile) == nullptr, "nothing of the DLL stays mapped");
    Check(RunServer(), "loads and mounts once the allocator is there");
});

// Run as a child with the stand-in told at its load to withhold the allocator: try the
// load and report the outcome as the exit code.
const int kChildOutcome = [] {
    if (GetEnvironmentVariableA(kTier0NoAllocatorVariable, nullptr, 0) == 0) return 0;
    HMODULE module = LoadLibraryA(kPluginFile);
    ExitProcess(module == nullptr ? GetLastError() : 0);
}();

const harness::Test kRefusedAtStart("an allocator withheld from process start is refused", [] {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    SetEnvironmentVariableA(kTier0NoAllocatorVariable, "1");
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessA(self, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &child);
    SetEnvironmentVariableA(kTier0NoAllocatorVariable, nullptr);
    if (!Check(started != FALSE, "child started")) return;
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CheckEqual(exitCode, static_cast<DWORD>(ERROR_DLL_INIT_FAILED), "child's LoadLibrary error");
});

bool IsAllocationRequest(std::int32_t operation) {
    return operation == kTier0AllocateTagged || operation == kTier0Allocate ||
           operation == kTier0ReallocateTagged || operation == kTier0Reallocate;
}

const harness::Test kInjected("a refused allocation at any step leaves the host alive", [] {
    Tier0Test_ResetCounters();
    Check(RunServer(), "a clean run mounts");
    int requests = 0;
    for (std::int32_t i = 0; i < Tier0Test_RecordCount(); ++i) {
        Tier0AllocationRecord record{};
        if (Tier0Test_ReadRecord(i, &record) != 0 && IsAllocationRequest(record.operation)) {
            ++requests;
        }
    }
    Check(requests > 0, "the clean run allocated");
    // The runs before the refused request are identical, so each request is reached.
    for (int n = 1; n <= requests; ++n) {
        Tier0Test_ResetCounters();
        Tier0Test_FailAllocation(n);
        RunServer();
        Tier0Test_FailAllocation(0);
        CheckEqual(Tier0Test_InjectedFailures(), 1,
                   "request " + std::to_string(n) + " of " + std::to_string(requests));
    }
    Check(RunServer(), "a clean run still mounts afterwards");
});

}  // namespace
