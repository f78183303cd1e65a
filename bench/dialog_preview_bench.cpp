// What one change in the dialog costs at its preview size, through the filter's own scene
// step (RenderScene, quick quality, 8 bits): a material change draws the cached pattern
// again, a geometry change grows it again first. The preview shows a 4000 x 3000 picture
// fitted into the dialog's preview surface (330 x 266 pixels at 96 DPI: 12 document pixels
// per preview pixel). PRISMCORE_THREADS=1 gives the one-thread figures.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "real_scene.h"
#include "render/scene_assembly.h"
#include "render/scene_records.h"

namespace {

void Change(benchmark::State& state, fw::EffectParameters p, bool regenerate) {
    p.NeedsRegeneration = 1;
    fw::SceneRequest r = fw::WholeAreaRequest(p, 4000, 3000, 12);
    r.quality = 0;
    std::unique_ptr<uint8_t, decltype(&std::free)> bump(fw::LoadTexture(), &std::free);
    r.bumpSource = bump.get();
    const std::vector<uint8_t> picture = fw::bench::RealScenePicture(r.width, r.height, false);
    std::vector<uint8_t> input(picture.size()), output(picture.size());
    fw::FromLibraryPixels(picture.data(), input.data(), r.width * 4, r.width, r.height, false);
    r.input = input.data();
    r.output = output.data();
    r.rowBytes = r.width * 4;
    fw::RenderScene(r);  // the pattern of the dialog's first render
    for (auto _ : state) {
        if (regenerate) p.NeedsRegeneration = 1;
        fw::RenderScene(r);
        benchmark::DoNotOptimize(output.data());
    }
    state.counters["triangles"] = p.CachedTriangleCount;
    state.counters["updates/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    const char* threads = std::getenv("PRISMCORE_THREADS");
    state.SetLabel(std::string("PRISMCORE_THREADS=") + (threads ? threads : "(all cores)"));
    fw::FreePatternCache(p);
}

// The densest Geometric pattern the dialog's ranges allow.
fw::EffectParameters DensestGeometric() {
    fw::EffectParameters p = fw::bench::DefaultEffect();
    fw::SetEffectIndex(p, 0);
    p.MaxIterations = 6;
    p.MaxTriangles = 15;
    p.MinInterval = 1;
    return p;
}

}  // namespace

BENCHMARK_CAPTURE(Change, default_material, fw::bench::DefaultEffect(), false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Change, default_geometry, fw::bench::DefaultEffect(), true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Change, densest_geometric_material, DensestGeometric(), false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(Change, densest_geometric_geometry, DensestGeometric(), true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

BENCHMARK_MAIN();
