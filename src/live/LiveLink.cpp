// The Link session read for each frame and reported to the performer.
#include "live/LiveLink.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
// Link's own tempo range: a tempo set outside it is brought to its edge.
constexpr double LowestLinkBpm = 20.0;
constexpr double HighestLinkBpm = 999.0;
constexpr int64_t ClockLogMicros = 100000;
}  // namespace

double DrawnBeatSpan(double bpm) {
  if (!(bpm > 0) || !std::isfinite(bpm)) return 1;
  double span = 1;
  while (bpm / span > HighestDrawnBpm) span *= 2;
  while (bpm / span < LowestDrawnBpm) span /= 2;
  return span;
}

TLiveLink::TLiveLink(const LiveLinkSettings& settings)
    : settings_(settings), session_(120.0, settings.quantum, settings.join) {
  Update();
}

void TLiveLink::Update() {
  const auto lead = static_cast<int64_t>(std::llround(settings_.leadSeconds * 1e6));
  const LinkMoment moment = session_.At(session_.Micros() + lead);
  peers_ = session_.Peers();
  mostPeers_ = std::max(mostPeers_, peers_);
  if (moment.playing) playedOnce_ = true;
  // A session nobody ever started is not stopped: most peers share no play state at all.
  holding_ = playedOnce_ && !moment.playing;
  // While held, the layers keep the beat they had when the session stopped.
  if (!holding_) drawnBeats_ = moment.beats / DrawnBeatSpan(moment.tempo);
  moment_ = moment;
}

void TLiveLink::SetTempo(double bpm) {
  if (!std::isfinite(bpm)) return;
  session_.SetTempo(std::clamp(bpm, LowestLinkBpm, HighestLinkBpm));
  ++tempoCommits_;
  Update();
}

std::string TLiveLink::Line() const {
  char line[200];
  std::snprintf(line, sizeof line, "link %lld peers %zu tempo %.3f beat %.6f phase %.6f playing %d span %g",
                static_cast<long long>(moment_.micros), peers_, moment_.tempo, drawnBeats_, moment_.phase,
                moment_.playing ? 1 : 0, DrawnBeatSpan(moment_.tempo));
  return line;
}

void TLiveLink::Report(std::vector<std::string>& notices) {
  if (peers_ != reportedPeers_) {
    notices.push_back("Link: " + std::to_string(peers_) + (peers_ == 1 ? " peer" : " peers") + " in the session");
    reportedPeers_ = peers_;
  }
  const double micros = static_cast<double>(moment_.micros);
  if (settings_.clockLog && micros - lastLog_ >= ClockLogMicros) {
    lastLog_ = micros;
    std::fprintf(stderr, "vantrel: %s\n", Line().c_str());
  }
  if (!settings_.monitor) return;
  // The monitor: once a beat, and whenever the tempo or the play state changes.
  const double beat = std::floor(moment_.beats);
  if (beat != reportedBeat_ || moment_.tempo != reportedTempo_ || moment_.playing != reportedPlaying_) {
    reportedBeat_ = beat;
    reportedTempo_ = moment_.tempo;
    reportedPlaying_ = moment_.playing;
    std::printf("%s\n", Line().c_str());
    std::fflush(stdout);
  }
}

std::string TLiveLink::Caption() const {
  char text[96];
  std::snprintf(text, sizeof text, "Link %zu %s, %.1f BPM, phase %.2f/%g%s", peers_, peers_ == 1 ? "peer" : "peers",
                moment_.tempo, moment_.phase, settings_.quantum, holding_ ? ", stopped" : "");
  return text;
}

std::string TLiveLink::Summary() const {
  char text[160];
  std::snprintf(text, sizeof text, "Link: at most %zu peers, %zu at the end, last tempo %.2f BPM, %ld tempos committed",
                mostPeers_, peers_, moment_.tempo, tempoCommits_);
  return text;
}
