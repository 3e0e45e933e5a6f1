// The sound in the room: an SDL recording device whose samples wait for the main thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class TSoundCapture {
 public:
  static constexpr int Rate = 44100;

  TSoundCapture() = default;
  ~TSoundCapture();
  TSoundCapture(const TSoundCapture&) = delete;
  TSoundCapture& operator=(const TSoundCapture&) = delete;

  // Opens a recording device at Rate, mono: device empty for the system's default, else the
  // first device whose name contains it. False with the reason (and the devices there are).
  bool Open(const std::string& device, std::string& error);
  bool IsOpen() const { return device_ != 0; }
  const std::string& DeviceName() const { return name_; }
  // Moves the samples that arrived since the last call into out (main thread).
  void Take(std::vector<float>& out);
  // True once the device stopped (unplugged, its server gone).
  bool Lost() const;
  // Samples thrown away because the main thread fell behind by more than a few seconds.
  long Overruns() const { return overruns_.load(); }
  // Readable (poll) while samples wait.
  int WakeDescriptor() const { return wake_; }
  void Close();

  // The recording devices SDL sees (empty when it has no audio).
  static std::vector<std::string> Devices();

 private:
  static void OnSamples(void* self, uint8_t* stream, int bytes);

  uint32_t device_ = 0;
  std::string name_;
  int wake_ = -1;
  std::mutex mutex_;
  std::vector<float> waiting_;
  std::atomic<long> overruns_{0};
};
