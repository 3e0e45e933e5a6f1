// The music: drums, bass, chords and lead synthesised at 186 beats per minute and cut to the
// show's sync tracks, then encoded as MP3 with LAME.
#include "Music.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "Bytes.h"
#include "DataGen.h"
#include "timeline/SyncTracks.h"

namespace datagen {
namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double StepSeconds = 60.0 / (Bpm * 4.0);  // a sixteenth note: 1 / 12.4 s
constexpr int CutsBegin = 1984;                      // from here the scenes cut every few steps
constexpr int EndingStep = 2456;                     // the first step at or after 198 s
constexpr double FadeStart = 206.0, FadeEnd = 207.0;

double StepTime(int step) { return step * StepSeconds; }
double Frequency(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

// --- sound sources ----------------------------------------------------------------------------

struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed * 2654435761u + 1) {}
  float Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<int32_t>(state)) / 2147483648.0f;
  }
};

double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

// A band-limited sawtooth.
struct Saw {
  double phase = 0;
  float Next(double frequency) {
    const double dt = frequency / MusicRate;
    phase += dt;
    if (phase >= 1) phase -= 1;
    return static_cast<float>(2 * phase - 1 - PolyBlep(phase, dt));
  }
};

struct LowPass {
  float y1 = 0, y2 = 0, a = 1;
  void SetCutoff(double cutoff) { a = static_cast<float>(1 - std::exp(-2 * Pi * std::min(cutoff, 18000.0) / MusicRate)); }
  // Two one-pole stages: 12 dB per octave above the cutoff.
  float Next(float x) {
    y1 += a * (x - y1);
    y2 += a * (y1 - y2);
    return y2;
  }
};

struct HighPass {
  float previous = 0, y = 0;
  float Next(float x, float keep = 0.9f) {
    y = keep * (y + x - previous);
    previous = x;
    return y;
  }
};

// exp(-t / time) for t advancing one sample per call, by repeated multiplication.
struct Fall {
  float value = 1, factor;
  explicit Fall(double time) : factor(static_cast<float>(std::exp(-1.0 / (time * MusicRate)))) {}
  float Next() {
    const float v = value;
    value *= factor;
    return v;
  }
};

// Rises over `attack`, holds until `hold`, then falls away over `release`.
float Envelope(double t, double attack, double hold, double release) {
  if (t < attack) return static_cast<float>(t / attack);
  if (t < hold) return 1;
  return static_cast<float>(std::exp(-(t - hold) / release));
}

// Filter sweeps and other slow controls are recomputed every this many samples.
constexpr int ControlRate = 16;

// --- the mix ----------------------------------------------------------------------------------

// Where a voice goes. The bed (pads, bass, lead, the groove, echoes) is ducked under every
// flash and inversion accent, as a side-chain compressor does in dance music; the accents
// themselves go to their own bus, which is not ducked, so each one cuts through the bed.
enum class Bus { Bed, Accent };

struct Mix {
  std::vector<float> left, right, accentLeft, accentRight, echoLeft, echoRight;
  int lead;

  Mix(size_t frames, int leadSamples)
      : left(frames), right(frames), accentLeft(frames), accentRight(frames), echoLeft(frames), echoRight(frames),
        lead(leadSamples) {}

  // Adds voice(t), called once per sample with t in seconds since the event, from show time
  // `start` for `length` seconds; `echo` also sends it to the echo bus.
  template <class Voice>
  void Add(double start, double length, float gain, float pan, float echo, Voice voice, Bus bus = Bus::Bed) {
    const double first = start * MusicRate - lead;  // where t = 0 falls, in output samples
    const long begin = std::max(0L, static_cast<long>(std::ceil(first)));
    const long end = std::min(static_cast<long>(left.size()), static_cast<long>(std::ceil(first + length * MusicRate)));
    const float gl = gain * std::min(1.0f, 1 - pan), gr = gain * std::min(1.0f, 1 + pan);
    std::vector<float>& l = bus == Bus::Accent ? accentLeft : left;
    std::vector<float>& r = bus == Bus::Accent ? accentRight : right;
    for (long n = begin; n < end; ++n) {
      const float v = voice((n - first) / MusicRate);
      l[n] += v * gl;
      r[n] += v * gr;
      if (echo > 0) {
        echoLeft[n] += v * gl * echo;
        echoRight[n] += v * gr * echo;
      }
    }
  }
};

