// SDL2_mixer standing in for the original closed audio library.
#include "platform/Audio.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>

namespace {
struct SampleTableRecord {
  Mix_Chunk* handles[SampleSlots] = {};
  int count = 0;
};
SampleTableRecord SampleTable;
bool AudioOpen = false;
}  // namespace

bool InitAudio(const GLWindow& /*window*/) {
  if (AudioOpen) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  Mix_Init(MIX_INIT_MP3);
  if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) return false;
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
  return Mix_PlayChannel(channel, SampleTable.handles[index], 0);
}

int LoadedSampleCount() { return SampleTable.count; }

void CloseAudio() {
  if (!AudioOpen) return;
  Mix_HaltChannel(-1);
  for (int i = 0; i < SampleTable.count; ++i) Mix_FreeChunk(SampleTable.handles[i]);
  SampleTable = SampleTableRecord{};
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  AudioOpen = false;
}
