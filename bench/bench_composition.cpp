#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/composition.h"
#include "engine/fast_composition.h"
#include "engine/scaling.h"

namespace {

using namespace strobo::engine;

constexpr std::pair<int, int> kSizes[] = {{400, 300}, {1920, 1080}};

struct Operands {
    PackedImage a;
    PackedImage b;
    PackedImage c;
};

Operands& operands(int width, int height) {
    static std::map<std::pair<int, int>, Operands> cache;
    auto [it, inserted] = cache.try_emplace({width, height});
    if (inserted) {
        std::mt19937 rng(static_cast<unsigned>(width * 31 + height));
        std::uniform_int_distribution<int> channel(0, 255);
        auto fill = [&](PackedImage& image) {
            image = PackedImage(width, height);
            for (PackedColor& p : image.pixels)
                p = packColor(channel(rng), channel(rng), channel(rng));
        };
        fill(it->second.a);
        fill(it->second.b);
        it->second.c = PackedImage(width, height);
    }
    return it->second;
}

void setPixels(benchmark::State& state, int width, int height) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(width) * height);
}

void faithful(benchmark::State& state) {
    const auto op = static_cast<CompositionOperation>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    Operands& o = operands(width, height);
    PackedImageDevice da(o.a), db(o.b), dc(o.c);
    for (auto _ : state) {
        ComposeImages(da, db, dc, width, height, op);
        benchmark::DoNotOptimize(o.c.pixels.data());
        benchmark::ClobberMemory();
    }
    setPixels(state, width, height);
}

void fast(benchmark::State& state) {
    const auto op = static_cast<CompositionOperation>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    Operands& o = operands(width, height);
    for (auto _ : state) {
        composeImagesFast(o.a, o.b, o.c, width, height, op);
        benchmark::DoNotOptimize(o.c.pixels.data());
        benchmark::ClobberMemory();
    }
    setPixels(state, width, height);
}

// Reads A and B and writes C once, the least any composition has to move: the ceiling. It gets
// the same instruction-set clones as the composition's row loops, so it is a fair bound.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__linux__)
__attribute__((target_clones("avx512f", "avx2", "default")))
#endif
void xorPass(const PackedColor* a, const PackedColor* b, PackedColor* c, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) c[i] = a[i] ^ b[i];
}

void ceiling(benchmark::State& state) {
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    Operands& o = operands(width, height);
    const std::size_t n = o.a.pixels.size();
    for (auto _ : state) {
        xorPass(o.a.pixels.data(), o.b.pixels.data(), o.c.pixels.data(), n);
        benchmark::DoNotOptimize(o.c.pixels.data());
        benchmark::ClobberMemory();
    }
    setPixels(state, width, height);
}

void shrinkFrame(benchmark::State& state) {
    Operands& o = operands(653, 480);
    for (auto _ : state) {
        PackedImage out = scaleImage(o.a, 405, 298);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    setPixels(state, 405, 298);
}

std::string key(const char* form, int op, int width, int height) {
    return std::string(form) + "/" + std::to_string(op) + "/" + std::to_string(width) + "/" +
           std::to_string(height);
}

// Keeps the console output and remembers each run's pixel rate for the closing table.
class TableReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("items_per_second");
            if (it != run.counters.end()) m_rates[run.benchmark_name()] = it->second.value;
        }
    }
    double rate(const std::string& name) const {
        auto it = m_rates.find(name);
        return it == m_rates.end() ? 0.0 : it->second;
    }

  private:
    std::map<std::string, double> m_rates;
};

}  // namespace

int main(int argc, char** argv) {
    for (auto [width, height] : kSizes) {
        for (int op = kOperationAdd; op < kOperationCount; ++op) {
            benchmark::RegisterBenchmark("faithful", faithful)
                ->Args({op, width, height})
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("fast", fast)
                ->Args({op, width, height})
                ->Unit(benchmark::kMicrosecond);
        }
        benchmark::RegisterBenchmark("ceiling", ceiling)
            ->Args({0, width, height})
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("shrinkFrame", shrinkFrame)->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-12s %-10s %14s %14s %14s %12s %10s\n", "size", "operation", "faithful Mpx/s",
                "fast Mpx/s", "ceiling Mpx/s", "of ceiling", "speed-up");
    for (auto [width, height] : kSizes) {
        const double top = reporter.rate(key("ceiling", 0, width, height));
        for (int op = kOperationAdd; op < kOperationCount; ++op) {
            const double slow = reporter.rate(key("faithful", op, width, height));
            const double quick = reporter.rate(key("fast", op, width, height));
            if (quick == 0.0) continue;
            const std::string size = std::to_string(width) + "x" + std::to_string(height);
            const std::string opName = std::string(kOperationAliases[op]);
            std::printf("%-12s %-10s %14.1f %14.1f %14.1f %11.0f%% %9.0fx\n", size.c_str(),
                        opName.c_str(), slow / 1e6, quick / 1e6, top / 1e6,
                        top > 0 ? 100.0 * quick / top : 0.0, slow > 0 ? quick / slow : 0.0);
        }
    }
    return 0;
}
