// Sound through SDL2_mixer: the sample table, playing from a point, the playback clock.
#include "platform/Audio.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/CrashReport.h"
#include "platform/DataFiles.h"
#include "platform/PlaybackClock.h"
#include "platform/ServerLatency.h"
#include "platform/SteadyClock.h"

namespace {
struct SampleTableRecord {
  Mix_Chunk* handles[SampleSlots] = {};
  int count = 0;
};
SampleTableRecord SampleTable;
bool AudioOpen = false;
int ListeningPercent = 100;
// The device the mixer opened (it does not say which; the one device playing after it opened).
SDL_AudioDeviceID MixerDevice = 0;
int OutputRate = 44100;
int BytesPerFrame = 4;
// The sound server's own latency for our stream, where a PulseAudio-protocol server plays it.
std::unique_ptr<ServerLatency> Latency;
// Buffers that reached the device after what it held had run out, counted from the stamps.
long Underruns = 0;

// The music as heard: the last sample PlaySample started. The mixer's thread stamps each buffer
// it mixes of it (the channel effect below) into a ring that it alone writes, without a lock, so
// a main thread that is descheduled at the wrong moment can never hold up the sound; the main
// thread feeds the stamps to the clock when it reads it. The ring wraps every 6 s and the main
// thread reads no more than its newest half, but nothing orders its read of a slot before the
// mixer's next write of it, so the slot's fields are atomics (relaxed: written's release and
// acquire publish them).
struct Stamp {
  std::atomic<double> wall{0};       // when the buffer was mixed
  std::atomic<long> framesBefore{0};  // frames of the sample mixed before this buffer
};
static_assert(std::atomic<double>::is_always_lock_free && std::atomic<long>::is_always_lock_free);
constexpr uint32_t StampSlots = 256;  // 6 s of buffers; the main thread reads every frame
struct HeardRecord {
  bool playing = false;
  int channel = -1;
  int volume = 100;  // the level it was started at, before the listening volume
  double startedAt = 0;  // wall seconds when PlaySample started it
  Stamp stamps[StampSlots];
  std::atomic<uint32_t> written{0};  // stamps written (the mixer's thread)
  uint32_t read = 0;                 // stamps handed to the clock (the main thread)
  long framesMixed = 0;              // the mixer's thread only, once the sample plays
  double previousStampWall = -1;     // the main thread's: the last stamp read (none: -1)
  PlaybackClock clock;
  // The main thread's watch on the device: a sample that stops being stamped before its end
  // means the device stopped taking sound (the sound server died, the device was unplugged).
  long sampleFrames = 0;     // frames in the sample playing
  long stampedFrames = 0;    // frames of it in the stamps read so far
  double lastNewStamp = 0;   // wall seconds when the newest stamp was read
  bool silent = false;       // the device has stopped taking sound
};
HeardRecord Heard;

// Seconds on the steady clock since the sound's first use; the mixer's thread reads it too (the
// epoch is set once, thread-safely, by whichever thread comes first).
double WallSeconds() {
  static const SteadyClock::time_point epoch = SteadyClock::now();
  return SecondsSince(epoch);
}

// A device that takes no buffer of a playing sample for this long has stopped taking sound.
constexpr double SilenceLimit = 1.0;

double BufferSeconds() { return static_cast<double>(MixBufferFrames) / OutputRate; }

// From the moment a buffer is mixed to the moment its first frame is heard: what the sound
// server reports for our stream (its buffer plus its sink's latency) where one answers; else a
// buffer leaves the mixer while the one before it is still playing, so the first frame of the
// buffer being filled is heard one buffer later.
double OutputDelay() {
  const double reported = Latency ? Latency->Seconds() : std::nan("");
  return std::isnan(reported) ? BufferSeconds() : reported;
}

// A late buffer: the device had played all it held before the mixer handed it over. After a
// buffer is handed over the device holds it and what was queued before it: the server's buffer
// where one reports it, else the buffer still playing.
constexpr double UnderrunTolerance = 0.002;
bool ArrivedLate(double gap) {
  const double queued = Latency ? Latency->BufferSeconds() : std::nan("");
  return gap > BufferSeconds() + (std::isnan(queued) ? BufferSeconds() : queued) + UnderrunTolerance;
}

// The mixer's thread runs at real-time priority: -1 not yet known, 0 no, 1 yes.
std::atomic<int> MixerRealTime{-1};

// Raises the calling thread (the mixer's) to round-robin real-time scheduling where the system
// allows it (as root, or with an rtprio limit), once; SDL asks only through RealtimeKit, which a
// machine without a session bus lacks. A short, fixed amount of work a buffer, it cannot starve
// the rest of the machine.
void RaiseMixerThread() {
  thread_local bool tried = false;
  if (tried) return;
  tried = true;
  int policy = 0;
  sched_param current{};
  if (pthread_getschedparam(pthread_self(), &policy, &current) == 0 && (policy == SCHED_RR || policy == SCHED_FIFO)) {
    MixerRealTime.store(1, std::memory_order_relaxed);
    return;
  }
  sched_param raised{};
  raised.sched_priority = std::min(10, sched_get_priority_max(SCHED_RR));
  MixerRealTime.store(pthread_setschedparam(pthread_self(), SCHED_RR, &raised) == 0 ? 1 : 0, std::memory_order_relaxed);
}

// Runs on the mixer's thread for every buffer in which the tracked channel plays, before the
// buffer goes to the device; the first call is the buffer that starts the sample.
void StampBuffer(int /*channel*/, void* /*stream*/, int length, void* /*user*/) {
  RaiseMixerThread();
  const uint32_t index = Heard.written.load(std::memory_order_relaxed);
  Stamp& stamp = Heard.stamps[index % StampSlots];
  stamp.wall.store(WallSeconds(), std::memory_order_relaxed);
  stamp.framesBefore.store(Heard.framesMixed, std::memory_order_relaxed);
  Heard.written.store(index + 1, std::memory_order_release);
  Heard.framesMixed += length / BytesPerFrame;
}

void StopOffsetPlayback();

// Stops stamping the sample that played last (afterwards no stamp is being written).
void StopStamping() {
  if (Heard.channel >= 0) Mix_UnregisterEffect(Heard.channel, StampBuffer);
  Heard.channel = -1;
  Heard.playing = false;
}
}  // namespace

