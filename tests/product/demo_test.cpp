// The stand-in game server run as a user runs the demo: a separate process with the real
// libraries, given a script file or none, its output read back through a pipe.
#include <cstdio>
#include <string>
#include <string_view>

#include "harness.h"
#include "host_platform.h"
#include "tier0_testing.h"

namespace {

// Runs the server from the shell as a user does, from folder (the build's by default);
// answers its output, in text mode.
std::string RunServer(const std::string& arguments, int expectedExitCode = 0,
                      const std::string& folder = host::ThisProgramFolder()) {
    std::string output;
    const int exitCode =
        host::RunCommand(host::InFolder(folder, host::kServerFile) + " " + arguments, output);
    harness::CheckEqual(exitCode, expectedExitCode, "exit code");
    return output;
}

// Each of the '|'-separated parts appears in the output, in the given order.
void ExpectInOrder(const std::string& output, const std::string& expected) {
    std::string_view parts = expected;
    std::size_t from = 0;
    while (true) {
        const std::size_t end = parts.find('|');
        const std::string part(parts.substr(0, end));
        from = output.find(part, from);
        if (!harness::Check(from != std::string::npos, "missing or out of order: " + part)) {
            std::printf("%s\n", output.c_str());
            return;
        }
        from += part.size();
        if (end == std::string_view::npos) return;
        parts.remove_prefix(end + 1);
    }
}

const harness::Test kDefaultDemo("the built-in demo mounts, repeats, fails and queries", [] {
    ExpectInOrder(
        RunServer(""),
        "vesk_open returned 0; it registered MountOtherGame, IsGameMounted|"
        "print    mounted 240 at start:\tfalse|"
        "engine   AppendSearchPath(\"content/harbor\", \"GAME\", 1)|"
        "engine   MountApplicationContent(-240): mounted appid 240|"
        "message  [OK] Mounted appid 240\n|print    mounted 240 now:\ttrue|"
        "message  [OK] Mounted appid 240\n|"  // a repeat reports again
        "MountApplicationContent(-999): appid 999 is not installed -> 1|"
        "failure  [NOT OK] Unable to mount appid 999\n|print    mounted 999:\tfalse|"
        "error    bad argument #1 to 'MountOtherGame' (string expected, got number)|"
        "message  [OK] Mounted appid 300\n|print    mounted 240, 300, 4000:\ttrue\ttrue\tfalse|"
        "\"GAME\" search paths after the script, in search order:|1. content/harbor\n|"
        "(content of appid 240, mounted by the engine)|3. content/harbor\n|4. content/missing\n|"
        "5. content/valley\n|(content of appid 300, mounted by the engine)|"
        "mounted appids: 240 \"Harbor Siege\", 300 \"Quiet Valley\"|"
        "not installed, not mounted: 999|IsGameMounted agrees with the engine for each of them|"
        "engine: unloaded " +
            std::string(host::kPluginFile));
});

const harness::Test kUserScript("a user's script goes on past a wrongly typed argument", [] {
    const char* path = "demo_test.script";
    if (FILE* file = std::fopen(path, "wb")) {
        std::fputs(
            "MountOtherGame(\"first\", 240)\nMountOtherGame(\"second\", \"300\")\n"
            "MountOtherGame(\"minimum\", -2147483648)\nprint(IsGameMounted(240))\n",
            file);
        std::fclose(file);
    }
    ExpectInOrder(RunServer(path),
                  "message  [OK] Mounted appid 240\n|"
                  "error    bad argument #2 to 'MountOtherGame' (number expected, got string)|"
                  "MountApplicationContent(-2147483648): appid -2147483648 is not installed|"
                  "failure  [NOT OK] Unable to mount appid -2147483648\n|print    true\n|"
                  "1. first\n|(content of appid 240, mounted by the engine)|3. minimum\n|"
                  "summary: 4 statements run, 1 failed or refused");
    host::RemoveFile(path);
});

const harness::Test kUsage("unusable arguments are refused with the usage", [] {
    ExpectInOrder(RunServer("--catalogue", 2), "usage: " + std::string(host::kServerFile));
    ExpectInOrder(RunServer("no-such-script.txt", 2), "cannot read the script no-such-script.txt");
});

// The engine's base library has more than one name (on Linux): the demo runs on each, alone
// beside the server and the plugin in a folder of their own.
const harness::Test kBaseLibraryNames("the demo runs with the base library under each name", [] {
    const std::string build = host::ThisProgramFolder();
    for (const char* name : host::BaseLibraryFiles()) {
        const std::string folder = host::TemporaryFolder() + "mount-demo-test-" +
                                   std::to_string(host::ProcessId()) + "-" + name;
        host::MakeFolder(folder);
        for (const char* file : {host::kServerFile, host::kPluginFile, name}) {
            harness::Check(
                host::DuplicateFile(host::InFolder(build, file), host::InFolder(folder, file)),
                file);
        }
        ExpectInOrder(RunServer("", 0, folder), "engine: loaded its base library " +
                                                    std::string(name) +
                                                    "|IsGameMounted agrees with the engine");
        for (const char* file : {host::kServerFile, host::kPluginFile, name}) {
            host::RemoveFile(host::InFolder(folder, file));
        }
        host::RemoveFolder(folder);
    }
});

// Without an allocator behind the base library's g_pMemAlloc the plugin does not start: the
// server says so and ends, having attached nothing.
const harness::Test kNoAllocator("without the engine's allocator the server shows the refusal", [] {
    host::SetEnvironment(kTier0NoAllocatorVariable, "1");
    const std::string output = RunServer("", 1);
    host::SetEnvironment(kTier0NoAllocatorVariable, nullptr);
    ExpectInOrder(output, "engine: loading " + std::string(host::kPluginFile));
    harness::Check(output.find("attached plugin") == std::string::npos, "nothing attached");
});

}  // namespace
