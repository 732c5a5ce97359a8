// Linux: the library's allocations go to the engine's allocator, tagged with its file's name,
// and nothing else in the process does. A shared object that defined malloc or operator new for the
// process would take every allocation of the server: here the library is preloaded, first in the
// order in which the process looks symbols up, and the host's own allocations must still never
// reach the stand-in allocator, while the library's do. Run as `... LIBRARY` it checks that file
// (the packaged library), else the build's.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fake_host.h"
#include "harness.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

constexpr std::uint32_t kRoutedAsExpected = 20;
constexpr std::uint32_t kCheckFailed = 21;
constexpr char kChildFlag[] = "--preloaded";

// The library under test: the one named on the command line, or the build's.
std::string LibraryPath() {
    const std::vector<std::string> arguments = host::ThisProgramArguments();
    for (const std::string& argument : arguments) {
        if (argument != kChildFlag) return argument;
    }
    return host::InFolder(host::ThisProgramFolder(), host::kPluginFile);
}

// Allocations of every kind the host may make, the C library's own among them.
[[gnu::noinline]] void AllocateAsTheHostDoes() {
    void* block = std::malloc(100);
    block = std::realloc(block, 5000);
    std::free(block);
    std::free(std::calloc(10, 10));
    std::free(strdup("the host's own text"));
    auto text = std::make_unique<std::string>(1000, 'x');
    delete[] new char[64];
}

bool Holds(bool condition, const char* what) {
    if (!condition) std::printf("  %s\n", what);
    return condition;
}

// In the child, with the library preloaded.
std::uint32_t CheckPreloaded() {
    void* library = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!Holds(library != nullptr, "the library is preloaded")) return kCheckFailed;
    // No allocation function of the process resolves into the library.
    Dl_info own{};
    if (!Holds(dladdr(dlsym(library, "CreateInterface"), &own) != 0, "the library's base")) {
        return kCheckFailed;
    }
    bool holds = true;
    for (const char* name : {"malloc", "free", "calloc", "realloc", "_Znwj", "_ZdlPv", "_Znaj"}) {
        Dl_info where{};
        void* found = dlsym(RTLD_DEFAULT, name);
        const bool inLibrary =
            found != nullptr && dladdr(found, &where) != 0 && where.dli_fbase == own.dli_fbase;
        holds &= Holds(!inLibrary, name);
    }
    const std::int32_t before = Tier0Test_RecordCount();
    AllocateAsTheHostDoes();
    holds &= Holds(Tier0Test_RecordCount() == before,
                   "the host's allocations reached the engine's allocator");

    // The library's own allocations do: the registered variable takes a longer text.
    auto createInterface = reinterpret_cast<InterfaceFactory>(dlsym(library, "CreateInterface"));
    auto* plugin =
        createInterface != nullptr
            ? static_cast<IServerPluginCallbacks*>(createInterface(kServerPluginVersion, nullptr))
            : nullptr;
    if (!Holds(plugin != nullptr, "the plugin object")) return kCheckFailed;
    fake::RecordingConsole console;
    fake::g_Engine = {nullptr, &console};
    EngineCall_AttachToEngine(plugin, fake::EngineFactory, fake::EngineFactory);
    if (!Holds(console.registered.size() == 1, "the variable registered")) return kCheckFailed;
    const std::int32_t beforeChange = Tier0Test_RecordCount();
    EngineCall_ApplyString(static_cast<ConVar*>(console.registered[0]),
                           "a text longer than the variable's buffer");
    holds &=
        Holds(Tier0Test_RecordCount() > beforeChange, "the library's allocation went elsewhere");
    EngineCall_DetachFromEngine(plugin);
    dlclose(library);
    return holds ? kRoutedAsExpected : kCheckFailed;
}

const bool kChildRun = [] {
    const std::vector<std::string> arguments = host::ThisProgramArguments();
    if (arguments.empty() || arguments[0] != kChildFlag) return false;
    host::ExitNow(CheckPreloaded());
}();

const harness::Test kRouting("the library's allocations are its own, preloaded or not", [] {
    const std::string library = LibraryPath();
    host::SetEnvironment("LD_PRELOAD", library.c_str());
    const std::uint32_t outcome = host::RunThisProgram(std::string(kChildFlag) + " " + library, 0);
    host::SetEnvironment("LD_PRELOAD", nullptr);
    CheckEqual(outcome, kRoutedAsExpected, "the preloaded run (" + library + ")");
});

// The tag the library's allocations carry when it is loaded from path: its file's base name
// with the last extension dropped; "" when they go untagged.
std::string TagWhenLoadedFrom(const std::string& path) {
    const std::string built = host::InFolder(host::ThisProgramFolder(), host::kPluginFile);
    if (!Check(host::DuplicateFile(built, path), "copied to " + path)) return "(not copied)";
    std::string tag = "(not loaded)";
    if (void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        Tier0Test_ResetCounters();
        fake::RecordingConsole console;
        fake::g_Engine = {nullptr, &console};
        auto create = reinterpret_cast<InterfaceFactory>(dlsym(library, "CreateInterface"));
        auto* plugin = static_cast<IServerPluginCallbacks*>(create(kServerPluginVersion, nullptr));
        EngineCall_AttachToEngine(plugin, fake::EngineFactory, fake::EngineFactory);
        if (Check(console.registered.size() == 1, "the variable registered")) {
            EngineCall_ApplyString(static_cast<ConVar*>(console.registered[0]),
                                   "a text longer than the variable's buffer");
        }
        EngineCall_DetachFromEngine(plugin);
        Tier0AllocationRecord record{};
        for (std::int32_t i = 0; Tier0Test_ReadRecord(i, &record) != 0; ++i) {
            if (record.operation == kTier0AllocateTagged || record.operation == kTier0Allocate) {
                tag = record.tag;
            }
        }
        dlclose(library);
    }
    host::RemoveFile(path);
    return tag;
}

// The owner tag as on Windows, with the slash: the base name, and none at all for a path too
// long for the tag's buffer, which would be cut short.
const harness::Test kTag("allocations carry the file's base name; a long path gives none", [] {
    Tier0Test_SetWantsAllocationTags(1);
    const std::string folder =
        host::TemporaryFolder() + "mount-tag-" + std::to_string(host::ProcessId());
    host::MakeFolder(folder);
    CheckText(TagWhenLoadedFrom(folder + "/mount_plugin.so").c_str(), "mount_plugin", "tag");
    CheckText(TagWhenLoadedFrom(folder + "/plugin.v2.so").c_str(), "plugin.v2", "tag");
    std::vector<std::string> made{folder};
    while (made.back().size() < 300) {
        made.push_back(made.back() + "/a-folder-deep-enough-for-a-path-longer-than-the-buffer");
        host::MakeFolder(made.back());
    }
    CheckText(TagWhenLoadedFrom(made.back() + "/mount_plugin.so").c_str(), "", "tag");
    for (auto deeper = made.rbegin(); deeper != made.rend(); ++deeper) host::RemoveFolder(*deeper);
});

}  // namespace
