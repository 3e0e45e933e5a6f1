// vantrel-midi-send: plays a short MIDI script into a port (JACK or ALSA) to rehearse or test a map.
#include <pthread.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

const char* const Usage =
    "Usage: vantrel-midi-send [--api jack|alsa] [--port NAME | --virtual] [--wait S] [COMMAND ...]\n"
    "Connects to the first MIDI input port whose name contains NAME (\"vantrel\"), waiting up\n"
    "to S seconds (10) for it to appear, or with --virtual opens an output port of its own\n"
    "named vantrel-midi-send for others to connect to; then runs the commands (from the\n"
    "arguments, or one a line from standard input), separated by commas on the command line:\n"
    "  cc CH N V          control change N to V on channel CH (1 to 16)\n"
    "  note CH N V        note on (V 0: note off)\n"
    "  bend CH V          pitch bend, V from 0 to 16383\n"
    "  clock BPM S        clock ticks (24 a beat) at BPM for S seconds\n"
    "  start | stop | continue\n"
    "  sysex N            a system-exclusive message of N bytes\n"
    "  raw B B ...        bytes as given (hex), e.g. raw f4 for an undefined status\n"
    "  sleep S            wait S seconds\n";

struct Sender {
  RtMidiOut& out;
  void Send(std::vector<unsigned char> bytes) { out.sendMessage(&bytes); }
};

bool Run(Sender& sender, const std::string& line) {
  std::istringstream words(line);
  std::string command;
  if (!(words >> command)) return true;
  auto channel = [](int ch) { return static_cast<unsigned char>((ch - 1) & 0x0F); };
  if (command == "cc" || command == "note") {
    int ch = 0, n = 0, v = 0;
    if (!(words >> ch >> n >> v)) return false;
    sender.Send({static_cast<unsigned char>((command == "cc" ? 0xB0 : 0x90) | channel(ch)),
                 static_cast<unsigned char>(n & 0x7F), static_cast<unsigned char>(v & 0x7F)});
  } else if (command == "bend") {
    int ch = 0, v = 0;
    if (!(words >> ch >> v)) return false;
    sender.Send({static_cast<unsigned char>(0xE0 | channel(ch)), static_cast<unsigned char>(v & 0x7F),
                 static_cast<unsigned char>((v >> 7) & 0x7F)});
  } else if (command == "clock") {
    double bpm = 0, seconds = 0;
    if (!(words >> bpm >> seconds) || bpm <= 0) return false;
    // Ticks on time even on a busy machine, where the system allows it (as JACK's own threads).
    sched_param priority{};
    priority.sched_priority = 5;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    const auto tick = std::chrono::duration<double>(60.0 / (bpm * 24.0));
    const auto start = Clock::now();
    const long ticks = static_cast<long>(seconds * bpm * 24.0 / 60.0);
    for (long k = 0; k < ticks; ++k) {
      std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(tick * static_cast<double>(k)));
      sender.Send({0xF8});
    }
  } else if (command == "start" || command == "stop" || command == "continue") {
    sender.Send({static_cast<unsigned char>(command == "start" ? 0xFA : command == "stop" ? 0xFC : 0xFB)});
  } else if (command == "sysex") {
    int n = 0;
    if (!(words >> n) || n < 2) return false;
    std::vector<unsigned char> bytes(static_cast<size_t>(n), 0x11);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    sender.Send(bytes);
  } else if (command == "raw") {
    std::vector<unsigned char> bytes;
    for (std::string hex; words >> hex;) bytes.push_back(static_cast<unsigned char>(std::strtoul(hex.c_str(), nullptr, 16)));
    if (bytes.empty()) return false;
    sender.Send(bytes);
  } else if (command == "sleep") {
    double seconds = 0;
    if (!(words >> seconds)) return false;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  } else {
    return false;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  RtMidi::Api api = RtMidi::UNSPECIFIED;
  std::string port = "vantrel";
  double wait = 10;
  bool virtualPort = false;
  std::vector<std::string> commands;
  std::string current;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(Usage, stdout);
      return 0;
    } else if (arg == "--api" && i + 1 < argc) {
      const std::string name = argv[++i];
      api = name == "jack" ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
    } else if (arg == "--port" && i + 1 < argc) {
      port = argv[++i];
    } else if (arg == "--virtual") {
      virtualPort = true;
    } else if (arg == "--wait" && i + 1 < argc) {
      wait = std::atof(argv[++i]);
    } else if (arg == ",") {
      commands.push_back(current);
      current.clear();
    } else {
      current += (current.empty() ? "" : " ") + arg;
    }
  }
  if (!current.empty()) commands.push_back(current);
  try {
    RtMidiOut out(api, "vantrel-midi-send");
    const auto giveUp = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait));
    int found = virtualPort ? 0 : -1;
    if (virtualPort) out.openVirtualPort("vantrel-midi-send");
    while (found < 0) {
      for (unsigned i = 0; i < out.getPortCount() && found < 0; ++i)
        if (out.getPortName(i).find(port) != std::string::npos) found = static_cast<int>(i);
      if (found >= 0) break;
      if (Clock::now() > giveUp) {
        std::fprintf(stderr, "vantrel-midi-send: no MIDI input port \"%s\" appeared\n", port.c_str());
        return 1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!virtualPort) out.openPort(static_cast<unsigned>(found), "out");
    Sender sender{out};
    if (commands.empty())
      for (std::string line; std::getline(std::cin, line);) commands.push_back(line);
    for (const std::string& command : commands)
      if (!Run(sender, command)) {
        std::fprintf(stderr, "vantrel-midi-send: cannot read \"%s\"\n%s", command.c_str(), Usage);
        return 2;
      }
    // JACK sends what is queued on its next cycles: give them time before the port closes.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  } catch (const RtMidiError& error) {
    std::fprintf(stderr, "vantrel-midi-send: %s\n", error.getMessage().c_str());
    return 1;
  }
  return 0;
}
