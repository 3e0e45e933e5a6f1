// Frame counts of fixed-step runs and the gentle-mode figure they end with.
#include "app/FixedStepShow.h"

#include <algorithm>
#include <cmath>

#include "show/FrameGuard.h"
#include "timeline/GentleFlashes.h"

long FramesInShow(int fps) { return static_cast<long>(std::floor(ShowLength * fps)) + 1; }

long FramesInRange(const ProgramOptions& options) {
  const long last = std::min(FramesInShow(options.fps) - 1,
                             static_cast<long>(std::floor(options.to * options.fps)));
  const long first = static_cast<long>(std::ceil(std::max(options.from, 0.0f) * options.fps));
  return std::max(last - first + 1, 1L);
}

void ReportSoftenedFrames() {
  if (GentleMode) std::fprintf(stderr, "vantrel: gentle mode softened %ld frames\n", GuardedFrameCount());
}
