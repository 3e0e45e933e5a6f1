// Step times of the two simulations: the cloth's per-particle spring lists against the scan over
// the whole spring list, and the water surface.
#include <benchmark/benchmark.h>

#include "../tests/scenes/ClothReference.h"
#include "scenes/Cloth.h"
#include "scenes/Water.h"

namespace {

// The show's cloth after it has been released onto a surface, so that every spring is working.
TCloth FallenCloth() {
  TCloth cloth;
  cloth.Create(20, 20, 1.0f, 1.0f, 200.0f, 0.7f);
  cloth_reference::FillDome(cloth);
  cloth.ReleaseCorners();
  for (int n = 0; n < 120; ++n) {
    cloth.Step(1.0f / 60);
    cloth.ClampMinY(-15.0f);
    cloth.CollideHitSurface();
    cloth.CommitStep();
  }
  return cloth;
}

void BM_ClothStepSpringLists(benchmark::State& state) {
  TCloth cloth = FallenCloth();
  for (auto _ : state) {
    cloth.Step(0.0f);  // dt 0 keeps the state, so every iteration does the same work
    benchmark::DoNotOptimize(cloth.NextParticles.data());
  }
}
BENCHMARK(BM_ClothStepSpringLists)->Unit(benchmark::kMicrosecond);

void BM_ClothStepWholeListScan(benchmark::State& state) {
  TCloth cloth = FallenCloth();
  for (auto _ : state) {
    cloth_reference::ScanningStep(cloth, 0.0f);
    benchmark::DoNotOptimize(cloth.NextParticles.data());
  }
}
BENCHMARK(BM_ClothStepWholeListScan)->Unit(benchmark::kMicrosecond);

// The whole per-frame cloth work of the scene, without drawing.
void BM_ClothFrame(benchmark::State& state) {
  TCloth cloth = FallenCloth();
  for (auto _ : state) {
    cloth.Step(0.0f);
    cloth.ClampMinY(-15.0f);
    cloth.CollideHitSurface();
    cloth.CommitStep();
    cloth.ComputeNormals();
    benchmark::DoNotOptimize(cloth.Particles.data());
  }
}
BENCHMARK(BM_ClothFrame)->Unit(benchmark::kMicrosecond);

void BM_WaterStep(benchmark::State& state) {
  TWaterSim water;
  water.Create();
  water.Damping = 0.98f;
  water.Splash(20, 20, 1500.0f);
  for (auto _ : state) {
    water.Step(70.0f / 60.0f);
    benchmark::DoNotOptimize(water.Height);
  }
}
BENCHMARK(BM_WaterStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
