// Offscreen modes (capture, frames, timedemo): not written yet.
#include "shell/OffscreenModes.h"

#include <cstdio>

int RunOffscreenMode(const ProgramOptions&) {
  std::fprintf(stderr, "vantrel: this mode is not available yet\n");
  return 1;
}
