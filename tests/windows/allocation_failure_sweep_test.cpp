// One whole server life of the real mount_plugin.dll, rerun with the engine's allocator
// refusing the 1st, 2nd, ... request until a run sees no refusal. Each run happens in a
// child process of this program, so that a crash shows up as a dead child and not as a
// dead sweep. Every run must end with the host alive, the reports it got truthful, and
// every block of the engine's allocator given back once the DLL is unloaded.
#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "fake_host.h"
#include "harness.h"
#include "tier0_testing.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

constexpr char kChildArgument[] = "--scenario";

// How a child run ended: its exit code.
constexpr DWORD kChecksFailed = 1;
constexpr DWORD kNothingRefused = 2;
constexpr DWORD kNotStarted = 3;
constexpr DWORD kHung = 4;
// A run whose refusal landed in a stage exits with kRefusedIn + the stage's index.
constexpr DWORD kRefusedIn = 100;

enum Stage { kLoad, kAttach, kOpen, kMounts, kQueries, kConsole, kDetach, kUnload, kStages };
constexpr const char* kStageNames[kStages] = {
    "load", "attach", "vesk_open", "mounts", "IsGameMounted", "console changes", "detach", "unload",
};

int LiveBlocks() {
    Tier0AllocatorCounters counters{};
    Tier0Test_ReadCounters(&counters);
    return counters.liveBlocks;
}

// Collects the outcome of one run: whether every check held, and where the refusal hit.
class Run {
public:
    void Enter(Stage stage) {
        NoteRefusals();
        m_Stage = stage;
    }
    void NoteRefusals() {
        const int refused = Tier0Test_InjectedFailures();
        if (refused > m_nRefusalsSeen && m_RefusedIn == kStages) m_RefusedIn = m_Stage;
        m_nRefusalsSeen = refused;
    }
    // Refusals since the last call: tells whether a step may show a degraded outcome.
    bool RefusedSinceLastAsked() {
        const int refused = Tier0Test_InjectedFailures();
        const bool any = refused > m_nRefusalsAsked;
        m_nRefusalsAsked = refused;
        return any;
    }
    bool Holds(bool condition) {
        m_bOk = m_bOk && condition;
        return condition;
    }
    DWORD ExitCode() {
        NoteRefusals();
        if (!m_bOk) return kChecksFailed;
        return m_RefusedIn == kStages ? kNothingRefused : kRefusedIn + m_RefusedIn;
    }

private:
    Stage m_Stage = kLoad;
    Stage m_RefusedIn = kStages;
    int m_nRefusalsSeen = 0;
    int m_nRefusalsAsked = 0;
    bool m_bOk = true;
};

// Ten distinct ids, more than the mounted-app registry's first block holds, then one the
// engine refuses, a repeat and the extreme ids.
constexpr int kMissingAppId = 999;
constexpr int kFirstAppId = 440;
constexpr int kDistinctIds = 10;
constexpr int kLaterIds[] = {kMissingAppId, kFirstAppId, INT_MIN, INT_MAX};

std::vector<int> MountedIds() {
    std::vector<int> ids;
    for (int i = 0; i < kDistinctIds; ++i) ids.push_back(kFirstAppId + i);
    ids.insert(ids.end(), std::begin(kLaterIds), std::end(kLaterIds));
    return ids;
}
constexpr int kNeverMounted = 12345;

std::string Expected(const char* format, int appid) {
    char text[96];
    std::snprintf(text, sizeof(text), format, appid);
    return text;
}

