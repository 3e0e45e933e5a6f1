// Step times of the two simulations (the cloth's per-particle spring lists against the scan over
// the whole spring list, the water surface) and frame times of the two scenes they drive.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "../tests/scenes/ClothReference.h"
#include "platform/DataFiles.h"
#include "platform/GL.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "render/RenderState.h"
#include "scenes/Cloth.h"
#include "scenes/ClothScene.h"
#include "scenes/Scenes.h"
#include "scenes/Water.h"
#include "show/Schedule.h"
#include "timeline/ShowClock.h"

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

// Opens the offscreen 800 x 600 context and loads both scenes from VANTREL_DATA (or ./data) once.
bool SceneReady(benchmark::State& state) {
  static bool ready = false, tried = false;
  if (!tried) {
    tried = true;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    SetInteractiveDisplay(false);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0)
      MainWindow = OpenWindow(800, 600, 32, false, "sims bench");
    const char* data = std::getenv("VANTREL_DATA");
    if (MainWindow.RenderContext) {
      SetDataFolder(data ? data : "data");
      LoadRailScene();
      LoadClothScene();
      ready = true;
    }
  }
  if (!ready) state.SkipWithError("no GL context or no data directory (set VANTREL_DATA)");
  return ready;
}

// Scenes 1 to 4 at 60 frames a second, finished on the GL side; argument: the variant.
void BM_RailSceneFrame(benchmark::State& state) {
  if (!SceneReady(state)) return;
  const int variant = static_cast<int>(state.range(0));
  long frame = 0;
  FrameDelta = 1.0f / 60;
  for (auto _ : state) {
    const float sceneTime = (frame++ % 600) / 60.0f;
    ShowTime = 10.0f + sceneTime;
    BeginFrame();
    DrawRailScene(variant, sceneTime, 0.3f);
    glFinish();
  }
}
BENCHMARK(BM_RailSceneFrame)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

// Scenes 99 and 11 to 13: the cloth frame with its script; argument: the scene number.
void BM_ClothSceneFrame(benchmark::State& state) {
  if (!SceneReady(state)) return;
  const int scene = static_cast<int>(state.range(0));
  FrameDelta = 1.0f / 60;
  ShowTime = 140.0f;
  for (auto _ : state) {
    ShowTime += FrameDelta;
    BeginFrame();
    const ClothCorners corners = FindShowScene(scene)->clothCorners.value();
    DrawClothScene(std::sin(20 * ShowTime) + 0.8f, corners);
    glFinish();
  }
}
BENCHMARK(BM_ClothSceneFrame)->Arg(99)->Arg(11)->Arg(12)->Arg(13)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
