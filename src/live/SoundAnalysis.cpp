// aubio's onset detector on the whole sound and on its low end (kicks), its beat tracker, and
// band energies from its phase vocoder; times counted in samples so they do not jitter.
#include "live/SoundAnalysis.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>

#include "live/MidiClock.h"
#include "live/StreamPackets.h"

namespace {
constexpr unsigned Window = 1024;
constexpr unsigned HopSize = 256;
constexpr unsigned TempoHop = HopSize / 2;
// The kick detector hears below about 150 Hz.
constexpr float KickCutoffHz = 150.0f;
// Band edges in Hz: below 150, 150-600, 600-2500, above 2500.
constexpr float BandEdges[] = {0, 150, 600, 2500, 22050};
// A band's reference peak falls to half in about ten seconds, so a quieter song is heard too.
constexpr float PeakHalfLifeSeconds = 10.0f;
// An energy event every this many hops (23 ms): enough for a fader's motion, not a frame a hop.
constexpr long EnergyEveryHops = 4;
constexpr float SilentRms = 0.001f;  // -60 dBFS
constexpr double SilentAfterSeconds = 2.0;
// The sound's tempo: a line through this many of its last beats.
constexpr size_t BeatsForTempo = 8;
// An onset or kick lights its slot this long.
constexpr double TriggerSeconds = 0.08;
}  // namespace

struct TSoundAnalysis::Aubio {
  fvec_t* hop = nullptr;
  fvec_t* lowHop = nullptr;
  fvec_t* tempoHop = nullptr;
  fvec_t* out = nullptr;
  cvec_t* spectrum = nullptr;
  aubio_onset_t* onset = nullptr;
  aubio_onset_t* kick = nullptr;
  aubio_tempo_t* tempo = nullptr;
  aubio_pvoc_t* pvoc = nullptr;
};

TSoundAnalysis::TSoundAnalysis(int rate) : rate_(rate), aubio_(new Aubio), pending_(HopSize) {
  const auto r = static_cast<uint_t>(rate);
  aubio_->hop = new_fvec(HopSize);
  aubio_->lowHop = new_fvec(HopSize);
  aubio_->tempoHop = new_fvec(TempoHop);
  aubio_->out = new_fvec(2);
  aubio_->spectrum = new_cvec(Window);
  aubio_->onset = new_aubio_onset("specflux", Window, HopSize, r);
  aubio_->kick = new_aubio_onset("energy", Window, HopSize, r);
  aubio_->tempo = new_aubio_tempo("default", Window, TempoHop, r);
  aubio_->pvoc = new_aubio_pvoc(Window, HopSize);
  // Onsets closer than 60 ms are one: a click's ring is not a second click.
  aubio_onset_set_minioi_ms(aubio_->onset, 60);
  aubio_onset_set_minioi_ms(aubio_->kick, 120);
  aubio_onset_set_silence(aubio_->onset, -60);
  aubio_onset_set_silence(aubio_->kick, -60);
}

TSoundAnalysis::~TSoundAnalysis() {
  del_aubio_onset(aubio_->onset);
  del_aubio_onset(aubio_->kick);
  del_aubio_tempo(aubio_->tempo);
  del_aubio_pvoc(aubio_->pvoc);
  del_fvec(aubio_->hop);
  del_fvec(aubio_->lowHop);
  del_fvec(aubio_->tempoHop);
  del_fvec(aubio_->out);
  del_cvec(aubio_->spectrum);
  delete aubio_;
}

double TSoundAnalysis::Seconds() const { return static_cast<double>(hops_) * HopSize / rate_; }

void TSoundAnalysis::Feed(const float* samples, size_t count, std::vector<SoundEvent>& events) {
  for (size_t i = 0; i < count; ++i) {
    float sample = samples[i];
    // A NaN from a broken driver must not poison aubio's filters: it counts as silence.
    if (!std::isfinite(sample)) sample = 0;
    if (std::fabs(sample) >= 0.999f) ++Counts.clippedSamples;
    pending_[filled_++] = sample;
    if (filled_ == HopSize) {
      Hop(events);
      filled_ = 0;
    }
  }
}