namespace {
// Opens the device the environment names and starts asking its server for its latency.
bool OpenDevice() {
  // The music's stream as a sound server lists it, and the mixer's thread at real-time priority
  // where the system allows it (as root, or through RealtimeKit), so that a busy machine does not
  // starve it.
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Vantrel Kelvara");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Music");
  SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, MixBufferFrames) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  int frequency = 0, channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&frequency, &format, &channels);
  OutputRate = frequency > 0 ? frequency : 44100;
  BytesPerFrame = std::max(1, channels * static_cast<int>(SDL_AUDIO_BITSIZE(format)) / 8);
  Mix_AllocateChannels(8);
  Mix_Resume(-1);
  MixerDevice = 0;
  for (SDL_AudioDeviceID id = 1; id <= 32 && MixerDevice == 0; ++id)
    if (SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED) MixerDevice = id;
  // Only a server can report its latency; a dummy or file device has none to ask about.
  const char* driver = SDL_GetCurrentAudioDriver();
  const std::string name = driver ? driver : "";
  if (name != "dummy" && name != "disk") {
    Latency = std::make_unique<ServerLatency>();
    if (!Latency->Start()) Latency.reset();
  }
  return true;
}

// Closes the device, keeping the samples (they are in the device's format, which opening it again
// asks for anew).
void CloseDevice() {
  StopStamping();
  StopOffsetPlayback();
  Mix_HaltChannel(-1);
  Latency.reset();
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  MixerDevice = 0;
}

// The samples' format, kept so that a device opened again is known to play them as they are.
int OpenedRate = 0, OpenedBytesPerFrame = 0;
bool SamplesKept = false;  // the device was lost and closed; the samples wait for it
}  // namespace

bool InitAudio(const GLWindow& /*window*/) {
  if (AudioOpen) return true;
  Mix_Init(MIX_INIT_MP3);
  if (!OpenDevice()) return false;
  OpenedRate = OutputRate;
  OpenedBytesPerFrame = BytesPerFrame;
  AudioOpen = true;
  return true;
}

bool SoundDeviceLost() { return (AudioOpen && Heard.silent) || SamplesKept; }

