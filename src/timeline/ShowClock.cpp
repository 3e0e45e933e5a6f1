// Storage of the show's clock values.
#include "timeline/ShowClock.h"

#include <algorithm>
#include <cmath>

float ShowTime = 0;
float FrameDelta = 0;
float FramesPerSecond = 0;
bool ExitRequested = false;

SimulationSteps SplitFrame(float frameDelta) {
  if (!(frameDelta > 0.0f)) return {};
  const float simulated = std::min(frameDelta, MaxSimulatedFrame);
  // In double, 1.0f / 60 * 60 is 1.00000005 and would round up to two steps: a step is allowed
  // to be a hundredth of a percent longer than 1/60 s so that the design rate takes exactly one.
  const double sixtieths = static_cast<double>(simulated) * 60.0;
  const int count = std::max(1, static_cast<int>(std::ceil(sixtieths - 1.0e-4)));
  return {count, count == 1 ? simulated : simulated / static_cast<float>(count)};
}

float FactorForStep(float factorPerSixtieth, float sixtieths) {
  return sixtieths == 1.0f ? factorPerSixtieth : std::pow(factorPerSixtieth, sixtieths);
}
