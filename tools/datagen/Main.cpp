// vantrel-datagen: writes the whole data set (pictures, models, hit surface, music) into a directory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>

#include "DataGen.h"

namespace {

using Stage = void (*)(const std::string&);

void Run(const char* name, Stage stage, const std::string& directory, bool verbose) {
  const auto begin = std::chrono::steady_clock::now();
  stage(directory);
  if (verbose)
    std::printf("  %-14s %.2f s\n", name, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantrel-datagen <output directory>\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  const std::string directory = argv[1];
  const bool verbose = std::getenv("VANTREL_DATAGEN_VERBOSE") != nullptr;
  std::exception_ptr musicError;
  try {
    std::filesystem::create_directories(directory);
    {
      // The music takes longest; it runs beside everything else. Each part writes only its own
      // files, so the output does not depend on the order in which they finish.
      std::jthread music([&] {
        try {
          Run("music", datagen::WriteMusic, directory, verbose);
        } catch (...) {
          musicError = std::current_exception();
        }
      });
      Run("models", datagen::WriteModels, directory, verbose);
      Run("hit surface", datagen::WriteHitSurface, directory, verbose);
      Run("pictures", datagen::WritePictures, directory, verbose);
      Run("live pictures", datagen::WriteLivePictures, directory, verbose);
      Run("icon", datagen::WriteIcon, directory, verbose);
    }
    if (musicError) std::rethrow_exception(musicError);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vantrel-datagen: %s\n", error.what());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("vantrel-datagen: data set written to %s in %.2f s\n", directory.c_str(), seconds);
  return 0;
}
