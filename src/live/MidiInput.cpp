// RtMidi's callback thread queues each message under a mutex and wakes the main thread's poll.
#include "live/MidiInput.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <rtmidi/RtMidi.h>

#include <cstring>

#include "platform/SteadyClock.h"

namespace {
// Messages waiting for the main thread; beyond this (the main thread stalled for seconds) the
// newest are thrown away and counted.
constexpr size_t QueueLimit = 16384;
constexpr const char* ClientName = "vantrel";

RtMidi::Api ToRtMidi(MidiSystem api) {
  switch (api) {
    case MidiSystem::Alsa: return RtMidi::LINUX_ALSA;
    case MidiSystem::Jack: return RtMidi::UNIX_JACK;
    default: return RtMidi::UNSPECIFIED;
  }
}

// The port whose number or name part the wanted text gives; -1 when there is none.
int FindPort(RtMidiIn& in, const std::string& wanted, std::string& name) {
  const unsigned count = in.getPortCount();
  if (!wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos) {
    const unsigned long number = std::stoul(wanted);
    if (number >= count) return -1;
    name = in.getPortName(static_cast<unsigned>(number));
    return static_cast<int>(number);
  }
  for (unsigned i = 0; i < count; ++i) {
    const std::string candidate = in.getPortName(i);
    if (candidate.find(wanted) != std::string::npos) {
      name = candidate;
      return static_cast<int>(i);
    }
  }
  return -1;
}
// RtMidi's warnings go to the input rather than to standard error.
void OnMidiError(RtMidiError::Type, const std::string& text, void* input) {
  static_cast<TMidiInput*>(input)->NoteWarning(text);
}
}  // namespace

MidiSystem MidiSystemNamed(const std::string& name) {
  if (name == "alsa") return MidiSystem::Alsa;
  if (name == "jack") return MidiSystem::Jack;
  return MidiSystem::Any;
}

bool ListMidiPorts(MidiSystem api, std::vector<std::string>& names, std::string& error) {
  try {
    RtMidiIn in(ToRtMidi(api), ClientName);
    // A system that is not there (no JACK server) is only a warning to RtMidi.
    in.setErrorCallback([](RtMidiError::Type, const std::string& text, void* out) {
      *static_cast<std::string*>(out) = text;
    }, &error);
    for (unsigned i = 0; i < in.getPortCount(); ++i) names.push_back(in.getPortName(i));
    return error.empty() || !names.empty();
  } catch (const RtMidiError& e) {
    error = e.getMessage();
    return false;
  }
}

TMidiInput::TMidiInput() { wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

TMidiInput::~TMidiInput() {
  if (in_) {
    try {
      in_->cancelCallback();
      in_->closePort();
    } catch (const RtMidiError&) {
    }
    in_.reset();
  }
  if (wake_ >= 0) close(wake_);
}

bool TMidiInput::Open(MidiSystem api, const std::string& port, std::string& error) {
  try {
    in_ = std::make_unique<RtMidiIn>(ToRtMidi(api), ClientName);
    in_->setErrorCallback(&OnMidiError, this);
    // System exclusive and the clock are wanted (the first to be counted); active sensing not.
    in_->ignoreTypes(false, false, true);
    in_->setCallback(&TMidiInput::OnMessage, this);
    wanted_ = port;
    if (port.empty()) {
      in_->openVirtualPort(ClientName);
      portName_ = std::string(ClientName) + " (virtual)";
      connected_ = true;
      return true;
    }
    // A controller not plugged in yet is waited for: CheckPort connects it when it appears.
    std::string absent;
    if (!Connect(port, absent)) portName_ = port + " (not there yet)";
    return true;
  } catch (const RtMidiError& e) {
    error = e.getMessage();
    in_.reset();
    return false;
  }
}

bool TMidiInput::Connect(const std::string& port, std::string& error) {
  std::string name;
  const int number = FindPort(*in_, port, name);
  if (number < 0) {
    error = "no MIDI input port \"" + port + "\" (--midi-list shows them)";
    return false;
  }
  in_->openPort(static_cast<unsigned>(number), ClientName);
  portName_ = name;
  connected_ = true;
  return true;
}

std::string TMidiInput::CheckPort() {
  if (!in_ || wanted_.empty()) return {};
  try {
    std::string name;
    const bool present = FindPort(*in_, wanted_, name) >= 0 && (!connected_ || name == portName_);
    if (connected_ && !present) {
      connected_ = false;
      ++vanished_;
      in_->closePort();
      return "MIDI port \"" + portName_ + "\" vanished; waiting for it to come back";
    }
    if (!connected_ && present && vanished_ == 0) {
      std::string error;
      if (Connect(wanted_, error)) return "MIDI port \"" + portName_ + "\" connected";
    }
    if (!connected_ && present) {
      std::string error;
      if (Connect(wanted_, error)) return "MIDI port \"" + portName_ + "\" is back";
    }
  } catch (const RtMidiError& e) {
    return "MIDI: " + e.getMessage();
  }
  return {};
}

void TMidiInput::OnMessage(double delta, std::vector<unsigned char>* message, void* self) {
  auto* input = static_cast<TMidiInput*>(self);
  input->apiClock_ += delta;
  if (!message || message->empty()) return;
  MidiArrival arrival;
  arrival.apiSeconds = input->apiClock_;
  arrival.arrivalSeconds = SteadySeconds();
  if ((*message)[0] == 0xF0) {
    arrival.sysexBytes = static_cast<uint32_t>(message->size());
    arrival.bytes[0] = 0xF0;
    arrival.size = 1;
  } else {
    arrival.size = static_cast<uint8_t>(std::min<size_t>(message->size(), sizeof arrival.bytes));
    std::memcpy(arrival.bytes, message->data(), arrival.size);
  }
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(input->mutex_);
    if (input->queue_.size() >= QueueLimit) {
      ++input->dropped_;
      return;
    }
    wake = input->queue_.empty();
    input->queue_.push_back(arrival);
  }
  if (wake) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(input->wake_, &one, sizeof one);
  }
}

void TMidiInput::NoteWarning(const std::string& text) {
  ++warnings_;
  std::lock_guard<std::mutex> lock(mutex_);
  warning_ = text;
}

void TMidiInput::Take(std::vector<MidiArrival>& out) {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t read_ = read(wake_, &count, sizeof count);
  std::lock_guard<std::mutex> lock(mutex_);
  out.insert(out.end(), queue_.begin(), queue_.end());
  queue_.clear();
}

std::string TMidiInput::TakeWarning() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  text.swap(warning_);
  return text;
}
