// The generated music decoded the way the program plays it (SDL2_mixer): length, level, fade,
// tempo, and a sound at the start of every flash and inversion step of the pulse track.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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
