// MIDI messages decoded, counted and mapped; the clock followed; the sound analysed and mapped.
#include "live/LiveListeners.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Messages.h"

namespace {
// A named MIDI port is looked for this often, to notice it vanish and come back.
constexpr double PortCheckSeconds = 1.0;
// The sound's beat drives the live beat while its last beat is at most this old.
constexpr double SoundBeatSeconds = 3.0;

std::string Number(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
}  // namespace

TLiveListeners::TLiveListeners(const TListenerSettings& settings) : settings_(settings), mapper_(settings.map) {
  if (settings.midi) {
    midi_ = std::make_unique<TMidiInput>();
    std::string error;
    if (!midi_->Open(settings.midiSystem, settings.midiPort, error)) {
      ShowMessage("Error", "The MIDI input cannot open (" + error + "): the live mode goes on without MIDI.");
      midi_.reset();
    } else {
      std::fprintf(stderr, "vantrel: MIDI input on %s\n", midi_->PortName().c_str());
    }
  }
  if (settings.sound) {
    sound_ = std::make_unique<TSoundCapture>();
    std::string error;
    if (!sound_->Open(settings.soundDevice, error)) {
      ShowMessage("Error", "The sound input cannot open (" + error + "): the live mode goes on without it.");
      sound_.reset();
    } else {
      std::fprintf(stderr, "vantrel: listening to %s\n", sound_->DeviceName().c_str());
      analysis_ = std::make_unique<TSoundAnalysis>(TSoundCapture::Rate);
      soundMapper_ = std::make_unique<TSoundMapper>(settings.map);
    }
  }
}

TLiveListeners::~TLiveListeners() = default;

std::vector<int> TLiveListeners::Descriptors() const {
  std::vector<int> fds;
  if (midi_) fds.push_back(midi_->WakeDescriptor());
  if (sound_ && !soundLost_) fds.push_back(sound_->WakeDescriptor());
  return fds;
}

void TLiveListeners::Serve(double now, std::vector<SlotWrite>& midiWrites, std::vector<SlotWrite>& soundWrites,
                           std::vector<std::string>& notices) {
  if (midi_) {
    arrivals_.clear();
    midi_->Take(arrivals_);
    for (const MidiArrival& arrival : arrivals_) HandleMidi(arrival, midiWrites);
    if (now >= nextPortCheck_) {
      nextPortCheck_ = now + PortCheckSeconds;
      if (std::string change = midi_->CheckPort(); !change.empty()) notices.push_back(change);
    }
    if (std::string warning = midi_->TakeWarning(); !warning.empty()) notices.push_back("MIDI: " + warning);
  }
  if (sound_ && !soundLost_) {
    HandleSound(now, soundWrites);
    if (std::string notice = analysis_->TakeNotice(); !notice.empty()) notices.push_back(notice);
    if (sound_->Lost()) {
      soundLost_ = true;
      notices.push_back("the sound input " + sound_->DeviceName() + " stopped (unplugged?); the live mode goes on without it");
    }
  }
}

void TLiveListeners::HandleMidi(const MidiArrival& arrival, std::vector<SlotWrite>& writes) {
  using Kind = MidiMessage::Kind;
  ++counts_.messages;
  if (firstArrival_ < 0) firstArrival_ = arrival.arrivalSeconds;
  MidiMessage message;
  if (arrival.sysexBytes > 0) {
    message.kind = Kind::SysEx;
    message.data1 = static_cast<int>(arrival.sysexBytes);
  } else {
    message = DecodeMidi(arrival.bytes, arrival.size, runningStatus_);
  }
  if (message.runningStatus) ++counts_.runningStatus;
  const size_t before = writes.size();
  switch (message.kind) {
    case Kind::Clock:
      ++counts_.clockTicks;
      clock_.Tick(arrival.apiSeconds, arrival.arrivalSeconds);
      break;
    case Kind::Start: ++counts_.transport; clock_.Start(); break;
    case Kind::Continue: ++counts_.transport; clock_.Continue(); break;
    case Kind::Stop: ++counts_.transport; clock_.Stop(); break;
    case Kind::SongPosition: ++counts_.transport; clock_.SongPosition(message.data1); break;
    case Kind::SysEx: ++counts_.sysex; break;
    case Kind::Unknown: ++counts_.unknown; break;
    case Kind::Malformed: ++counts_.malformed; break;
    default: mapper_.Apply(message, writes); break;
  }
  const bool channelMessage = message.kind <= Kind::PitchBend;
  if (writes.size() > before) ++counts_.mapped;
  else if (channelMessage) ++counts_.ignored;
  // Clock ticks are too many to show one by one: the window and the monitor show one a beat.
  const bool beatTick = message.kind == Kind::Clock && counts_.clockTicks % TMidiClock::TicksPerBeat == 0;
  if (message.kind != Kind::Clock) lastMessage_ = DescribeMidi(message);
  if (settings_.monitor && (message.kind != Kind::Clock || beatTick)) {
    std::string text = message.kind == Kind::Clock
                           ? "clock, " + Number("%.2f", clock_.Bpm()) + " BPM, beat " + Number("%.2f", clock_.Beats(arrival.arrivalSeconds))
                           : DescribeMidi(message);
    if (message.kind == Kind::Stop || message.kind == Kind::Start || message.kind == Kind::Continue)
      text += ", beat " + Number("%.2f", clock_.Beats(arrival.arrivalSeconds));
    std::printf("midi %.3f %s %s\n", arrival.arrivalSeconds - firstArrival_, midi_->PortName().c_str(), text.c_str());
    std::fflush(stdout);
  }
}

void TLiveListeners::HandleSound(double now, std::vector<SlotWrite>& writes) {
  samples_.clear();
  sound_->Take(samples_);
  if (samples_.empty()) return;
  soundEvents_.clear();
  analysis_->Feed(samples_.data(), samples_.size(), soundEvents_);
  for (const SoundEvent& event : soundEvents_) {
    soundMapper_->Apply(event, writes);
    if (event.kind == SoundEvent::Kind::Beat) {
      soundBeats_ = std::floor(soundBeats_) + 1;
      soundBeatArrival_ = now;
    }
    if (settings_.monitor && event.kind != SoundEvent::Kind::Energy) {
      const char* kind = event.kind == SoundEvent::Kind::Onset ? "onset" : event.kind == SoundEvent::Kind::Kick ? "kick" : "beat";
      if (event.kind == SoundEvent::Kind::Beat)
        std::printf("sound %.3f %s %.2f BPM\n", event.seconds, kind, static_cast<double>(event.bpm));
      else
        std::printf("sound %.3f %s\n", event.seconds, kind);
    }
  }
  if (settings_.monitor) std::fflush(stdout);
  soundMapper_->ReleaseTriggers(analysis_->Seconds(), writes);
}

bool TLiveListeners::MidiClockBeat(double now, double& beats) const {
  if (!midi_ || !clock_.Governs(now)) return false;
  beats = clock_.Beats(now);
  return true;
}

bool TLiveListeners::SoundBeat(double now, double& beats) const {
  if (!soundMapper_ || !soundMapper_->DrivesBeat() || now - soundBeatArrival_ >= SoundBeatSeconds ||
      analysis_->Bpm() <= 0)
    return false;
  beats = soundBeats_ + std::min((now - soundBeatArrival_) * analysis_->Bpm() / 60.0, 0.999);
  return true;
}

std::string TLiveListeners::Caption() const {
  std::string text;
  if (midi_) {
    text = "MIDI " + lastMessage_;
    if (clock_.Bpm() > 0) text += ", clock " + Number("%.1f", clock_.Bpm()) + " BPM" + (clock_.Stopped() ? " (stopped)" : "");
  }
  if (analysis_) {
    if (!text.empty()) text += "; ";
    text += analysis_->Bpm() > 0 ? "sound " + Number("%.1f", analysis_->Bpm()) + " BPM" : "sound";
    if (soundLost_) text += " (stopped)";
  }
  return text;
}

std::string TLiveListeners::Summary() const {
  std::string text;
  if (midi_) {
    const MidiCounts& c = counts_;
    char line[400];
    std::snprintf(line, sizeof line,
                  "MIDI received %ld messages on %s: %ld set slots, %ld taken by no rule, %ld clock ticks "
                  "(last tempo %.2f BPM), %ld transport, %ld system exclusive, %ld in running status, %ld "
                  "unknown, %ld malformed, %ld dropped for a full queue; the port vanished %ld times",
                  c.messages, midi_->PortName().c_str(), c.mapped, c.ignored, c.clockTicks, clock_.Bpm(), c.transport,
                  c.sysex, c.runningStatus, c.unknown, c.malformed, midi_->Dropped(), midi_->Vanished());
    text += line;
  }
  if (analysis_) {
    const SoundCounts& s = analysis_->Counts;
    char line[300];
    std::snprintf(line, sizeof line,
                  "%ssound: %.1f s heard, %ld onsets, %ld kicks, %ld beats (tempo %.2f BPM), %.1f s silent, "
                  "%ld samples clipped, %ld samples dropped%s",
                  text.empty() ? "" : "; ", analysis_->Seconds(), s.onsets, s.kicks, s.beats,
                  static_cast<double>(analysis_->Bpm()), s.silentSeconds, s.clippedSamples, sound_->Overruns(),
                  soundLost_ ? ", the device stopped" : "");
    text += line;
  }
  return text;
}
