// Offscreen modes: the show at a fixed step, read back into a video, PNG files or timing figures.
#include "app/OffscreenModes.h"

#include <png.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/Loading.h"
#include "live/LiveAssets.h"
#include "live/LiveFrame.h"
#include "live/SetRecording.h"
#include "live/StreamPackets.h"
#include "platform/GL.h"
#include "platform/Input.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "show/FrameGuard.h"
#include "show/Schedule.h"
#include "timeline/BeatClock.h"
#include "timeline/GentleFlashes.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
constexpr int FrameWidth = 800;
constexpr int FrameHeight = 600;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The frame buffer as RGBA rows, top row first (the order video and PNG files want).
void ReadFrameTopDown(std::vector<uint8_t>& pixels) {
  const size_t rowBytes = FrameWidth * 4;
  // Kept from frame to frame: a fresh 1.9 MB buffer a frame costs page faults on every frame.
  static std::vector<uint8_t> bottomUp;
  bottomUp.resize(rowBytes * FrameHeight);
  pixels.resize(bottomUp.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, FrameWidth, FrameHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  for (int row = 0; row < FrameHeight; ++row)
    std::copy_n(&bottomUp[(FrameHeight - 1 - row) * rowBytes], rowBytes, &pixels[row * rowBytes]);
  // The alpha channel of the frame buffer holds whatever blending left there; a picture is opaque.
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
}

bool WritePng(const std::string& path, const std::vector<uint8_t>& rgbaTopDown) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, FrameWidth, FrameHeight, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    for (int row = 0; row < FrameHeight; ++row)
      png_write_row(png, const_cast<png_bytep>(&rgbaTopDown[row * FrameWidth * 4]));
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return std::fclose(file) == 0 && ok;
}

bool ProgramOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Duration(double seconds) {
  const int total = static_cast<int>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", total / 60, total % 60);
  return text;
}

// Draws the show at a fixed step of 1 / fps and calls onFrame(frame) after each frame that lies
// within the show (ShowTime <= 207 s) until it returns false; the frame in which ShowTime passes
// 207 s is drawn, as in the run loop, but not handed on. The frames before from are not handed on
// either: those more than WarmUpSeconds before it are only advanced (every simulation, clock and
// random draw, nothing drawn), so a range late in the show costs little more than its own frames.
template <typename OnFrame>
void RunFixedStepShow(int fps, float from, OnFrame onFrame) {
  const long first = from > 0 ? AdvanceShowTo(from, fps) : 0;
  for (long frame = first;; ++frame) {
    ShowTime = static_cast<float>(static_cast<double>(frame) / fps);
    FrameDelta = 1.0f / fps;
    FramesPerSecond = static_cast<float>(fps);
    DrawShowFrame();
    if (ShowTime > ShowLength || !onFrame(frame)) break;
    // SDL turns SIGINT and SIGTERM into a quit request: stop and finish what was written.
    if (QuitRequested()) {
      std::fprintf(stderr, "\nvantrel: interrupted at %.2f s of show time\n", ShowTime);
      break;
    }
  }
}

class ProgressLine {
 public:
  ProgressLine(const char* what, long total)
      : what_(what), total_(total), start_(Clock::now()), terminal_(isatty(STDERR_FILENO)) {}
  // On a terminal the line is rewritten twice a second; into a file, one line every 30 s.
  void Update(long done, bool last = false) {
    const double elapsed = SecondsSince(start_);
    if (!last && elapsed - lastPrint_ < (terminal_ ? 0.5 : 30.0)) return;
    lastPrint_ = elapsed;
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const double left = rate > 0 ? (total_ - done) / rate : 0;
    std::fprintf(stderr, "%s%s: %5.1f%%  frame %ld/%ld  %5.1f fps  %s left   %s",
                 terminal_ ? "\r" : "", what_, 100.0 * done / total_, done, total_, rate,
                 Duration(left).c_str(), terminal_ && !last ? "" : "\n");
    std::fflush(stderr);
  }

