// The live mode's ears: a MIDI input with its clock and map, and the sound in the room.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "live/ControlMap.h"
#include "live/MidiClock.h"
#include "live/MidiInput.h"
#include "live/SoundAnalysis.h"
#include "platform/SoundCapture.h"

struct TListenerSettings {
  bool midi = false;
  std::string midiPort;        // empty: a virtual port "vantrel"
  MidiSystem midiSystem = MidiSystem::Any;
  ControlMap map;
  bool monitor = false;        // print every message and sound event on standard output
  bool sound = false;
  std::string soundDevice;     // empty: the default recording device
};

// What the MIDI input received, by kind.
struct MidiCounts {
  long messages = 0;
  long mapped = 0;          // messages that set a slot
  long clockTicks = 0;
  long transport = 0;       // Start, Continue, Stop, song position
  long sysex = 0;
  long runningStatus = 0;
  long unknown = 0;         // undefined status bytes
  long malformed = 0;
  long ignored = 0;         // well-formed, but no rule takes it
};

class TLiveListeners {
 public:
  // Opens what the settings ask for; a part that cannot open is said in a message and left out.
  explicit TLiveListeners(const TListenerSettings& settings);
  ~TLiveListeners();
  TLiveListeners(const TLiveListeners&) = delete;
  TLiveListeners& operator=(const TLiveListeners&) = delete;

  bool Any() const { return midi_ != nullptr || sound_ != nullptr; }
  // Descriptors that become readable when something waits.
  std::vector<int> Descriptors() const;
  // Takes what arrived: the slot writes of MIDI and of the sound (appended to midiWrites and
  // soundWrites), the clock and the sound's beat updated; notices (a port gone, silence) are
  // returned as sentences. now: the steady clock in seconds.
  void Serve(double now, std::vector<SlotWrite>& midiWrites, std::vector<SlotWrite>& soundWrites,
             std::vector<std::string>& notices);
  // The MIDI clock's beat position now, when the clock governs the beat (see BeatSource.h).
  bool MidiClockBeat(double now, double& beats) const;
  // The sound's beat position now, when "audio tempo -> beat" is mapped and a beat came lately.
  bool SoundBeat(double now, double& beats) const;
  // "MIDI cc ch 1 7 = 64, clock 128.0 BPM" for the tool window.
  std::string Caption() const;
  // The end-of-run line.
  std::string Summary() const;
  double ClockBpm() const { return clock_.Bpm(); }
  const MidiCounts& Midi() const { return counts_; }

 private:
  void HandleMidi(const MidiArrival& arrival, std::vector<SlotWrite>& writes);
  void HandleSound(double now, std::vector<SlotWrite>& writes);

  TListenerSettings settings_;
  std::unique_ptr<TMidiInput> midi_;
  TControlMapper mapper_;
  TMidiClock clock_;
  uint8_t runningStatus_ = 0;
  MidiCounts counts_;
  std::string lastMessage_ = "none yet";
  double firstArrival_ = -1;
  double nextPortCheck_ = 0;
  std::unique_ptr<TSoundCapture> sound_;
  std::unique_ptr<TSoundAnalysis> analysis_;
  std::unique_ptr<TSoundMapper> soundMapper_;
  std::vector<float> samples_;
  std::vector<SoundEvent> soundEvents_;
  std::vector<MidiArrival> arrivals_;
  bool soundLost_ = false;
  double soundBeatArrival_ = -1e9;
  double soundBeats_ = 0;
};
