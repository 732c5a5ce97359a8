// The script functions fed arbitrary argument types, values and call sequences through a
// fake runtime, interleaved with attach, detach, module open and close and refused
// allocations. A model of what the scripts were told checks that every report is one of
// the two texts (or a refusal) and that IsGameMounted agrees with every "[OK]" given.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "interfaces/file_system.h"
#include "interfaces/script_runtime.h"
#include "mount/mount_functions.h"
#include "mount/script_module.h"
#include "plugin/server_plugin.h"
#include "tier0_testing.h"

void FuzzFailure(const char* what) {
    std::fprintf(stderr, "script functions: %s\n", what);
    std::abort();
}

namespace {

enum class ArgumentType { kNil, kString, kNumber, kNullString };

struct Argument {
    ArgumentType type = ArgumentType::kNil;
    std::string text;
    int number = 0;
};

std::set<int> g_ReportedMounted;  // ids the scripts were told "[OK]" about

class FakeFileSystem final : public FileSystemInterface {
public:
    int MountApplicationContent(int id) override {
        lastMountedId = id;
        ++mountCalls;
        return result;
    }
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override {
        if (path == nullptr) FuzzFailure("null path handed to the file system");
        if (std::strcmp(pathIdentifier, "GAME") != 0 || position != 1) {
            FuzzFailure("search path not added after the others under GAME");
        }
        ++appendCalls;
    }
    int result = 0;
    int lastMountedId = 0;
    int mountCalls = 0;
    int appendCalls = 0;
};

FakeFileSystem g_FileSystem;

void* EngineFactory(const char* name, int* returnCode) {
    void* offered = std::strcmp(name, kFileSystemVersion) == 0 ? &g_FileSystem : nullptr;
    if (returnCode != nullptr) *returnCode = offered != nullptr ? 0 : 1;
    return offered;
}

// The runtime refuses a call whose argument has the wrong type: the function does not go
// on, control returns to the call site.
class FakeScript final : public ScriptInterface {
public:
    const char* ArgumentString(int index) override {
        const Argument& argument = arguments[index - 1];
        if (argument.type == ArgumentType::kNullString) return nullptr;
        return argument.text.c_str();
    }
    int ArgumentInteger(int index) override { return arguments[index - 1].number; }
    void PushBoolean(int value) override {
        if (value != 0 && value != 1) FuzzFailure("boolean other than 0 or 1");
        pushed = value;
    }
    void RegisterGlobalFunction(const char* name, ScriptFunction function) override {
        if (std::strcmp(name, "MountOtherGame") == 0) mountOtherGame = function;
        if (std::strcmp(name, "IsGameMounted") == 0) isGameMounted = function;
    }
    void RequireArgumentType(int index, int typeCode) override {
        const ArgumentType type = arguments[index - 1].type;
        const bool matches = typeCode == kScriptTypeNumber ? type == ArgumentType::kNumber
                                                           : type == ArgumentType::kString ||
                                                                 type == ArgumentType::kNullString;
        if (!matches) std::longjmp(refusal, 1);
    }
    void ReportFailure(const char* text) override { failures.emplace_back(text); }
    void PrintMessage(const char* format, ...) override { messages.emplace_back(format); }

