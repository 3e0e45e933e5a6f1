// Times one frame of the well scene's blob deformation: the generated model and a 20,000-vertex blob.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "render/DeformBrush.h"
#include "render/File3DS.h"
#include "render/Mesh.h"
#include "scenes/WellScene.h"

namespace {

std::string ModelPath = "geo3.3ds";

// A closed latitude-longitude sphere with a split seam (the seam vertices are duplicated, as in a
// modelling tool's export), welded like the scene's model.
std::unique_ptr<TMeshDataNM> BuildSphere(int rings, int segments, float radius) {
  auto mesh = std::make_unique<TMeshDataNM>();
  for (int r = 0; r <= rings; ++r) {
    const double polar = M_PI * r / rings;
    for (int s = 0; s <= segments; ++s) {
      const double azimuth = 2 * M_PI * s / segments;
      const Vector3 p{static_cast<float>(radius * std::sin(polar) * std::cos(azimuth)),
                      static_cast<float>(radius * std::cos(polar)),
                      static_cast<float>(radius * std::sin(polar) * std::sin(azimuth))};
      mesh->AddVertex(p, TexCoord{static_cast<float>(s) / segments, static_cast<float>(r) / rings});
    }
  }
  const int row = segments + 1;
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) {
      const int a = r * row + s, b = a + 1, c = a + row, d = c + 1;
      mesh->Faces.push_back(MeshFace{a, b, c});
      mesh->Faces.push_back(MeshFace{b, d, c});
    }
  mesh->FaceCount = static_cast<int32_t>(mesh->Faces.size());
  ComputeNormals(*mesh);
  WeldVertices(*mesh);
  return mesh;
}

void RunFrames(benchmark::State& state, TOrvDeformBrush& blob) {
  float t = 98.1f;
  for (auto _ : state) {
    DeformBlob(blob, t, 40.0f);
    benchmark::DoNotOptimize(blob.Buffers[1].data());
    benchmark::ClobberMemory();
    t += 1.0f / 60;
  }
  state.counters["vertices"] = blob.BufferLength;
  state.counters["faces"] = blob.SelectedMesh().FaceCount;
}

void BM_BlobGeneratedModel(benchmark::State& state) {
  TOrvDeformBrush blob(5, 0);
  try {
    blob.LoadModel(ModelPath);
  } catch (const E3DSError& error) {
    state.SkipWithError(("cannot read " + ModelPath + ": " + error.what()).c_str());
    return;
  }
  if (blob.Brush.MeshCount < 1) {
    state.SkipWithError((ModelPath + " holds no mesh").c_str());
    return;
  }
  WeldVertices(blob.Brush.Mesh(0));
  blob.SelectMesh(0);
  RunFrames(state, blob);
}
BENCHMARK(BM_BlobGeneratedModel)->Unit(benchmark::kMillisecond);

void BM_BlobTwentyThousandVertices(benchmark::State& state) {
  TOrvDeformBrush blob(5, 0);
  // 100 x 200 grid points: 20,000 vertices, 39,402 triangles.
  blob.Brush.Meshes.push_back(BuildSphere(99, 199, 60.0f));
  blob.Brush.MeshCount = 1;
  blob.SelectMesh(0);
  RunFrames(state, blob);
}
BENCHMARK(BM_BlobTwentyThousandVertices)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (const char* data = std::getenv("VANTREL_DATA")) ModelPath = std::string(data) + "/geo3.3ds";
  benchmark::Initialize(&argc, argv);
  // A remaining argument names the model to deform instead of the generated one.
  if (argc > 1) ModelPath = argv[1];
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
