// Which source the live beat follows when several are on: one rule, here.
#pragma once

enum class BeatSource { MidiClock, Link, Sound, Own };

// What could drive the beat for the frame drawn now.
struct BeatCandidates {
  bool midiClock = false;  // a MIDI clock ticked within 2 s, or its Stop holds the beat
  bool link = false;       // the live mode is in a Link session (--link), with or without peers
  bool sound = false;      // "audio tempo -> beat" is mapped and the sound gave a beat within 3 s
};

// The rule: a MIDI clock that is heard wins (a cable the performer plugged in for this set), then
// the Link session (the band's shared tempo), then the tempo heard in the room (a guess from the
// sound), and with none of them the instrument's own 157 BPM.
BeatSource ChooseBeatSource(const BeatCandidates& candidates);
// "MIDI clock", "Link", "sound", "own": for the tool window and the monitor.
const char* BeatSourceName(BeatSource source);
