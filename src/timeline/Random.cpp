// Placeholder generator until the timeline lands.
#include "timeline/Random.h"

uint32_t RandomSeed = 0;

float Random() {
  RandomSeed = RandomSeed * 134775813u + 1u;
  return static_cast<float>(RandomSeed / 4294967296.0);
}
void ReseedRandomFromClock() {}
void SetShowTimeReseeding(bool) {}
