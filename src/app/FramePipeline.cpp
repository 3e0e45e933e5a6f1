// The capture pipeline: a pixel-buffer ring on the GL thread, a bounded queue, one writer thread.
#include "app/FramePipeline.h"

#include <algorithm>

#include "app/FrameReadback.h"
#include "platform/PixelReadback.h"
#include "platform/ShowFrame.h"

namespace {
// Frames GL may still be reading back while the next is drawn: two keep the drawing from waiting
// on the read-back of the frame just finished.
constexpr int ReadbackSlots = 2;
// Frames read back and waiting for the writer: enough to ride out a slow write, few enough that a
// writer far behind holds the drawing back instead of filling memory.
constexpr size_t WaitingFrames = 3;
size_t FrameBytes() { return static_cast<size_t>(ShowFrameWidth()) * ShowFrameHeight() * 4; }
}  // namespace

FramePipeline::FramePipeline(FrameWriter writer)
    : writer_(std::move(writer)),
      pixelBuffers_(StartPixelReadback(ReadbackSlots, ShowFrameWidth(), ShowFrameHeight())),
      thread_([this] { WriterLoop(); }) {}

FramePipeline::~FramePipeline() { Finish(); }

bool FramePipeline::Add(const FrameTag& tag) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_) return false;
  }
  if (!pixelBuffers_) {
    // Without pixel buffers the read-back waits for the frame; the writing still runs beside it.
    Frame frame{tag, {}};
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!spare_.empty()) {
        frame.bottomUp.swap(spare_.back());
        spare_.pop_back();
      }
    }
    frame.bottomUp.resize(FrameBytes());
    ReadFrameBottomUp(frame.bottomUp.data());
    Hand(std::move(frame));
    return true;
  }
  if (PixelReadbackFull()) TakeOldestReadback();
  QueuePixelReadback();
  inFlight_.push_back(tag);
  return true;
}

void FramePipeline::TakeOldestReadback() {
  Frame frame{inFlight_.front(), {}};
  inFlight_.pop_front();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!spare_.empty()) {
      frame.bottomUp.swap(spare_.back());
      spare_.pop_back();
    }
  }
  frame.bottomUp.resize(FrameBytes());
  if (!TakePixelReadback(frame.bottomUp.data())) {
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true;
    changed_.notify_all();
    return;
  }
  Hand(std::move(frame));
}

// Waits for room in the queue (or a failed writer) and queues the frame for writing.
void FramePipeline::Hand(Frame frame) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return failed_ || waiting_.size() < WaitingFrames; });
  if (failed_) return;
  waiting_.push_back(std::move(frame));
  changed_.notify_all();
}

bool FramePipeline::Finish() {
  if (finished_) return !failed_;
  finished_ = true;
  while (!inFlight_.empty()) TakeOldestReadback();
  StopPixelReadback();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  thread_.join();
  return !failed_;
}

void FramePipeline::WriterLoop() {
  std::vector<uint8_t> topDown;
  for (;;) {
    Frame frame;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return closing_ || failed_ || !waiting_.empty(); });
      if (failed_ || waiting_.empty()) return;
      frame = std::move(waiting_.front());
      waiting_.pop_front();
      changed_.notify_all();
    }
    UprightInOutput(frame.bottomUp.data(), topDown);
    const bool written = writer_(frame.tag, topDown);
    std::lock_guard<std::mutex> lock(mutex_);
    spare_.push_back(std::move(frame.bottomUp));
    if (!written) {
      failed_ = true;
      waiting_.clear();
      changed_.notify_all();
      return;
    }
  }
}
