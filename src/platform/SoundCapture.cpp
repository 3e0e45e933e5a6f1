// SDL's capture callback appends to a mutex-guarded buffer and wakes the main thread's poll.
#include "platform/SoundCapture.h"

#include <SDL2/SDL.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// Samples a callback brings: 512 at 44100 Hz, 11.6 ms.
constexpr int CallbackFrames = 512;
// What may wait for the main thread before the oldest is thrown away: four seconds.
constexpr size_t WaitingLimit = 4 * TSoundCapture::Rate;
}  // namespace

TSoundCapture::~TSoundCapture() { Close(); }

std::vector<std::string> TSoundCapture::Devices() {
  std::vector<std::string> names;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return names;
  const int count = SDL_GetNumAudioDevices(1);
  for (int i = 0; i < count; ++i)
    if (const char* name = SDL_GetAudioDeviceName(i, 1)) names.push_back(name);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return names;
}

bool TSoundCapture::Open(const std::string& device, std::string& error) {
  Close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = SDL_GetError();
    return false;
  }
  const char* chosen = nullptr;
  std::string listed;
  const int count = SDL_GetNumAudioDevices(1);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 1);
    if (!name) continue;
    listed += std::string(listed.empty() ? "" : ", ") + "\"" + name + "\"";
    if (!device.empty() && !chosen && std::string(name).find(device) != std::string::npos) chosen = name;
  }
  if (!device.empty() && !chosen) {
    error = "no recording device \"" + device + "\" (there are: " + (listed.empty() ? "none" : listed) + ")";
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  name_ = chosen ? chosen : "the default recording device";
  SDL_AudioSpec want{};
  want.freq = Rate;
  want.format = AUDIO_F32SYS;
  want.channels = 1;
  want.samples = CallbackFrames;
  want.callback = &TSoundCapture::OnSamples;
  want.userdata = this;
  SDL_AudioSpec have{};
  device_ = SDL_OpenAudioDevice(chosen, 1, &want, &have, 0);
  if (device_ == 0) {
    error = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void TSoundCapture::Close() {
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (wake_ >= 0) close(wake_);
  wake_ = -1;
}

void TSoundCapture::OnSamples(void* self, uint8_t* stream, int bytes) {
  auto* capture = static_cast<TSoundCapture*>(self);
  const auto* samples = reinterpret_cast<const float*>(stream);
  const size_t count = static_cast<size_t>(bytes) / sizeof(float);
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(capture->mutex_);
    if (capture->waiting_.size() + count > WaitingLimit) {
      capture->overruns_ += static_cast<long>(count);
      return;
    }
    wake = capture->waiting_.empty();
    capture->waiting_.insert(capture->waiting_.end(), samples, samples + count);
  }
  if (wake) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(capture->wake_, &one, sizeof one);
  }
}

void TSoundCapture::Take(std::vector<float>& out) {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t drained = read(wake_, &count, sizeof count);
  std::lock_guard<std::mutex> lock(mutex_);
  out.insert(out.end(), waiting_.begin(), waiting_.end());
  waiting_.clear();
}

bool TSoundCapture::Lost() const { return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED; }
