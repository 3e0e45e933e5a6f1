// Following a MIDI clock: 24 ticks a beat, a tempo from the ticks' times, Start, Continue, Stop.
#pragma once
#include <deque>

// Beats a minute of evenly spaced events (ticksPerBeat of them a beat) from their times, robust
// to a few late ones; 0 with fewer than two or no forward spacing.
double BpmOfEvenTimes(const std::deque<double>& times, int ticksPerBeat);

class TMidiClock {
 public:
  static constexpr int TicksPerBeat = 24;
  static constexpr int BeatsPerBar = 4;

  // A tick at these seconds (the MIDI API's time for the tempo, arrival for the position).
  void Tick(double apiSeconds, double arrivalSeconds);
  // Start: the next tick is the first of a bar. Continue: from the song position if one came
  // since the stop, else from the next bar. Stop: the beat holds where it is.
  void Start();
  void Continue();
  void Stop();
  // Song position pointer, in sixteenth notes.
  void SongPosition(int sixteenths);

  // Whether the clock governs the beat at this arrival time: ticks heard within the last two
  // seconds, or held by a Stop (until Start or Continue).
  bool Governs(double arrivalSeconds) const;
  bool Stopped() const { return stopped_; }
  // Beats a minute from the last four beats of ticks (fewer at first); 0 until two ticks came.
  double Bpm() const { return bpm_; }
  // The beat position at this arrival time: whole beats since Start and the part of the current
  // one, moving smoothly between ticks but never past the next tick.
  double Beats(double arrivalSeconds) const;

 private:
  std::deque<double> tickTimes_;
  double bpm_ = 0;
  long ticks_ = 0;          // ticks counted since Start; -1 waits for the first tick of a bar
  double lastArrival_ = -1e9;
  bool stopped_ = false;
  long songPosition_ = -1;  // in ticks, when a song position came since the stop
};