    Argument arguments[2];
    int pushed = -1;
    std::jmp_buf refusal;
    std::vector<std::string> failures;
    std::vector<std::string> messages;
    ScriptFunction mountOtherGame = nullptr;
    ScriptFunction isGameMounted = nullptr;
};

FakeScript g_Script;
const ScriptState kState = reinterpret_cast<ScriptState>(0x5eed);

class FakeManager final : public ScriptModuleManager {
public:
    ScriptInterface* InterfaceForState(ScriptState state) override {
        return state == kState ? &g_Script : nullptr;
    }
} g_Manager;

class FakeHost final : public ScriptHostInterface {
public:
    ScriptState FetchScriptState() override { return kState; }
    ScriptModuleManager* FetchModuleManager() override { return &g_Manager; }
} g_Host;

Argument TakeArgument(FuzzInput& input) {
    Argument argument;
    argument.type = static_cast<ArgumentType>(input.Byte() % 4);
    argument.text = input.Text(24);
    // Mostly small ids, so that repeats happen, sometimes any 32-bit value.
    argument.number = (input.Byte() & 1) != 0 ? input.Take<int>() : input.Byte() % 8 - 4;
    return argument;
}

// Calls a script function the way the runtime does; false when it refused the call.
bool Call(ScriptFunction function, int& results) {
    if (setjmp(g_Script.refusal) != 0) return false;
    results = function(kState);
    return true;
}

void MountThroughScript(FuzzInput& input) {
    g_Script.arguments[0] = TakeArgument(input);
    g_Script.arguments[1] = TakeArgument(input);
    g_FileSystem.result = (input.Byte() & 1) != 0 ? kMountFailed : input.Take<int>();
    const int appid = g_Script.arguments[1].number;
    const int mountsBefore = g_FileSystem.mountCalls;
    g_Script.messages.clear();
    g_Script.failures.clear();

    int results = -1;
    if (!Call(g_Script.mountOtherGame, results)) return;
    if (results != 0) FuzzFailure("MountOtherGame pushed results");
    const bool engineAsked = g_FileSystem.mountCalls != mountsBefore;
    if (engineAsked && g_FileSystem.lastMountedId != NegatedAppId(appid)) {
        FuzzFailure("the engine was not given the negated id");
    }
    if (g_Script.messages.size() + g_Script.failures.size() != 1) {
        FuzzFailure("a mount did not give exactly one report");
    }
    char expected[64];
    if (!g_Script.messages.empty()) {
        std::snprintf(expected, sizeof(expected), "[OK] Mounted appid %d\n", appid);
        if (g_Script.messages[0] != expected) FuzzFailure("success text differs");
        if (!engineAsked || g_FileSystem.result == kMountFailed) {
            FuzzFailure("[OK] without a successful mount");
        }
        g_ReportedMounted.insert(appid);
    } else {
        std::snprintf(expected, sizeof(expected), "[NOT OK] Unable to mount appid %d", appid);
        if (g_Script.failures[0].rfind(expected, 0) != 0) FuzzFailure("failure text differs");
        if (engineAsked && g_FileSystem.result != kMountFailed &&
            g_Script.failures[0] == expected) {
            FuzzFailure("a successful mount reported as the plain failure text");
        }
    }
}

void QueryThroughScript(FuzzInput& input) {
    g_Script.arguments[0] = TakeArgument(input);
    g_Script.pushed = -1;
    int results = -1;
    if (!Call(g_Script.isGameMounted, results)) return;
    if (results != 1 || g_Script.pushed == -1) FuzzFailure("IsGameMounted pushed no answer");
    const bool told = g_ReportedMounted.count(g_Script.arguments[0].number) != 0;
    if ((g_Script.pushed == 1) != told) FuzzFailure("IsGameMounted disagrees with the reports");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    IServerPluginCallbacks& plugin = g_ServerPlugin;
    while (!input.Empty()) {
        switch (input.Byte() % 8) {
            case 0:
                plugin.AttachToEngine(EngineFactory, EngineFactory);
                break;
            case 1:
                plugin.DetachFromEngine();
                break;
            case 2:
                if (vesk_open(&g_Host) != 0) FuzzFailure("vesk_open did not answer 0");
                break;
            case 3:
                if (vesk_close() != 0) FuzzFailure("vesk_close did not answer 0");
                break;
            case 4:
                Tier0Test_FailAllocation(1 + input.Byte() % 2);
                break;
            case 5:
            case 6:
                if (g_Script.mountOtherGame != nullptr) MountThroughScript(input);
                break;
            default:
                if (g_Script.isGameMounted != nullptr) QueryThroughScript(input);
                break;
        }
    }
    Tier0Test_FailAllocation(0);
    return 0;
}
