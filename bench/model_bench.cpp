// Loading a 3DS model of about 100,000 faces into a brush (the file is written here first).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../tests/render/Write3DS.h"
#include "render/Brush.h"

namespace {
constexpr int Side = 160;  // vertices per side of each grid mesh
constexpr int Meshes = 2;

// Two wavy grids of 160 x 160 vertices: 2 x 50,562 faces.
std::string WriteModel() {
  std::vector<Write3DS::Node> objects;
  for (int m = 0; m < Meshes; ++m) {
    std::vector<Vector3> vertices;
    for (int y = 0; y < Side; ++y)
      for (int x = 0; x < Side; ++x)
        vertices.push_back({static_cast<float>(x), static_cast<float>(y),
                            std::sin(x * 0.3f) * std::cos(y * 0.2f) + static_cast<float>(m)});
    std::vector<Write3DS::Face> faces;
    for (int y = 0; y + 1 < Side; ++y)
      for (int x = 0; x + 1 < Side; ++x) {
        const auto a = static_cast<uint16_t>(y * Side + x);
        const auto b = static_cast<uint16_t>(a + 1), c = static_cast<uint16_t>(a + Side),
                   d = static_cast<uint16_t>(a + Side + 1);
        faces.push_back({a, b, d});
        faces.push_back({a, d, c});
      }
    objects.push_back(Write3DS::MeshObject("grid" + std::to_string(m), vertices, faces));
  }
  const auto bytes = Write3DS::Bytes(Write3DS::Model(objects));
  const std::string path =
      (std::filesystem::temp_directory_path() / "vantrel-model-bench.3ds").string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void BM_LoadBrush(benchmark::State& state) {
  const std::string path = WriteModel();
  int64_t faces = 0;
  for (auto _ : state) {
    TOrvBrush brush(path);
    faces = 0;
    for (int i = 0; i < brush.MeshCount; ++i) faces += brush.Mesh(i).FaceCount;
    benchmark::DoNotOptimize(faces);
  }
  state.counters["faces"] = static_cast<double>(faces);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadBrush)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
