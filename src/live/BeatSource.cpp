// The beat sources' order of precedence.
#include "live/BeatSource.h"

BeatSource ChooseBeatSource(const BeatCandidates& candidates) {
  if (candidates.midiClock) return BeatSource::MidiClock;
  if (candidates.link) return BeatSource::Link;
  if (candidates.sound) return BeatSource::Sound;
  return BeatSource::Own;
}

const char* BeatSourceName(BeatSource source) {
  switch (source) {
    case BeatSource::MidiClock: return "MIDI clock";
    case BeatSource::Link: return "Link";
    case BeatSource::Sound: return "sound";
    case BeatSource::Own: return "own";
  }
  return "own";
}
