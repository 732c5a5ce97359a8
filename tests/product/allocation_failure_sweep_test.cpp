// One whole server life of the real plugin library (load, attach, vesk_open, mounts that
// succeed, fail and repeat, IsGameMounted, every kind of console-variable change, detach,
// unload), rerun in child processes with the stand-in allocator refusing the 1st, 2nd, ...
// request until a run sees no refusal, then every pair, then every request from one on. Each
// run must survive: end alive, with truthful reports and every block back. Run here, the
// same life shows how the library's blocks are tagged.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fake_host.h"
#include "harness.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

// How a run ended: the child's exit code, unless it crashed.
constexpr std::uint32_t kSurvived = 100;  // something was refused, and every check held
constexpr std::uint32_t kNothingRefused = 101;
constexpr std::uint32_t kChecksFailed = 102;
constexpr std::uint32_t kHung = 103;

bool g_bHolds = true;  // every check of this run held so far
int g_nRefusalsAsked = 0;

bool Holds(bool condition) {
    g_bHolds = g_bHolds && condition;
    return condition;
}

// Refusals since the last call: tells whether a step may show a degraded outcome.
bool RefusedSinceLastAsked() {
    const int refused = Tier0Test_InjectedFailures();
    const bool any = refused > g_nRefusalsAsked;
    g_nRefusalsAsked = refused;
    return any;
}

// One MountOtherGame call: exactly one report, and it tells what happened. A refusal is
// allowed only when the allocator refused something during the call, and then the engine
// must not have been asked to mount.
void Mount(fake::RecordingRuntime& runtime, const fake::RecordingFileSystem& fileSystem, int appid,
           std::vector<int>& reportedMounted) {
    const std::size_t reports = runtime.reports.size();
    const std::size_t mounts = fileSystem.mounted.size();
    const std::size_t paths = fileSystem.appended.size();
    RefusedSinceLastAsked();
    Holds(CheckEqual(runtime.Call("MountOtherGame", "content/other", appid), 0, "results"));
    const bool refused = RefusedSinceLastAsked();
    if (!Holds(CheckEqual(runtime.reports.size(), reports + 1, "reports per mount"))) return;
    const std::string& report = runtime.reports.back();
    const std::string failure = "F:[NOT OK] Unable to mount appid " + std::to_string(appid);
    const bool missing = appid == fake::kMissingAppId;
    if (report == (missing ? failure : "M:[OK] Mounted appid " + std::to_string(appid) + "\n")) {
        // The engine got the negated id (INT_MIN stays itself) and the path after the others.
        const int negated = static_cast<int>(0u - static_cast<unsigned>(appid));
        Holds(Check(fileSystem.mounted.size() == mounts + 1 &&
                        fileSystem.mounted.back() == negated &&
                        fileSystem.appended.size() == paths + 1 &&
                        fileSystem.appended.back() == "content/other|GAME|1",
                    "the engine mounted the negated id, the path at GAME's tail: " + report));
        if (!missing) reportedMounted.push_back(appid);
        return;
    }
    Holds(Check(report.rfind(failure + ": ", 0) == 0 && refused,
                "a report other than the outcome or a refused allocation: " + report));
    Holds(Check(fileSystem.mounted.size() == mounts && fileSystem.appended.size() == paths,
                "a refused mount left the engine untouched"));
}

// IsGameMounted agrees with the reports: true exactly for the ids reported mounted.
void Query(fake::RecordingRuntime& runtime, int appid, const std::vector<int>& reportedMounted) {
    std::vector<int> told = runtime.pushed;
    told.push_back(std::count(reportedMounted.begin(), reportedMounted.end(), appid) > 0 ? 1 : 0);
    Holds(CheckEqual(runtime.Call("IsGameMounted", nullptr, appid), 1, "results"));
    Holds(Check(runtime.pushed == told, "IsGameMounted(" + std::to_string(appid) + ")"));
}

