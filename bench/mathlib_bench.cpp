// The math routine table: each of the eight entries called through g_MathRoutines, for
// every variant this processor runs, beside an empty routine of the same signature called
// the same way (the floor: one indirect call) and beside the C library on the same inputs.
// Afterwards the maximum error of each against a double-precision reference, and the
// ratios, all from this one run.
//
//   cmake --preset native && cmake --build --preset native --target mathlib_bench
//   build/native/bin/mathlib_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "interfaces/tier0.h"
#include "math_bench_inputs.h"

namespace {

using namespace math_bench;

// The C library's counterparts, on the same table signatures; called directly in the loops.
float LibrarySquareRoot(float x) {
    return std::sqrt(x);
}
float LibraryInverseSquareRoot(float x) {
    return 1.0f / std::sqrt(x);
}
void LibrarySineCosine(float angle, float* sine, float* cosine) {
    *sine = std::sin(angle);
    *cosine = std::cos(angle);
}
float LibraryCosine(float angle) {
    return std::cos(angle);
}

template <int kEntry>
void RunEntry(benchmark::State& state) {
    for (auto _ : state) {
        CallOverInputs<kEntry>(g_MathRoutines);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kInputCount);
}

// The C library on the same inputs, called as a caller would write it.
template <int kEntry>
void RunLibrary(benchmark::State& state) {
    const Inputs& in = g_Inputs;
    for (auto _ : state) {
        for (int i = 0; i < kInputCount; ++i) {
            if constexpr (kEntry == 0) {
                g_Results[i] = std::sqrt(in.positive[i]);
            } else if constexpr (kEntry == 1) {
                g_Results[i] = 1.0f / std::sqrt(in.positive[i]);
            } else if constexpr (kEntry == 6) {
                g_Results[i] = std::sin(in.angles[i]);
                g_SecondResults[i] = std::cos(in.angles[i]);
            } else {
                g_Results[i] = std::cos(in.angles[i]);
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kInputCount);
}

using Runner = void (*)(benchmark::State&);
const Runner kEntryRunners[] = {RunEntry<0>, RunEntry<1>, RunEntry<2>, RunEntry<3>,
                                RunEntry<4>, RunEntry<5>, RunEntry<6>, RunEntry<7>};
const Runner kLibraryRunners[] = {RunLibrary<0>, RunLibrary<1>, nullptr,       nullptr,
                                  nullptr,       nullptr,       RunLibrary<6>, RunLibrary<7>};

template <typename Routine>
void Install(Routine MathRoutineTable::*entry, const MathRoutineTable& from) {
    g_MathRoutines.*entry = from.*entry;
}

void InstallEntry(int entry, const MathRoutineTable& from) {
    switch (entry) {
        case 0:
            return Install(&MathRoutineTable::squareRoot, from);
        case 1:
            return Install(&MathRoutineTable::inverseSquareRoot, from);
        case 2:
            return Install(&MathRoutineTable::inverseSquareRootEstimate, from);
        case 3:
            return Install(&MathRoutineTable::normalizeAndLength, from);
        case 4:
            return Install(&MathRoutineTable::normalizeOnly, from);
        case 5:
            return Install(&MathRoutineTable::inverseLengthSquaredClamped, from);
        case 6:
            return Install(&MathRoutineTable::sineCosine, from);
        default:
            return Install(&MathRoutineTable::cosine, from);
    }
}

bool HasEntry(const MathRoutineTable& table, int entry) {
    const void* const* slots = reinterpret_cast<const void* const*>(&table);
    return slots[entry] != nullptr;
}

struct Variant {
    const char* name;
    const MathRoutineTable* table;
    bool fast;  // one of the processor-specific forms
};

// ---- errors against a double-precision reference -------------------------------------

struct ErrorReport {
    double worst = 0;
    const char* kind = "relative";
};

double Relative(double actual, double expected) {
    return std::fabs(actual - expected) / std::fabs(expected);
}

ErrorReport MeasureError(const MathRoutineTable& table, int entry) {
    ErrorReport report;
    ForEachInput(1 << 20, 7, [&](float positive, float angleAsFloat, const Vec3f& v) {
        const double x = positive, angle = angleAsFloat;
        const double s = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
        const double length = std::sqrt(s);
        double error = 0;
        switch (entry) {
            case 0:
                error = Relative(table.squareRoot(float(x)), std::sqrt(x));
                break;
            case 1:
                error = Relative(table.inverseSquareRoot(float(x)), 1 / std::sqrt(x));
                break;
            case 2:
                error = Relative(table.inverseSquareRootEstimate(float(x)), 1 / std::sqrt(x));
                break;
            case 3: {
                Vec3f w = v;
                error = Relative(table.normalizeAndLength(w), length);
                error = std::max({error, Relative(w.x, v.x / length), Relative(w.y, v.y / length),
                                  Relative(w.z, v.z / length)});
                break;
            }
            case 4: {
                Vec3f w = v;
                table.normalizeOnly(w);
                error = std::max({Relative(w.x, v.x / length), Relative(w.y, v.y / length),
                                  Relative(w.z, v.z / length)});
                break;
            }
            case 5:
                error = Relative(table.inverseLengthSquaredClamped(&v), 1 / std::max(s, 1.0));
                break;
            case 6: {
                float sine, cosine;
                table.sineCosine(float(angle), &sine, &cosine);
                error = std::max(std::fabs(sine - std::sin(angle)),
                                 std::fabs(cosine - std::cos(angle)));
                report.kind = "absolute";
                break;
            }
            default:
                error = std::fabs(table.cosine(float(angle)) - std::cos(angle));
                report.kind = "absolute";
        }
        report.worst = std::max(report.worst, error);
    });
    return report;
}

// The bound each fast form is held to: the estimates' stated accuracy (1.5·2^-12), the
// polynomial's 1.6e-4, an exact square root; a refined estimate's bound follows from the
// estimate's (one Newton-Raphson step: 3/2·e², plus its four roundings).
double FastBound(const char* variant, int entry) {
    const double estimate = 1.5 * 0x1p-12;
    const double refined = 1.5 * estimate * estimate + 4 * 0x1p-24;
    const bool sse = std::string(variant) == "SSE";
    switch (entry) {
        case 0:
            return sse ? 0x1p-24 : 0x1p-14 + 0x1p-24;
        case 1:
            return sse ? refined : 0x1p-14 + 0x1p-23;
        case 2:
            return sse ? estimate : 0x1p-14 + 0x1p-23;
        case 3:
            return 0x1p-14 + 0x1p-22;
        case 4:
            return sse ? refined + 0x1p-23 : 0x1p-14 + 0x1p-22;
        case 5:
            return estimate + 0x1p-23;
        default:
            // Angles up to 10 radians add under 2e-6 from the reduction to quarter periods.
            return 1.6e-4 + 2e-6;
    }
}

// ---- timing collection ---------------------------------------------------------------

// Keeps each benchmark's processor time per call; with --benchmark_repetitions, the least
// of the repetitions, which is the one least disturbed by other work on the machine.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool least = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
            if (run.run_type == Run::RT_Iteration ? run.iterations == 0 : !least) continue;
            // The default time unit is the nanosecond.
            nanosecondsPerCall[run.run_name.str()] = run.GetAdjustedCPUTime() / kInputCount;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanosecondsPerCall;
};

void Least(benchmark::internal::Benchmark* benchmark) {
    benchmark->ComputeStatistics("min", [](const std::vector<double>& values) {
        return *std::min_element(values.begin(), values.end());
    });
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint8_t features = GetCPUInformation()->m_nFeatureBits;
    std::vector<Variant> variants{{"x87", &kDefaultMathRoutines, false}};
    if ((features & kCpuFeature3DNow) != 0)
        variants.push_back({"3DNow", &k3DNowMathRoutines, true});
    if ((features & kCpuFeatureSSE) != 0) variants.push_back({"SSE", &kSSEMathRoutines, true});
    if ((features & kCpuFeatureSSE2) != 0) variants.push_back({"SSE2", &kSSE2MathRoutines, true});

    for (int entry = 0; entry < 8; ++entry) {
        const std::string name = kEntryNames[entry];
        for (const Variant& variant : variants) {
            if (!HasEntry(*variant.table, entry)) continue;
            const MathRoutineTable* table = variant.table;
            Least(benchmark::RegisterBenchmark((name + "/" + variant.name).c_str(),
                                               [entry, table](benchmark::State& state) {
                                                   InstallEntry(entry, *table);
                                                   kEntryRunners[entry](state);
                                               }));
        }
        Least(benchmark::RegisterBenchmark((name + "/empty").c_str(),
                                           [entry](benchmark::State& state) {
                                               InstallEntry(entry, kEmptyRoutines);
                                               kEntryRunners[entry](state);
                                           }));
        if (kLibraryRunners[entry] != nullptr) {
            Least(benchmark::RegisterBenchmark((name + "/C library").c_str(),
                                               kLibraryRunners[entry]));
        }
    }

    // Repeated and interleaved by default, so that a busy machine disturbs the ratios less:
    // each benchmark keeps its best repetition. Later arguments override these.
    std::vector<char*> arguments(argv, argv + argc);
    std::string defaults[] = {"--benchmark_repetitions=12", "--benchmark_min_time=0.05",
                              "--benchmark_enable_random_interleaving=true",
                              "--benchmark_report_aggregates_only=true"};
    for (std::string& option : defaults) arguments.insert(arguments.begin() + 1, option.data());
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto& ns = reporter.nanosecondsPerCall;
    auto time = [&ns](const std::string& name) {
        const auto found = ns.find(name);
        return found == ns.end() ? std::numeric_limits<double>::quiet_NaN() : found->second;
    };

    const MathRoutineTable library{
        LibrarySquareRoot, LibraryInverseSquareRoot, nullptr,      nullptr, nullptr,
        nullptr,           LibrarySineCosine,        LibraryCosine};
    std::printf("\n%-28s %-10s %9s %9s %12s %10s %s\n", "entry", "variant", "ns/call", "x floor",
                "max error", "bound", "");
    bool allWithin = true;
    for (int entry = 0; entry < 8; ++entry) {
        const std::string name = kEntryNames[entry];
        const double floor = time(name + "/empty");
        std::vector<Variant> rows = variants;
        if (HasEntry(library, entry)) rows.push_back({"C library", &library, false});
        for (const Variant& variant : rows) {
            if (!HasEntry(*variant.table, entry)) continue;
            const double t = time(name + "/" + variant.name);
            const ErrorReport error = MeasureError(*variant.table, entry);
            char bound[32] = "";
            const char* verdict = "";
            if (variant.fast) {
                const double limit = FastBound(variant.name, entry);
                std::snprintf(bound, sizeof bound, "%.3g", limit);
                verdict = error.worst <= limit ? "within" : "OUTSIDE";
                allWithin = allWithin && error.worst <= limit;
            }
            std::printf("%-28s %-10s %9.3f %9.2f %12.3g %10s %s (%s)\n", name.c_str(), variant.name,
                        t, t / floor, error.worst, bound, verdict, error.kind);
        }
        std::printf("%-28s %-10s %9.3f\n", name.c_str(), "empty", floor);
    }

    std::printf("\ntargets\n");
    for (const char* entry : {"squareRoot", "inverseSquareRoot", "inverseSquareRootEstimate"}) {
        const double ratio =
            time(std::string(entry) + "/SSE") / time(std::string(entry) + "/empty");
        std::printf("  SSE %-26s %.2f x the empty-routine floor (target <= 1.2): %s\n", entry,
                    ratio, ratio <= 1.2 ? "met" : "MISSED");
    }
    const char* trigonometry[] = {"SSE", "SSE2"};
    for (const char* variant : trigonometry) {
        const double t = time(std::string("sineCosine/") + variant);
        const double x87 = time("sineCosine/x87") / t;
        const double pair = time("sineCosine/C library") / t;
        std::printf(
            "  %-4s sineCosine %.2f x faster than x87 (target >= 5): %s; the C library's "
            "sinf+cosf take %.2f x its time (target >= 1): %s\n",
            variant, x87, x87 >= 5 ? "met" : "MISSED", pair, pair >= 1 ? "met" : "MISSED");
    }
    // A processor with SSE2 gets the SSE2 trigonometric forms: they must be the fastest.
    for (const char* entry : {"sineCosine", "cosine"}) {
        const double ratio = time(std::string(entry) + "/SSE2") / time(std::string(entry) + "/SSE");
        std::printf("  SSE2 %-10s %.2f x the SSE form's time (target <= 1.00): %s\n", entry, ratio,
                    ratio <= 1 ? "met" : "MISSED");
    }
    std::printf("  every fast routine within its error bound: %s\n", allWithin ? "yes" : "NO");
    return 0;
}
