// Prismcore speed: the final render of a large picture (8 and 16 bits), the dialog's preview
// (the cost of every slider move), and scaling in triangle count and picture size.
// The scenes are synthetic frost of realistic size: fern-like branches of thin triangles as
// the generator makes them, sized like the generated patterns: "default" is 44 000
// triangles covering the picture about once, as the default pattern does at 4000 x 3000
// (9 000 at the preview's 400 x 330); "dense" is 500 000 thin ones. PRISMCORE_THREADS sets
// the thread count as in the plug-in.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>
#include <tuple>

#include "prismcore/synthetic_frost.h"

namespace {

using fw::prismcore::testing::DefaultRecords;
using fw::prismcore::testing::MakeFrost;
using fw::prismcore::testing::Records;
using fw::prismcore::testing::Scene;
using fw::prismcore::testing::SourcePicture;

// Scenes and pictures are made once per shape: making 10 million triangles takes longer
// than drawing them.
const Scene& CachedScene(int width, int height, int triangles, float scale) {
    static std::map<std::tuple<int, int, int, float>, std::unique_ptr<Scene>> cache;
    auto key = std::make_tuple(width, height, triangles, scale);
    auto it = cache.find(key);
    if (it == cache.end()) {
        it = cache
                 .emplace(key,
                          std::make_unique<Scene>(MakeFrost(width, height, triangles, 7, scale)))
                 .first;
    }
    return *it->second;
}

template <class T>
void RenderLoop(benchmark::State& state, int width, int height, const Scene& scene, uint8_t mode,
                uint8_t quality) {
    const bool deep = sizeof(T) == 2;
    std::vector<T> source = SourcePicture<T>(width, height, deep ? 32768.0f : 255.0f);
    std::vector<T> out(source.size());
    Records records = DefaultRecords(deep, 1);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(out.data(), source.data(), source.size() * sizeof(T));
        state.ResumeTiming();
        fw::prismcore::testing::Render(reinterpret_cast<uint8_t*>(out.data()),
                                       reinterpret_cast<const uint8_t*>(source.data()), width,
                                       height, scene, records, mode, quality, deep);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["triangles"] = scene.T();
    state.counters["Mpixel/s"] = benchmark::Counter(static_cast<double>(width) * height * 1e-6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

// 4000 x 3000 final render (quality 1, Phong with glass and bump).
void BM_Final(benchmark::State& state, int triangles, float scale, bool deep) {
    const Scene& scene = CachedScene(4000, 3000, triangles, scale);
    if (deep)
        RenderLoop<uint16_t>(state, 4000, 3000, scene, 6, 1);
    else
        RenderLoop<uint8_t>(state, 4000, 3000, scene, 6, 1);
}
BENCHMARK_CAPTURE(BM_Final, default_8bit, 44000, 5.5f, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Final, default_16bit, 44000, 5.5f, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Final, dense_8bit, 500000, 1.5f, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Final, dense_16bit, 500000, 1.5f, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The dialog preview: 400 x 330, quality 0, 8-bit.
void BM_Preview(benchmark::State& state, int triangles, float scale, uint8_t mode) {
    const Scene& scene = CachedScene(400, 330, triangles, scale);
    RenderLoop<uint8_t>(state, 400, 330, scene, mode, 0);
}
BENCHMARK_CAPTURE(BM_Preview, phong_default, 9000, 1.2f, 6)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Preview, phong_dense, 500000, 0.15f, 6)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Preview, rough_dense, 500000, 0.15f, 0)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// Triangle count scaling on a 2000 x 1500 picture (final quality): thin triangles.
void BM_Triangles(benchmark::State& state) {
    const Scene& scene = CachedScene(2000, 1500, static_cast<int>(state.range(0)), 1.0f);
    RenderLoop<uint8_t>(state, 2000, 1500, scene, 6, 1);
}
BENCHMARK(BM_Triangles)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

// Picture size scaling, 1 to 100 megapixels (4:3), 8-bit final quality, 100 000 triangles
// scaled with the picture so that the frost covers the same share.
void BM_Megapixels(benchmark::State& state) {
    double mp = static_cast<double>(state.range(0));
    int width = static_cast<int>(std::sqrt(mp * 1e6 * 4 / 3)), height = width * 3 / 4;
    const Scene& scene = CachedScene(width, height, 100'000, static_cast<float>(width / 1000.0));
    RenderLoop<uint8_t>(state, width, height, scene, 6, 1);
}
BENCHMARK(BM_Megapixels)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
