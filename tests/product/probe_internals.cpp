// What the test twin of the plugin (mount_plugin_probe) offers besides the plugin's own
// exports: the math library's internals, found by name, for the tests and the i686 benchmark
// that read them in the shipped objects.
#include <cstring>

#include "mathlib/gamma_tables.h"
#include "mathlib/math_init.h"
#include "mathlib/math_routines.h"
#include "mathlib/sine_table.h"

namespace {

struct Internal {
    const char* name;
    const void* address;
};

const Internal kInternals[] = {
    {"InitMathSupport", reinterpret_cast<const void*>(&InitMathSupport)},
    {"g_MathRoutines", &g_MathRoutines},
    {"kDefaultMathRoutines", &kDefaultMathRoutines},
    {"k3DNowMathRoutines", &k3DNowMathRoutines},
    {"kSSEMathRoutines", &kSSEMathRoutines},
    {"kSSE2MathRoutines", &kSSE2MathRoutines},
    {"g_3DNowUsable", &g_3DNowUsable},
    {"g_SSEUsable", &g_SSEUsable},
    {"g_SSE2Usable", &g_SSE2Usable},
    {"g_Feature40Usable", &g_Feature40Usable},
    {"g_SineSamples", &g_SineSamples},
    {"g_TextureLevelToDisplay", &g_TextureLevelToDisplay},
    {"g_TextureLevelToLinear", &g_TextureLevelToLinear},
    {"g_OverbrightLinearScale", &g_OverbrightLinearScale},
    {"g_OverbrightDisplayLevel", &g_OverbrightDisplayLevel},
};

}  // namespace

// The address of the internal called name, or null.
extern "C" const void* MountProbe_Internal(const char* name) {
    for (const Internal& internal : kInternals) {
        if (std::strcmp(internal.name, name) == 0) return internal.address;
    }
    return nullptr;
}
