// What routing costs: a routed allocation and release against the same two operations
// called directly on the engine's allocator. Prints the ratio of the two at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "interfaces/tier0.h"
#include "support/routed_allocation.h"

namespace {

// A lean allocator, so that the comparison shows the routing and not the bookkeeping of
// the stand-in's recording allocator.
class BenchAllocator final : public AllocatorInterface {
public:
    void* AllocateTagged(std::uint32_t size, const char*, int) override {
        ++taggedCalls;
        return std::malloc(size);
    }
    void* Allocate(std::uint32_t size) override { return std::malloc(size); }
    void* ReallocateTagged(void* block, std::uint32_t size, const char*, int) override {
        return std::realloc(block, size);
    }
    void* Reallocate(void* block, std::uint32_t size) override { return std::realloc(block, size); }
    void Release(void* block) override { std::free(block); }
    std::uint32_t BlockSize(void*) override { return 0; }
    bool WantsAllocationTags() override { return true; }

    long taggedCalls = 0;
};

BenchAllocator g_BenchAllocator;
bool g_bRoutedIsTagged = true;
constexpr std::uint32_t kSize = 64;

void BM_RoutedAllocateRelease(benchmark::State& state) {
    for (auto _ : state) {
        void* block = RoutedAlloc(kSize);
        benchmark::DoNotOptimize(block);
        RoutedFree(block);
    }
}
BENCHMARK(BM_RoutedAllocateRelease);

// The same host operations the routed path reaches, called the way the engine's own
// code would: read g_pMemAlloc, call through its table.
void BM_DirectAllocateRelease(benchmark::State& state) {
    for (auto _ : state) {
        AllocatorInterface* allocator = g_pMemAlloc;
        void* block = g_bRoutedIsTagged ? allocator->AllocateTagged(kSize, "mount_plugin", 0)
                                        : allocator->Allocate(kSize);
        benchmark::DoNotOptimize(block);
        g_pMemAlloc->Release(block);
    }
}
BENCHMARK(BM_DirectAllocateRelease);

// Keeps every repetition's processor time per benchmark; the median of each is compared,
// which a busy machine moves far less than the fastest or the mean.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, as the library's own reporter does.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                times[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double Median(const std::string& name) {
        std::vector<double>& values = times[name];
        if (values.empty()) return 0.0;
        std::sort(values.begin(), values.end());
        const std::size_t middle = values.size() / 2;
        return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    }

    std::map<std::string, std::vector<double>> times;
};

}  // namespace

int main(int argc, char** argv) {
    // Repeated, interleaved runs keep a busy machine from favouring either side; flags
    // given on the command line come later and win.
    std::vector<char*> arguments = {argv[0]};
    std::string repetitions = "--benchmark_repetitions=15";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    arguments.push_back(repetitions.data());
    arguments.push_back(interleaving.data());
    for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
    AllocatorInterface* const standIn = g_pMemAlloc;
    g_pMemAlloc = &g_BenchAllocator;
    // The first allocation fills the tag cache; the direct calls then use the same kind.
    RoutedFree(RoutedAlloc(kSize));
    g_bRoutedIsTagged = g_BenchAllocator.taggedCalls > 0;

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // Blocks taken before main go back where they came from at exit.
    g_pMemAlloc = standIn;

    const double routed = reporter.Median("BM_RoutedAllocateRelease");
    const double direct = reporter.Median("BM_DirectAllocateRelease");
    if (routed <= 0.0 || direct <= 0.0) return 0;
    std::printf("routed / direct (%s): %.3f (target: at most 1.25)\n",
                g_bRoutedIsTagged ? "tagged" : "untagged", routed / direct);
    return 0;
}
