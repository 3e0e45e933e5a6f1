// The sound server's own latency for this program's music: asked of a PulseAudio-protocol server
// (PulseAudio, or PipeWire's pipewire-pulse) over a second connection that only asks, while SDL
// keeps playing the sound over its own.
#pragma once
#include <atomic>
#include <memory>

class ServerLatency {
 public:
  // Readings averaged: the latest ones within this many seconds (single readings jump by up to a
  // server buffer).
  static constexpr double AveragedSeconds = 0.5;
  // Between two questions to the server.
  static constexpr double PollSeconds = 0.1;
  // A stream's first readings are far too long (its sink settles within a second or two of the
  // stream's start): a stream is believed once it has played this long.
  static constexpr double SettlingSeconds = 1.5;

  ServerLatency();
  ~ServerLatency();
  ServerLatency(const ServerLatency&) = delete;
  ServerLatency& operator=(const ServerLatency&) = delete;

  // Connects to the server the environment names (PULSE_SERVER, the session's) on a thread of
  // libpulse's own and asks it, every PollSeconds, for this process's playback stream; a server
  // that goes away is asked for again every second. False when libpulse cannot start at all.
  bool Start();
  // Ends the connection and its thread (also done by the destructor).
  void Stop();

  // The smoothed delay from the moment a buffer is handed to the server to the moment its first
  // frame is heard: the stream's buffer on the server plus the sink's own latency, in seconds.
  // NaN while no server answers, while this process has no playback stream there, or while its
  // stream settles.
  double Seconds() const { return seconds_.load(std::memory_order_acquire); }
  // The stream's buffer on the server alone (what it still holds when a buffer is handed over),
  // smoothed like Seconds; NaN when Seconds is.
  double BufferSeconds() const { return bufferSeconds_.load(std::memory_order_acquire); }
  // Readings taken so far (a test's way to wait for the first).
  long Readings() const { return readings_.load(std::memory_order_acquire); }

  struct Connection;  // libpulse's side, on its own thread

 private:
  std::unique_ptr<Connection> connection_;
  std::atomic<double> seconds_;
  std::atomic<double> bufferSeconds_;
  std::atomic<long> readings_{0};
  friend struct Connection;
};
