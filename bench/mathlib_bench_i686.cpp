// The math routine table in the shipped form: the i686 routines of the plugin's test twin
// (mount_plugin_probe.dll or .so, the product's own objects), each installed in the library's
// g_MathRoutines and called through it, for every variant this processor runs, beside an empty
// routine called the same way (the floor: one indirect call). Floats go on the stack and come
// back in st(0), as in the engine. The twin of mathlib_bench, which times the x86-64 native
// build.
//
//   cmake --preset win32 && cmake --build --preset win32 --target mathlib_bench_i686
//   scripts/wine-run build/win32/bin/mathlib_bench_i686.exe
//   cmake --preset linux && cmake --build --preset linux --target mathlib_bench_i686
//   build/linux/bin/mathlib_bench_i686
//
// Each benchmark is timed fifteen times, all of them interleaved round by round; the best
// time of each counts, being the one least disturbed by other work. --quick times each one
// three times, briefly: the test run only checks that every routine can be timed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host_platform.h"
#include "math_bench_inputs.h"
#include "probe_lookup.h"
#include "tier0.h"

namespace {

using namespace math_bench;

// The library's table; each call reads its entry afresh, as the product's callers do.
MathRoutineTable* g_pTable = nullptr;

// One pass over the inputs, results to arrays so that no call waits for the one before.
// One function per entry, each loop aligned alike, so that no entry's floor gains or loses
// by where its loop happens to lie.
template <int kEntry>
[[gnu::noinline, gnu::aligned(64)]] void Pass() {
    CallOverInputs<kEntry>(*g_pTable);
}
using PassFunction = void (*)();
const PassFunction kPasses[] = {Pass<0>, Pass<1>, Pass<2>, Pass<3>,
                                Pass<4>, Pass<5>, Pass<6>, Pass<7>};

// A routine of one variant in one entry, installed in the library's table while it is timed.
struct Benchmark {
    int entry;
    const char* variant;
    const MathRoutineTable* from;
    int passes = 1;
    double best = INFINITY;  // nanoseconds per call
};

void Install(const Benchmark& b) {
    void** to = reinterpret_cast<void**>(g_pTable);
    void* const* from = reinterpret_cast<void* const*>(b.from);
    to[b.entry] = from[b.entry];
}

// Times b.passes passes; returns nanoseconds per call.
double Time(const Benchmark& b) {
    Install(b);
    const PassFunction pass = kPasses[b.entry];
    pass();  // warm
    const double start = host::Seconds();
    for (int n = 0; n < b.passes; ++n) pass();
    return (host::Seconds() - start) * 1e9 / (static_cast<double>(b.passes) * kInputCount);
}

template <typename T>
const T* Export(host::Module module, const char* name) {
    return static_cast<const T*>(ProbeInternal(module, name));
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int repetitions = quick ? 3 : 15;
    const double sampleSeconds = quick ? 0.001 : 0.01;

    const host::Module probe = host::LoadModule(host::kProbeFile);
    if (probe == nullptr) {
        std::printf("%s did not load (%s)\n", host::kProbeFile, host::LastError().c_str());
        return 1;
    }
    g_pTable = const_cast<MathRoutineTable*>(Export<MathRoutineTable>(probe, "g_MathRoutines"));
    struct Variant {
        const char* name;
        const MathRoutineTable* table;
    };
    const std::uint8_t features = GetCPUInformation()->m_nFeatureBits;
    std::vector<Variant> variants{{"x87", Export<MathRoutineTable>(probe, "kDefaultMathRoutines")}};
    if ((features & kCpuFeature3DNow) != 0)
        variants.push_back({"3DNow", Export<MathRoutineTable>(probe, "k3DNowMathRoutines")});
    if ((features & kCpuFeatureSSE) != 0)
        variants.push_back({"SSE", Export<MathRoutineTable>(probe, "kSSEMathRoutines")});
    if ((features & kCpuFeatureSSE2) != 0)
        variants.push_back({"SSE2", Export<MathRoutineTable>(probe, "kSSE2MathRoutines")});
    for (const Variant& variant : variants) {
        if (g_pTable == nullptr || variant.table == nullptr) {
            std::printf("the probe does not export the routine tables\n");
            return 1;
        }
    }

    std::vector<Benchmark> benchmarks;
    for (int entry = 0; entry < 8; ++entry) {
        for (const Variant& variant : variants) {
            if (reinterpret_cast<void* const*>(variant.table)[entry] != nullptr)
                benchmarks.push_back({entry, variant.name, variant.table});
        }
        benchmarks.push_back({entry, "empty", &kEmptyRoutines});
    }
    // As many passes as make one sample last about sampleSeconds.
    for (Benchmark& b : benchmarks) {
        const double once = Time(b) * kInputCount * 1e-9;
        b.passes = std::max(1, static_cast<int>(sampleSeconds / std::max(once, 1e-9)));
    }
    std::mt19937 shuffle(7);
    std::vector<Benchmark*> order;
    for (Benchmark& b : benchmarks) order.push_back(&b);
    for (int round = 0; round < repetitions; ++round) {
        std::shuffle(order.begin(), order.end(), shuffle);
        for (Benchmark* b : order) b->best = std::min(b->best, Time(*b));
    }

    auto time = [&benchmarks](int entry, const std::string& variant) {
        for (const Benchmark& b : benchmarks)
            if (b.entry == entry && variant == b.variant) return b.best;
        return static_cast<double>(NAN);
    };
    std::printf("%-28s %-8s %9s %9s\n", "entry", "variant", "ns/call", "x floor");
    for (const Benchmark& b : benchmarks) {
        const double floor = time(b.entry, "empty");
        std::printf("%-28s %-8s %9.3f %9.2f\n", kEntryNames[b.entry], b.variant, b.best,
                    b.best / floor);
    }

    std::printf("\ntargets (i686, %s)\n", host::kPluginFile);
    for (int entry : {0, 1, 2}) {
        const double ratio = time(entry, "SSE") / time(entry, "empty");
        std::printf("  SSE %-26s %.2f x the empty-routine floor (target <= 1.3): %s\n",
                    kEntryNames[entry], ratio, ratio <= 1.3 ? "met" : "MISSED");
    }
    for (const char* variant : {"SSE", "SSE2"}) {
        const double faster = time(6, "x87") / time(6, variant);
        std::printf("  %-4s sineCosine %.2f x faster than x87 (target >= 5): %s\n", variant, faster,
                    faster >= 5 ? "met" : "MISSED");
    }
    for (int entry : {6, 7}) {
        const double ratio = time(entry, "SSE2") / time(entry, "SSE");
        std::printf("  SSE2 %-10s %.2f x the SSE form's time (target <= 1.00): %s\n",
                    kEntryNames[entry], ratio, ratio <= 1 ? "met" : "MISSED");
    }
    host::UnloadModule(probe);
    return 0;
}