// --- instruments (each a voice: a function of the time since its start, called in order) ------

auto Kick(uint32_t seed) {
  return [phase = 0.0, noise = Noise(seed), pitch = Fall(0.035), body = Fall(0.28), click = Fall(0.0025),
          ping = Fall(0.004)](double t) mutable {
    phase += (44 + 120 * pitch.Next()) / MusicRate;
    const float tone = static_cast<float>(std::sin(2 * Pi * phase)) * body.Next();
    return tone + noise.Next() * click.Next() * 0.7f + static_cast<float>(std::sin(2 * Pi * 2800 * t)) * ping.Next() * 0.35f;
  };
}

auto Snare(uint32_t seed) {
  return [noise = Noise(seed), hp = HighPass(), tone = Fall(0.06), rattle = Fall(0.1)](double t) mutable {
    const float body = static_cast<float>(std::sin(2 * Pi * 185 * t) + 0.5 * std::sin(2 * Pi * 330 * t)) * tone.Next();
    return body * 0.55f + hp.Next(noise.Next(), 0.8f) * rattle.Next() * 1.1f;
  };
}

auto Hat(uint32_t seed, double length) {
  return [noise = Noise(seed), hp1 = HighPass(), hp2 = HighPass(), fall = Fall(length)](double) mutable {
    return hp2.Next(hp1.Next(noise.Next(), 0.6f), 0.6f) * fall.Next();
  };
}

auto Crash(uint32_t seed) {
  return [noise = Noise(seed), hp = HighPass(), tail = Fall(0.6), strike = Fall(0.05)](double) mutable {
    return hp.Next(noise.Next(), 0.75f) * (tail.Next() + strike.Next() * 0.8f);
  };
}

// The sharp front of an accent: a burst of bright noise.
auto Snap(uint32_t seed) {
  return [noise = Noise(seed), hp = HighPass(), fall = Fall(0.015)](double) mutable {
    return hp.Next(noise.Next(), 0.5f) * fall.Next();
  };
}

// Kind-3 percussion: a bright metallic ping.
auto Ping(uint32_t seed) {
  return [noise = Noise(seed), ring = Fall(0.09), click = Fall(0.003)](double t) mutable {
    const double partials = std::sin(2 * Pi * 1245 * t) + 0.7 * std::sin(2 * Pi * 1873 * t) + 0.5 * std::sin(2 * Pi * 2690 * t);
    return static_cast<float>(partials) * ring.Next() * 0.6f + noise.Next() * click.Next() * 0.5f;
  };
}

// Kind-4 percussion: a low tom.
auto Tom(uint32_t seed) {
  return [phase = 0.0, noise = Noise(seed), pitch = Fall(0.05), body = Fall(0.22), click = Fall(0.006)](double) mutable {
    phase += (92 + 70 * pitch.Next()) / MusicRate;
    return static_cast<float>(std::sin(2 * Pi * phase)) * body.Next() + noise.Next() * click.Next() * 0.4f;
  };
}

// A short brass-like chord hit.
auto Stab(std::array<int, 3> notes) {
  std::array<double, 6> frequencies;
  for (int k = 0; k < 6; ++k) frequencies[k] = Frequency(notes[k % 3] + 12) * (k < 3 ? 1.0 : 1.006);
  return [saws = std::array<Saw, 6>{}, filter = LowPass(), frequencies, n = 0, level = 0.0f](double t) mutable {
    if (n++ % ControlRate == 0) {
      filter.SetCutoff(600 + 5000 * std::exp(-t / 0.05));
      level = t < 0.002 ? 1.0f : Envelope(t, 0.002, 0.04, 0.09);
    }
    float sum = 0;
    for (int k = 0; k < 6; ++k) sum += saws[k].Next(frequencies[k]);
    return filter.Next(sum / 4) * level;
  };
}