const std::string kLong300(300, 'x');
const std::string kLong600 = std::string(599, '7') + "1";

// Every kind of setter: growing the buffer, keeping it with a long old text, the same text
// again, and the longest "%f" form, cut.
struct Change {
    void (*apply)(ConVar*);
    std::string expected;
};
const Change kChanges[] = {
    {[](ConVar* v) { EngineCall_ApplyString(v, kLong300.c_str()); }, kLong300},
    {[](ConVar* v) { EngineCall_ApplyString(v, "12"); }, "12"},
    {[](ConVar* v) { EngineCall_ApplyInt(v, 7); }, "7"},
    {[](ConVar* v) { EngineCall_ApplyFloat(v, 2.5f); }, "2.500000"},
    {[](ConVar* v) { EngineCall_ApplyString(v, kLong600.c_str()); }, kLong600},
    {[](ConVar* v) { EngineCall_ApplyString(v, kLong600.c_str()); }, kLong600},
    {[](ConVar* v) { EngineCall_ApplyFloat(v, 1e30f); }, "1000000015047466219876688855040"},
    {[](ConVar* v) { EngineCall_ApplyInt(v, INT_MIN); }, "-2147483648"},
};

// One value change: without a refused allocation it stores the text and notifies once;
// with one, it either does the same (the old text handed on possibly cut short), or keeps
// the old value, text, float and integer alike, and tells nobody.
void ChangeValue(ConVar* variable, fake::RecordingConsole& console, const Change& change) {
    const std::string oldText = EngineCall_ValueText(variable);
    const float oldFloat = EngineCall_AsFloat(variable);
    const int oldInt = EngineCall_AsInt(variable);
    const std::size_t before = console.notifications.size();
    RefusedSinceLastAsked();
    change.apply(variable);
    const bool refused = RefusedSinceLastAsked();
    const std::size_t notified = console.notifications.size() - before;
    if (notified == 0 && refused) {
        Holds(CheckText(EngineCall_ValueText(variable), oldText, "text kept when not stored"));
        const float nowFloat = EngineCall_AsFloat(variable);
        Holds(Check(std::memcmp(&nowFloat, &oldFloat, sizeof(float)) == 0 &&
                        EngineCall_AsInt(variable) == oldInt,
                    "float and integer kept with the text"));
        return;
    }
    if (!Holds(CheckEqual(notified, std::size_t{1}, "notifications for " + change.expected))) {
        return;
    }
    const fake::Notification& notification = console.notifications.back();
    Holds(Check(notification.variable == variable && notification.newText == change.expected,
                "notified with the variable, holding the new text"));
    Holds(CheckText(EngineCall_ValueText(variable), change.expected, "text after the change"));
    Holds(refused ? Check(oldText.rfind(notification.oldText, 0) == 0,
                          "old text handed on is the old text, perhaps cut")
                  : CheckEqual(notification.oldText, oldText, "old text handed on"));
}

