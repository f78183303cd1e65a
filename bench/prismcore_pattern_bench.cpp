// Prismcore speed on the generated patterns themselves, as the filter hands them over: the
// default effect and a dense Geometric one on a 4000 x 3000 picture (final quality, 8 and
// 16 bits), and the dialog's 400 x 330 preview of the default pattern (the cost of every
// slider move). Only the renderer call is timed; the patterns are grown once and the
// background is restored outside the timing. PRISMCORE_THREADS sets the thread count as in
// the plug-in; FW_BENCH_PICTURES=<folder> writes each case's picture there as PPM.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "real_scene.h"

namespace {

using fw::bench::MakeRealScene;
using fw::bench::RealScene;

enum class Effect { kDefault, kDenseGeometric };

// Growing the dense pattern takes longer than drawing it: every scene is made once.
const RealScene& CachedScene(Effect effect, int width, int height, bool final, bool sixteen) {
    using Key = std::tuple<Effect, int, int, bool, bool>;
    static std::map<Key, std::unique_ptr<RealScene>> cache;
    const Key key{effect, width, height, final, sixteen};
    auto it = cache.find(key);
    if (it == cache.end()) {
        const fw::EffectParameters p = effect == Effect::kDefault
                                           ? fw::bench::DefaultEffect()
                                           : fw::bench::DenseGeometricEffect();
        it = cache.emplace(key, MakeRealScene(p, width, height, final, sixteen)).first;
    }
    return *it->second;
}

void RenderLoop(benchmark::State& state, const RealScene& scene, const char* picture) {
    std::vector<uint8_t> out(scene.PictureBytes());
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(out.data(), scene.source.data(), out.size());
        state.ResumeTiming();
        fw::bench::RenderRealScene(scene, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    fw::bench::WritePicture(picture, out.data(), scene.width, scene.height, scene.deep);
    const char* threads = std::getenv("PRISMCORE_THREADS");
    state.SetLabel(std::string("PRISMCORE_THREADS=") + (threads ? threads : "(all cores)"));
    state.counters["triangles"] = scene.TriangleCount();
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(scene.width) * scene.height * 1e-6,
                           benchmark::Counter::kIsIterationInvariantRate);
}

// The final render of a 4000 x 3000 picture in one band.
void BM_Final(benchmark::State& state, const char* picture, Effect effect, bool sixteen) {
    const RealScene* scene = &CachedScene(effect, 4000, 3000, true, sixteen);
    if (!scene->TriangleCount()) {
        state.SkipWithError("the pattern is empty");
        return;
    }
    RenderLoop(state, *scene, picture);
}
BENCHMARK_CAPTURE(BM_Final, default_8bit, "prismcore_default_8bit", Effect::kDefault, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Final, default_16bit, "prismcore_default_16bit", Effect::kDefault, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Final, dense_geometric_8bit, "prismcore_dense_geometric_8bit",
                  Effect::kDenseGeometric, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Final, dense_geometric_16bit, "prismcore_dense_geometric_16bit",
                  Effect::kDenseGeometric, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same picture at one sample per pixel (quality 0): the full look, and lighting alone
// (no glass, no bump texture), which is the work the OpenGL reference does per pixel.
void BM_OneSample(benchmark::State& state, bool lightingOnly) {
    static std::unique_ptr<RealScene> scenes[2];
    std::unique_ptr<RealScene>& scene = scenes[lightingOnly ? 1 : 0];
    if (!scene) {
        scene = MakeRealScene(fw::bench::DefaultEffect(), 4000, 3000, true, false);
        scene->quality = 0;
        if (lightingOnly) {
            scene->glass.useGlass = 0;
            for (__Texture& texture : scene->textures) texture.present = 0;
        }
    }
    RenderLoop(state, *scene,
               lightingOnly ? "prismcore_one_sample_lighting" : "prismcore_one_sample");
}
BENCHMARK_CAPTURE(BM_OneSample, default_8bit, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_OneSample, default_8bit_lighting_only, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The dialog's preview of a 400 x 330 area at scale 1: 8-bit, quality 0.
void BM_Preview(benchmark::State& state) {
    const RealScene& scene = CachedScene(Effect::kDefault, 400, 330, false, false);
    RenderLoop(state, scene, "prismcore_preview_400x330");
}
BENCHMARK(BM_Preview)
    ->Name("BM_Preview/default_400x330")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