bool ReopenAudio() {
  if (!SoundDeviceLost()) return false;
  if (AudioOpen) {
    CloseDevice();
    AudioOpen = false;
    SamplesKept = true;
  }
  if (!OpenDevice()) return false;
  if (OutputRate != OpenedRate || BytesPerFrame != OpenedBytesPerFrame) {
    // Opened in another format: the samples would play at the wrong speed.
    CloseDevice();
    return false;
  }
  AudioOpen = true;
  SamplesKept = false;
  Heard.silent = false;
  return true;
}

int LoadSample(const char* fileName) {
  if (!AudioOpen || SampleTable.count >= SampleSlots) return -1;
  Mix_Chunk* chunk = Mix_LoadWAV(DataFilePath(fileName).c_str());
  if (!chunk) return -1;
  SampleTable.handles[SampleTable.count] = chunk;
  return SampleTable.count++;
}

namespace {
// A chunk that plays a loaded sample from an offset: it points into the sample's own samples.
Mix_Chunk* OffsetChunk = nullptr;
int OffsetChannel = -1;

void StopOffsetPlayback() {
  if (OffsetChannel >= 0) Mix_HaltChannel(OffsetChannel);
  OffsetChannel = -1;
  if (OffsetChunk) Mix_FreeChunk(OffsetChunk);  // the samples themselves belong to the table
  OffsetChunk = nullptr;
}

// The byte offset of seconds into a chunk of the opened device's format, on a frame boundary.
Uint32 ByteOffset(const Mix_Chunk& chunk, double seconds) {
  if (!(seconds > 0) || BytesPerFrame <= 0) return 0;
  const double frames = std::floor(seconds * OutputRate);
  const double limit = static_cast<double>(chunk.alen / BytesPerFrame);
  return static_cast<Uint32>(std::min(frames, limit)) * static_cast<Uint32>(BytesPerFrame);
}

// A PlaySample level (0 to 100) under the listening volume, in SDL_mixer's units.
int MixerVolume(int volume) {
  return std::clamp(volume, 0, 100) * ListeningPercent * MIX_MAX_VOLUME / (100 * 100);
}

// Plays chunk once on a free channel and makes it the sample the heard clock follows.
int PlayTracked(Mix_Chunk* chunk, int volume, int pan) {
  const int channel = Mix_GroupAvailable(-1);
  if (channel < 0) return -1;
  // Volume and panning are set on the free channel before it starts, so no sample plays at
  // the wrong level.
  Mix_Volume(channel, MixerVolume(volume));
  const float share = std::clamp(pan, -100, 100) / 100.0f;
  const Uint8 left = static_cast<Uint8>(255 * std::min(1.0f, 1.0f - share));
  const Uint8 right = static_cast<Uint8>(255 * std::min(1.0f, 1.0f + share));
  Mix_SetPanning(channel, left, right);
  // The heard clock restarts with this sample. Its stamp effect is registered before the
  // channel starts, so the buffer that starts the sample is the first one stamped; SDL_mixer
  // drops the effect when the channel stops.
  StopStamping();
  Heard.written.store(0, std::memory_order_relaxed);
  Heard.read = 0;
  Heard.framesMixed = 0;
  Heard.previousStampWall = -1;
  Heard.clock = PlaybackClock{};
  Heard.sampleFrames = static_cast<long>(chunk->alen / static_cast<Uint32>(BytesPerFrame));
  Heard.stampedFrames = 0;
  Heard.silent = false;
  Mix_RegisterEffect(channel, StampBuffer, nullptr, nullptr);
  const int playing = Mix_PlayChannel(channel, chunk, 0);
  if (playing >= 0) {
    Heard.playing = true;
    Heard.channel = playing;
    Heard.volume = volume;
    Heard.startedAt = WallSeconds();
  } else {
    Mix_UnregisterEffect(channel, StampBuffer);
  }
  return playing;
}
}  // namespace

int PlaySample(int index, int volume, int pan) {
  if (!AudioOpen || index < 0 || index >= SampleTable.count) return -1;
  return PlayTracked(SampleTable.handles[index], volume, pan);
}

int PlaySampleFrom(int index, int volume, int pan, double seconds) {
  if (!AudioOpen || index < 0 || index >= SampleTable.count) return -1;
  StopOffsetPlayback();
  Mix_Chunk* sample = SampleTable.handles[index];
  const Uint32 offset = ByteOffset(*sample, seconds);
  if (offset >= sample->alen) return -1;
  OffsetChunk = Mix_QuickLoad_RAW(sample->abuf + offset, sample->alen - offset);
  if (!OffsetChunk) return -1;
  OffsetChannel = PlayTracked(OffsetChunk, volume, pan);
  return OffsetChannel;
}

