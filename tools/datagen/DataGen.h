// The data generator's shared pieces: its random numbers and the entry point of every file kind.
#pragma once
#include <cstdint>
#include <string>

namespace datagen {

// A fixed-seed generator of our own, so every run writes the same bytes.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33);
  }
  // Uniform in [0, 1).
  float Unit() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }
  // Uniform in [-1, 1).
  float Signed() { return Unit() * 2.0f - 1.0f; }

 private:
  uint64_t state_;
};

// Each writes its files into the directory (which exists) and throws std::runtime_error on failure.
void WritePictures(const std::string& directory);
void WriteLivePictures(const std::string& directory);
void WriteModels(const std::string& directory);
void WriteHitSurface(const std::string& directory);
void WriteMusic(const std::string& directory);
// The desktop icon, vantrel.png (installed with the program; the show does not load it).
void WriteIcon(const std::string& directory);

}  // namespace datagen
