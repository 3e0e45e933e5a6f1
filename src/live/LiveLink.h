// The live mode in a Link session: the beat its layers draw with, and the tempo a performer sets.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/LinkSession.h"

// The tempos the layers are drawn at: a session outside them (Link allows 20 to 999 BPM) is drawn
// at half, a quarter, ... (or twice, four times) its tempo, so that the waves neither strobe nor
// stall and still fall on the session's beats.
inline constexpr double LowestDrawnBpm = 40.0;
inline constexpr double HighestDrawnBpm = 240.0;
// Session beats per drawn beat at this tempo: 1 within the drawn range, else the power of two that
// brings the tempo into it.
double DrawnBeatSpan(double bpm);

struct LiveLinkSettings {
  double quantum = 4;       // beats of a bar, the phase's span
  double leadSeconds = 0;   // a frame drawn now is seen this much later (one refresh)
  bool join = true;         // false: a session of our own, nothing sent (tests)
  bool monitor = false;     // a line on standard output at each beat and each change
  bool clockLog = false;    // a line on standard error ten times a second
};

class TLiveLink {
 public:
  explicit TLiveLink(const LiveLinkSettings& settings);

  // Reads the session for a frame drawn now: the beat at the moment the frame is seen. While the
  // session is stopped (after it played) the beat holds where it stopped.
  void Update();
  // The beat the layers draw with (session beats / DrawnBeatSpan) from the last Update.
  double DrawnBeats() const { return drawnBeats_; }
  const LinkMoment& Moment() const { return moment_; }
  size_t Peers() const { return peers_; }
  // A performer's tempo, clamped to Link's 20 to 999 BPM, committed for every peer to follow.
  void SetTempo(double bpm);
  // Once a turn after Update: the monitor's and the clock log's lines; changes in the peers met
  // as sentences.
  void Report(std::vector<std::string>& notices);
  // "Link 2 peers, 120.0 BPM, phase 2.35/4" (", stopped" while the session is stopped).
  std::string Caption() const;
  // The end-of-run line.
  std::string Summary() const;
  TLinkSession& Session() { return session_; }

 private:
  std::string Line() const;

  LiveLinkSettings settings_;
  TLinkSession session_;
  LinkMoment moment_;
  size_t peers_ = 0, reportedPeers_ = 0, mostPeers_ = 0;
  double drawnBeats_ = 0;
  bool playedOnce_ = false, holding_ = false;
  long tempoCommits_ = 0;
  double lastLog_ = -1;
  double reportedTempo_ = 0, reportedBeat_ = -1;
  bool reportedPlaying_ = false;
};
