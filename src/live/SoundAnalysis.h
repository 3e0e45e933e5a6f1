// The sound in the room analysed with aubio: onsets, kicks, the tempo and a few band energies.
#pragma once
#include <array>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "live/ControlMap.h"

// Something the sound did, at its time in the stream (samples since capture began / rate).
struct SoundEvent {
  enum class Kind { Onset, Kick, Beat, Energy };
  Kind kind = Kind::Onset;
  double seconds = 0;
  float bpm = 0;                   // Beat: the tempo then
  std::array<float, 4> bands{};    // Energy: each band 0 to 1 against its recent peak
  float level = 0;                 // Energy: the whole sound 0 to 1 against its recent peak
};

// What the sound input noticed about its signal.
struct SoundCounts {
  long onsets = 0;
  long kicks = 0;
  long beats = 0;
  double silentSeconds = 0;   // stretches of two seconds and more below -60 dBFS
  long clippedSamples = 0;    // at full scale
};

class TSoundAnalysis {
 public:
  explicit TSoundAnalysis(int rate);
  ~TSoundAnalysis();
  TSoundAnalysis(const TSoundAnalysis&) = delete;
  TSoundAnalysis& operator=(const TSoundAnalysis&) = delete;

  // Analyses samples (mono, -1 to 1) in hops and appends what they showed.
  void Feed(const float* samples, size_t count, std::vector<SoundEvent>& events);
  // The tempo the beat tracker holds, 0 before it has one.
  float Bpm() const { return bpm_; }
  // Seconds of sound analysed.
  double Seconds() const;
  // A sentence when the signal became silent, came back, or clipped (at most every 5 s).
  std::string TakeNotice();
  SoundCounts Counts;

 private:
  struct Aubio;
  void Hop(std::vector<SoundEvent>& events);

  int rate_;
  Aubio* aubio_;
  std::vector<float> pending_;
  size_t filled_ = 0;
  long hops_ = 0;
  float bpm_ = 0;
  std::deque<double> beatTimes_;
  float low1_ = 0, low2_ = 0;           // the kick detector's low-pass filter
  std::array<float, 4> bandPeaks_{};
  float levelPeak_ = 0;
  double quietSince_ = -1;
  bool silent_ = false;
  double lastClipNotice_ = -10;
  long saidClipped_ = 0;
  std::string notice_;
};

// The slot writes a sound event causes under the map's sound rules (the default's when the map
// has none); an onset or kick sets its slot and leaves it absent again after a moment, which
// ReleaseSoundTriggers does once the stream has moved past that moment.
class TSoundMapper {
 public:
  explicit TSoundMapper(const ControlMap& map);
  void Apply(const SoundEvent& event, std::vector<SlotWrite>& writes);
  void ReleaseTriggers(double streamSeconds, std::vector<SlotWrite>& writes);
  // Whether "audio tempo -> beat" is among the rules.
  bool DrivesBeat() const;

 private:
  std::vector<ControlRule> rules_;
  std::vector<std::pair<int, double>> held_;  // slot, stream time to release it
};
