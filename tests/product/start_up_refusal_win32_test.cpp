// Windows: the DLL's entry point refuses the load when the engine's base library offers no
// allocator, before a single static initialiser has run.
#include <windows.h>

#include "fake_host.h"
#include "harness.h"

using harness::Check;
using harness::CheckEqual;

namespace {

const harness::Test kNoAllocator("without the engine's allocator the DLL does not load", [] {
    Tier0Test_PublishAllocator(0);
    SetLastError(0);
    HMODULE module = LoadLibraryA(fake::kPluginFile);
    const DWORD error = GetLastError();
    Tier0Test_PublishAllocator(1);
    if (!Check(module == nullptr, "LoadLibrary refused")) FreeLibrary(module);
    CheckEqual(error, static_cast<DWORD>(ERROR_DLL_INIT_FAILED), "error");
    Check(GetModuleHandleA(fake::kPluginFile) == nullptr, "nothing of the DLL stays mapped");
});

}  // namespace
