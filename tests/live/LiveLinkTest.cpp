// The live beat's sources: which one wins, and a Link session's tempo as the layers draw it. The
// sessions here are joined to nobody (nothing is sent): the network is the end-to-end test's.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "live/BeatSource.h"
#include "live/LiveBeat.h"
#include "live/LiveLink.h"
#include "live/LiveTestSupport.h"
#include "live/OscInput.h"
#include "live/PDSServer.h"

namespace {
LiveLinkSettings OwnSession() {
  LiveLinkSettings settings;
  settings.join = false;
  return settings;
}

// The tempo the layers draw at: drawn beats a minute over a short wait.
double DrawnBpm(TLiveLink& link) {
  link.Update();
  const double beats = link.DrawnBeats();
  const int64_t micros = link.Moment().micros;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  link.Update();
  return (link.DrawnBeats() - beats) / ((link.Moment().micros - micros) / 60e6);
}
}  // namespace

TEST(BeatSource, AHeardMidiClockWinsThenLinkThenTheSoundThenTheOwnTempo) {
  for (int bits = 0; bits < 8; ++bits) {
    BeatCandidates on;
    on.midiClock = bits & 1;
    on.link = bits & 2;
    on.sound = bits & 4;
    const BeatSource expected = on.midiClock ? BeatSource::MidiClock
                                : on.link    ? BeatSource::Link
                                : on.sound   ? BeatSource::Sound
                                             : BeatSource::Own;
    EXPECT_EQ(ChooseBeatSource(on), expected) << "candidates " << bits;
  }
}

TEST(LiveLink, AnyTempoLinkAllowsIsDrawnWithinTheDrawnRangeOnTheSessionsBeats) {
  TLiveLink link(OwnSession());
  for (const double asked : {120.0, 999.0, 20.0, 5000.0, 1.0}) {
    link.SetTempo(asked);
    const double session = std::clamp(asked, 20.0, 999.0);
    EXPECT_DOUBLE_EQ(link.Moment().tempo, session) << asked;
    const double drawn = DrawnBpm(link);
    EXPECT_GE(drawn, LowestDrawnBpm * 0.9) << asked;
    EXPECT_LE(drawn, HighestDrawnBpm * 1.1) << asked;
    // A drawn beat is a whole power of two of session beats, so it starts on one of them.
    const double span = DrawnBeatSpan(session);
    EXPECT_DOUBLE_EQ(std::exp2(std::round(std::log2(span))), span) << asked;
    EXPECT_NEAR(drawn, session / span, session / span * 0.1) << asked;
  }
  EXPECT_EQ(DrawnBeatSpan(120.0), 1.0);
  // A tempo that is no number leaves the session as it was.
  link.SetTempo(std::nan(""));
  EXPECT_DOUBLE_EQ(link.Moment().tempo, 20.0);
}

TEST(LiveLink, AnOscTempoIsCommittedToTheSessionAndDrawsNoFrame) {
  OscCounts counts;
  std::vector<OscEvent> events;
  ParseOscDatagram(OscMessageBytes("/tempo", "f", {140.0f}).data(), OscMessageBytes("/tempo", "f", {140.0f}).size(),
                   events, counts);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, OscEvent::Kind::Tempo);
  for (const auto& bad : {OscMessageBytes("/tempo"), OscMessageBytes("/tempo", "f", {-5.0f}),
                          OscMessageBytes("/tempo", "f", {NAN}), OscMessageBytes("/tempo", "N")}) {
    ParseOscDatagram(bad.data(), bad.size(), events, counts);
  }
  EXPECT_EQ(counts.malformed, 4);

  TLiveServerSettings settings;
  settings.listenAddress = "127.0.0.1";
  settings.port = 0;
  settings.oscPort = 0;
  settings.openToolWindow = false;
  settings.link = true;
  settings.linkSettings = OwnSession();
  TPDSServerObject server(settings);
  long frames = 0;
  server.DrawPacketFrame = [&frames] { ++frames; };
  server.DrawTimerFrame = [] {};
  server.TimerInterval = std::chrono::hours(1);
  ASSERT_TRUE(SendDatagram(server.OscPort(), OscMessageBytes("/tempo", "i", {133.0f})));
  ASSERT_TRUE(StepUntil(server, [&] { return server.TempoMessages == 1; }));
  server.Step(0);
  EXPECT_DOUBLE_EQ(server.Link->Moment().tempo, 133.0);
  EXPECT_EQ(frames, 0);
  // With nothing else on, the session drives the beat the layers draw with.
  EXPECT_EQ(server.Beat, BeatSource::Link);
  EXPECT_TRUE(LiveBeat.External);
  ResetLiveBeat();
}
