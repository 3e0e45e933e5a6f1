// The map from MIDI controllers and the sound in the room to stream slots, and MIDI decoding.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One line of a map file.
struct ControlRule {
  enum class Source { Control, Control14, Note, PitchBend, SoundOnset, SoundKick, SoundBand, SoundLevel, SoundTempo };
  Source source = Source::Control;
  int channel = -1;   // 0 to 15; -1: any channel
  int number = 0;     // controller (the coarse one of a 14-bit pair), note or sound band
  int fine = 0;       // the fine controller of a 14-bit pair
  bool toBeat = false;  // the rule drives the live beat rather than a slot
  int slot = 0;
  float low = 0;
  float high = 1;
  int line = 0;
};

struct ControlMap {
  std::vector<ControlRule> rules;
  // Whether any rule listens to the sound; a map without one gets the default's sound rules.
  bool HasSoundRules() const;
  bool HasMidiRules() const;
};

// Parses a map file's text. Stops at the first malformed line: the rules before it are kept and
// error says "line N: why"; true when every line was read.
bool ParseControlMap(std::string_view text, ControlMap& map, std::string& error);
// The default map, the same text as the file installed beside the data.
std::string_view DefaultControlMapText();
// The default map, parsed.
const ControlMap& DefaultControlMap();

// One MIDI message as a controller sent it.
struct MidiMessage {
  enum class Kind {
    NoteOff, NoteOn, PolyPressure, Control, Program, ChannelPressure, PitchBend,
    SysEx, SongPosition, Clock, Start, Continue, Stop, ActiveSensing, Reset, OtherSystem,
    Unknown,   // a status byte MIDI leaves undefined
    Malformed  // too short, a data byte without a status to run on, a data byte above 127
  };
  Kind kind = Kind::Unknown;
  int channel = 0;  // 0 to 15 for channel messages
  int data1 = 0;    // note, controller, program, pressure; pitch bend and song position: 0 to 16383
  int data2 = 0;    // velocity, controller value, pressure
  bool runningStatus = false;  // the status byte was left out and taken from the message before
};

// Decodes one message as the MIDI API delivers it. runningStatus holds the last channel status
// between calls (0: none yet), so a message sent without its status byte still decodes.
MidiMessage DecodeMidi(const uint8_t* bytes, size_t size, uint8_t& runningStatus);
// "note on ch 10 36 100", "cc ch 1 7 64", "clock", ... as --midi-monitor prints it.
std::string DescribeMidi(const MidiMessage& message);

// A slot value set by a MIDI message or a sound event; a NaN value leaves the slot absent.
struct SlotWrite {
  int slot = 0;
  float value = 0;
};

// Applies a map's MIDI rules to incoming messages; remembers the coarse halves of 14-bit pairs.
class TControlMapper {
 public:
  explicit TControlMapper(const ControlMap& map) : map_(map) {}
  // Appends the slot writes the message causes (none for a message no rule takes).
  void Apply(const MidiMessage& message, std::vector<SlotWrite>& writes);

 private:
  ControlMap map_;
  std::array<std::array<uint8_t, 128>, 16> coarse_{};
  std::array<std::array<uint8_t, 128>, 16> fine_{};
};
