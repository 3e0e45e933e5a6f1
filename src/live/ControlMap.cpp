// Map files read into rules, MIDI bytes decoded into messages, and messages turned into slot values.
#include "live/ControlMap.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "live/DefaultMapText.h"
#include "live/SlotMap.h"
#include "live/StreamPackets.h"

namespace {
using Source = ControlRule::Source;

// A whole number from first to last (inclusive), or false.
bool ReadInt(const std::string& word, int first, int last, int& value) {
  if (word.empty() || word.size() > 6) return false;
  int number = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number < first || number > last) return false;
  value = number;
  return true;
}

bool ReadFloat(const std::string& word, float& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  value = std::strtof(word.c_str(), &end);
  return end && *end == '\0' && std::isfinite(value);
}

// "LOW..HIGH"
bool ReadRange(const std::string& word, float& low, float& high) {
  const size_t dots = word.find("..");
  return dots != std::string::npos && ReadFloat(word.substr(0, dots), low) &&
         ReadFloat(word.substr(dots + 2), high);
}

// Reads one rule from the words of a line; the reason in why when it is malformed.
bool ReadRule(const std::vector<std::string>& words, ControlRule& rule, std::string& why) {
  size_t at = 0;
  auto next = [&]() -> std::string { return at < words.size() ? words[at++] : std::string(); };
  const std::string kind = next();
  if (kind == "cc") {
    const std::string number = next();
    const size_t plus = number.find('+');
    if (plus == std::string::npos) {
      rule.source = Source::Control;
      if (!ReadInt(number, 0, 127, rule.number)) return why = "a controller is a number from 0 to 127", false;
    } else {
      rule.source = Source::Control14;
      if (!ReadInt(number.substr(0, plus), 0, 31, rule.number) ||
          !ReadInt(number.substr(plus + 1), 32, 63, rule.fine))
        return why = "a 14-bit pair is a coarse controller 0 to 31 and its fine one 32 to 63 (cc 1+33)", false;
    }
  } else if (kind == "note") {
    rule.source = Source::Note;
    if (!ReadInt(next(), 0, 127, rule.number)) return why = "a note is a number from 0 to 127", false;
  } else if (kind == "bend") {
    rule.source = Source::PitchBend;
  } else if (kind == "audio") {
    const std::string what = next();
    if (what == "onset") rule.source = Source::SoundOnset;
    else if (what == "kick") rule.source = Source::SoundKick;
    else if (what == "level") rule.source = Source::SoundLevel;
    else if (what == "tempo") rule.source = Source::SoundTempo;
    else if (what == "band") {
      rule.source = Source::SoundBand;
      if (!ReadInt(next(), 0, 3, rule.number)) return why = "a sound band is 0, 1, 2 or 3", false;
    } else {
      return why = "the sound gives onset, kick, band B, level or tempo, not \"" + what + "\"", false;
    }
  } else {
    return why = "a rule starts with cc, note, bend or audio, not \"" + kind + "\"", false;
  }
  const bool midi = kind != "audio";
  if (midi && at < words.size() && words[at] == "ch") {
    ++at;
    int channel = 0;
    if (!ReadInt(next(), 1, 16, channel)) return why = "a channel is a number from 1 to 16", false;
    rule.channel = channel - 1;
  }
  if (next() != "->") return why = "\"->\" must follow the control", false;
  const std::string target = next();
  if (target == "beat") {
    if (rule.source != Source::SoundTempo) return why = "only \"audio tempo\" drives the beat", false;
    rule.toBeat = true;
    if (at != words.size()) return why = "nothing may follow \"beat\"", false;
    return true;
  }
  if (target != "slot") return why = "the target is \"slot S\" or \"beat\"", false;
  if (rule.source == Source::SoundTempo) return why = "\"audio tempo\" drives the beat: \"audio tempo -> beat\"", false;
  const std::string slot = next();
  rule.slot = LiveSlotNamed(slot);
  if (rule.slot < 0 && !ReadInt(slot, 0, MaxStreamCount - 1, rule.slot))
    return why = "no slot \"" + slot + "\": a number from 0 to 63 or a slot's name", false;
  if (rule.slot < static_cast<int>(LiveSlotMap.size())) {
    rule.low = LiveSlotMap[static_cast<size_t>(rule.slot)].low;
    rule.high = LiveSlotMap[static_cast<size_t>(rule.slot)].high;
  }
  if (at < words.size() && !ReadRange(words[at++], rule.low, rule.high))
    return why = "a range is two numbers such as 0..1", false;
  if (at != words.size()) return why = "unexpected \"" + words[at] + "\" at the end", false;
  return true;
}