auto Bass(int note, double length) {
  return [saw = Saw(), filter = LowPass(), f = Frequency(note), length, phase = 0.0, n = 0, release = Fall(0.02)](double t) mutable {
    if (n++ % ControlRate == 0) filter.SetCutoff(180 + 1400 * std::exp(-t / 0.07));
    phase += f / MusicRate;
    const float tone = saw.Next(f) * 0.6f + static_cast<float>(std::sin(2 * Pi * phase)) * 0.7f;
    const float gate = t < length ? 1.0f : release.Next();
    return filter.Next(tone) * std::min(1.0f, static_cast<float>(t / 0.004)) * gate;
  };
}

auto Pad(std::array<int, 3> notes, double length, double brightness) {
  std::array<double, 6> frequencies;
  for (int k = 0; k < 6; ++k) frequencies[k] = Frequency(notes[k % 3]) * (k < 3 ? 0.997 : 1.004);
  return [saws = std::array<Saw, 6>{}, filter = LowPass(), frequencies, length, brightness, n = 0,
          release = Fall(0.35)](double t) mutable {
    if (n++ % ControlRate == 0) filter.SetCutoff(brightness * (0.8 + 0.2 * std::sin(t * 2)));
    float sum = 0;
    for (int k = 0; k < 6; ++k) sum += saws[k].Next(frequencies[k]);
    const float swell = t < length ? std::min(1.0f, static_cast<float>(t / 0.25)) : release.Next();
    return filter.Next(sum / 6) * swell;
  };
}

auto Lead(int note, double length) {
  return [saw = Saw(), sub = Saw(), filter = LowPass(), base = Frequency(note), length, n = 0, f = 0.0,
          level = 0.0f, release = Fall(0.08)](double t) mutable {
    if (n++ % ControlRate == 0) {
      f = base * (1 + 0.004 * std::sin(2 * Pi * 5.5 * t) * std::min(1.0, t / 0.3));
      filter.SetCutoff(3200);
      level = Envelope(t, 0.008, 0.05, 0.6) * 0.7f + 0.3f;
    }
    const float tone = saw.Next(f) + 0.5f * sub.Next(f * 0.5);
    const float gate = t < length ? level : release.Next() * 0.5f;
    return filter.Next(tone) * gate;
  };
}

auto Pluck(int note) {
  return [saw = Saw(), filter = LowPass(), f = Frequency(note), n = 0, fall = Fall(0.16)](double t) mutable {
    if (n++ % ControlRate == 0) filter.SetCutoff(500 + 4000 * std::exp(-t / 0.04));
    return filter.Next(saw.Next(f)) * fall.Next();
  };
}

// Lets a drum ring until `until` seconds after its start, then silences it within a few
// milliseconds (a drum machine's choke), so that the next accent starts from quiet.
template <class Voice>
auto Choked(Voice voice, double until) {
  return [voice, until](double t) mutable {
    const float v = voice(t);
    return t < until ? v : v * static_cast<float>(std::exp(-(t - until) / 0.003));
  };
}

// --- the arrangement --------------------------------------------------------------------------

struct Style {
  bool kick = false, hats = false, openHats = false, bass = false, arp = false, lead = false, stabs = false;
  float pad = 0.5f;   // level of the chords
  double padTone = 1500;
  int progression = 0;
};

Style StyleFor(int scene, int step) {
  Style s;
  if (step >= EndingStep) {
    s.pad = 0.6f;
    s.lead = true;
    s.padTone = 1100;
    return s;
  }
  if (step >= CutsBegin) {
    s = {true, true, true, true, true, true, true, 0.45f, 2200, 0};
    return s;
  }
  switch (scene) {
    case 14: s.pad = 0.7f; s.padTone = 700; break;
    case 1: s = {true, true, false, true, false, false, false, 0.5f, 1200, 0}; break;
    case 5: s = {true, true, false, true, true, false, false, 0.45f, 1800, 0}; break;
    case 8: s = {true, true, true, true, true, true, false, 0.4f, 2000, 1}; break;
    case 6: s = {true, true, false, true, false, false, false, 0.5f, 1400, 1}; break;
    case 7: s = {true, true, true, true, false, false, true, 0.5f, 1000, 1}; break;
    case 2: s = {true, true, true, true, true, false, false, 0.45f, 1800, 0}; break;
    case 3: s = {true, true, true, true, true, true, false, 0.4f, 2200, 0}; break;
    case 9: s = {true, true, false, true, false, false, true, 0.55f, 800, 1}; break;
    case 10: s = {true, true, true, true, true, true, false, 0.45f, 2400, 0}; break;
    case 99: s.pad = 0.7f; s.lead = true; s.padTone = 900; s.progression = 1; break;
    case 11: s = {false, true, false, true, false, true, false, 0.6f, 1000, 1}; break;
    case 12: s = {true, true, false, true, true, false, false, 0.5f, 1400, 1}; break;
    case 13: s = {true, true, true, true, true, true, false, 0.45f, 2000, 1}; break;
    default: break;
  }
  return s;
}

