// The program's one pseudo-random generator (32-bit linear congruential, seed 0 at start).
#pragma once
#include <cstdint>

#include "render/Types.h"

extern uint32_t RandomSeed;

// seed = seed * 134775813 + 1 (mod 2^32); returns seed / 2^32, in [0, 1).
float Random();
// The same draw from a seed of the caller's own (a share of a long run of draws made on another
// thread, started from SeedAfter).
float RandomFrom(uint32_t& seed);
// Moves the seed on by draws calls of Random at once (logarithmic time), for advancing the show
// past pictures that are not drawn.
void SkipRandom(uint64_t draws);
// The seed that draws calls of Random leave behind, starting from seed.
uint32_t SeedAfter(uint32_t seed, uint64_t draws);
// Reseeds from the local wall clock: ((h * 60 + m) * 60 + s) * 1000 + ms; with show-time
// reseeding on (capture modes), from ShowTime instead, so runs are reproducible.
void ReseedRandomFromClock();
void SetShowTimeReseeding(bool enabled);
bool ShowTimeReseedingEnabled();

// Each component (r1 - r2) * scale from six successive draws of Random.
void RandomVector(Vector3& v, float sx, float sy, float sz);
