// The timed show as the leader of a Link session: its tempo and the phase of its music as heard.
#pragma once
#include "platform/LinkSession.h"

class ShowLinkLeader {
 public:
  // Joins the session (Link then sends on every network interface that is up).
  explicit ShowLinkLeader(int quantum);
  // A frame starts with the music heard at heardShow seconds of show time; paused: it holds.
  // The session gets 186 BPM, beat 0 at show time 0, and the play state; a peer that moved them
  // is overruled, and told once on standard error.
  void Frame(double heardShow, bool playing);

 private:
  TLinkSession session_;
  bool led_ = false;
  bool toldKeep_ = false;
  bool clockLog_ = false;
  int64_t lastLog_ = 0;
  size_t peers_ = 0;
  long leads_ = 0;  // times the session was set: at the start, after a peer moved it, a stray
};
