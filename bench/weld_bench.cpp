// Vertex welding on a 50,000-vertex tube with a seam: the all-pairs form against the sorting one.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cmath>
#include <cstdio>

#include "../tests/render/MeshReference.h"
#include "render/Mesh.h"

namespace {
constexpr int Columns = 250;  // the last column repeats the first: the seam to weld
constexpr int Rows = 200;

TMeshData SeamedTube() {
  TMeshData mesh;
  for (int r = 0; r < Rows; ++r)
    for (int c = 0; c < Columns; ++c) {
      const float angle = static_cast<float>(c % (Columns - 1)) * 6.2831853f / (Columns - 1);
      mesh.AddVertex({std::cos(angle), static_cast<float>(r) * 0.05f, std::sin(angle)},
                     {static_cast<float>(c) / (Columns - 1), static_cast<float>(r) / Rows});
    }
  for (int r = 0; r + 1 < Rows; ++r)
    for (int c = 0; c + 1 < Columns; ++c) {
      const int32_t a = r * Columns + c, b = a + 1, d = a + Columns, e = d + 1;
      mesh.Faces.push_back({a, d, e});
      mesh.Faces.push_back({a, e, b});
    }
  mesh.FaceCount = static_cast<int32_t>(mesh.Faces.size());
  return mesh;
}

// Times one weld of a fresh copy of the tube per iteration.
void WeldTube(benchmark::State& state, void (*weld)(TMeshData&)) {
  const TMeshData source = SeamedTube();
  for (auto _ : state) {
    state.PauseTiming();
    TMeshData mesh = source;
    state.ResumeTiming();
    weld(mesh);
    benchmark::DoNotOptimize(mesh.Faces.data());
  }
}
BENCHMARK_CAPTURE(WeldTube, sorted, WeldVertices)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WeldTube, all_pairs, WeldVerticesAllPairs)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Process CPU time, so that other work on the machine does not skew the comparison.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <class Weld>
double Seconds(TMeshData& mesh, Weld weld) {
  const double start = CpuSeconds();
  weld(mesh);
  return CpuSeconds() - start;
}
}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  // Side by side on the same mesh, and the two results compared.
  const TMeshData source = SeamedTube();
  TMeshData direct = source, sorted = source;
  const double allPairs = Seconds(direct, WeldVerticesAllPairs);
  double best = 1e9;
  for (int k = 0; k < 10; ++k) {
    sorted = source;
    best = std::min(best, Seconds(sorted, WeldVertices));
  }
  std::printf(
      "weld of %d vertices, %d faces (CPU time): all-pairs %.1f ms, sorted %.2f ms, %.0fx faster, "
      "faces %s\n",
              source.VertexCount, source.FaceCount, allPairs * 1e3, best * 1e3, allPairs / best,
              direct.Faces == sorted.Faces ? "identical" : "DIFFERENT");
  return direct.Faces == sorted.Faces ? 0 : 1;
}
