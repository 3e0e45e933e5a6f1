// The generated music decoded the way the program plays it (SDL2_mixer): length, level, fade,
// tempo, and a sound at the start of every flash and inversion step of the pulse track; and
// decoded by ffmpeg to floating point: no sample at or past full scale, and a broadband onset
// on every flash and inversion.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "timeline/SyncTracks.h"

namespace {

constexpr int Rate = 44100;
constexpr double StepSeconds = 1 / 12.4;

// The whole file decoded to mono at 44.1 kHz.
class DecodedMusic {
 public:
  DecodedMusic() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    if (Mix_OpenAudio(Rate, AUDIO_S16SYS, 2, 1024) != 0) return;
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&frequency, &format, &channels);
    Mix_Chunk* chunk = Mix_LoadWAV(GeneratedDataPath("music.mp3").c_str());
    if (chunk && frequency == Rate && format == AUDIO_S16SYS && channels == 2) {
      const auto* samples = reinterpret_cast<const int16_t*>(chunk->abuf);
      const size_t frames = chunk->alen / 4;
      mono.resize(frames);
      for (size_t i = 0; i < frames; ++i) {
        mono[i] = (samples[2 * i] + samples[2 * i + 1]) / 65536.0f;
        peak = std::max({peak, std::abs(samples[2 * i] / 32768.0f), std::abs(samples[2 * i + 1] / 32768.0f)});
      }
    }
    if (chunk) Mix_FreeChunk(chunk);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  double Seconds() const { return static_cast<double>(mono.size()) / Rate; }
  double Rms(double from, double to) const {
    const size_t a = static_cast<size_t>(from * Rate), b = std::min(mono.size(), static_cast<size_t>(to * Rate));
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += mono[i] * mono[i];
    return b > a ? std::sqrt(sum / (b - a)) : 0;
  }
  std::vector<float> mono;
  float peak = 0;
};

const DecodedMusic& Music() {
  static const DecodedMusic music;
  return music;
}

// Onsets are where the energy of the signal's slope (its bright, percussive part) jumps: the
// mean over the next 2 ms against the mean over the 10 ms before, in 0.5 ms blocks.
class OnsetFinder {
 public:
  explicit OnsetFinder(const std::vector<float>& mono) : energy_(mono.size() / Block) {
    for (size_t k = 0; k < energy_.size(); ++k) {
      double sum = 0;
      for (size_t n = k * Block + 1; n < (k + 1) * Block; ++n) sum += (mono[n] - mono[n - 1]) * (mono[n] - mono[n - 1]);
      energy_[k] = sum;
    }
  }
  // The strongest onset within `window` seconds of `time`: its offset in seconds and its rise
  // in natural-log units (log 2 is a doubling of the energy).
  struct Onset {
    double offset = 0, rise = -1e9;
  };
  Onset Strongest(double time, double window) const {
    Onset best;
    const long centre = std::lround(time * Rate / Block), reach = std::lround(window * Rate / Block);
    for (long k = std::max(20L, centre - reach); k <= centre + reach && k + 4 < static_cast<long>(energy_.size()); ++k) {
      double after = 0, before = 0;
      for (int j = 0; j < 4; ++j) after += energy_[k + j];
      for (int j = 1; j <= 20; ++j) before += energy_[k - j];
      const double rise = std::log((after / 4 + 1e-9) / (before / 20 + 1e-9));
      if (rise > best.rise) best = {static_cast<double>(k) * Block / Rate - time, rise};
    }
    return best;
  }

 private:
  static constexpr int Block = 22;
  std::vector<double> energy_;
};

// The file decoded by ffmpeg to 32-bit floats, which keep whatever lies past full scale (a
// 16-bit decode would clamp it), with `channels` 2 (interleaved) or 1 (ffmpeg's own downmix).
std::vector<float> FloatDecode(int channels) {
  const std::string command = "ffmpeg -v error -nostdin -i '" + GeneratedDataPath("music.mp3") + "' -f f32le -ac " +
                              std::to_string(channels) + " -ar 44100 - 2>/dev/null";
  std::vector<float> samples;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return samples;
  float block[4096];
  size_t got;
  while ((got = std::fread(block, sizeof(float), 4096, pipe)) > 0) samples.insert(samples.end(), block, block + got);
  if (pclose(pipe) != 0) samples.clear();
  return samples;
}

bool HaveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

}  // namespace

TEST(Music, DecodesToTheFullShowLengthAtAHealthyLevelAndFadesToSilence) {
  const DecodedMusic& music = Music();
  ASSERT_FALSE(music.mono.empty()) << "SDL2_mixer could not decode music.mp3";
  EXPECT_GE(music.Seconds(), 208.0);
  EXPECT_LT(music.peak, 0.999f) << "clipped";
  const double body = music.Rms(10, 195);
  std::printf("music: %.2f s, peak %.1f dBFS, rms 10-195 s %.1f dBFS, 205-206 s %.1f dBFS\n", music.Seconds(),
              20 * std::log10(music.peak), 20 * std::log10(body), 20 * std::log10(music.Rms(205, 206)));
  EXPECT_GT(body, 0.1);  // louder than -20 dBFS
  EXPECT_LT(body, 0.35);
  EXPECT_GT(music.Rms(205, 206), 0.02) << "still playing under the logo";
  EXPECT_LT(music.Rms(207.05, 208), 1e-3) << "silent once the picture is black";
}