// One MountOtherGame call: exactly one report, and it tells what happened. A refusal is
// allowed only when the allocator refused something during the call, and then the engine
// must not have been asked to mount.
void Mount(Run& run, fake::RecordingRuntime& runtime, const fake::RecordingFileSystem& fileSystem,
           int appid, std::vector<int>& reportedMounted) {
    const std::size_t reportsBefore = runtime.reports.size();
    const std::size_t mountsBefore = fileSystem.mounted.size();
    const std::size_t pathsBefore = fileSystem.appended.size();
    run.RefusedSinceLastAsked();
    run.Holds(CheckEqual(runtime.Call("MountOtherGame", "content/other", appid), 0, "results"));
    const bool refused = run.RefusedSinceLastAsked();
    if (!run.Holds(CheckEqual(runtime.reports.size(), reportsBefore + 1, "reports per mount"))) {
        return;
    }
    const std::string& report = runtime.reports.back();
    const bool engineAsked = fileSystem.mounted.size() == mountsBefore + 1 &&
                             fileSystem.appended.size() == pathsBefore + 1;
    const std::string normal = appid == kMissingAppId
                                   ? Expected("F:[NOT OK] Unable to mount appid %d", appid)
                                   : Expected("M:[OK] Mounted appid %d\n", appid);
    if (report == normal) {
        run.Holds(Check(engineAsked, "the engine was asked to mount"));
        if (appid != kMissingAppId) reportedMounted.push_back(appid);
        return;
    }
    const std::string refusal = Expected("F:[NOT OK] Unable to mount appid %d: ", appid);
    const bool saidRefused = report.compare(0, refusal.size(), refusal) == 0;
    run.Holds(Check(saidRefused, "unexpected report: " + report));
    run.Holds(Check(!saidRefused || refused, "refused without a refused allocation: " + report));
    run.Holds(Check(!saidRefused || (fileSystem.mounted.size() == mountsBefore &&
                                     fileSystem.appended.size() == pathsBefore),
                    "a refused mount left the engine untouched"));
}

// IsGameMounted agrees with the reports: true exactly for the ids reported mounted.
void Query(Run& run, fake::RecordingRuntime& runtime, int appid,
           const std::vector<int>& reportedMounted) {
    const std::size_t before = runtime.pushed.size();
    run.Holds(CheckEqual(runtime.Call("IsGameMounted", nullptr, appid), 1, "results"));
    if (!run.Holds(CheckEqual(runtime.pushed.size(), before + 1, "pushed"))) return;
    bool reported = false;
    for (const int id : reportedMounted) reported = reported || id == appid;
    run.Holds(CheckEqual(runtime.pushed.back(), reported ? 1 : 0,
                         "IsGameMounted(" + std::to_string(appid) + ")"));
}

// One value change: without a refused allocation it stores the text and notifies once;
// with one, it either does the same (the old text handed on possibly cut short), or keeps
// the old text and tells nobody.
template <typename Change>
void ChangeValue(Run& run, ConVar* variable, fake::RecordingConsole& console, Change change,
                 const std::string& expected) {
    const std::string oldText = variable->ValueText();
    const std::size_t before = console.notifications.size();
    run.RefusedSinceLastAsked();
    change(variable);
    const bool refused = run.RefusedSinceLastAsked();
    const std::size_t notified = console.notifications.size() - before;
    if (notified == 0 && refused) {
        run.Holds(CheckText(variable->ValueText(), oldText, "text kept when not stored"));
        return;
    }
    if (!run.Holds(CheckEqual(notified, std::size_t{1}, "notifications for " + expected))) return;
    const fake::Notification& notification = console.notifications.back();
    run.Holds(Check(notification.variable == variable, "notified variable"));
    run.Holds(CheckEqual(notification.newText, expected, "text while notified"));
    run.Holds(CheckText(variable->ValueText(), expected, "text after the change"));
    if (refused) {
        run.Holds(Check(oldText.compare(0, notification.oldText.size(), notification.oldText) == 0,
                        "old text handed on is the old text, perhaps cut"));
    } else {
        run.Holds(CheckEqual(notification.oldText, oldText, "old text handed on"));
    }
}

void ChangeConsoleVariable(Run& run, ConVar* variable, fake::RecordingConsole& console,
                           bool refusedAtLoad) {
    // Unless its first buffer was refused at load, the variable starts as "0".
    run.Holds(refusedAtLoad || CheckText(variable->ValueText(), "0", "text at start"));
    const std::string long300(300, 'x');
    const std::string long600 = std::string(599, '7') + "1";
    const std::string cut1e30 = "1000000015047466219876688855040";
    // Growing the buffer, keeping it with a long old text (copied aside on the heap), and
    // every kind of setter.
    ChangeValue(
        run, variable, console, [&](ConVar* v) { v->ApplyString(long300.c_str()); }, long300);
    ChangeValue(
        run, variable, console, [](ConVar* v) { v->ApplyString("12"); }, "12");
    ChangeValue(
        run, variable, console, [](ConVar* v) { v->ApplyInt(7); }, "7");
    ChangeValue(
        run, variable, console, [](ConVar* v) { v->ApplyFloat(2.5f); }, "2.500000");
    ChangeValue(
        run, variable, console, [&](ConVar* v) { v->ApplyString(long600.c_str()); }, long600);
    ChangeValue(
        run, variable, console, [&](ConVar* v) { v->ApplyString(long600.c_str()); }, long600);
    ChangeValue(
        run, variable, console, [](ConVar* v) { v->ApplyFloat(1e30f); }, cut1e30);
    ChangeValue(
        run, variable, console, [](ConVar* v) { v->ApplyInt(INT_MIN); }, "-2147483648");
    // The blank variable ignores the engine's assignments.
    const std::string held = variable->ValueText();
    const std::size_t before = console.notifications.size();
    IConVar* view = variable;
    view->AssignInt(5);
    view->AssignFloat(5.5f);
    view->AssignString(long600.c_str());
    run.Holds(CheckText(variable->ValueText(), held, "text after the engine's assignments"));
    run.Holds(CheckEqual(console.notifications.size(), before, "assignments notified"));
}