float Spread(const ControlRule& rule, float fraction) { return rule.low + fraction * (rule.high - rule.low); }

bool IsSound(Source source) {
  return source == Source::SoundOnset || source == Source::SoundKick || source == Source::SoundBand ||
         source == Source::SoundLevel || source == Source::SoundTempo;
}

// Data bytes each channel status takes (the status's high nibble 8 to E).
int DataBytes(uint8_t status) { return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2; }
}  // namespace

bool ControlMap::HasSoundRules() const {
  for (const ControlRule& rule : rules)
    if (IsSound(rule.source)) return true;
  return false;
}

bool ControlMap::HasMidiRules() const {
  for (const ControlRule& rule : rules)
    if (!IsSound(rule.source)) return true;
  return false;
}

bool ParseControlMap(std::string_view text, ControlMap& map, std::string& error) {
  map.rules.clear();
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream split(line);
    std::vector<std::string> words;
    for (std::string word; split >> word;) words.push_back(word);
    if (words.empty()) continue;
    ControlRule rule;
    rule.line = number;
    std::string why;
    if (!ReadRule(words, rule, why)) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    map.rules.push_back(rule);
  }
  return true;
}

std::string_view DefaultControlMapText() { return DefaultMapText; }

const ControlMap& DefaultControlMap() {
  static const ControlMap map = [] {
    ControlMap parsed;
    std::string error;
    ParseControlMap(DefaultControlMapText(), parsed, error);
    return parsed;
  }();
  return map;
}

MidiMessage DecodeMidi(const uint8_t* bytes, size_t size, uint8_t& runningStatus) {
  MidiMessage message;
  using Kind = MidiMessage::Kind;
  if (size == 0) {
    message.kind = Kind::Malformed;
    return message;
  }
  uint8_t status = bytes[0];
  size_t data = 1;
  if (status < 0x80) {
    // Running status: the data bytes of another message of the last channel status.
    if (runningStatus == 0) {
      message.kind = Kind::Malformed;
      return message;
    }
    status = runningStatus;
    data = 0;
    message.runningStatus = true;
  }
  auto dataByte = [&](size_t i, int& out) {
    if (data + i >= size || bytes[data + i] > 0x7F) return false;
    out = bytes[data + i];
    return true;
  };
  if (status < 0xF0) {
    runningStatus = status;
    message.channel = status & 0x0F;
    int a = 0, b = 0;
    if (!dataByte(0, a) || (DataBytes(status) == 2 && !dataByte(1, b))) {
      message.kind = Kind::Malformed;
      return message;
    }
    message.data1 = a;
    message.data2 = b;
    switch (status & 0xF0) {
      case 0x80: message.kind = Kind::NoteOff; break;
      case 0x90: message.kind = b == 0 ? Kind::NoteOff : Kind::NoteOn; break;
      case 0xA0: message.kind = Kind::PolyPressure; break;
      case 0xB0: message.kind = Kind::Control; break;
      case 0xC0: message.kind = Kind::Program; break;
      case 0xD0: message.kind = Kind::ChannelPressure; break;
      default:
        message.kind = Kind::PitchBend;
        message.data1 = a | b << 7;
        message.data2 = 0;
        break;
    }
    return message;
  }
  // System messages; common ones end running status, real-time ones do not.
  if (status < 0xF8) runningStatus = 0;
  switch (status) {
    case 0xF0: message.kind = Kind::SysEx; message.data1 = static_cast<int>(size); break;
    case 0xF2: {
      int a = 0, b = 0;
      message.kind = dataByte(0, a) && dataByte(1, b) ? Kind::SongPosition : Kind::Malformed;
      message.data1 = a | b << 7;
      break;
    }
    case 0xF1: case 0xF3: case 0xF6: case 0xF7: message.kind = Kind::OtherSystem; break;
    case 0xF8: message.kind = Kind::Clock; break;
    case 0xFA: message.kind = Kind::Start; break;
    case 0xFB: message.kind = Kind::Continue; break;
    case 0xFC: message.kind = Kind::Stop; break;
    case 0xFE: message.kind = Kind::ActiveSensing; break;
    case 0xFF: message.kind = Kind::Reset; break;
    default: message.kind = Kind::Unknown; break;  // F4, F5, F9, FD
  }
  return message;
}

