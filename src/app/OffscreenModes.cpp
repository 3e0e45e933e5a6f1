// Offscreen modes: loads the show and hands it to capture, replay, frames or the timedemo.
#include "app/OffscreenModes.h"

#include <filesystem>
#include <string>

#include "app/Capture.h"
#include "app/Loading.h"
#include "app/Replay.h"
#include "app/Timedemo.h"
#include "timeline/Random.h"

int RunOffscreenMode(const ProgramOptions& options) {
  // File names on the command line are relative to where the program was started; loading
  // changes into the data directory.
  ProgramOptions resolved = options;
  if (!resolved.output.empty()) resolved.output = std::filesystem::absolute(resolved.output).string();
  if (!resolved.replay.empty()) resolved.replay = std::filesystem::absolute(resolved.replay).string();
  const std::string musicPath = std::filesystem::absolute(DataDirectory() + "/music.mp3").string();

  SetShowTimeReseeding(true);
  LoadAssets();
  const double loadSeconds = SecondsSinceProgramStart() - FixedHoldSeconds();

  switch (resolved.mode) {
    case ProgramOptions::Mode::Capture:
      return resolved.replay.empty() ? RunCapture(resolved, musicPath) : RunReplayCapture(resolved, musicPath);
    case ProgramOptions::Mode::Frames:
      return RunFrames(resolved);
    case ProgramOptions::Mode::Timedemo:
      return RunTimedemo(loadSeconds);
    default:
      return 1;
  }
}