void TSoundAnalysis::Hop(std::vector<SoundEvent>& events) {
  const double hopStart = Seconds();
  ++hops_;
  const double now = Seconds();
  // Two one-pole low-passes for the kick detector: 12 dB an octave above the cutoff.
  const float a = 1.0f - std::exp(-2.0f * static_cast<float>(M_PI) * KickCutoffHz / static_cast<float>(rate_));
  double energy = 0;
  for (unsigned i = 0; i < HopSize; ++i) {
    const float x = pending_[i];
    aubio_->hop->data[i] = x;
    low1_ += a * (x - low1_);
    low2_ += a * (low1_ - low2_);
    aubio_->lowHop->data[i] = low2_;
    energy += static_cast<double>(x) * x;
  }
  const float rms = static_cast<float>(std::sqrt(energy / HopSize));

  aubio_onset_do(aubio_->onset, aubio_->hop, aubio_->out);
  if (aubio_->out->data[0] != 0) {
    ++Counts.onsets;
    events.push_back({SoundEvent::Kind::Onset, aubio_onset_get_last_s(aubio_->onset), 0, {}, 0});
  }
  aubio_onset_do(aubio_->kick, aubio_->lowHop, aubio_->out);
  if (aubio_->out->data[0] != 0) {
    ++Counts.kicks;
    events.push_back({SoundEvent::Kind::Kick, aubio_onset_get_last_s(aubio_->kick), 0, {}, 0});
  }
  // The beat tracker takes the hop in two halves: its tempo is a whole number of its hops a
  // beat, and half-hops make that step half as coarse.
  bool beat = false;
  for (unsigned half = 0; half < 2; ++half) {
    for (unsigned i = 0; i < TempoHop; ++i) aubio_->tempoHop->data[i] = pending_[half * TempoHop + i];
    aubio_tempo_do(aubio_->tempo, aubio_->tempoHop, aubio_->out);
    beat = beat || aubio_->out->data[0] != 0;
  }
  if (beat) {
    // aubio's own tempo is a whole number of hops a beat (128 BPM reads 129.2 or 127.6): a line
    // through the times of the last eight beats it found is finer. A beat off the tracker's
    // period starts the line afresh.
    const float tracked = aubio_tempo_get_bpm(aubio_->tempo);
    const double when = aubio_tempo_get_last_s(aubio_->tempo);
    if (!beatTimes_.empty() && tracked > 0 &&
        std::fabs((when - beatTimes_.back()) * tracked / 60.0 - 1.0) > 0.15)
      beatTimes_.clear();
    beatTimes_.push_back(when);
    while (beatTimes_.size() > BeatsForTempo) beatTimes_.pop_front();
    const double fitted = beatTimes_.size() >= 4 ? BpmOfEvenTimes(beatTimes_, 1) : 0;
    bpm_ = fitted > 0 ? static_cast<float>(fitted) : tracked;
    ++Counts.beats;
    events.push_back({SoundEvent::Kind::Beat, when, bpm_, {}, 0});
  }

  aubio_pvoc_do(aubio_->pvoc, aubio_->hop, aubio_->spectrum);
  const float decay = std::pow(0.5f, HopSize / (PeakHalfLifeSeconds * static_cast<float>(rate_)));
  SoundEvent energyEvent{SoundEvent::Kind::Energy, now, 0, {}, 0};
  const float binHz = static_cast<float>(rate_) / Window;
  for (size_t band = 0; band < 4; ++band) {
    double sum = 0;
    for (unsigned bin = 0; bin <= Window / 2; ++bin) {
      const float hz = static_cast<float>(bin) * binHz;
      if (hz >= BandEdges[band] && hz < BandEdges[band + 1])
        sum += static_cast<double>(aubio_->spectrum->norm[bin]) * aubio_->spectrum->norm[bin];
    }
    const float magnitude = static_cast<float>(std::sqrt(sum));
    bandPeaks_[band] = std::max(magnitude, bandPeaks_[band] * decay);
    energyEvent.bands[band] = bandPeaks_[band] > 1e-4f ? magnitude / bandPeaks_[band] : 0.0f;
  }
  levelPeak_ = std::max(rms, levelPeak_ * decay);
  energyEvent.level = levelPeak_ > SilentRms ? rms / levelPeak_ : 0.0f;
  if (hops_ % EnergyEveryHops == 0) events.push_back(energyEvent);

  // Silence is said once it has lasted two seconds, and again when the sound comes back.
  if (rms < SilentRms) {
    if (quietSince_ < 0) quietSince_ = hopStart;
    if (!silent_ && now - quietSince_ >= SilentAfterSeconds) {
      silent_ = true;
      notice_ = "the sound input is silent";
    }
    if (silent_) Counts.silentSeconds += now - hopStart;
  } else {
    quietSince_ = -1;
    if (silent_) notice_ = "the sound input hears something again";
    silent_ = false;
  }
}

