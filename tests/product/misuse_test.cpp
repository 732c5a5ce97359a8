// The real plugin library driven out of order, as a confused engine or script runtime
// might: script functions before attach, after detach and after vesk_close, attach twice,
// detach without attach, attach with no factory, vesk_open twice. Each sequence loads the
// library afresh in this one process and must leave the host running, tell scripts only what
// is true, and give every block back when the library unloads.
#include <algorithm>
#include <cstdio>

#include "fake_host.h"
#include "harness.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

// Each sequence is a script of steps split by ';': attach (offering the first file system),
// attach2 (offering a second one), attach0 (no factory at all), detach, open, close, change
// (the variable's value), "mount ID: REPORT" (ok, not ok, not loaded or none) and
// "query ID: ANSWER" (1, 0 or none). open2, mount2 and query2 come from a second runtime.
const char* const kSequences[][2] = {
    {"script functions before attach",
     "open; mount 440: not loaded; query 440: 0; attach; mount 440: ok; query 440: 1; detach"},
    // The engine's file system outlives the plugin's unload and the runtime still holds the
    // functions: mounting goes on; a change of the variable reaches no console.
    {"script functions and the variable after detach",
     "attach; open; mount 440: ok; detach; mount 441: ok; mount 999: not ok; query 440: 1; "
     "query 441: 1; query 999: 0; change"},
    {"script functions after vesk_close, twice",
     "attach; open; mount 440: ok; close; close; mount 441: ok; query 440: 1; query 441: 1; "
     "query 442: 0; detach"},
    // The second load takes the file system offered now; the console stays connected and
    // the entries are not handed over again.
    {"attach twice, then detach twice",
     "attach; attach2; open; mount 440: ok; change; detach; detach"},
    {"detach before any attach", "detach; attach; open; mount 440: ok; detach"},
    // As a factory that offers nothing: the load succeeds and nothing is connected.
    {"attach without an engine factory",
     "attach0; open; mount 440: not loaded; detach; attach; mount 440: ok; detach"},
    // Each open registers both functions again. Once another runtime has opened the module,
    // it serves that runtime's states; a state it does not know gets neither answer nor mount.
    {"vesk_open twice, by the same and by another runtime",
     "attach; open; open; mount 440: ok; open2; mount 441: none; query 440: none; "
     "mount2 442: ok; query2 440: 1; query2 441: 0; detach"},
};

// What a mount step's expectation (ok, not ok, not loaded) says the report is.
std::string Report(const std::string& expect, int appid) {
    const std::string failure = "F:[NOT OK] Unable to mount appid " + std::to_string(appid);
    if (expect == "ok") return "M:[OK] Mounted appid " + std::to_string(appid) + "\n";
    if (expect == "not ok") return failure;
    return failure + ": the server plugin is not loaded";
}

void Play(const std::string& name, const std::string& script) {
    const int liveBefore = fake::Counters().liveBlocks;
    fake::RecordingFileSystem fileSystems[2];
    fake::RecordingConsole console;
    fake::RecordingRuntime runtimes[2];
    runtimes[1].state = reinterpret_cast<ScriptState>(0x5678);
    fake::g_Engine = {nullptr, &console};
    int offered = 0;  // the file system offered at the last attach
    bool connected = false;
    {
        fake::PluginModule loaded;
        IServerPluginCallbacks* plugin = loaded.Plugin();
        if (!Check(plugin != nullptr, name)) return;
        for (std::size_t start = 0, end = 0; start < script.size(); start = end + 2) {
            end = std::min(script.find("; ", start), script.size());
            const std::string step = script.substr(start, end - start);
            const std::string what = name + ": " + step;
            char verb[16] = {};
            char answer[16] = {};
            int appid = 0;
            std::sscanf(step.c_str(), "%15s %d: %15[^;]", verb, &appid, answer);
            const std::string op = verb;
            const std::string expect = answer;
            fake::RecordingRuntime& runtime = runtimes[op.back() == '2' ? 1 : 0];
            if (op.rfind("attach", 0) == 0) {
                offered = op == "attach2" ? 1 : 0;
                fake::g_Engine.fileSystem = &fileSystems[offered];
                const std::size_t before = console.registered.size();
                connected = op != "attach0";
                const InterfaceFactory factory = connected ? fake::EngineFactory : nullptr;
                Check(EngineCall_AttachToEngine(plugin, factory, factory), what);
                // Registered afresh in every load, with the default text.
                for (std::size_t i = before; i < console.registered.size(); ++i) {
                    auto* variable = static_cast<ConVar*>(console.registered[i]);
                    CheckText(EngineCall_ValueText(variable), "0", what);
                }
            } else if (op == "detach") {
                EngineCall_DetachFromEngine(plugin);
                connected = false;
            } else if (op.rfind("open", 0) == 0) {
                const std::size_t before = runtime.registered.size();
                CheckEqual(loaded.open(runtime.Host()), 0, what);
                CheckEqual(runtime.registered.size(), before + 2, what + ": functions registered");
            } else if (op == "close") {
                CheckEqual(loaded.close(), 0, what);
            } else if (op.rfind("mount", 0) == 0) {
                std::vector<std::string> told = runtime.reports;
                std::vector<int> asked[2] = {fileSystems[0].mounted, fileSystems[1].mounted};
                CheckEqual(runtime.Call("MountOtherGame", "content/other", appid), 0, what);
                if (expect != "none") told.push_back(Report(expect, appid));
                Check(runtime.reports == told, what + ": the report");
                // Only the file system offered last is asked, and for the negated id.
                if (expect == "ok" || expect == "not ok") asked[offered].push_back(-appid);
                Check(fileSystems[0].mounted == asked[0] && fileSystems[1].mounted == asked[1],
                      what + ": the engine's mounts");
            } else if (op.rfind("query", 0) == 0) {
                std::vector<int> told = runtime.pushed;
                if (expect != "none") told.push_back(expect == "1" ? 1 : 0);
                CheckEqual(runtime.Call("IsGameMounted", nullptr, appid), expect == "none" ? 0 : 1,
                           what + ": results");
                Check(runtime.pushed == told, what + ": the answer");
            } else if (op == "change") {
                if (!Check(console.registered.size() == 1, what)) continue;
                auto* variable = static_cast<ConVar*>(console.registered[0]);
                const std::size_t before = console.notifications.size();
                EngineCall_ApplyString(variable,
                                       "a text longer than the buffer the variable has had");
                EngineCall_ApplyInt(variable, 4);
                CheckText(EngineCall_ValueText(variable), "4", what + ": value text");
                CheckEqual(console.notifications.size(), before + (connected ? 2 : 0),
                           what + ": notifications sent");
            } else {
                Check(false, what + ": no such step");
            }
            Check(loaded.ExportedConsole() == (connected ? console.engine.get() : nullptr),
                  what + ": exported console");
        }
        // Every sequence attaches properly once and ends detached.
        Check(console.identifiersIssued == 1 && console.registered.size() == 1 &&
                  console.unregistered == std::vector<int>{1234},
              name + ": registered once, unregistered once as 1234");
    }
    Check(!host::IsModuleLoaded(fake::kPluginFile), name + ": unloaded");
    CheckEqual(fake::Counters().liveBlocks, liveBefore, name + ": blocks left after unload");
}

// The second round shows that unload and reload in one process start afresh: nothing
// mounted, no plugin loaded, the entry registered anew with its default text.
const harness::Test kMisuse("misuse sequences, each on a fresh load, twice over", [] {
    for (int round = 0; round < 2; ++round) {
        for (const auto& sequence : kSequences) Play(sequence[0], sequence[1]);
    }
});

}  // namespace