using Chord = std::array<int, 3>;
// A minor: Am F C G, and a darker Am Dm F E.
const Chord Progressions[2][4] = {{{{57, 60, 64}}, {{53, 57, 60}}, {{48, 52, 55}}, {{55, 59, 62}}},
                                  {{{57, 60, 64}}, {{50, 53, 57}}, {{53, 57, 60}}, {{52, 56, 59}}}};
const int Scale[] = {57, 59, 60, 62, 64, 65, 67, 69, 71, 72, 74, 76};  // A natural minor, two octaves

int SceneAt(int step) {
  int scene = 0;
  for (int s = 0; s <= std::min(step, SceneTrackLength - 1); ++s)
    if (SceneTrack[s] != 0) scene = SceneTrack[s];
  return scene;
}

int PulseAt(int step) { return step >= 0 && step < PulseTrackLength ? PulseTrack[step] : 0; }
bool IsAccent(int step) { return PulseAt(step) == 1 || PulseAt(step) == 2; }

// Seconds from step `step` until a choked voice must start to fall silent: 30 ms before the
// next flash or inversion accent (at least 30 ms of sound); effectively unbounded when no
// accent follows.
double UntilNextAccent(int step) {
  for (int next = step + 1; next < PulseTrackLength; ++next)
    if (IsAccent(next)) return std::max(0.03, StepTime(next) - StepTime(step) - 0.03);
  return 1e9;
}

// A scene switch starts a phrase when the new scene stays for at least half a bar and the
// phrase before has had time to breathe; in the fast cuts phrases last four bars at least.
std::vector<int> PhraseStarts(int steps) {
  std::vector<int> starts{0};
  int previousScene = SceneTrack[0];
  for (int s = 1; s < SceneTrackLength && s < steps; ++s) {
    if (SceneTrack[s] == 0) continue;
    int next = s + 1;
    while (next < SceneTrackLength && SceneTrack[next] == 0) ++next;
    const int gap = s - starts.back();
    const bool lasting = next - s >= 8;
    const bool fresh = SceneTrack[s] != previousScene && s < CutsBegin;
    if (lasting && (gap >= 64 || (fresh && gap >= 16))) {
      starts.push_back(s);
      previousScene = SceneTrack[s];
    }
  }
  starts.push_back(EndingStep);
  return starts;
}

