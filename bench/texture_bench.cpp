// Time to turn a 512 x 512 JPEG into a mipmapped texture, next to decoding it alone.
#include <benchmark/benchmark.h>

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/GL.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "render/ImageReaders.h"
#include "render/Texture.h"

namespace {

std::string TestData(const std::string& relative) {
  const char* root = std::getenv("VANTREL_TESTDATA");
  const std::filesystem::path fallback =
      std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "shared" / "testdata";
  return (root ? std::filesystem::path(root) : fallback).string() + "/" + relative;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A baseline 4:2:0 JPEG of a smooth 512 x 512 picture at quality 90, written to a file.
std::string WriteBaselineJpeg() {
  const std::string path = (std::filesystem::temp_directory_path() / "vantrel_bench_512.jpg").string();
  std::vector<uint8_t> rgb(512 * 512 * 3);
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) {
      uint8_t* p = rgb.data() + (y * 512 + x) * 3;
      p[0] = static_cast<uint8_t>(x / 2);
      p[1] = static_cast<uint8_t>(y / 2);
      p[2] = static_cast<uint8_t>((x ^ y) & 0xFF);
    }
  }
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  jpeg_stdio_dest(&info, file);
  info.image_width = 512;
  info.image_height = 512;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < 512) {
    JSAMPROW row = rgb.data() + info.next_scanline * 512 * 3;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
  return path;
}

const std::string& BaselinePath() {
  static const std::string path = WriteBaselineJpeg();
  return path;
}

const std::string& ProgressivePath() {
  static const std::string path = TestData("jpeg/jeep1.jpg");
  return path;
}

void DecodeOnly(benchmark::State& state, const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  for (auto _ : state) {
    ImageReadResult result = DecodeJpeg(bytes, path);
    if (!result.Ok()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(result.image.pixels.data());
  }
}

// File read, decode, RGBA expansion and the mipmapped upload, as the loaders do it.
void LoadAsTexture(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    TextureId id = NoTexture;
    if (!LoadJpgTexture(path, id, false)) state.SkipWithError("load failed");
    glFinish();
    state.PauseTiming();
    GLuint name = id;
    glDeleteTextures(1, &name);
    state.ResumeTiming();
  }
}

void BM_DecodeBaseline512(benchmark::State& state) { DecodeOnly(state, BaselinePath()); }
void BM_LoadTextureBaseline512(benchmark::State& state) { LoadAsTexture(state, BaselinePath()); }
void BM_DecodeProgressive512(benchmark::State& state) { DecodeOnly(state, ProgressivePath()); }
void BM_LoadTextureProgressive512(benchmark::State& state) { LoadAsTexture(state, ProgressivePath()); }

// The upload alone: gluBuild2DMipmaps of 512 x 512 RGBA.
void BM_CreateTexture512(benchmark::State& state) {
  const std::vector<uint8_t> pixels(512 * 512 * 4, 128);
  for (auto _ : state) {
    GLuint name = CreateTexture(512, 512, GL_RGBA, pixels.data());
    glFinish();
    state.PauseTiming();
    glDeleteTextures(1, &name);
    state.ResumeTiming();
  }
}

BENCHMARK(BM_DecodeBaseline512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTextureBaseline512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeProgressive512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTextureProgressive512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateTexture512)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // The GL context comes from SDL's offscreen driver, so no display is needed.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  SetInteractiveDisplay(false);
  const GLWindow window = OpenWindow(800, 600, 32, false, "Vantrel Kelvara");
  if (!window.RenderContext) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(BaselinePath());
  return 0;
}
