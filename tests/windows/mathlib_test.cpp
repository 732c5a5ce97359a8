// The math library in the i686 build: mount_plugin_probe.dll (the product's objects, with
// the math internals exported) loaded beside the stand-in tier0.dll. Routine selection
// follows what the stand-in's GetCPUInformation reports, the tables get filled, and every
// value meant to be single precision really is, also where the x87 unit returns it.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "harness.h"
#include "tier0_testing.h"

using harness::Check;
using harness::CheckEqual;

namespace {

struct Vec3f {
    float x, y, z;
};

// The library's routine table, entry by entry.
struct MathRoutineTable {
    float (*squareRoot)(float);
    float (*inverseSquareRoot)(float);
    float (*inverseSquareRootEstimate)(float);
    float (*normalizeAndLength)(Vec3f&);
    void (*normalizeOnly)(Vec3f&);
    float (*inverseLengthSquaredClamped)(const Vec3f*);
    void (*sineCosine)(float, float*, float*);
    float (*cosine)(float);
};

// A float comes back in st(0), as a long double would. Read as long double, the result
// shows whether the routine rounded it or left the x87 unit's extra bits in place.
template <typename... Arguments>
long double RawResult(float (*routine)(Arguments...), Arguments... arguments) {
    // Through the generic function pointer type, which any function pointer converts to.
    auto raw =
        reinterpret_cast<long double (*)(Arguments...)>(reinterpret_cast<void (*)()>(routine));
    return raw(arguments...);
}

bool IsSingle(long double value) {
    volatile float rounded = static_cast<float>(value);
    return rounded == value;
}

std::uint32_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

template <typename Data>
Data* Find(HMODULE module, const char* name) {
    auto* address = reinterpret_cast<Data*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    Check(address != nullptr, name);
    return address;
}

// One fresh copy of the library: its state starts over with every load.
struct MathLibrary {
    explicit MathLibrary(int featureBits) {
        Tier0Test_OverrideFeatureBits(featureBits);
        module = LoadLibraryA("mount_plugin_probe.dll");
        if (!Check(module != nullptr, "LoadLibrary(mount_plugin_probe.dll)")) return;
        init = reinterpret_cast<Init>(
            reinterpret_cast<void*>(GetProcAddress(module, "InitMathSupport")));
        routines = Find<MathRoutineTable>(module, "g_MathRoutines");
        defaults = Find<const MathRoutineTable>(module, "kDefaultMathRoutines");
        amd = Find<const MathRoutineTable>(module, "k3DNowMathRoutines");
        sse = Find<const MathRoutineTable>(module, "kSSEMathRoutines");
        sse2 = Find<const MathRoutineTable>(module, "kSSE2MathRoutines");
        ready = Find<const bool>(module, "g_MathReady");
        amdUsable = Find<const bool>(module, "g_3DNowUsable");
        sseUsable = Find<const bool>(module, "g_SSEUsable");
        sse2Usable = Find<const bool>(module, "g_SSE2Usable");
        feature40Usable = Find<const bool>(module, "g_Feature40Usable");
        sine = Find<const float>(module, "g_SineSamples");
        textureToDisplay = Find<const std::uint8_t>(module, "g_TextureLevelToDisplay");
        linearToDisplay = Find<const std::int32_t>(module, "g_LinearToDisplayLevel");
        textureToLinear = Find<const float>(module, "g_TextureLevelToLinear");
        linearToTexture = Find<const std::int32_t>(module, "g_LinearToTextureLevel");
        overbrightScale = Find<const float>(module, "g_OverbrightLinearScale");
        overbrightLevel = Find<const std::uint8_t>(module, "g_OverbrightDisplayLevel");
        Check(init != nullptr, "InitMathSupport");
    }
    ~MathLibrary() {
        if (module != nullptr) FreeLibrary(module);
        Tier0Test_OverrideFeatureBits(-1);
    }
    MathLibrary(const MathLibrary&) = delete;
    MathLibrary& operator=(const MathLibrary&) = delete;

    bool Initialise(bool permit = true, float gamma = 2.2f, float brightness = 0.0f,
                    int overbrightFactor = 2) {
        if (init == nullptr || routines == nullptr || sine == nullptr) return false;
        init(gamma, 2.2f, brightness, overbrightFactor, permit, permit, permit, permit);
        return true;
    }