void Arrange(Mix& mix, int steps) {
  const std::vector<int> phrases = PhraseStarts(steps);
  Rng rng(186);
  uint32_t seed = 1;
  size_t phrase = 0;
  int melodyNote = 4;  // index into Scale
  for (int s = 0; s < steps; ++s) {
    while (phrase + 1 < phrases.size() && phrases[phrase + 1] <= s) ++phrase;
    const int phraseStart = phrases[phrase];
    const int scene = SceneAt(phraseStart);
    const Style style = StyleFor(scene, s);
    const int inPhrase = s - phraseStart;
    const Chord chord = Progressions[style.progression][(inPhrase / 16) % 4];
    const double t = StepTime(s);
    const int pulse = PulseAt(s);
    ++seed;

    // Chords: a new one at each bar of the phrase (and at the phrase's first step).
    if (inPhrase % 16 == 0 || s == phraseStart) {
      int barEnd = s + 16 - inPhrase % 16;
      if (phrase + 1 < phrases.size()) barEnd = std::min(barEnd, phrases[phrase + 1]);
      const double length = StepTime(barEnd) - t;
      mix.Add(t, length + 1.2, 0.32f * style.pad, -0.2f, 0.35f, Pad(chord, length, style.padTone));
      mix.Add(t, length + 1.2, 0.22f * style.pad, 0.3f, 0.35f, Pad({chord[0] + 12, chord[1], chord[2] + 12}, length, style.padTone * 1.3));
    }
    if (s == phraseStart && s > 0 && s < EndingStep) mix.Add(t, 2.0, 0.22f, 0.2f, 0, Crash(seed));

    // The groove.
    // Every kick is choked before the next accent. On a flash the accent's own kick stands in
    // for the groove's; with an inversion's snare the groove's kick joins the accent.
    if (style.kick && s % 4 == 0 && pulse != 1)
      mix.Add(t, 0.6, 0.8f, 0, 0, Choked(Kick(seed), UntilNextAccent(s)), pulse == 2 ? Bus::Accent : Bus::Bed);
    if (style.hats) {
      const bool offbeat = s % 4 == 2;
      if (style.openHats && offbeat)
        mix.Add(t, 0.4, 0.16f, 0.35f, 0, Hat(seed, 0.09));
      else if (s % 2 == 0 || style.arp)
        mix.Add(t, 0.15, s % 2 == 0 ? 0.12f : 0.07f, 0.35f, 0, Hat(seed, 0.022));
    }
    if (style.bass && s % 2 == 0) {
      const int note = chord[0] - 24 + (s % 4 == 2 ? 12 : 0);
      mix.Add(t, 2 * StepSeconds + 0.1, 0.28f, 0, 0, Bass(note, 2 * StepSeconds * 0.85));
    }
    if (style.arp) {
      static const int pattern[8] = {0, 1, 2, 4, 3, 2, 1, 5};
      const int k = pattern[s % 8];
      const int note = chord[k % 3] + 12 * (k / 3) + 12;
      mix.Add(t, 0.5, 0.1f, (s % 2) ? 0.4f : -0.4f, 0.4f, Pluck(note));
    }
    if (style.lead && s % 2 == 0 && (rng.Unit() < 0.45f || s % 16 == 0)) {
      // A walking line over the scale that leans on the chord's tones on the downbeats.
      if (s % 16 == 0) {
        const int root = chord[0] % 12;
        for (int i = 0; i < 12; ++i)
          if (Scale[i] % 12 == root && std::abs(i - melodyNote) <= 4) melodyNote = i;
      } else {
        melodyNote = std::clamp(melodyNote + static_cast<int>(rng.Unit() * 5) - 2, 0, 11);
      }
      const double length = StepSeconds * (rng.Unit() < 0.5f ? 2 : 4);
      mix.Add(t, length + 0.6, 0.11f, 0.1f, 0.5f, Lead(Scale[melodyNote] + 12, length));
    }

    // The sync track's events: every flash an accent, every inversion a snare.
    // Each accent is choked just before the next one and ducks the bed (see DuckBed).
    const double ring = UntilNextAccent(s);
    if (pulse == 1) {
      mix.Add(t, 0.6, 0.9f, 0, 0, Choked(Kick(seed + 7), ring), Bus::Accent);
      mix.Add(t, 0.1, 1.1f, 0.1f, 0, Choked(Snap(seed + 5), ring), Bus::Accent);
      const bool runEnds = PulseAt(s + 1) != 1;
      if (runEnds) mix.Add(t, 2.0, 0.25f, -0.25f, 0, Crash(seed + 11));
    } else if (pulse == 2) {
      mix.Add(t, 0.5, 0.7f, 0.1f, 0.15f, Choked(Snare(seed + 13), ring), Bus::Accent);
      mix.Add(t, 0.1, 0.8f, -0.1f, 0, Choked(Snap(seed + 3), ring), Bus::Accent);
    } else if (pulse == 3) {
      mix.Add(t, 0.3, 0.16f, -0.3f, 0.3f, Choked(Ping(seed + 17), ring));
      if (style.stabs) mix.Add(t, 0.4, 0.18f, 0.2f, 0.3f, Choked(Stab(chord), ring));
    } else if (pulse == 4) {
      mix.Add(t, 0.5, 0.45f, 0.25f, 0.1f, Choked(Tom(seed + 19), ring));
      mix.Add(t, 0.4, 0.14f, -0.2f, 0.3f, Choked(Stab(chord), ring));
    }
    // In the fast cuts every scene switch also gets a stab.
    if (s >= CutsBegin && s < SceneTrackLength && SceneTrack[s] != 0 && pulse == 0)
      mix.Add(t, 0.4, 0.12f, 0.3f, 0.3f, Stab(chord));
  }
  // The ending: one long chord under the stars and the logo.
  const double end = StepTime(EndingStep);
  mix.Add(end, FadeEnd - end + 1, 0.3f, 0, 0.4f, Pad({57, 64, 71}, FadeEnd - end, 900));
  mix.Add(end, FadeEnd - end + 1, 0.2f, 0, 0.4f, Pad({45, 52, 60}, FadeEnd - end, 600));
}