std::string DescribeMidi(const MidiMessage& m) {
  using Kind = MidiMessage::Kind;
  char text[80];
  const int ch = m.channel + 1;
  switch (m.kind) {
    case Kind::NoteOff: std::snprintf(text, sizeof text, "note off ch %d %d", ch, m.data1); break;
    case Kind::NoteOn: std::snprintf(text, sizeof text, "note on ch %d %d vel %d", ch, m.data1, m.data2); break;
    case Kind::PolyPressure: std::snprintf(text, sizeof text, "pressure ch %d %d %d", ch, m.data1, m.data2); break;
    case Kind::Control: std::snprintf(text, sizeof text, "cc ch %d %d = %d", ch, m.data1, m.data2); break;
    case Kind::Program: std::snprintf(text, sizeof text, "program ch %d %d", ch, m.data1); break;
    case Kind::ChannelPressure: std::snprintf(text, sizeof text, "pressure ch %d %d", ch, m.data1); break;
    case Kind::PitchBend: std::snprintf(text, sizeof text, "bend ch %d %d", ch, m.data1); break;
    case Kind::SysEx: std::snprintf(text, sizeof text, "sysex %d bytes", m.data1); break;
    case Kind::SongPosition: std::snprintf(text, sizeof text, "song position %d", m.data1); break;
    case Kind::Clock: return "clock";
    case Kind::Start: return "start";
    case Kind::Continue: return "continue";
    case Kind::Stop: return "stop";
    case Kind::ActiveSensing: return "active sensing";
    case Kind::Reset: return "reset";
    case Kind::OtherSystem: return "system";
    case Kind::Unknown: return "unknown";
    case Kind::Malformed: return "malformed";
  }
  std::string out = text;
  if (m.runningStatus) out += " (running status)";
  return out;
}

void TControlMapper::Apply(const MidiMessage& message, std::vector<SlotWrite>& writes) {
  using Kind = MidiMessage::Kind;
  const float absent = AbsentStreamValue();
  const int ch = message.channel;
  if (message.kind == Kind::Control) {
    // Remember both halves of every controller: a 14-bit pair may send them in either order.
    if (message.data1 < 32) {
      coarse_[ch][message.data1] = static_cast<uint8_t>(message.data2);
      fine_[ch][message.data1 + 32] = 0;  // a new coarse value starts its fine part afresh
    } else {
      fine_[ch][message.data1] = static_cast<uint8_t>(message.data2);
    }
  }
  for (const ControlRule& rule : map_.rules) {
    if (rule.channel >= 0 && rule.channel != ch) continue;
    switch (rule.source) {
      case Source::Control:
        if (message.kind == Kind::Control && message.data1 == rule.number)
          writes.push_back({rule.slot, message.data2 == 0 ? absent : Spread(rule, message.data2 / 127.0f)});
        break;
      case Source::Control14:
        if (message.kind == Kind::Control && (message.data1 == rule.number || message.data1 == rule.fine)) {
          const int value = coarse_[ch][rule.number] << 7 | fine_[ch][rule.fine];
          writes.push_back({rule.slot, value == 0 ? absent : Spread(rule, value / 16383.0f)});
        }
        break;
      case Source::Note:
        if (message.kind == Kind::NoteOn && message.data1 == rule.number)
          writes.push_back({rule.slot, Spread(rule, message.data2 / 127.0f)});
        else if (message.kind == Kind::NoteOff && message.data1 == rule.number)
          writes.push_back({rule.slot, absent});
        break;
      case Source::PitchBend:
        if (message.kind == Kind::PitchBend) writes.push_back({rule.slot, Spread(rule, message.data1 / 16383.0f)});
        break;
      default: break;
    }
  }
}