 private:
  const char* what_;
  long total_;
  Clock::time_point start_;
  bool terminal_;
  double lastPrint_ = -1;
};

long FramesInShow(int fps) { return static_cast<long>(std::floor(ShowLength * fps)) + 1; }

// The frames whose show time lies in [from, to] (at least 1, for the progress line).
long FramesInRange(const ProgramOptions& options) {
  const long last = std::min(FramesInShow(options.fps) - 1,
                             static_cast<long>(std::floor(options.to * options.fps)));
  const long first = static_cast<long>(std::ceil(std::max(options.from, 0.0f) * options.fps));
  return std::max(last - first + 1, 1L);
}

}  // namespace

bool CaptureCanStart(const ProgramOptions& options) {
  if (!ProgramOnPath("ffmpeg")) {
    std::fprintf(stderr,
                 "vantrel: capture needs ffmpeg, which was not found on PATH "
                 "(install it with: apt-get install ffmpeg)\n");
    return false;
  }
  FILE* probe = std::fopen(options.output.c_str(), "wb");
  if (!probe) {
    std::fprintf(stderr, "vantrel: cannot write the capture file \"%s\"\n", options.output.c_str());
    return false;
  }
  std::fclose(probe);
  return true;
}

namespace {

// ffmpeg reading raw 800 x 600 RGBA frames at fps from the pipe, with the music muxed in when
// there is some; null after saying why.
FILE* OpenVideoPipe(const ProgramOptions& options, const std::string& musicPath) {
  std::string command = "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgba -s 800x600 -r " +
                        std::to_string(options.fps) + " -i -";
  const bool haveMusic = access(musicPath.c_str(), R_OK) == 0;
  // A capture that starts later in the show takes the music from the same moment.
  char musicStart[48] = "";
  if (options.from > 0) std::snprintf(musicStart, sizeof musicStart, " -ss %.6f", options.from);
  if (haveMusic)
    command += std::string(musicStart) + " -i " + ShellQuote(musicPath) +
               " -map 0:v -map 1:a -c:a aac -b:a 192k -shortest";
  command += " -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -movflags +faststart " +
             ShellQuote(options.output);
  FILE* pipe = popen(command.c_str(), "w");
  if (!pipe) std::fprintf(stderr, "vantrel: could not start ffmpeg\n");
  return pipe;
}

// How many frames the flash guard softened, in gentle mode.
void ReportSoftenedFrames() {
  if (GentleMode) std::fprintf(stderr, "vantrel: gentle mode softened %ld frames\n", GuardedFrameCount());
}

int FinishVideo(FILE* pipe, bool writeFailed, const std::string& output) {
  ReportSoftenedFrames();
  const int status = pclose(pipe);
  if (writeFailed || status != 0) {
    std::fprintf(stderr, "\nvantrel: ffmpeg failed to write \"%s\"\n", output.c_str());
    return 1;
  }
  std::fprintf(stderr, "vantrel: wrote %s\n", output.c_str());
  return 0;
}

int RunCapture(const ProgramOptions& options, const std::string& musicPath) {
  FILE* pipe = OpenVideoPipe(options, musicPath);
  if (!pipe) return 1;
  std::vector<uint8_t> pixels;
  bool writeFailed = false;
  ProgressLine progress("capture", FramesInRange(options));
  long written = 0;
  RunFixedStepShow(options.fps, options.from, [&](long) {
    if (ShowTime > options.to) return false;
    if (ShowTime < options.from) return true;
    ReadFrameTopDown(pixels);
    if (std::fwrite(pixels.data(), 1, pixels.size(), pipe) != pixels.size()) writeFailed = true;
    ++written;
    progress.Update(written);
    return !writeFailed;
  });
  progress.Update(written, true);
  return FinishVideo(pipe, writeFailed, options.output);
}

// A recorded set rendered as the live mode would have shown it: every packet draws its live frame
// at its recorded time, the timer draws a show frame at every 500 ms of recorded time (ShowTime
// and FrameDelta from that clock, as the live mode's timer sets them), and each video frame shows
// the last frame drawn at or before its time. Nothing reads a wall clock, so a set renders the
// same way every time.
int RunReplayCapture(const ProgramOptions& options, const std::string& musicPath) {
  constexpr double TimerSeconds = 0.5;
  std::vector<RecordedPacket> set;
  std::string error;
  if (!ReadSetRecording(options.replay, set, error)) {
    std::fprintf(stderr, "vantrel: %s\n", error.c_str());
    return 1;
  }
  FILE* pipe = OpenVideoPipe(options, musicPath);
  if (!pipe) return 1;
  CreateLiveAssets();
  ClearStreamValues(StreamValues);
  ShowTime = 0;
  FrameDelta = 0;
  // Black until the first packet or timer frame.
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  PresentFrame(MainWindow);

  const double end = set.empty() ? 0.0 : set.back().time;
  // Up to the first video frame at or after the last packet, so that its frame is seen.
  const long total = static_cast<long>(std::ceil(end * options.fps)) + 1;
  std::vector<uint8_t> pixels;
  bool writeFailed = false;
  ProgressLine progress("replay", total);
  size_t next = 0;
  long tick = 1;
  for (long frame = 0; frame < total && !writeFailed; ++frame) {
    const double time = static_cast<double>(frame) / options.fps;
    for (;;) {
      const double tickTime = TimerSeconds * static_cast<double>(tick);
      const double packetTime = next < set.size() ? set[next].time : INFINITY;
      if (std::min(tickTime, packetTime) > time) break;
      if (tickTime <= packetTime) {
        ShowTime = static_cast<float>(tickTime);
        FrameDelta = static_cast<float>(TimerSeconds);
        DrawShowFrame();
        ++tick;
      } else {
        ClearStreamValues(StreamValues);
        std::copy(set[next].values.begin(), set[next].values.end(), StreamValues.begin());
        DrawLiveFrame();
        ++next;
      }
    }
    ReadFrameTopDown(pixels);
    if (std::fwrite(pixels.data(), 1, pixels.size(), pipe) != pixels.size()) writeFailed = true;
    progress.Update(frame + 1);
    if (QuitRequested()) {
      std::fprintf(stderr, "\nvantrel: interrupted at %.2f s of the set\n", time);
      break;
    }
  }
  progress.Update(total, true);
  std::fprintf(stderr, "vantrel: replayed %zu packets and %ld timer frames\n", next, tick - 1);
  return FinishVideo(pipe, writeFailed, options.output);
}

int RunFrames(const ProgramOptions& options) {
  std::error_code error;
  std::filesystem::create_directories(options.output, error);
  if (!std::filesystem::is_directory(options.output, error)) {
    std::fprintf(stderr, "vantrel: cannot create the frames directory \"%s\"\n", options.output.c_str());
    return 1;
  }
  std::vector<uint8_t> pixels;
  long written = 0;
  bool failed = false;
  // Frames before the range are advanced without drawing (its last seconds drawn), so every
  // simulation reaches it in the state a whole run gives; nothing after the range is drawn.
  ProgressLine progress("frames", FramesInRange(options));
  long handed = 0;
  RunFixedStepShow(options.fps, options.from, [&](long frame) {
    if (ShowTime > options.to) return false;
    if (ShowTime < options.from) return true;
    progress.Update(++handed);
    ReadFrameTopDown(pixels);
    char name[64];
    std::snprintf(name, sizeof name, "/frame_%06ld_%08.3fs.png", frame, ShowTime);
    if (!WritePng(options.output + name, pixels)) {
      std::fprintf(stderr, "\nvantrel: cannot write %s%s\n", options.output.c_str(), name);
      failed = true;
      return false;
    }
    ++written;
    return true;
  });
  progress.Update(handed, true);
  if (failed) return 1;
  ReportSoftenedFrames();
  std::fprintf(stderr, "vantrel: wrote %ld frames into %s\n", written, options.output.c_str());
  return 0;
}

struct SceneTimes {
  std::vector<double> milliseconds;
};

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t index = static_cast<size_t>(std::ceil(fraction * values.size())) - 1;
  return values[std::min(index, values.size() - 1)];
}

