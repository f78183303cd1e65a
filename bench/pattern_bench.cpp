// Pattern generation speed: triangles grown and triangles per second for the default
// parameters of every effect at 4000 x 3000, and for a setting that reaches the growth budget.
//   cmake -DFW_BUILD_BENCH=ON ... && bench/pattern_bench
#include <benchmark/benchmark.h>

#include "params/effect_parameters.h"
#include "pattern/path_walk.h"
#include "pattern/portable_math.h"

namespace {

fw::GrowthScene Scene4000() {
    fw::GrowthScene s;
    s.W = s.SW = 4000;
    s.H = s.SH = 3000;
    s.rotation = static_cast<float>(fw::pm::kPi / 2);  // RotateX 0
    return s;
}

void Grow(benchmark::State& state, const fw::EffectParameters& p, const fw::GrowthScene& scene) {
    int32_t triangles = 0;
    for (auto _ : state) {
        fw::TriangleList list;
        triangles = fw::GrowAlongPath(p, scene, list);
        benchmark::DoNotOptimize(list.size());
        state.PauseTiming();
        list.Clear();
        state.ResumeTiming();
    }
    state.counters["triangles"] = triangles;
    state.counters["triangles/s"] =
        benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DefaultEffect(benchmark::State& state) {
    fw::EffectParameters p{};
    fw::SetDefaults(p);
    fw::SetEffectIndex(p, static_cast<int>(state.range(0)));
    state.SetLabel(fw::kEffectNames[state.range(0)]);
    Grow(state, p, Scene4000());
}
BENCHMARK(BM_DefaultEffect)->DenseRange(0, fw::kEffectCount - 1)->Unit(benchmark::kMillisecond);

// "Geometric 1" with MaxIterations 6 and MaxTriangles 15 would grow billions of triangles;
// it stops at kTriangleBudget.
void BM_BudgetReached(benchmark::State& state) {
    fw::EffectParameters p{};
    fw::SetDefaults(p);
    fw::SetEffectIndex(p, 0);
    p.MaxIterations = 6;
    p.MaxTriangles = 15;
    state.SetLabel("Geometric 1, MaxIterations 6, MaxTriangles 15");
    Grow(state, p, Scene4000());
}
BENCHMARK(BM_BudgetReached)->Unit(benchmark::kMillisecond)->Iterations(3);

// The counts cross-checked in the tests, at 800 x 600.
void BM_Geometric800(benchmark::State& state) {
    fw::EffectParameters p{};
    fw::SetDefaults(p);
    fw::SetEffectIndex(p, 0);
    p.MaxIterations = static_cast<int32_t>(state.range(0));
    p.MaxTriangles = static_cast<int32_t>(state.range(1));
    fw::GrowthScene s;
    s.W = s.SW = 800;
    s.H = s.SH = 600;
    Grow(state, p, s);
}
BENCHMARK(BM_Geometric800)->Args({3, 3})->Args({5, 3})->Args({4, 6})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
