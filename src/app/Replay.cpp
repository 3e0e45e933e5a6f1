// Replay: a recorded live set drawn on its own recorded clock and captured frame by frame.
#include "app/Replay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/FramePipeline.h"
#include "app/ProgressLine.h"
#include "app/VideoPipe.h"
#include "live/LiveAssets.h"
#include "live/LiveFrame.h"
#include "live/SetRecording.h"
#include "live/StreamPackets.h"
#include "platform/GL.h"
#include "platform/Window.h"
#include "render/RenderState.h"
#include "app/PresentedFrame.h"
#include "timeline/ShowClock.h"

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
  FramePipeline frames([pipe](const FrameTag&, const std::vector<uint8_t>& pixels) {
    return std::fwrite(pixels.data(), 1, pixels.size(), pipe) == pixels.size();
  });
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
        PresentShowFrameNow();
        ++tick;
      } else {
        ClearStreamValues(StreamValues);
        std::copy(set[next].values.begin(), set[next].values.end(), StreamValues.begin());
        DrawLiveFrame();
        ++next;
      }
    }
    if (!frames.Add({frame, static_cast<float>(time)})) writeFailed = true;
    progress.Update(frame + 1);
    if (QuitRequested()) {
      std::fprintf(stderr, "\nvantrel: interrupted at %.2f s of the set\n", time);
      break;
    }
  }
  if (!frames.Finish()) writeFailed = true;
  progress.Update(total, true);
  std::fprintf(stderr, "vantrel: replayed %zu packets and %ld timer frames\n", next, tick - 1);
  return FinishVideo(pipe, writeFailed, options.output);
}
