// Offscreen modes: loads the show and hands it to capture, replay, frames or the timedemo.
#include "app/OffscreenModes.h"

#include <string>

#include "app/Capture.h"
#include "app/FrameReadback.h"
#include "app/Loading.h"
#include "app/Replay.h"
#include "app/Timedemo.h"
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

  switch (options.mode) {
    case ProgramOptions::Mode::Capture:
      return options.replay.empty() ? RunCapture(options, musicPath) : RunReplayCapture(options, musicPath);
    case ProgramOptions::Mode::Frames:
      return RunFrames(options);
    case ProgramOptions::Mode::Timedemo:
      return RunTimedemo(loadSeconds);
    default:
      return 1;
  }
}