    using Init = void (*)(float, float, float, int, bool, bool, bool, bool);
    HMODULE module = nullptr;
    Init init = nullptr;
    MathRoutineTable* routines = nullptr;
    const MathRoutineTable *defaults = nullptr, *amd = nullptr, *sse = nullptr, *sse2 = nullptr;
    const bool *ready = nullptr, *amdUsable = nullptr, *sseUsable = nullptr, *sse2Usable = nullptr,
               *feature40Usable = nullptr;
    const float *sine = nullptr, *textureToLinear = nullptr, *overbrightScale = nullptr;
    const std::uint8_t *textureToDisplay = nullptr, *overbrightLevel = nullptr;
    const std::int32_t *linearToDisplay = nullptr, *linearToTexture = nullptr;
};

// Which variant each of the eight entries should hold: D default, A 3DNow!, S SSE, 2 SSE2.
void CheckSelection(const MathLibrary& library, const char* expected) {
    using Entry = void (*)();
    const auto entries = [](const MathRoutineTable* table) {
        return reinterpret_cast<const Entry*>(table);
    };
    for (int i = 0; i < 8; ++i) {
        const MathRoutineTable* variant = expected[i] == 'A'   ? library.amd
                                          : expected[i] == 'S' ? library.sse
                                          : expected[i] == '2' ? library.sse2
                                                               : library.defaults;
        const std::string what = std::string(expected) + " entry " + std::to_string(i);
        Check(entries(library.routines)[i] == entries(variant)[i], what);
    }
}

const harness::Test kSelection("routines follow the processor query and the permissions", [] {
    struct Case {
        int bits;
        bool permit;
        const char* expected;
        bool amd, sse, sse2, feature40;
    };
    const Case cases[] = {
        {0x00, true, "DDDDDDDD", false, false, false, false},
        {0x08, true, "SSSDSSSS", false, true, false, false},
        {0x18, true, "SSSDSS22", false, true, true, false},
        {0x10, true, "DDDDDD22", false, false, true, false},
        {0x20, true, "AAAAAADD", true, false, false, false},
        {0x28, true, "SSSDSSSS", true, true, false, false},
        {0x30, true, "AAAAAA22", true, false, true, false},
        {0x78, true, "SSSDSS22", true, true, true, true},
        {0xFF, false, "DDDDDDDD", false, false, false, false},
    };
    for (const Case& c : cases) {
        MathLibrary library(c.bits);
        if (!library.Initialise(c.permit)) return;
        CheckSelection(library, c.expected);
        Check(*library.ready, "ready");
        CheckEqual(*library.amdUsable, c.amd, c.expected);
        CheckEqual(*library.sseUsable, c.sse, c.expected);
        CheckEqual(*library.sse2Usable, c.sse2, c.expected);
        CheckEqual(*library.feature40Usable, c.feature40, c.expected);
    }
});

const harness::Test kDefaultRounding("the x87 routines return single-precision values", [] {
    MathLibrary library(0);
    if (!library.Initialise()) return;
    const MathRoutineTable& x87 = *library.routines;

    const long double root = RawResult(x87.squareRoot, 2.0f);
    Check(IsSingle(root), "squareRoot(2) rounded");
    CheckEqual(static_cast<float>(root), 1.41421354f, "squareRoot(2)");
    const long double inverse = RawResult(x87.inverseSquareRoot, 3.0f);
    Check(IsSingle(inverse), "inverseSquareRoot(3) rounded");
    CheckEqual(static_cast<float>(inverse), 0.577350259f, "inverseSquareRoot(3)");
    Check(IsSingle(RawResult(x87.cosine, 1.0f)), "cosine(1) rounded");
    CheckEqual(x87.cosine(1.0f), 0.540302277f, "cosine(1)");

    Vec3f v{1.0f, 1.0f, 1.0f};
    const long double length = RawResult<Vec3f&>(x87.normalizeAndLength, v);
    Check(IsSingle(length), "normalizeAndLength rounded");
    CheckEqual(static_cast<float>(length), 1.73205078f, "length of (1, 1, 1)");
    const Vec3f three{1.0f, 1.0f, 1.0f};
    const long double third = RawResult<const Vec3f*>(x87.inverseLengthSquaredClamped, &three);
    Check(IsSingle(third), "inverseLengthSquaredClamped rounded");
    CheckEqual(static_cast<float>(third), 0.333333343f, "1/3");

    float s = 0, c = 0;
    x87.sineCosine(1.0f, &s, &c);
    CheckEqual(s, 0.841470957f, "sin 1");
    CheckEqual(c, 0.540302277f, "cos 1");
});

const harness::Test kFastForms("the SSE and SSE2 forms give the same values as natively", [] {
    MathLibrary library(0x18);
    if (!library.Initialise()) return;
    for (const MathRoutineTable* table : {library.sse, library.sse2}) {
        float s = 0, c = 0;
        table->sineCosine(1.0f, &s, &c);
        CheckEqual(s, 0.841468275f, "sine of 1");
        CheckEqual(c, 0.540302336f, "cosine of 1");
        table->sineCosine(3.14159274f, &s, &c);
        CheckEqual(Bits(s), 0x80000000u, "sine of π is −0");
        CheckEqual(c, -0.99984318f, "cosine of π");
        CheckEqual(table->cosine(1.0f), 0.540302217f, "cosine(1)");
        Check(std::isnan(table->cosine(std::numeric_limits<float>::infinity())), "cosine(∞)");
    }
    const MathRoutineTable& sse = *library.sse;
    Check(std::isnan(sse.inverseSquareRoot(0.0f)), "refined 1/√0 is NaN");
    CheckEqual(sse.squareRoot(2.0f), 1.41421354f, "SSE squareRoot(2)");
    Vec3f v{3.0f, 4.0f, 0.0f};
    sse.normalizeOnly(v);
    Check(std::fabs(v.x - 0.6f) < 1e-6f && std::fabs(v.y - 0.8f) < 1e-6f, "SSE normalizeOnly");

    // SSE2 matches SSE bit for bit, here too.
    std::uint32_t state = 12345;
    int mismatches = 0;
    for (int n = 0; n < 200000; ++n) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        float angle;
        std::memcpy(&angle, &state, sizeof angle);
        if (n % 2 == 1) angle = static_cast<float>(state % 20000) * 0.01f - 100.0f;
        float s1, c1, s2, c2;
        sse.sineCosine(angle, &s1, &c1);
        library.sse2->sineCosine(angle, &s2, &c2);
        if (Bits(s1) != Bits(s2) || Bits(c1) != Bits(c2) ||
            Bits(sse.cosine(angle)) != Bits(library.sse2->cosine(angle))) {
            ++mismatches;
        }
    }
    CheckEqual(mismatches, 0, "SSE2 results differing from SSE");
});