std::string TSoundAnalysis::TakeNotice() {
  if (Counts.clippedSamples > 0 && Seconds() - lastClipNotice_ >= 5.0) {
    if (Counts.clippedSamples != saidClipped_) {
      saidClipped_ = Counts.clippedSamples;
      lastClipNotice_ = Seconds();
      return "the sound input clips: " + std::to_string(Counts.clippedSamples) + " samples at full scale";
    }
  }
  std::string text;
  text.swap(notice_);
  return text;
}

TSoundMapper::TSoundMapper(const ControlMap& map) {
  const ControlMap& source = map.HasSoundRules() ? map : DefaultControlMap();
  for (const ControlRule& rule : source.rules)
    if (rule.source >= ControlRule::Source::SoundOnset) rules_.push_back(rule);
}

bool TSoundMapper::DrivesBeat() const {
  return std::any_of(rules_.begin(), rules_.end(), [](const ControlRule& r) { return r.toBeat; });
}

void TSoundMapper::Apply(const SoundEvent& event, std::vector<SlotWrite>& writes) {
  using Source = ControlRule::Source;
  for (const ControlRule& rule : rules_) {
    if (rule.toBeat) continue;
    const bool trigger = (rule.source == Source::SoundOnset && event.kind == SoundEvent::Kind::Onset) ||
                         (rule.source == Source::SoundKick && event.kind == SoundEvent::Kind::Kick);
    if (trigger) {
      // A hit still held is let go first: when a slow frame brings two kicks in one turn, each
      // is still a flash of its own.
      const auto held = std::find_if(held_.begin(), held_.end(), [&](const auto& h) { return h.first == rule.slot; });
      if (held != held_.end()) {
        writes.push_back({rule.slot, AbsentStreamValue()});
        held_.erase(held);
      }
      writes.push_back({rule.slot, rule.high});
      held_.emplace_back(rule.slot, event.seconds + TriggerSeconds);
    } else if (event.kind == SoundEvent::Kind::Energy &&
               (rule.source == Source::SoundBand || rule.source == Source::SoundLevel)) {
      const float fraction = rule.source == Source::SoundBand ? event.bands[static_cast<size_t>(rule.number)] : event.level;
      writes.push_back({rule.slot, rule.low + fraction * (rule.high - rule.low)});
    }
  }
}

void TSoundMapper::ReleaseTriggers(double streamSeconds, std::vector<SlotWrite>& writes) {
  for (auto it = held_.begin(); it != held_.end();) {
    if (it->second <= streamSeconds) {
      writes.push_back({it->first, AbsentStreamValue()});
      it = held_.erase(it);
    } else {
      ++it;
    }
  }
}
