// Offscreen modes: loads the show and hands it to capture, replay, frames or the timedemo.
#include "app/OffscreenModes.h"

#include <cstdio>
#include <string>

#include "app/Capture.h"
#include "app/FrameReadback.h"
#include "app/Loading.h"
#include "app/Replay.h"
#include "app/Timedemo.h"
#include "app/Version.h"
#include "platform/DataFiles.h"
#include "timeline/Random.h"

int RunOffscreenMode(const ProgramOptions& options) {
  const std::string musicPath = DataFilePath("music.mp3");

  SetShowTimeReseeding(true);
  // The frame is made at the picture's size before loading: the render textures follow its scale.
  if (options.width > 0) {
    SetOutputSize(options.width, options.height);
    const PictureRect picture = OutputPicture();
    CreateShowFrame(picture.width, picture.height);
    SetDrawingViewport();
  }
  LoadAssets();
  const double loadSeconds = SecondsSinceProgramStart() - FixedHoldSeconds();

  int exitCode = 1;
  switch (options.mode) {
    case ProgramOptions::Mode::Capture:
      exitCode = options.replay.empty() ? RunCapture(options, musicPath) : RunReplayCapture(options, musicPath);
      break;
    case ProgramOptions::Mode::Frames:
      exitCode = RunFrames(options);
      break;
    case ProgramOptions::Mode::Timedemo:
      return RunTimedemo(loadSeconds);  // its header names the build
    default:
      return 1;
  }
  // Under the summary of what was written: which build made it, for figures and bug reports.
  if (exitCode == 0) std::fprintf(stderr, "vantrel: made by %s\n", VersionLine("vantrel").c_str());
  return exitCode;
}
