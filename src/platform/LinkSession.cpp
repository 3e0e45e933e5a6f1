// The Link session wrapped: the library's types stay in this file.
#include "platform/LinkSession.h"

#include <ableton/Link.hpp>

#include <atomic>
#include <chrono>

struct TLinkSession::Impl {
  explicit Impl(double bpm) : link(bpm) {}
  // Raised by Link's thread when the tempo or the play state changed; taken by the owner's.
  // Declared first, so that it outlives the Link threads that raise it.
  std::atomic<bool> changed{false};
  ableton::Link link;
};

TLinkSession::TLinkSession(double bpm, double quantum, bool join)
    : impl_(std::make_unique<Impl>(bpm)), quantum_(quantum) {
  std::atomic<bool>& changed = impl_->changed;
  impl_->link.setTempoCallback([&changed](double) { changed = true; });
  impl_->link.setStartStopCallback([&changed](bool) { changed = true; });
  impl_->link.enableStartStopSync(true);
  if (join) impl_->link.enable(true);
}

TLinkSession::~TLinkSession() {
  // Leaving says goodbye to the peers at once, rather than letting them time us out.
  impl_->link.enable(false);
}

int64_t TLinkSession::Micros() const { return impl_->link.clock().micros().count(); }

size_t TLinkSession::Peers() const { return impl_->link.numPeers(); }

LinkMoment TLinkSession::At(int64_t micros) const {
  const auto state = impl_->link.captureAppSessionState();
  const std::chrono::microseconds time(micros);
  LinkMoment moment;
  moment.micros = micros;
  moment.tempo = state.tempo();
  moment.beats = state.beatAtTime(time, quantum_);
  moment.phase = state.phaseAtTime(time, quantum_);
  moment.playing = state.isPlaying();
  return moment;
}

void TLinkSession::SetTempo(double bpm) {
  auto state = impl_->link.captureAppSessionState();
  state.setTempo(bpm, impl_->link.clock().micros());
  impl_->link.commitAppSessionState(state);
}

void TLinkSession::Lead(double bpm, double beat, int64_t micros) {
  auto state = impl_->link.captureAppSessionState();
  const std::chrono::microseconds time(micros);
  state.setTempo(bpm, time);
  state.forceBeatAtTime(beat, time, quantum_);
  impl_->link.commitAppSessionState(state);
}

void TLinkSession::SetPlaying(bool playing, int64_t micros) {
  auto state = impl_->link.captureAppSessionState();
  state.setIsPlaying(playing, std::chrono::microseconds(micros));
  impl_->link.commitAppSessionState(state);
}

bool TLinkSession::TakeChange() { return impl_->changed.exchange(false); }
