// The stand-in game server run as a user runs the demo: a separate process with the real
// DLLs, given script and catalogue files, its output read back through a pipe.
#include <windows.h>

#include <climits>
#include <cstdio>
#include <string>
#include <string_view>

#include "harness.h"

using harness::Check;
using harness::CheckEqual;

namespace {

struct ServerRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

ServerRun RunServer(const std::string& arguments) {
    ServerRun run;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::string commandLine = "standin_server.exe " + arguments;
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            run.output.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    // Compare lines without the console's carriage returns.
    std::string output;
    for (const char character : run.output) {
        if (character != '\r') output.push_back(character);
    }
    run.output = output;
    return run;
}

std::string TemporaryFolder() {
    char path[MAX_PATH + 1] = {};
    GetTempPathA(sizeof(path), path);
    std::string folder =
        std::string(path) + "mount-demo-test-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string WriteFile(const std::string& folder, const char* name, std::string_view content) {
    const std::string path = folder + "\\" + name;
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
    return path;
}

int Occurrences(const std::string& text, std::string_view part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// Each part appears in the output, in the given order.
bool AppearsInOrder(const std::string& output, std::initializer_list<std::string_view> parts) {
    std::size_t from = 0;
    for (const std::string_view part : parts) {
        const std::size_t at = output.find(part, from);
        if (at == std::string::npos) {
            harness::Check(false, std::string("missing or out of order: ") + std::string(part));
            return false;
        }
        from = at + part.size();
    }
    return true;
}

const harness::Test kDefaultDemo("the built-in demo mounts, repeats, fails and queries", [] {
    const ServerRun run = RunServer("");
    CheckEqual(run.exitCode, DWORD{0}, "exit code");
    const bool ok = AppearsInOrder(
        run.output, {"vesk_open returned 0; it registered MountOtherGame, IsGameMounted",
                     "print    mounted 240 at start:\tfalse",
                     "engine   AppendSearchPath(\"content/harbor\", \"GAME\", 1)",
                     "engine   MountApplicationContent(-240): mounted appid 240",
                     "message  [OK] Mounted appid 240\n",
                     "print    mounted 240 now:\ttrue",
                     "message  [OK] Mounted appid 240\n",
                     "MountApplicationContent(-999): appid 999 is not installed -> 1",
                     "failure  [NOT OK] Unable to mount appid 999\n",
                     "print    mounted 999:\tfalse",
                     "error    bad argument #1 to 'MountOtherGame' (string expected, got number)",
                     "message  [OK] Mounted appid 300\n",
                     "print    mounted 240, 300, 4000:\ttrue\ttrue\tfalse",
                     "\"GAME\" search paths after the script, in search order:",
                     "1. content/harbor\n",
                     "(content of appid 240, mounted by the engine)",
                     "4. content/missing\n",
                     "5. content/valley\n",
                     "(content of appid 300, mounted by the engine)",
                     "mounted appids: 240 \"Harbor Siege\", 300 \"Quiet Valley\"",
                     "not installed, not mounted: 999",
                     "IsGameMounted agrees with the engine for each of them",
                     "vesk_close returned 0",
                     "engine: unloaded mount_plugin.dll"});
    CheckEqual(Occurrences(run.output, "[OK] Mounted appid 240"), 2, "repeated mount reports");
    if (!ok) std::printf("%s\n", run.output.c_str());
});

const harness::Test kUserFiles("a user's script and catalogue, errors and extreme ids", [] {
    const std::string folder = TemporaryFolder();
    const std::string catalogue = WriteFile(folder, "catalogue.txt",
                                            "# appid folder name\n"
                                            "7 content7 Seventh Game\n"
                                            "-2147483648 \"min folder\"\n"
                                            "not-an-id somewhere\n"
                                            "2147483647 C:\\max\n");
    const std::string script = WriteFile(folder, "user.script",
                                         "MountOtherGame(\"first\", 7) -- a comment\n"
                                         "MountOtherGame(\"second\")\n"
                                         "NoSuchFunction(1)\n"
                                         "MountOtherGame(\"third\", 7\n"
                                         "\n"
                                         "# the rest still runs\n"
                                         "MountOtherGame(\"minimum\", -2147483648)\n"
                                         "MountOtherGame(\"maximum\", 2147483647)\n"
                                         "IsGameMounted(-2147483648)\n"
                                         "print(IsGameMounted(7), IsGameMounted(8))\n");
    const ServerRun run = RunServer("--catalogue \"" + catalogue + "\" \"" + script + "\"");
    CheckEqual(run.exitCode, DWORD{0}, "exit code");
    const bool ok = AppearsInOrder(
        run.output, {"catalogue.txt:4: skipped, expected: appid folder [name]",
                     "          7  Seventh Game",
                     "    1 | MountOtherGame(\"first\", 7)\n",
                     "message  [OK] Mounted appid 7\n",
                     "    2 | MountOtherGame(\"second\")\n",
                     "error    bad argument #2 to 'MountOtherGame' (number expected, got no value)",
                     "error    attempt to call 'NoSuchFunction', which is not a known function",
                     "    4 | MountOtherGame(\"third\", 7\n",
                     "error    expected ',' or ')' in the call of MountOtherGame",
                     "MountApplicationContent(-2147483648): mounted appid -2147483648",
                     "message  [OK] Mounted appid -2147483648\n",
                     "MountApplicationContent(-2147483647): mounted appid 2147483647",
                     "result   true",
                     "print    true\tfalse",
                     "1. first\n",
                     "2. " + folder + "\\content7  (content of appid 7, mounted by the engine)",
                     "3. minimum\n",
                     "4. " + folder + "\\min folder",
                     "6. C:\\max",
                     "summary: 8 statements run, 3 failed or refused",
                     "mounted appids: 7 \"Seventh Game\", -2147483648, 2147483647",
                     "IsGameMounted agrees"});
    Check(run.output.find("[OK] Mounted appid 7\n") == run.output.rfind("[OK] Mounted appid 7\n"),
          "the unreadable third line mounted nothing");
    if (!ok) std::printf("%s\n", run.output.c_str());
    DeleteFileA(catalogue.c_str());
    DeleteFileA(script.c_str());
    RemoveDirectoryA(folder.c_str());
});

const harness::Test kUsage("unusable arguments are refused with the usage", [] {
    ServerRun run = RunServer("--catalogue");
    CheckEqual(run.exitCode, DWORD{2}, "exit code without a catalogue name");
    Check(run.output.find("usage: standin_server.exe") != std::string::npos, "usage shown");
    run = RunServer("no-such-script.txt");
    CheckEqual(run.exitCode, DWORD{2}, "exit code for a missing script");
    Check(run.output.find("cannot read the script no-such-script.txt") != std::string::npos,
          "missing script named");
});

}  // namespace
