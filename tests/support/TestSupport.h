// Helpers shared by the test binaries: one real GL context, paths, pixels, recorded messages.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "render/Types.h"

// Opens the 800 x 600 window with its GL context once per test binary (SDL's offscreen driver).
void EnsureGLContext();
// A file under ../shared/testdata (VANTREL_TESTDATA), the files of other tools kept outside the
// checkout.
std::string TestDataPath(const std::string& relative);
// Whether that folder is there; a test that reads it skips, saying so, when it is not.
bool HaveTestData();
#define SKIP_WITHOUT_TESTDATA() \
  if (!HaveTestData()) GTEST_SKIP() << "the test data folder " << TestDataPath("") << " is missing"
// The generated data set of the build (<build>/data).
std::string GeneratedDataPath(const std::string& relative);
// RGBA pixels of the lower-left width x height of the frame buffer, bottom row first.
std::vector<uint8_t> ReadFramePixels(int width = 800, int height = 600);
// The RGBA of one frame-buffer pixel.
struct Pixel {
  int r, g, b, a;
};
Pixel ReadPixel(int x, int y);

// Records every ShowMessage while alive.
class MessageLog {
 public:
  MessageLog();
  ~MessageLog();
  std::vector<std::pair<std::string, std::string>> messages;  // caption, text
};

// Sets the data folder the loaders read from for its lifetime, then puts the previous one back.
class DataFolderScope {
 public:
  explicit DataFolderScope(const std::string& folder);
  ~DataFolderScope();

 private:
  std::string previous_;
};

// A scratch directory removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string path;
  std::string File(const std::string& name) const { return path + "/" + name; }
};
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);
