// SDL2_mixer standing in for the original closed audio library.
#include "platform/Audio.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

#include "platform/PlaybackClock.h"

namespace {
struct SampleTableRecord {
  Mix_Chunk* handles[SampleSlots] = {};
  int count = 0;
};
SampleTableRecord SampleTable;
bool AudioOpen = false;
int OutputRate = 44100;
int BytesPerFrame = 4;

// The music as heard: the last sample PlaySample started, stamped buffer by buffer from the
// mixer's thread (the channel effect below) and read from the main thread.
struct HeardRecord {
  std::mutex lock;
  bool playing = false;
  double startedAt = 0;  // wall seconds when PlaySample started it
  long framesMixed = 0;  // frames of it handed to the device so far
  PlaybackClock clock;
};
HeardRecord Heard;

double WallSeconds() {
  static const auto epoch = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch).count();
}

// A buffer leaves the mixer while the one before it is still playing, so the first frame of the
// buffer being filled is heard one buffer later.
double OutputDelay() { return static_cast<double>(MixBufferFrames) / OutputRate; }

// Runs on the mixer's thread for every buffer in which the tracked channel plays, before the
// buffer goes to the device; the first call is the buffer that starts the sample.
void StampBuffer(int /*channel*/, void* /*stream*/, int length, void* /*user*/) {
  const double wall = WallSeconds();
  std::lock_guard<std::mutex> hold(Heard.lock);
  Heard.clock.Buffer(wall, static_cast<double>(Heard.framesMixed) / OutputRate, OutputDelay());
  Heard.framesMixed += length / BytesPerFrame;
}
}  // namespace

bool InitAudio(const GLWindow& /*window*/) {
  if (AudioOpen) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  Mix_Init(MIX_INIT_MP3);
  if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, MixBufferFrames) != 0) return false;
  int frequency = 0, channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&frequency, &format, &channels);
  OutputRate = frequency > 0 ? frequency : 44100;
  BytesPerFrame = std::max(1, channels * static_cast<int>(SDL_AUDIO_BITSIZE(format)) / 8);
  Mix_AllocateChannels(8);
  Mix_Resume(-1);
  AudioOpen = true;
  return true;
}

int LoadSample(const char* fileName) {
  if (!AudioOpen || SampleTable.count >= SampleSlots) return -1;
  Mix_Chunk* chunk = Mix_LoadWAV(fileName);
  if (!chunk) return -1;
  SampleTable.handles[SampleTable.count] = chunk;
  return SampleTable.count++;
}

int PlaySample(int index, int volume, int pan) {
  if (!AudioOpen || index < 0 || index >= SampleTable.count) return -1;
  const int channel = Mix_GroupAvailable(-1);
  if (channel < 0) return -1;
  // Volume and panning are set on the free channel before it starts, so no sample plays at
  // the wrong level.
  Mix_Volume(channel, std::clamp(volume, 0, 100) * MIX_MAX_VOLUME / 100);
  const float share = std::clamp(pan, -100, 100) / 100.0f;
  const Uint8 left = static_cast<Uint8>(255 * std::min(1.0f, 1.0f - share));
  const Uint8 right = static_cast<Uint8>(255 * std::min(1.0f, 1.0f + share));
  Mix_SetPanning(channel, left, right);
  // The heard clock restarts with this sample. Its stamp effect is registered before the
  // channel starts, so the buffer that starts the sample is the first one stamped; SDL_mixer
  // drops the effect when the channel stops.
  {
    std::lock_guard<std::mutex> hold(Heard.lock);
    Heard.playing = false;
    Heard.framesMixed = 0;
    Heard.clock = PlaybackClock{};
  }
  Mix_RegisterEffect(channel, StampBuffer, nullptr, nullptr);
  const int playing = Mix_PlayChannel(channel, SampleTable.handles[index], 0);
  if (playing >= 0) {
    std::lock_guard<std::mutex> hold(Heard.lock);
    Heard.playing = true;
    Heard.startedAt = WallSeconds();
  } else {
    Mix_UnregisterEffect(channel, StampBuffer);
  }
  return playing;
}

double HeardMusicSeconds() {
  const double wall = WallSeconds();
  std::lock_guard<std::mutex> hold(Heard.lock);
  if (!Heard.playing) return std::nan("");
  if (!Heard.clock.Started()) {
    // Not yet mixed: the sample's first frame is at least one buffer away. A device that never
    // asks for sound leaves the show on its own clock after half a second.
    return wall - Heard.startedAt < 0.5 ? -OutputDelay() : std::nan("");
  }
  return Heard.clock.Heard(wall);
}

int LoadedSampleCount() { return SampleTable.count; }

void CloseAudio() {
  if (!AudioOpen) return;
  Mix_HaltChannel(-1);
  {
    std::lock_guard<std::mutex> hold(Heard.lock);
    Heard.playing = false;
  }
  for (int i = 0; i < SampleTable.count; ++i) Mix_FreeChunk(SampleTable.handles[i]);
  SampleTable = SampleTableRecord{};
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  AudioOpen = false;
}