// The whole life, as far as the DLL lets it go; afterLoad runs once the DLL is loaded.
void Live(void (*afterLoad)()) {
    const int liveBefore = fake::Counters().liveBlocks;
    fake::RecordingFileSystem fileSystem;
    fake::RecordingConsole console;
    fake::g_Engine = {&fileSystem, &console};
    fake::PluginModule loaded;
    const bool refusedAtLoad = RefusedSinceLastAsked();
    if (loaded.module == nullptr) {
        // A load may fail, but only cleanly: refused, nothing left mapped or allocated.
        Holds(Check(refusedAtLoad && !host::IsModuleLoaded(fake::kPluginFile),
                    "a load failed without a refused allocation, or left the library mapped"));
        Holds(CheckEqual(fake::Counters().liveBlocks, liveBefore, "blocks left by a failed load"));
        return;
    }
    if (afterLoad != nullptr) afterLoad();
    IServerPluginCallbacks* plugin = loaded.Plugin();
    if (!Holds(Check(plugin != nullptr, "exports and plugin object"))) return;
    Holds(Check(EngineCall_AttachToEngine(plugin, fake::EngineFactory, fake::EngineFactory),
                "attach"));
    Holds(Check(console.identifiersIssued == 1 && console.registered.size() == 1,
                "one identifier taken, one entry registered"));

    fake::RecordingRuntime runtime;
    Holds(CheckEqual(loaded.open(runtime.Host()), 0, "vesk_open"));
    Holds(Check(runtime.registered == std::vector<std::string>{"MountOtherGame", "IsGameMounted"},
                "globals registered, in order"));
    // Ten distinct ids, more than the mounted-app registry's first block holds, then the
    // one the engine refuses, a repeat and the extreme ids.
    std::vector<int> ids = {fake::kMissingAppId, 440, INT_MIN, INT_MAX};
    for (int i = 9; i >= 0; --i) ids.insert(ids.begin(), 440 + i);
    std::vector<int> reportedMounted;
    for (const int appid : ids) Mount(runtime, fileSystem, appid, reportedMounted);
    ids.push_back(12345);  // never mounted
    for (const int appid : ids) Query(runtime, appid, reportedMounted);

    if (console.registered.size() == 1 && !EngineCall_IsCommandEntry(console.registered[0])) {
        auto* variable = static_cast<ConVar*>(console.registered[0]);
        // Unless its first buffer was refused at load, the variable starts as "0".
        Holds(refusedAtLoad || CheckText(EngineCall_ValueText(variable), "0", "text at start"));
        for (const Change& change : kChanges) ChangeValue(variable, console, change);
        // The blank variable ignores the engine's assignments.
        const std::string held = EngineCall_ValueText(variable);
        const std::size_t before = console.notifications.size();
        IConVar* view = EngineCall_ConVarView(variable);
        EngineCall_AssignInt(view, 5);
        EngineCall_AssignFloat(view, 5.5f);
        EngineCall_AssignString(view, kLong600.c_str());
        Holds(
            CheckText(EngineCall_ValueText(variable), held, "text after the engine's assignments"));
        Holds(CheckEqual(console.notifications.size(), before, "assignments notified"));
    }

    Holds(CheckEqual(loaded.close(), 0, "vesk_close"));
    EngineCall_DetachFromEngine(plugin);
    Holds(Check(console.unregistered == std::vector<int>{1234}, "unregistered once, as 1234"));
    loaded.Unload();
    Holds(Check(!host::IsModuleLoaded(fake::kPluginFile), "the library was unloaded"));
    Holds(CheckEqual(fake::Counters().liveBlocks, liveBefore, "blocks left after unload"));
}

// One life with the countdown-th request from the load on refused (0: none) and those whose
// bits are set in pattern (bit 0: the first request).
std::uint32_t RunScenario(int countdown, std::uint32_t pattern, void (*afterLoad)() = nullptr) {
    g_bHolds = true;
    g_nRefusalsAsked = 0;
    Tier0Test_ResetCounters();
    Tier0Test_FailAllocation(countdown);
    Tier0Test_FailAllocationPattern(pattern);
    Live(afterLoad);
    if (!g_bHolds) return kChecksFailed;
    return Tier0Test_InjectedFailures() > 0 ? kSurvived : kNothingRefused;
}

// Run as a child (this program with --scenario, the countdown and the pattern): one life,
// its outcome as the exit code. The harness's own tests do not run then.
const bool kChildRun = [] {
    const std::vector<std::string> arguments = host::ThisProgramArguments();
    if (arguments.size() != 3 || arguments[0] != "--scenario") return false;
    host::ExitNow(
        RunScenario(std::atoi(arguments[1].c_str()),
                    static_cast<std::uint32_t>(std::strtoul(arguments[2].c_str(), nullptr, 16))));
}();

// Tallies the runs of one kind of refusal and checks each survived.
struct Tally {
    const char* kind;
    int runs = 0;
    int survived = 0;

