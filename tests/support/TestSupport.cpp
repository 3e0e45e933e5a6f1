// Test helpers on the real shell: the offscreen GL context and the message recorder.
#include "support/TestSupport.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/DataFiles.h"
#include "platform/GL.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "timeline/ShowClock.h"

void EnsureGLContext() {
  if (MainWindow.RenderContext) return;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
    throw std::runtime_error(std::string("SDL_Init: ") + SDL_GetError());
  SetInteractiveDisplay(false);
  MainWindow = OpenWindow(800, 600, 32, false, "Vantrel Kelvara");
  if (!MainWindow.RenderContext) throw std::runtime_error("no GL context");
}

static std::string EnvOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value ? value : fallback;
}

std::string TestDataPath(const std::string& relative) {
  return EnvOr("VANTREL_TESTDATA", "../shared/testdata") + "/" + relative;
}

bool HaveTestData() { return std::filesystem::is_directory(TestDataPath("")); }

std::string GeneratedDataPath(const std::string& relative) {
  return EnvOr("VANTREL_DATA", "build/data") + "/" + relative;
}

std::vector<uint8_t> ReadFramePixels(int width, int height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

Pixel ReadPixel(int x, int y) {
  uint8_t p[4] = {};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2], p[3]};
}

MessageLog::MessageLog() {
  SetMessageRecorder([this](const std::string& caption, const std::string& text) {
    messages.emplace_back(caption, text);
  });
}
MessageLog::~MessageLog() { SetMessageRecorder({}); }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
  path = pattern;
}
TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path, error);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

DataFolderScope::DataFolderScope(const std::string& folder) : previous_(DataFolder()) {
  SetDataFolder(folder);
}
DataFolderScope::~DataFolderScope() { SetDataFolder(previous_); }
