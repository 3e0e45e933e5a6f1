// Captured frames read back behind the drawing and written by a thread of their own, in order,
// so that neither the read-back nor the writing holds up the drawing of the next frame.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Which frame a picture is: its number at the run's frame rate and its show time.
struct FrameTag {
  long frame = 0;
  float showTime = 0;
};

// Called on the writer thread with each frame's opaque RGBA picture, top row first; returns
// false when the frame could not be written (the pipeline then writes nothing more).
using FrameWriter = std::function<bool(const FrameTag& tag, const std::vector<uint8_t>& rgbaTopDown)>;

class FramePipeline {
 public:
  explicit FramePipeline(FrameWriter writer);
  // Finishes what is queued.
  ~FramePipeline();
  FramePipeline(const FramePipeline&) = delete;
  FramePipeline& operator=(const FramePipeline&) = delete;

  // Starts reading back the frame just drawn (on the GL thread); false once a write has failed,
  // so the caller stops drawing.
  bool Add(const FrameTag& tag);
  // Reads back and writes every frame added, then stops the writer; false when any write failed.
  bool Finish();

 private:
  struct Frame {
    FrameTag tag;
    std::vector<uint8_t> bottomUp;
  };
  void TakeOldestReadback();
  void Hand(Frame frame);
  void WriterLoop();

  FrameWriter writer_;
  std::deque<FrameTag> inFlight_;  // tags of the frames queued in GL, oldest first
  bool pixelBuffers_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Frame> waiting_;       // read back, not yet written
  std::vector<std::vector<uint8_t>> spare_;  // buffers the writer is done with
  bool failed_ = false;
  bool closing_ = false;
  bool finished_ = false;
  std::thread thread_;
};