    // Runs one life in a child process; false when it saw no refusal at all.
    bool Run(int countdown, std::uint32_t pattern) {
        char arguments[64];
        std::snprintf(arguments, sizeof(arguments), "--scenario %d %lx", countdown,
                      static_cast<unsigned long>(pattern));
        const std::uint32_t outcome = host::RunThisProgram(arguments, kHung);
        if (outcome == kNothingRefused) return false;
        ++runs;
        char what[128];
        std::snprintf(what, sizeof(what), "%s (request %d, pattern 0x%lx): 0x%lx", kind, countdown,
                      static_cast<unsigned long>(pattern), static_cast<unsigned long>(outcome));
        survived += Check(outcome == kSurvived, what);
        return true;
    }
    void Print() const {
        std::printf("allocation-failure sweep, %s: %d runs, %d survived, %d failed\n", kind, runs,
                    survived, runs - survived);
    }
};

// The allocator's answer is asked once for allocations and once for reallocations, each
// at its first request.
const harness::Test kTags("allocations carry mount_plugin, line 0, when the allocator asks", [] {
    Tier0Test_SetWantsAllocationTags(1);
    CheckEqual(RunScenario(0, 0), kNothingRefused, "the life, once the allocator is there");
    Tier0AllocatorCounters counters = fake::Counters();
    Check(
        counters.taggedAllocations > 0 && counters.taggedReallocations > 0 && counters.releases > 0,
        "tagged allocations, reallocations (the registry grew) and releases");
    CheckEqual(counters.allocations + counters.reallocations, 0, "untagged requests");
    CheckEqual(counters.tagQuestions, 2, "questions about tags (one per cache)");
    Check(Tier0Test_RecordCount() <= kTier0RecordCapacity, "record kept every call");
    for (std::int32_t i = 0; i < Tier0Test_RecordCount(); ++i) {
        Tier0AllocationRecord record{};
        Tier0Test_ReadRecord(i, &record);
        if (record.operation == kTier0AllocateTagged ||
            record.operation == kTier0ReallocateTagged) {
            Check(record.tagged == 1 && record.line == 0, "tagged call with a tag and line 0");
            CheckText(record.tag, "mount_plugin", "tag");
        }
    }

    // Tags unwanted at load, wanted from just after it: allocations stay untagged, while
    // the first reallocation comes later and asks for its own cache.
    Tier0Test_SetWantsAllocationTags(0);
    CheckEqual(RunScenario(0, 0, [] { Tier0Test_SetWantsAllocationTags(1); }), kNothingRefused,
               "the life");
    counters = fake::Counters();
    CheckEqual(counters.taggedAllocations + counters.reallocations, 0,
               "tagged allocations, untagged reallocations");
    Check(counters.allocations > 0 && counters.taggedReallocations > 0,
          "untagged allocations, tagged reallocations");
    CheckEqual(counters.tagQuestions, 2, "questions about tags");
});

const harness::Test kSweep("a refused allocation at every request of a server life", [] {
    if (Tally{"no request refused"}.Run(0, 0)) return;
    // Far more than the life's requests: a sweep that never ends is a failure too.
    Tally single{"one request refused"};
    int requests = 0;
    while (requests < 1000 && single.Run(requests + 1, 0)) ++requests;
    Check(requests > 0 && requests < 1000, "the sweep reached a run without refusal");
    single.Print();
    // Two refusals: a later request after an earlier one was refused (a registration at
    // load retried and refused again once dropped a destructor).
    const int patterned = std::min(requests, 32);
    Tally pairs{"two requests refused"};
    for (int first = 0; first < patterned; ++first) {
        for (int second = first + 1; second < patterned; ++second) {
            pairs.Run(0, (1u << first) | (1u << second));
        }
    }
    pairs.Print();
    // An allocator that runs dry for good from one request on.
    Tally dry{"every request refused from one on"};
    for (int first = 0; first < patterned; ++first) dry.Run(0, ~0u << first);
    dry.Print();
});

}  // namespace
