// The stand-in game server run as a user runs the demo: a separate process with the real
// DLLs, given a script file or none, its output read back through a pipe.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "harness.h"

namespace {

// Runs the server from the shell as a user does; answers its output, in text mode.
std::string RunServer(const std::string& arguments, int expectedExitCode = 0) {
    std::string output;
    FILE* pipe = _popen(("standin_server.exe " + arguments + " 2>&1").c_str(), "r");
    if (!harness::Check(pipe != nullptr, "server started")) return output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;) {
        output.append(buffer, got);
    }
    harness::CheckEqual(_pclose(pipe), expectedExitCode, "exit code");
    return output;
}

// Each of the '|'-separated parts appears in the output, in the given order.
void ExpectInOrder(const std::string& output, std::string_view parts) {
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
        "engine: unloaded mount_plugin.dll");
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
    DeleteFileA(path);
});

const harness::Test kUsage("unusable arguments are refused with the usage", [] {
    ExpectInOrder(RunServer("--catalogue", 2), "usage: standin_server.exe");
    ExpectInOrder(RunServer("no-such-script.txt", 2), "cannot read the script no-such-script.txt");
});

}  // namespace
