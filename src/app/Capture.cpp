// Capture and frames: the fixed-step show read back frame by frame into ffmpeg or PNG files.
#include "app/Capture.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/FixedStepShow.h"
#include "app/FramePipeline.h"
#include "app/FrameReadback.h"
#include "app/PngWriter.h"
#include "app/ProgressLine.h"
#include "app/QuadYardstick.h"
#include "app/VideoPipe.h"
#include "platform/ShowFrame.h"
#include "platform/SteadyClock.h"

namespace {
// The wall time of the frames a capture draws, against the quad measured in the same run once the
// last frame is written and, for a video, the encoder has finished its file (before the first
// frame the quad's drawing could reach a frame that reads the frame buffer back; before the
// encoder is done it would share the machine with the encoder's tail), so that a capture's cost
// reads in the timedemo's unit.
class CaptureTiming {
 public:
  // The first frame of the range is about to be drawn.
  void FirstFrame() {
    if (!started_) start_ = SteadyClock::now();
    started_ = true;
  }
  void Report(long frames) {
    if (!started_ || frames <= 0) return;
    const double seconds = SecondsSince(start_);
    quad_.Measure();
    quad_.Measure();
    const double frameMs = 1000.0 * seconds / static_cast<double>(frames);
    const double quadMs = quad_.Median();
    std::fprintf(stderr, "vantrel: %ld frames of %d x %d in %.1f s of wall time: %.1f ms a frame, %.1f x quad (%.3f ms at %d x %d, this run)\n",
                 frames, OutputWidth(), OutputHeight(), seconds, frameMs, quadMs > 0 ? frameMs / quadMs : 0.0, quadMs,
                 DesignWidth, DesignHeight);
  }

 private:
  QuadYardstick quad_;
  SteadyClock::time_point start_{};
  bool started_ = false;
};
}  // namespace

int RunCapture(const ProgramOptions& options, const std::string& musicPath) {
  FILE* pipe = OpenVideoPipe(options, musicPath);
  if (!pipe) return 1;
  CaptureTiming timing;
  ProgressLine progress("capture", FramesInRange(options));
  long handed = 0;
  FramePipeline frames([pipe](const FrameTag&, const std::vector<uint8_t>& pixels) {
    return std::fwrite(pixels.data(), 1, pixels.size(), pipe) == pixels.size();
  });
  RunFixedStepShow(options.fps, options.from, [&](long frame) {
    if (ShowTime > options.to) return false;
    if (ShowTime < options.from) return true;
    timing.FirstFrame();
    if (!frames.Add({frame, ShowTime})) return false;
    progress.Update(++handed);
    return true;
  });
  const bool allWritten = frames.Finish();
  progress.Update(handed, true);
  // Until the file is whole: the encoder's tail is part of what a capture costs.
  const int status = FinishVideo(pipe, !allWritten, options.output);
  if (allWritten && status == 0) timing.Report(handed);
  return status;
}

int RunFrames(const ProgramOptions& options) {
  std::error_code error;
  std::filesystem::create_directories(options.output, error);
  if (!std::filesystem::is_directory(options.output, error)) {
    std::fprintf(stderr, "vantrel: cannot create the frames directory \"%s\"\n", options.output.c_str());
    return 1;
  }
  long written = 0;  // counted on the writer thread, read once it has finished
  FramePipeline frames([&](const FrameTag& tag, const std::vector<uint8_t>& pixels) {
    char name[64];
    std::snprintf(name, sizeof name, "/frame_%06ld_%08.3fs.png", tag.frame, tag.showTime);
    // Each frame gets its name once it is whole; a frame cut off (a full disk) is removed.
    const std::string path = options.output + name;
    const std::string partial = UnfinishedPath(path);
    std::string why;
    if (!WritePng(partial, pixels, OutputWidth(), OutputHeight(), why) || std::rename(partial.c_str(), path.c_str()) != 0) {
      if (why.empty()) why = std::strerror(errno);
      std::remove(partial.c_str());
      std::fprintf(stderr, "\nvantrel: cannot write %s (%s); the %ld frames before it are whole\n", path.c_str(),
                   why.c_str(), written);
      return false;
    }
    ++written;
    return true;
  });
  // Frames before the range are advanced without drawing (its last seconds drawn), so every
  // simulation reaches it in the state a whole run gives; nothing after the range is drawn.
  CaptureTiming timing;
  ProgressLine progress("frames", FramesInRange(options));
  long handed = 0;
  RunFixedStepShow(options.fps, options.from, [&](long frame) {
    if (ShowTime > options.to) return false;
    if (ShowTime < options.from) return true;
    timing.FirstFrame();
    progress.Update(++handed);
    return frames.Add({frame, ShowTime});
  });
  const bool failed = !frames.Finish();
  progress.Update(handed, true);
  if (failed) return 1;
  ReportSoftenedFrames();
  timing.Report(handed);
  std::fprintf(stderr, "vantrel: wrote %ld frames into %s\n", written, options.output.c_str());
  return 0;
}
