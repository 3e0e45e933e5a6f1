// The show leads the session: it never follows, since its music is fixed.
#include "app/ShowLinkLeader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "timeline/SyncTracks.h"

namespace {
// The session's beat may stray this far from the music heard before it is set again: the heard
// clock is smooth but not the machine's clock, and every correction moves the peers' phase.
constexpr double LeadToleranceSeconds = 0.002;
constexpr int64_t ClockLogMicros = 100000;
}  // namespace

ShowLinkLeader::ShowLinkLeader(int quantum)
    : session_(Bpm, quantum), clockLog_(std::getenv("VANTREL_CLOCK_LOG") != nullptr) {}

void ShowLinkLeader::Frame(double heardShow, bool playing) {
  const int64_t now = session_.Micros();
  const size_t peers = session_.Peers();
  // A peer that came, left, or moved the tempo or the play state: the whole lead is said again.
  const bool changed = session_.TakeChange() || peers != peers_;
  peers_ = peers;
  if (!playing) {
    if (led_ || changed) session_.SetPlaying(false, now);
    led_ = false;  // resuming leads afresh, wherever the music starts again
    return;
  }
  // The show's beat clock counts from show time 0 at the show's tempo (BeatClock.cpp).
  const double beat = heardShow * Bpm / 60.0;
  const LinkMoment moment = session_.At(now);
  const bool tempoMoved = std::fabs(moment.tempo - Bpm) > 1e-6;
  if (tempoMoved && led_ && !toldKeep_) {
    std::fprintf(stderr, "vantrel: a Link peer moved the session's tempo (to %.2f BPM); the show keeps its own %.0f BPM\n",
                 moment.tempo, static_cast<double>(Bpm));
    toldKeep_ = true;
  }
  const double straySeconds = std::fabs(moment.beats - beat) * 60.0 / Bpm;
  if (!led_ || changed || tempoMoved || straySeconds > LeadToleranceSeconds) {
    session_.Lead(Bpm, beat, now);
    ++leads_;
  }
  if (!led_ || changed || !moment.playing) session_.SetPlaying(true, now);
  led_ = true;
  if (clockLog_ && now - lastLog_ >= ClockLogMicros) {
    lastLog_ = now;
    std::fprintf(stderr, "vantrel: link %lld peers %zu tempo %.3f beat %.6f heard %.6f playing %d leads %ld\n",
                 static_cast<long long>(now), peers, static_cast<double>(Bpm), beat, heardShow,
                 moment.playing ? 1 : 0, leads_);
  }
}
