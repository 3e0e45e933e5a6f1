// A MIDI input through RtMidi (ALSA sequencer or JACK): messages handed to the main thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class RtMidiIn;

enum class MidiSystem { Any, Alsa, Jack };
// The system a name chooses: "alsa", "jack"; anything else (empty) whichever works.
MidiSystem MidiSystemNamed(const std::string& name);

// One message as it arrived; a system-exclusive message keeps only its length.
struct MidiArrival {
  double apiSeconds = 0;      // the MIDI API's own time (sums of its message spacings)
  double arrivalSeconds = 0;  // the steady clock when the callback ran
  uint8_t bytes[3] = {};
  uint8_t size = 0;
  uint32_t sysexBytes = 0;    // nonzero for system exclusive
};

// The names of the input ports the API sees; false with the reason when the API cannot start.
bool ListMidiPorts(MidiSystem api, std::vector<std::string>& names, std::string& error);

class TMidiInput {
 public:
  TMidiInput();
  ~TMidiInput();
  TMidiInput(const TMidiInput&) = delete;
  TMidiInput& operator=(const TMidiInput&) = delete;

  // Opens port: empty for a virtual port named "vantrel" that others connect to; digits for that
  // port number; otherwise the first port whose name contains it (waited for, through
  // CheckPort, when there is none yet). False with the reason when the MIDI system cannot start.
  bool Open(MidiSystem api, const std::string& port, std::string& error);
  bool IsOpen() const { return in_ != nullptr; }
  // Readable (poll) while messages wait to be taken.
  int WakeDescriptor() const { return wake_; }
  // Moves every waiting message into out (main thread).
  void Take(std::vector<MidiArrival>& out);
  // Messages thrown away because the main thread fell behind by a whole queue.
  long Dropped() const { return dropped_.load(); }
  const std::string& PortName() const { return portName_; }
  // Called now and then: a named port that vanished is said once and reconnected when it comes
  // back. Returns a sentence to show when something changed, else an empty string.
  std::string CheckPort();
  long Vanished() const { return vanished_; }
  // The last warning the MIDI API gave (a port gone, a buffer overrun), and how many there were.
  std::string TakeWarning();
  long Warnings() const { return warnings_.load(); }
  // Keeps a warning of the MIDI API (its error callback, on whichever thread it runs).
  void NoteWarning(const std::string& text);

 private:
  static void OnMessage(double delta, std::vector<unsigned char>* message, void* self);
  bool Connect(const std::string& port, std::string& error);

  std::unique_ptr<RtMidiIn> in_;
  std::string wanted_;       // the port asked for; empty: virtual
  std::string portName_;
  bool connected_ = false;
  long vanished_ = 0;
  int wake_ = -1;
  std::mutex mutex_;
  std::vector<MidiArrival> queue_;
  std::string warning_;
  std::atomic<long> dropped_{0};
  std::atomic<long> warnings_{0};
  double apiClock_ = 0;      // callback thread only
};