double HeardMusicSeconds() {
  if (!Heard.playing) return std::nan("");
  const uint32_t written = Heard.written.load(std::memory_order_acquire);
  // Stamps not yet handed on; after a very long stall only the newest half of the ring (the
  // rest may be being overwritten).
  if (written - Heard.read > StampSlots / 2) Heard.read = written - StampSlots / 2;
  const double wall = WallSeconds();
  // A lost device is mixed for at the wall clock's pace into nothing: its stamps say nothing of
  // the sound heard, nor of its underruns.
  const bool lost = MixerDevice != 0 && SDL_GetAudioDeviceStatus(MixerDevice) == SDL_AUDIO_STOPPED;
  if (lost) Heard.read = written;
  if (Heard.read != written) {
    Heard.lastNewStamp = wall;
    if (Heard.silent) std::fprintf(stderr, "vantrel: the sound device takes sound again\n");
    Heard.silent = false;
  }
  for (; Heard.read != written; ++Heard.read) {
    const Stamp& stamp = Heard.stamps[Heard.read % StampSlots];
    const long framesBefore = stamp.framesBefore.load(std::memory_order_relaxed);
    const double stampWall = stamp.wall.load(std::memory_order_relaxed);
    if (Heard.previousStampWall >= 0 && ArrivedLate(stampWall - Heard.previousStampWall)) ++Underruns;
    Heard.previousStampWall = stampWall;
    Heard.clock.Buffer(stampWall, static_cast<double>(framesBefore) / OutputRate, OutputDelay());
    Heard.stampedFrames = framesBefore + MixBufferFrames;
  }
  // The device lost (SDL then goes on mixing into nothing at the wall clock's pace), or stamps
  // that stopped before the sample's end: the show goes on by its frame timer (NaN) and says so
  // once, rather than following a clock that no sound moves any more. A paused channel is
  // stamped no more either, and that is no fault.
  const bool paused = Heard.channel >= 0 && Mix_Paused(Heard.channel);
  if (paused) {
    Heard.lastNewStamp = wall;
    Heard.previousStampWall = -1;
  }
  if (lost || (Heard.clock.Started() && !paused && Heard.stampedFrames < Heard.sampleFrames &&
               wall - Heard.lastNewStamp > SilenceLimit)) {
    if (!Heard.silent)
      std::fprintf(stderr, "vantrel: the sound device stopped taking sound; the show goes on by its own timer\n");
    Heard.silent = true;
    return std::nan("");
  }
  if (!Heard.clock.Started()) {
    // Not yet mixed: the sample's first frame is at least one buffer away. A device that never
    // asks for sound leaves the show on its own clock after half a second.
    return wall - Heard.startedAt < 0.5 ? -OutputDelay() : std::nan("");
  }
  return Heard.clock.Heard(wall);
}

double StampedMusicSeconds() {
  if (!Heard.playing || !Heard.clock.Started()) return std::nan("");
  return Heard.clock.Target(WallSeconds());
}

void StopMusic() {
  if (!AudioOpen) return;
  const int channel = Heard.channel;
  StopStamping();
  StopOffsetPlayback();
  if (channel >= 0) Mix_HaltChannel(channel);
}

OutputLatency CurrentOutputLatency() {
  const double reported = Latency ? Latency->Seconds() : std::nan("");
  return {OutputDelay(), reported, !std::isnan(reported)};
}

long SoundUnderruns() { return Underruns; }

bool MixerAtRealTimePriority() { return MixerRealTime.load(std::memory_order_relaxed) == 1; }

void SetListeningVolume(int percent) {
  ListeningPercent = std::clamp(percent, 0, 100);
  if (AudioOpen && Heard.channel >= 0) Mix_Volume(Heard.channel, MixerVolume(Heard.volume));
}

int ListeningVolume() { return ListeningPercent; }

int LoadedSampleCount() { return SampleTable.count; }

void CloseAudio() {
  if (!AudioOpen && !SamplesKept) return;
  KeepLibrariesForLeakCheck();
  if (AudioOpen) CloseDevice();
  for (int i = 0; i < SampleTable.count; ++i) Mix_FreeChunk(SampleTable.handles[i]);
  SampleTable = SampleTableRecord{};
  AudioOpen = false;
  SamplesKept = false;
  Underruns = 0;
}