// The refusals of one run: the countdown-th request from the load on (0: none), and the
// requests whose bits are set in pattern (bit 0: the first request from the load on).
struct Refusals {
    int countdown = 0;
    std::uint32_t pattern = 0;
};

// The whole scenario, as far as the DLL lets it go. Returns the child's exit code.
DWORD RunScenario(Refusals refusals) {
    Run run;
    const int liveBefore = LiveBlocks();
    Tier0Test_ResetCounters();
    Tier0Test_FailAllocation(refusals.countdown);
    Tier0Test_FailAllocationPattern(refusals.pattern);

    run.Enter(kLoad);
    fake::RecordingFileSystem fileSystem;
    fileSystem.failingAppId = kMissingAppId;
    fake::RecordingConsole console;
    fake::g_Engine = {&fileSystem, &console};
    fake::PluginModule loaded;
    const bool refusedAtLoad = run.RefusedSinceLastAsked();
    if (loaded.module == nullptr) {
        // A load may fail, but only cleanly: refused, nothing left mapped or allocated.
        run.Holds(Check(refusedAtLoad, "the load failed without a refused allocation"));
        run.Holds(Check(GetModuleHandleA(fake::kPluginFile) == nullptr, "nothing left mapped"));
        run.Holds(CheckEqual(LiveBlocks(), liveBefore, "blocks left by a failed load"));
        return run.ExitCode();
    }
    if (!run.Holds(Check(loaded.Usable(), "exports"))) return run.ExitCode();

    run.Enter(kAttach);
    IServerPluginCallbacks* plugin = loaded.Plugin();
    if (!run.Holds(Check(plugin != nullptr, "plugin object"))) return run.ExitCode();
    run.Holds(Check(plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory), "attach"));
    run.Holds(CheckEqual(console.identifiersIssued, 1, "identifiers issued"));
    run.Holds(CheckEqual(console.registered.size(), std::size_t{1}, "entries registered"));

    run.Enter(kOpen);
    fake::RecordingRuntime runtime;
    run.Holds(CheckEqual(loaded.open(&runtime), 0, "vesk_open"));
    run.Holds(CheckEqual(runtime.registered.size(), std::size_t{2}, "functions registered"));

    run.Enter(kMounts);
    std::vector<int> reportedMounted;
    const std::vector<int> ids = MountedIds();
    for (const int appid : ids) Mount(run, runtime, fileSystem, appid, reportedMounted);

    run.Enter(kQueries);
    for (const int appid : ids) Query(run, runtime, appid, reportedMounted);
    Query(run, runtime, kNeverMounted, reportedMounted);

    run.Enter(kConsole);
    if (console.registered.size() == 1 && !console.registered[0]->IsCommandEntry()) {
        ChangeConsoleVariable(run, static_cast<ConVar*>(console.registered[0]), console,
                              refusedAtLoad);
    }

    run.Enter(kDetach);
    run.Holds(CheckEqual(loaded.close(), 0, "vesk_close"));
    plugin->DetachFromEngine();
    run.Holds(Check(console.unregistered == std::vector<int>{1234}, "unregistered once, as 1234"));

    run.Enter(kUnload);
    loaded.Unload();
    run.Holds(Check(GetModuleHandleA(fake::kPluginFile) == nullptr, "the DLL was unloaded"));
    run.Holds(CheckEqual(LiveBlocks(), liveBefore, "blocks left after unload"));
    Tier0Test_FailAllocation(0);
    Tier0Test_FailAllocationPattern(0);
    return run.ExitCode();
}