// The side-chain: the bed's gain dips to 1 - DuckDepth just as each flash or inversion accent
// strikes (a 3 ms look-ahead, like a compressor keyed a moment early), holds for the accent's
// front and recovers over DuckRecovery, so the accent is heard as a clear onset over pads,
// bass and lead. Runs of accents keep the bed down.
constexpr double DuckDepth = 0.5, DuckAhead = 0.003, DuckHold = 0.012, DuckRecovery = 0.07;

void DuckBed(Mix& mix) {
  const long frames = static_cast<long>(mix.left.size());
  std::vector<float> gain(mix.left.size(), 1.0f);
  for (int step = 0; step < PulseTrackLength; ++step) {
    if (!IsAccent(step)) continue;
    const double at = StepTime(step) * MusicRate - mix.lead;  // the accent's output sample
    const long begin = std::max(0L, static_cast<long>(std::floor(at - DuckAhead * MusicRate)));
    const long end = std::min(frames, static_cast<long>(std::ceil(at + (DuckHold + 6 * DuckRecovery) * MusicRate)));
    for (long n = begin; n < end; ++n) {
      const double t = (n - at) / MusicRate;
      double dip = 1;
      if (t < 0) dip = 1 + t / DuckAhead;
      else if (t > DuckHold) dip = std::exp(-(t - DuckHold) / DuckRecovery);
      gain[n] = std::min(gain[n], static_cast<float>(1 - DuckDepth * dip));
    }
  }
  for (long n = 0; n < frames; ++n) {
    mix.left[n] = mix.left[n] * gain[n] + mix.accentLeft[n];
    mix.right[n] = mix.right[n] * gain[n] + mix.accentRight[n];
  }
}

// A dotted-eighth ping-pong echo over the send bus.
void ApplyEcho(Mix& mix) {
  const size_t delay = static_cast<size_t>(std::lround(3 * StepSeconds * MusicRate));
  std::vector<float>& l = mix.echoLeft;
  std::vector<float>& r = mix.echoRight;
  for (size_t n = delay; n < l.size(); ++n) {
    l[n] += r[n - delay] * 0.45f;
    r[n] += l[n - delay] * 0.45f;
  }
  for (size_t n = delay; n < l.size(); ++n) {
    mix.left[n] += r[n - delay] * 0.5f;
    mix.right[n] += l[n - delay] * 0.5f;
  }
}

// The level of a stereo frame as the peak meter sees it: either channel, or both summed as a
// one-channel downmix does ((l + r) / sqrt 2).
float FramePeak(float l, float r) { return std::max({std::fabs(l), std::fabs(r), std::fabs(l + r) * 0.70710678f}); }

// A look-ahead peak limiter: the few drum hits in the top 2 dB are brought down to the rest, so
// the whole mix can sit louder. The gain is the lowest needed within 1.5 ms either side,
// averaged over 1.5 ms (so it never lets a peak through and never steps), then recovers over
// 40 ms.
constexpr float LimiterThreshold = 0.794f;  // -2 dB from the mix's peak

void Limit(std::vector<float>& out, float threshold) {
  const long frames = static_cast<long>(out.size() / 2), reach = MusicRate * 3 / 2000;
  std::vector<float> lowest(frames, 1.0f);
  for (long n = 0; n < frames; ++n) {
    const float level = FramePeak(out[2 * n], out[2 * n + 1]);
    if (level <= threshold) continue;
    const float need = threshold / level;
    for (long k = std::max(0L, n - reach); k <= std::min(frames - 1, n + reach); ++k) lowest[k] = std::min(lowest[k], need);
  }
  const float recover = static_cast<float>(1 - std::exp(-1.0 / (0.04 * MusicRate)));
  const long half = reach / 2;
  double sum = 0;
  float gain = 1;
  for (long n = -half; n < frames; ++n) {
    if (n + half < frames) sum += lowest[n + half];
    if (n - half - 1 >= 0) sum -= lowest[n - half - 1];
    if (n < 0) continue;
    const long count = std::min(frames - 1, n + half) - std::max(0L, n - half) + 1;
    gain = std::min(static_cast<float>(sum / count), gain + (1 - gain) * recover);
    out[2 * n] *= gain;
    out[2 * n + 1] *= gain;
  }
}

}  // namespace