// The yardstick that makes figures from different machines comparable: one full-screen
// (800 x 600) textured, additively blended quad, each timed alone between two glFinish calls.
class QuadYardstick {
 public:
  // A handful of quads every few seconds of the show, so the unit follows the machine's load
  // through the run just as the frames do.
  void Measure() {
    Begin2D();
    for (int i = 0; i < 4; ++i) {
      glFinish();
      const Clock::time_point start = Clock::now();
      DrawImageAdditive(LogoTexture, {1, 1, 1, 1}, 0, 0, FrameWidth, FrameHeight);
      glFinish();
      milliseconds_.push_back(SecondsSince(start) * 1000.0);
    }
    End2D();
  }
  double Median() const { return Percentile(milliseconds_, 0.5); }
  size_t Count() const { return milliseconds_.size(); }

 private:
  std::vector<double> milliseconds_;
};

// A row of the timedemo: the scene's number and name from the scene table; -1 is the ending.
std::string TimedemoRowName(int scene) {
  if (scene < 0) return "ending";
  const ShowScene* found = FindShowScene(scene);
  return std::to_string(scene) + " " + (found ? found->name : "-");
}

int RunTimedemo(double loadSeconds) {
  constexpr int Fps = 60;
  constexpr long QuadEveryFrames = 120;
  std::map<int, SceneTimes> scenes;  // scene number; -1 stands for the ending
  std::vector<double> all;
  QuadYardstick quad;
  Clock::time_point frameStart = Clock::now();
  SetFrameHook([] { glFinish(); });
  RunFixedStepShow(Fps, 0.0f, [&](long frame) {
    const double ms = SecondsSince(frameStart) * 1000.0;
    const int scene = ShowTime >= EndingStartTime ? -1 : CurrentScene;
    scenes[scene].milliseconds.push_back(ms);
    all.push_back(ms);
    // Drawn over the finished frame, which the next frame clears; outside the frame's timing.
    if (frame % QuadEveryFrames == 0) quad.Measure();
    frameStart = Clock::now();
    return true;
  });
  SetFrameHook({});

  const double quadMs = quad.Median();
  const auto inQuads = [quadMs](double ms) { return quadMs > 0 ? ms / quadMs : 0.0; };
  std::printf("%-22s %8s %12s %12s %14s %14s\n", "scene", "frames", "median ms", "p95 ms",
              "median x quad", "p95 x quad");
  int worstScene = 0;
  double worstMedian = -1;
  for (const auto& [scene, times] : scenes) {
    const double median = Percentile(times.milliseconds, 0.5);
    const double p95 = Percentile(times.milliseconds, 0.95);
    const std::string name = TimedemoRowName(scene);
    std::printf("%-22s %8zu %12.2f %12.2f %14.1f %14.1f\n", name.c_str(), times.milliseconds.size(),
                median, p95, inQuads(median), inQuads(p95));
    if (median > worstMedian) {
      worstMedian = median;
      worstScene = scene;
    }
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("quad: %.3f ms (median of %zu full-screen textured additive quads at 800 x 600)\n",
              quadMs, quad.Count());
  std::printf("loading: %.2f s (without the fixed splash and progress frames)\n", loadSeconds);
  std::printf("peak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
  const std::string worstName = TimedemoRowName(worstScene);
  const double median = Percentile(all, 0.5);
  const double p95 = Percentile(all, 0.95);
  std::printf(
      "timedemo: median %.1f ms (%.1f x quad), p95 %.1f ms (%.1f x quad), worst scene %s "
      "(%.1f ms, %.1f x quad)\n",
      median, inQuads(median), p95, inQuads(p95), worstName.c_str(), worstMedian,
      inQuads(worstMedian));
  return 0;
}
}  // namespace

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