// Run as a child (this program with kChildArgument, the countdown and the pattern): one
// scenario, its outcome as the exit code. The harness's own tests do not run then.
const bool kChildRun = [] {
    if (__argc != 4 || std::strcmp(__argv[1], kChildArgument) != 0) return false;
    Refusals refusals;
    refusals.countdown = std::atoi(__argv[2]);
    refusals.pattern = static_cast<std::uint32_t>(std::strtoul(__argv[3], nullptr, 16));
    const DWORD outcome = RunScenario(refusals);
    std::fflush(stdout);
    ExitProcess(outcome);
}();

// Runs the scenario in a child process; the child's exit code, or a code of its own when
// it could not be started or hung.
DWORD RunChild(Refusals refusals) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char arguments[64];
    std::snprintf(arguments, sizeof(arguments), " %s %d %lx", kChildArgument, refusals.countdown,
                  static_cast<unsigned long>(refusals.pattern));
    std::string commandLine = std::string("\"") + self + "\"" + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &child)) {
        return kNotStarted;
    }
    DWORD exitCode = kHung;
    if (WaitForSingleObject(child.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(child.hProcess, &exitCode);
    } else {
        TerminateProcess(child.hProcess, exitCode);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return exitCode;
}

// Tallies the runs of one kind of refusal and checks each survived.
class Tally {
public:
    explicit Tally(const char* kind) : m_pszKind(kind) {}

    // False when the run saw no refusal at all.
    bool Count(DWORD outcome, const std::string& which) {
        if (outcome == kNothingRefused) return false;
        ++m_nRuns;
        if (outcome >= kRefusedIn && outcome < kRefusedIn + kStages) {
            ++m_nSurvived;
            ++m_StageCounts[outcome - kRefusedIn];
            return true;
        }
        char code[16];
        std::snprintf(code, sizeof(code), "0x%lx", static_cast<unsigned long>(outcome));
        Check(false, std::string(m_pszKind) + ", " + which + ": the run ended with " + code);
        return true;
    }

    void Print() const {
        std::printf(
            "allocation-failure sweep, %s: %d runs, %d survived (host alive, reports "
            "truthful, no block left), %d failed; first refusal during",
            m_pszKind, m_nRuns, m_nSurvived, m_nRuns - m_nSurvived);
        const char* separator = " ";
        for (int stage = 0; stage < kStages; ++stage) {
            if (m_StageCounts[stage] == 0) continue;
            std::printf("%s%s %d", separator, kStageNames[stage], m_StageCounts[stage]);
            separator = ", ";
        }
        std::printf("\n");
    }

    int Runs() const { return m_nRuns; }

private:
    const char* m_pszKind;
    int m_nRuns = 0;
    int m_nSurvived = 0;
    int m_StageCounts[kStages] = {};
};

// Far more than the scenario's requests: a sweep that never ends is a failure too.
constexpr int kMostRequests = 1000;
constexpr int kPatternBits = 32;

const harness::Test kSweep("a refused allocation at every request of a server life", [] {
    if (!CheckEqual(RunChild({}), kNothingRefused, "the scenario without refusals")) return;

    Tally single("one request refused");
    int requests = 0;
    while (requests < kMostRequests &&
           single.Count(RunChild({requests + 1, 0}), "request " + std::to_string(requests + 1))) {
        ++requests;
    }
    Check(requests > 0 && requests < kMostRequests, "the sweep reached a run without refusal");
    single.Print();

    // Two refusals: a later request after an earlier one was refused (for instance a
    // registration at load retried and refused again).
    const int patterned = requests < kPatternBits ? requests : kPatternBits;
    Tally pairs("two requests refused");
    for (int first = 0; first < patterned; ++first) {
        for (int second = first + 1; second < patterned; ++second) {
            char which[48];
            std::snprintf(which, sizeof(which), "requests %d and %d", first + 1, second + 1);
            pairs.Count(RunChild({0, (1u << first) | (1u << second)}), which);
        }
    }
    pairs.Print();

    // An allocator that runs dry for good from one request on.
    Tally dry("every request refused from one on");
    for (int first = 0; first < patterned; ++first) {
        dry.Count(RunChild({0, ~0u << first}), "from request " + std::to_string(first + 1));
    }
    dry.Print();
    std::printf("allocation-failure sweep: %d runs in all\n",
                single.Runs() + pairs.Runs() + dry.Runs());
});

}  // namespace