std::vector<float> SynthesiseMusic(int lead) {
  const size_t frames = static_cast<size_t>(MusicSeconds) * MusicRate;
  Mix mix(frames, lead);
  const int steps = static_cast<int>(std::ceil((MusicSeconds + 1.0) / StepSeconds));
  Arrange(mix, steps);
  ApplyEcho(mix);
  DuckBed(mix);
  // Gentle saturation, the fade to silence as the picture fades to black, the limiter, and the
  // peak at -3 dB in stereo and in a mono downmix: between samples and through the encoder's
  // ringing a limited mix rises up to about 2 dB past its sample peak, and the decoded file
  // must stay below full scale.
  std::vector<float> out(frames * 2);
  float peak = 0;
  for (size_t n = 0; n < frames; ++n) {
    const double time = (static_cast<double>(n) + lead) / MusicRate;
    double gain = 1;
    if (time >= FadeEnd)
      gain = 0;
    else if (time > FadeStart)
      gain = 0.5 + 0.5 * std::cos(Pi * (time - FadeStart) / (FadeEnd - FadeStart));
    const float l = static_cast<float>(std::tanh(mix.left[n] * 0.7) * gain);
    const float r = static_cast<float>(std::tanh(mix.right[n] * 0.7) * gain);
    out[2 * n] = l;
    out[2 * n + 1] = r;
    peak = std::max(peak, FramePeak(l, r));
  }
  Limit(out, peak * LimiterThreshold);
  if (peak > 0) {
    const float scale = 0.7f / (peak * LimiterThreshold);
    for (float& v : out) v *= scale;
  }
  return out;
}

void WriteMusic(const std::string& directory) {
  lame_global_flags* lame = lame_init();
  if (!lame) throw std::runtime_error("lame_init failed");
  lame_set_in_samplerate(lame, MusicRate);
  lame_set_out_samplerate(lame, MusicRate);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, JOINT_STEREO);
  lame_set_brate(lame, 192);
  lame_set_VBR(lame, vbr_off);
  lame_set_quality(lame, 7);  // the fast model: at 192 kbit/s it loses nothing audible here
  // No Xing/Info tag: with it some decoders trim the start delay and others do not; without
  // it none does, and the shift below lines every decoder up with the show's clock.
  lame_set_bWriteVbrTag(lame, 0);
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    throw std::runtime_error("lame_init_params failed");
  }
  const int lead = lame_get_encoder_delay(lame) + DecoderDelay;
  const std::vector<float> samples = SynthesiseMusic(lead);
  const size_t frames = samples.size() / 2;
  std::vector<unsigned char> mp3;
  std::vector<unsigned char> buffer;
  const size_t chunk = 1152 * 32;
  std::vector<float> left(chunk), right(chunk);
  for (size_t start = 0; start < frames; start += chunk) {
    const size_t count = std::min(chunk, frames - start);
    for (size_t i = 0; i < count; ++i) {
      left[i] = samples[2 * (start + i)];
      right[i] = samples[2 * (start + i) + 1];
    }
    buffer.resize(count * 5 / 4 + 7200);
    const int written = lame_encode_buffer_ieee_float(lame, left.data(), right.data(), static_cast<int>(count),
                                                      buffer.data(), static_cast<int>(buffer.size()));
    if (written < 0) {
      lame_close(lame);
      throw std::runtime_error("lame_encode_buffer failed");
    }
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + written);
  }
  buffer.resize(7200);
  const int flushed = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
  lame_close(lame);
  if (flushed < 0) throw std::runtime_error("lame_encode_flush failed");
  mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + flushed);
  SaveFile(directory + "/music.mp3", mp3);
}

}  // namespace datagen
