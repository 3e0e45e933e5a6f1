// The program's one pseudo-random generator and its reseeding from the clock.
#include "timeline/Random.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "timeline/ShowClock.h"

uint32_t RandomSeed = 0;

namespace {
bool ReseedFromShowTime = false;

// The largest float below 1: the draw's contract is [0, 1).
constexpr float BelowOne = 0.99999994f;

uint32_t ClockSeed(uint32_t hours, uint32_t minutes, uint32_t seconds, uint32_t milliseconds) {
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + milliseconds;
}
}  // namespace

float RandomFrom(uint32_t& seed) {
  seed = seed * 134775813u + 1u;
  // Seeds within 128 of 2^32 would round up to exactly 1.0 as a float; callers scale draws into
  // index ranges, so those few are held just below 1 instead. Every other draw is the nearest
  // float.
  const float value = static_cast<float>(seed / 4294967296.0);
  return value < 1.0f ? value : BelowOne;
}

float Random() { return RandomFrom(RandomSeed); }

uint32_t SeedAfter(uint32_t seed, uint64_t draws) {
  // The step is the affine map s -> a s + c; squaring it covers 2, 4, 8 ... draws at once.
  uint32_t multiplier = 134775813u, increment = 1u;
  for (; draws != 0; draws >>= 1) {
    if (draws & 1u) seed = seed * multiplier + increment;
    increment = increment * multiplier + increment;
    multiplier = multiplier * multiplier;
  }
  return seed;
}

void SkipRandom(uint64_t draws) { RandomSeed = SeedAfter(RandomSeed, draws); }

void ReseedRandomFromClock() {
  if (ReseedFromShowTime) {
    // Capture modes: the show's own time stands in for the wall clock, so every run is the same.
    const double total =
        ShowTime > 0 && std::isfinite(ShowTime) ? std::floor(ShowTime * 1000.0) : 0.0;
    const uint64_t ms = total < 4.0e12 ? static_cast<uint64_t>(total) : 0;
    RandomSeed =
        ClockSeed(static_cast<uint32_t>(ms / 3600000), static_cast<uint32_t>(ms / 60000 % 60),
                  static_cast<uint32_t>(ms / 1000 % 60), static_cast<uint32_t>(ms % 1000));
    return;
  }
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto sinceEpoch = now.time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  RandomSeed =
      ClockSeed(static_cast<uint32_t>(local.tm_hour), static_cast<uint32_t>(local.tm_min),
                static_cast<uint32_t>(local.tm_sec), static_cast<uint32_t>(ms < 0 ? 0 : ms));
}

void SetShowTimeReseeding(bool enabled) { ReseedFromShowTime = enabled; }
bool ShowTimeReseedingEnabled() { return ReseedFromShowTime; }

void RandomVector(Vector3& v, float sx, float sy, float sz) {
  // Each draw is sequenced explicitly: the order of the six draws is part of the picture.
  float r1 = Random();
  float r2 = Random();
  v.x = (r1 - r2) * sx;
  r1 = Random();
  r2 = Random();
  v.y = (r1 - r2) * sy;
  r1 = Random();
  r2 = Random();
  v.z = (r1 - r2) * sz;
}
