// vantrel-datagen: writes the whole data set (pictures, models, hit surface, music) into a directory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <utility>

#include "DataGen.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantrel-datagen <output directory>\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  const std::string directory = argv[1];
  const bool verbose = std::getenv("VANTREL_DATAGEN_VERBOSE") != nullptr;
  try {
    std::filesystem::create_directories(directory);
    const std::pair<const char*, void (*)(const std::string&)> stages[] = {
        {"models", datagen::WriteModels},     {"hit surface", datagen::WriteHitSurface},
        {"pictures", datagen::WritePictures}, {"live pictures", datagen::WriteLivePictures},
        {"music", datagen::WriteMusic}};
    for (const auto& [name, write] : stages) {
      const auto begin = std::chrono::steady_clock::now();
      write(directory);
      if (verbose)
        std::printf("  %-14s %.2f s\n", name, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vantrel-datagen: %s\n", error.what());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("vantrel-datagen: data set written to %s in %.2f s\n", directory.c_str(), seconds);
  return 0;
}