const harness::Test kTables("the sine and gamma tables are filled once", [] {
    MathLibrary library(0x18);
    if (!library.Initialise()) return;
    CheckEqual(library.sine[64], 1.0f, "sine entry 64");
    CheckEqual(library.sine[192], -1.0f, "sine entry 192");
    CheckEqual(library.sine[32], 0.70710677f, "sine entry 32");
    Check(library.sine[128] > 0.0f && library.sine[128] < 1e-15f, "sine entry 128 tiny");
    int offBy = 0;
    for (int i = 0; i < 256; ++i) {
        if (std::fabs(library.sine[i] - std::sin(i * 0.024543692606170259)) > 6e-8) ++offBy;
    }
    CheckEqual(offBy, 0, "sine entries off by more than a rounding");

    int notIdentity = 0;
    for (int i = 0; i < 256; ++i) notIdentity += library.textureToDisplay[i] != i;
    CheckEqual(notIdentity, 0, "table 1 entries differing from the identity");
    const int start[] = {0, 10, 14, 18, 20, 22, 24, 26};
    for (int j = 0; j < 8; ++j) {
        CheckEqual(library.linearToDisplay[j], start[j], "table 2");
        CheckEqual(library.linearToTexture[j], start[j], "table 6");
    }
    CheckEqual(library.textureToLinear[255], 1.00000012f, "table 3 entry 255");
    CheckEqual(library.overbrightScale[1024], 0.5f, "table 7 entry 1024");
    CheckEqual(static_cast<int>(library.overbrightLevel[1024]), 128, "table 8 entry 1024");
    CheckEqual(static_cast<int>(library.overbrightLevel[4095]), 239, "table 8 entry 4095");

    // Only the first call counts.
    library.init(4.0f, 1.0f, 2.0f, 4, false, false, false, false);
    CheckEqual(library.linearToDisplay[1], 10, "table 2 after a second call");
    CheckEqual(static_cast<int>(library.overbrightLevel[1024]), 128, "table 8 after a second call");
    Check(*library.sseUsable, "selection kept");
});

const harness::Test kArguments("the arguments reach the gamma tables in order", [] {
    MathLibrary library(0);
    if (!library.Initialise(true, 4.0f, 2.0f, 4)) return;
    CheckEqual(static_cast<int>(library.textureToDisplay[1]), 4, "table 1 with gamma capped at 3");
    CheckEqual(library.linearToDisplay[1], 43, "table 2 with brightness 2 and exponent 1/3");
    CheckEqual(library.linearToDisplay[512], 255, "table 2 saturates at 512");
    CheckEqual(static_cast<int>(library.overbrightLevel[1024]), 64, "table 8 with factor 4");
});

}  // namespace
