// Linux: a shared object cannot refuse its own load, so without the engine's base library, or
// with no allocator behind its g_pMemAlloc, the library loads and offers nothing: no interface
// under any name, no script function, and not a single call of the base library. This program
// is linked without the base library and loads the stand-in itself where a case needs it.
#include <cstdlib>
#include <cstring>

#include "fake_host.h"
#include "harness.h"

using harness::Check;
using harness::CheckEqual;

namespace {

// The plugin offers nothing: null and return code 1 for every name, no function for a runtime.
void ExpectNothingOffered(const char* when) {
    const std::string what = when;
    fake::PluginModule loaded;
    if (!Check(loaded.module != nullptr, what + ": the library loads")) return;
    for (const char* name : {kServerPluginVersion, "VEngineCvar004", "", "anything"}) {
        int code = -1;
        Check(loaded.createInterface(name, &code) == nullptr, what + ": nothing for " + name);
        CheckEqual(code, 1, what + ": return code for " + name);
        Check(loaded.createInterface(name, nullptr) == nullptr, what + ": nothing, no code");
    }
    fake::RecordingRuntime runtime;
    CheckEqual(loaded.open(runtime.Host()), 0, what + ": vesk_open");
    Check(runtime.registered.empty(), what + ": functions registered");
    CheckEqual(loaded.close(), 0, what + ": vesk_close");
    loaded.Unload();
    Check(!host::IsModuleLoaded(host::kPluginFile), what + ": unloaded");
}

// The stand-in base library, loaded as the engine loads it, and its call record.
struct BaseLibrary {
    host::Module module = host::LoadModule(host::BaseLibraryFiles().front());
    ~BaseLibrary() { host::UnloadModule(module); }

    std::int32_t Calls() const {
        auto count = host::Export<std::int32_t (*)()>(module, "Tier0Test_RecordCount");
        auto checks = host::Export<std::int32_t (*)()>(module, "Tier0Test_ValidityCheckCalls");
        return count != nullptr && checks != nullptr ? count() + checks() : -1;
    }
};

const harness::Test kNoBaseLibrary("without the base library the library offers nothing", [] {
    Check(!host::IsModuleLoaded(host::BaseLibraryFiles().front()), "no base library loaded");
    ExpectNothingOffered("no base library");
});

const harness::Test kNoAllocator("without an allocator the library offers nothing", [] {
    host::SetEnvironment(kTier0NoAllocatorVariable, "1");
    const BaseLibrary base;
    host::SetEnvironment(kTier0NoAllocatorVariable, nullptr);
    if (!Check(base.module != nullptr, "the stand-in base library loads")) return;
    ExpectNothingOffered("no allocator");
    CheckEqual(base.Calls(), 0, "calls of the base library");
    // Once the allocator is there, the same file starts when it is loaded again.
    const auto publish = host::Export<void (*)(int)>(base.module, "Tier0Test_PublishAllocator");
    if (!Check(publish != nullptr, "the stand-in's switch")) return;
    publish(1);
    fake::PluginModule loaded;
    Check(loaded.Plugin() != nullptr, "with the allocator, the plugin");
});

}  // namespace
