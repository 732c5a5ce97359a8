// The math library in the i686 build: mount_plugin_probe.dll (the product's objects, with
// the math internals exported) beside the stand-in tier0.dll. Selection follows what the
// stand-in's GetCPUInformation reports, the tables get filled, and values meant to be single
// precision really are, also where the x87 unit returns them.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <numbers>
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

// A float comes back in st(0), as a long double would; read as one, the result shows
// whether the routine rounded it or left the x87 unit's extra bits in place.
template <typename... Arguments>
long double RawResult(float (*routine)(Arguments...), Arguments... arguments) {
    using Raw = long double (*)(Arguments...);
    return reinterpret_cast<Raw>(reinterpret_cast<void (*)()>(routine))(arguments...);
}

bool IsSingle(long double value) {
    volatile float rounded = static_cast<float>(value);
    return rounded == value;
}

// A fresh copy of the library (its state starts over with every load), initialised on a
// processor with the given feature byte.
class Probe {
public:
    explicit Probe(int featureBits, bool permit = true) {
        Tier0Test_OverrideFeatureBits(featureBits);
        m_hModule = LoadLibraryA("mount_plugin_probe.dll");
        using Init = void (*)(float, float, float, int, bool, bool, bool, bool);
        auto init = reinterpret_cast<Init>(
            reinterpret_cast<void*>(GetProcAddress(m_hModule, "InitMathSupport")));
        if (Check(init != nullptr, "InitMathSupport")) {
            init(2.2f, 2.2f, 0.0f, 2, permit, permit, permit, permit);
            init(4.0f, 1.0f, 2.0f, 4, true, true, true, true);  // changes nothing
        }
    }
    ~Probe() {
        if (m_hModule != nullptr) FreeLibrary(m_hModule);
        Tier0Test_OverrideFeatureBits(-1);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // An exported variable; a missing one fails the test, and reads as a zeroed stand-in.
    template <typename T>
    const T& Data(const char* name) const {
        static const T kMissing{};
        const void* address = reinterpret_cast<void*>(GetProcAddress(m_hModule, name));
        return Check(address != nullptr, name) ? *static_cast<const T*>(address) : kMissing;
    }
    const MathRoutineTable& Routines() const { return Data<MathRoutineTable>("g_MathRoutines"); }

private:
    HMODULE m_hModule = nullptr;
};

const harness::Test kSelection("routines follow the processor query and the permissions", [] {
    struct Case {
        int bits;
        bool permit;
        const char* entries;  // D default, A 3DNow!, S SSE, 2 SSE2
        const char* usable;   // 3DNow!, SSE, SSE2, feature 0x40
    };
    for (const Case& c :
         {Case{0x00, true, "DDDDDDDD", "0000"}, Case{0x08, true, "SSSDSSSS", "0100"},
          Case{0x10, true, "DDDDDD22", "0010"}, Case{0x20, true, "AAAAAADD", "1000"},
          Case{0x30, true, "AAAAAA22", "1010"}, Case{0x78, true, "SSSDSS22", "1111"},
          Case{0xFF, false, "DDDDDDDD", "0000"}}) {
        Probe probe(c.bits, c.permit);
        using Entry = void (*)();
        const auto* selected = reinterpret_cast<const Entry*>(&probe.Routines());
        for (int i = 0; i < 8; ++i) {
            const char* variant = c.entries[i] == 'A'   ? "k3DNowMathRoutines"
                                  : c.entries[i] == 'S' ? "kSSEMathRoutines"
                                  : c.entries[i] == '2' ? "kSSE2MathRoutines"
                                                        : "kDefaultMathRoutines";
            const auto* expected =
                reinterpret_cast<const Entry*>(&probe.Data<MathRoutineTable>(variant));
            Check(selected[i] == expected[i],
                  std::string(c.entries) + " entry " + std::to_string(i));
        }
        Check(probe.Data<bool>("g_MathReady"), "ready");
        const char* flags[] = {"g_3DNowUsable", "g_SSEUsable", "g_SSE2Usable", "g_Feature40Usable"};
        for (int i = 0; i < 4; ++i)
            CheckEqual(probe.Data<bool>(flags[i]), c.usable[i] == '1', flags[i]);
    }
});

const harness::Test kRounding("the x87 routines return single-precision values", [] {
    Probe probe(0);
    const MathRoutineTable& x87 = probe.Routines();
    if (!Check(x87.squareRoot != nullptr, "routines")) return;
    const long double root = RawResult(x87.squareRoot, 2.0f);
    Check(IsSingle(root) && root == 1.41421354f, "squareRoot(2)");
    const long double inverse = RawResult(x87.inverseSquareRoot, 3.0f);
    Check(IsSingle(inverse) && inverse == 0.577350259f, "inverseSquareRoot(3)");
    const long double cosine = RawResult(x87.cosine, 1.0f);
    Check(IsSingle(cosine) && cosine == 0.540302277f, "cosine(1)");
    Vec3f v{1.0f, 1.0f, 1.0f};
    const long double length = RawResult<Vec3f&>(x87.normalizeAndLength, v);
    Check(IsSingle(length) && length == 1.73205078f, "length of (1, 1, 1)");
    const long double third = RawResult<const Vec3f*>(x87.inverseLengthSquaredClamped, &v);
    Check(IsSingle(third) && third == 1.0f, "inverseLengthSquaredClamped of a unit vector");
    float s = 0, c = 0;
    x87.sineCosine(1.0f, &s, &c);
    Check(s == 0.841470957f && c == 0.540302277f, "sineCosine(1)");
});

const harness::Test kFastForms("the SSE and SSE2 forms give the listed values", [] {
    Probe probe(0x18);
    for (const char* name : {"kSSEMathRoutines", "kSSE2MathRoutines"}) {
        const MathRoutineTable& table = probe.Data<MathRoutineTable>(name);
        if (!Check(table.sineCosine != nullptr, name)) continue;
        float s = 0, c = 0;
        table.sineCosine(1.0f, &s, &c);
        Check(s == 0.841468275f && c == 0.540302336f, std::string(name) + " sineCosine(1)");
        table.sineCosine(3.14159274f, &s, &c);
        Check(std::signbit(s) && s == 0.0f && c == -0.99984318f, std::string(name) + " at π");
        CheckEqual(table.cosine(1.0f), 0.540302217f, std::string(name) + " cosine(1)");
    }
    const MathRoutineTable& sse = probe.Data<MathRoutineTable>("kSSEMathRoutines");
    if (sse.inverseSquareRoot == nullptr) return;
    Check(std::isnan(sse.inverseSquareRoot(0.0f)), "refined 1/√0 is NaN");
    CheckEqual(sse.squareRoot(2.0f), 1.41421354f, "SSE squareRoot(2)");
});

const harness::Test kTables("the sine and gamma tables are filled by the first call", [] {
    Probe probe(0x18);
    using Sine = float[256];
    const Sine& sine = probe.Data<Sine>("g_SineSamples");
    CheckEqual(sine[64], 1.0f, "sine entry 64");
    CheckEqual(sine[32], 0.70710677f, "sine entry 32");
    Check(sine[128] > 0.0f && sine[128] < 1e-15f, "sine entry 128 tiny");
    int offBy = 0;
    for (int i = 0; i < 256; ++i)
        offBy += std::fabs(sine[i] - std::sin(i * (std::numbers::pi / 128))) > 6e-8;
    CheckEqual(offBy, 0, "sine entries off by more than a rounding");

    using Levels = std::uint8_t[256];
    const Levels& textureToDisplay = probe.Data<Levels>("g_TextureLevelToDisplay");
    int notIdentity = 0;
    for (int i = 0; i < 256; ++i) notIdentity += textureToDisplay[i] != i;
    CheckEqual(notIdentity, 0, "table 1 entries differing from the identity");
    CheckEqual(probe.Data<std::int32_t[1024]>("g_LinearToDisplayLevel")[1], 10, "table 2 entry 1");
    CheckEqual(probe.Data<std::int32_t[1024]>("g_LinearToTextureLevel")[7], 26, "table 6 entry 7");
    CheckEqual(probe.Data<float[256]>("g_TextureLevelToLinear")[255], 1.00000012f, "table 3");
    CheckEqual(probe.Data<float[4096]>("g_OverbrightLinearScale")[1024], 0.5f, "table 7");
    const auto& overbright = probe.Data<std::uint8_t[4096]>("g_OverbrightDisplayLevel");
    Check(overbright[1024] == 128 && overbright[4095] == 239, "table 8");
});

}  // namespace
