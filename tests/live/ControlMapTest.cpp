// The MIDI and sound map as a performer meets it: the file's rules, controls reaching their
// slots, MIDI bytes as controllers send them, and the clock's tempo and transport.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <string>
#include <vector>

#include "live/ControlMap.h"
#include "live/MidiClock.h"
#include "live/SlotMap.h"

namespace {
std::vector<SlotWrite> Play(TControlMapper& mapper, std::vector<uint8_t> bytes, uint8_t& running) {
  std::vector<SlotWrite> writes;
  mapper.Apply(DecodeMidi(bytes.data(), bytes.size(), running), writes);
  return writes;
}
}  // namespace

TEST(ControlMap, MalformedLineIsRefusedByNumberAndTheLinesBeforeItKept) {
  ControlMap map;
  std::string error;
  const char* text =
      "# a comment\n"
      "cc 1 ch 2 -> slot flash 0..0.5   # trailing comment\n"
      "\n"
      "note 36 -> slot 12\n"
      "cc 7 -> slot 3 zero..one\n"
      "cc 8 -> slot 4\n";
  EXPECT_FALSE(ParseControlMap(text, map, error));
  EXPECT_EQ(error.rfind("line 5: ", 0), 0u) << error;
  ASSERT_EQ(map.rules.size(), 2u);
  EXPECT_EQ(map.rules[0].channel, 1);
  EXPECT_EQ(map.rules[0].slot, FlashSlot);
  EXPECT_FLOAT_EQ(map.rules[0].high, 0.5f);
  EXPECT_FLOAT_EQ(map.rules[1].high, 1.0f);  // slot 12 is not in the slot map: 0..1

  for (const char* broken : {"cc 128 -> slot 1", "cc 1 ch 17 -> slot 1", "cc 1 -> slot 64", "cc 1 slot 1",
                             "audio tempo -> slot 1", "note 1 -> beat", "cc 40+10 -> slot 1", "audio band 4 -> slot 1",
                             "cc 1 -> slot nowhere", "cc 1 -> slot 1 0..1 extra", "cc 1 -> slot 1 0..nan"})
    EXPECT_FALSE(ParseControlMap(broken, map, error)) << broken;
  // The built-in map reads whole and listens to both MIDI and the sound.
  EXPECT_TRUE(ParseControlMap(DefaultControlMapText(), map, error)) << error;
  EXPECT_TRUE(map.HasMidiRules());
  EXPECT_TRUE(map.HasSoundRules());
}

TEST(ControlMap, ControlsReachTheirSlotsOverTheirRanges) {
  ControlMap map;
  std::string error;
  ASSERT_TRUE(ParseControlMap("cc 5 -> slot overlay\n"
                              "cc 1+33 ch 1 -> slot 20 -1..1\n"
                              "note 36 -> slot flash\n"
                              "bend ch 2 -> slot feedback\n",
                              map, error));
  TControlMapper mapper(map);
  uint8_t running = 0;
  // A knob over the overlay picture's range; at 0 the slot is absent.
  auto writes = Play(mapper, {0xB3, 5, 127}, running);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].slot, OverlayPictureSlot);
  EXPECT_FLOAT_EQ(writes[0].value, 4.0f);
  writes = Play(mapper, {0xB3, 5, 0}, running);
  EXPECT_TRUE(std::isnan(writes.at(0).value));
  // Running status: the next control without its status byte.
  writes = Play(mapper, {5, 127}, running);
  EXPECT_FLOAT_EQ(writes.at(0).value, 4.0f);
  // A 14-bit pair on channel 1 only: coarse 64 and fine 0 is the middle; the fine part refines.
  EXPECT_TRUE(Play(mapper, {0xB1, 1, 64}, running).empty());
  writes = Play(mapper, {0xB0, 1, 64}, running);
  EXPECT_NEAR(writes.at(0).value, 2.0f * 8192 / 16383 - 1, 1e-6);
  writes = Play(mapper, {0xB0, 33, 127}, running);
  EXPECT_NEAR(writes.at(0).value, 2.0f * 8319 / 16383 - 1, 1e-6);
  // A pad lights the flash by its velocity while held.
  writes = Play(mapper, {0x99, 36, 127}, running);
  EXPECT_FLOAT_EQ(writes.at(0).value, 1.0f);
  writes = Play(mapper, {0x99, 36, 0}, running);
  EXPECT_TRUE(std::isnan(writes.at(0).value));
  // Pitch bend: all 14 bits, never absent.
  writes = Play(mapper, {0xE1, 0, 0}, running);
  EXPECT_FLOAT_EQ(writes.at(0).value, 0.0f);
  writes = Play(mapper, {0xE1, 0x7F, 0x7F}, running);
  EXPECT_FLOAT_EQ(writes.at(0).value, 1.0f);
}

TEST(ControlMap, BadBytesDecodeAsWhatTheyAre) {
  uint8_t running = 0;
  auto kind = [&](std::vector<uint8_t> bytes) { return DecodeMidi(bytes.data(), bytes.size(), running).kind; };
  using Kind = MidiMessage::Kind;
  EXPECT_EQ(kind({0x40, 0x50}), Kind::Malformed);  // data bytes with no status to run on
  EXPECT_EQ(kind({0x90, 60}), Kind::Malformed);    // cut short
  EXPECT_EQ(kind({0x90, 60, 200}), Kind::Malformed);
  EXPECT_EQ(kind({0xF4}), Kind::Unknown);
  EXPECT_EQ(kind({0xF0, 1, 2, 0xF7}), Kind::SysEx);
  EXPECT_EQ(kind({0x90, 60, 1}), Kind::NoteOn);
  EXPECT_EQ(kind({0xF8}), Kind::Clock);            // real time keeps running status
  EXPECT_EQ(kind({61, 1}), Kind::NoteOn);
  EXPECT_EQ(kind({0xF2, 0, 1}), Kind::SongPosition);  // system common ends it
  EXPECT_EQ(kind({61, 1}), Kind::Malformed);
  EXPECT_EQ(kind({}), Kind::Malformed);
}

TEST(MidiClock, FollowsTheTempoWithinHalfABpmAndHoldsOnStop) {
  TMidiClock clock;
  const double tick = 60.0 / (128.0 * 24);
  double t = 10;
  // Jitter of a 5 ms audio period, as a JACK sender has.
  auto send = [&](int ticks) {
    for (int i = 0; i < ticks; ++i, t += tick) clock.Tick(std::floor(t / 0.005333) * 0.005333, t);
  };
  clock.Start();
  send(48);
  EXPECT_NEAR(clock.Bpm(), 128.0, 0.5);
  EXPECT_NEAR(clock.Beats(t - tick), 47.0 / 24, 1e-6);  // the first tick after Start is beat 0
  send(30);
  clock.Stop();
  const double held = clock.Beats(t);
  send(48);
  EXPECT_DOUBLE_EQ(clock.Beats(t + 1), held);
  EXPECT_TRUE(clock.Governs(t + 60));  // a stopped clock holds the beat however long
  // Continue without a song position: from the next bar (beat 4).
  clock.Continue();
  send(1);
  EXPECT_NEAR(clock.Beats(t - tick), 4.0, 1e-9);
  // A tempo change is followed once four beats of the new tempo have come.
  const double faster = 60.0 / (140.0 * 24);
  for (int i = 0; i < 96; ++i, t += faster) clock.Tick(t, t);
  EXPECT_NEAR(clock.Bpm(), 140.0, 0.5);
  EXPECT_FALSE(clock.Governs(t + 3));  // the clock went silent: the beat runs on its own
}
