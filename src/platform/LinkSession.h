// A place in a Link session on the local network: a shared tempo, beat phase and play state.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// The session as it stands at one moment of Link's clock.
struct LinkMoment {
  int64_t micros = 0;    // Link's clock (the machine's raw monotonic clock), microseconds
  double tempo = 120.0;  // beats a minute, 20 to 999 as Link keeps it
  double beats = 0;      // the beat at that moment, aligned to the quantum
  double phase = 0;      // beats into the current quantum, 0 to quantum
  bool playing = false;  // the shared play state (start/stop sync)
};

// Joins the session at construction (when join is true: Link then sends multicast on every
// network interface that is up) and leaves it at destruction, whose Link threads are joined there.
// Link's own threads only raise flags here; every call below belongs to one thread, the caller's.
class TLinkSession {
 public:
  TLinkSession(double bpm, double quantum, bool join = true);
  ~TLinkSession();
  TLinkSession(const TLinkSession&) = delete;
  TLinkSession& operator=(const TLinkSession&) = delete;

  double Quantum() const { return quantum_; }
  // Link's clock now, in microseconds.
  int64_t Micros() const;
  // The peers met (not counting this one).
  size_t Peers() const;
  // The session at a moment of Link's clock (past, now or a little ahead).
  LinkMoment At(int64_t micros) const;
  // A tempo for the session from now on, the beat kept where it is (what a performer does).
  void SetTempo(double bpm);
  // Leads the session: this tempo, and this beat at that moment, forced on every peer (the show,
  // whose music cannot move).
  void Lead(double bpm, double beat, int64_t micros);
  // The play state shared from the given moment on, told to the peers again even when this
  // peer's view already holds it (a session joined since may not know it).
  void SetPlaying(bool playing, int64_t micros);
  // True once after a peer changed the session's tempo or play state (set on Link's thread).
  bool TakeChange();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  double quantum_;
};