TEST(Music, EveryFlashAndInversionStepStartsWithASound) {
  const DecodedMusic& music = Music();
  ASSERT_FALSE(music.mono.empty());
  const OnsetFinder onsets(music.mono);
  const double threshold = std::log(2.0);
  double worst = 0, sum = 0;
  int events = 0;
  for (int step = 0; step < PulseTrackLength; ++step) {
    if (PulseTrack[step] != 1 && PulseTrack[step] != 2) continue;
    const auto onset = onsets.Strongest(step * StepSeconds, 0.015);
    EXPECT_GE(onset.rise, threshold) << "no onset within 15 ms of step " << step << " (kind " << int(PulseTrack[step]) << ")";
    worst = std::max(worst, std::fabs(onset.offset));
    sum += onset.offset;
    ++events;
  }
  EXPECT_EQ(events, 272);
  std::printf("music: onsets at %d flash/inversion steps, mean offset %+.2f ms, worst %.2f ms\n", events,
              1000 * sum / events, 1000 * worst);
  // The finder is not fooled by a busy mix: half-way between steps it rarely finds an onset.
  int between = 0, tried = 0;
  for (int step = 64; step < 2400; ++step, ++tried)
    between += onsets.Strongest((step + 0.5) * StepSeconds, 0.015).rise >= threshold;
  EXPECT_LT(between, tried / 3);
}

TEST(Music, BeatsAt186BeatsPerMinute) {
  const DecodedMusic& music = Music();
  ASSERT_FALSE(music.mono.empty());
  // Rises of the log energy in 2.5 ms frames, autocorrelated over lags of 0.25 to 0.5 s.
  constexpr int Frame = 110;
  const size_t frames = music.mono.size() / Frame;
  std::vector<double> flux(frames, 0.0);
  double previous = 0;
  for (size_t k = 0; k < frames; ++k) {
    double sum = 0;
    for (size_t n = k * Frame + 1; n < (k + 1) * Frame; ++n) sum += std::pow(music.mono[n] - music.mono[n - 1], 2.0f);
    const double level = std::log(sum + 1e-6);
    if (k > 0) flux[k] = std::max(0.0, level - previous);
    previous = level;
  }
  const int first = static_cast<int>(0.25 * Rate / Frame), last = static_cast<int>(0.5 * Rate / Frame);
  std::vector<double> correlation(last + 2, 0.0);
  int best = first;
  for (int lag = first - 1; lag <= last + 1; ++lag) {
    for (size_t k = 0; k + lag < frames; ++k) correlation[lag] += flux[k] * flux[k + lag];
    if (lag >= first && lag <= last && correlation[lag] > correlation[best]) best = lag;
  }
  const double a = correlation[best - 1], b = correlation[best], c = correlation[best + 1];
  const double lag = (best + 0.5 * (a - c) / (a - 2 * b + c)) * Frame / Rate;
  std::printf("music: beat period %.4f s, %.2f beats per minute\n", lag, 60 / lag);
  EXPECT_NEAR(60 / lag, Bpm, 1.0);
}

TEST(Music, DecodedToFloatNoSampleReachesFullScaleInStereoOrInMono) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  for (int channels : {2, 1}) {
    const std::vector<float> samples = FloatDecode(channels);
    ASSERT_GT(samples.size(), 208u * Rate * channels) << "ffmpeg could not decode music.mp3";
    float peak = 0;
    size_t atFullScale = 0;
    for (float v : samples) {
      peak = std::max(peak, std::fabs(v));
      atFullScale += std::fabs(v) >= 1.0f;
    }
    std::printf("music: %s decode peak %.3f (%.2f dBFS), %zu samples at or past full scale\n",
                channels == 2 ? "stereo" : "mono", peak, 20 * std::log10(peak), atFullScale);
    EXPECT_EQ(atFullScale, 0u) << channels << " channel(s)";
    // Half a decibel of the headroom left before encoding survives the encoder's ringing.
    EXPECT_LT(peak, 0.944f) << channels << " channel(s)";
  }
}

// Every flash and inversion is heard as a broadband onset over the rest of the mix: within
// 15 ms of its step, the energy of the next 10 ms is 3 dB or more above that of the 30 ms
// before (mono, the whole band), at 95 % or more of the steps of each kind.
TEST(Music, DecodedToFloatNearlyEveryFlashAndInversionIsABroadbandOnset) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  const std::vector<float> mono = FloatDecode(1);
  ASSERT_GT(mono.size(), 208u * Rate);
  std::vector<double> running(mono.size() + 1, 0.0);  // running sum of squares
  for (size_t i = 0; i < mono.size(); ++i) running[i + 1] = running[i] + double(mono[i]) * mono[i];
  auto meanEnergy = [&](long from, long count) { return (running[from + count] - running[from]) / count; };
  const long after = Rate / 100, before = 3 * Rate / 100, reach = 15 * Rate / 1000;
  int heard[3] = {}, steps[3] = {};
  double weakest[3] = {1e9, 1e9, 1e9};
  for (int step = 0; step < PulseTrackLength; ++step) {
    const int kind = PulseTrack[step];
    if (kind != 1 && kind != 2) continue;
    const long centre = std::lround(step * StepSeconds * Rate);
    double best = -1e9;
    for (long n = std::max(before, centre - reach); n <= centre + reach; ++n)
      best = std::max(best, 10 * std::log10((meanEnergy(n, after) + 1e-12) / (meanEnergy(n - before, before) + 1e-12)));
    ++steps[kind];
    heard[kind] += best >= 3.0;
    weakest[kind] = std::min(weakest[kind], best);
  }
  for (int kind : {1, 2}) {
    std::printf("music: kind-%d steps with a 3 dB onset: %d of %d (%.1f %%), weakest %.1f dB\n", kind, heard[kind],
                steps[kind], 100.0 * heard[kind] / steps[kind], weakest[kind]);
    EXPECT_GE(heard[kind], 0.95 * steps[kind]) << "kind " << kind;
  }
  EXPECT_EQ(steps[1], 172);
  EXPECT_EQ(steps[2], 100);
}
