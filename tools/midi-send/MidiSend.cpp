// vantrel-midi-send: plays a short MIDI script into a port (JACK or ALSA) to rehearse or test a map.
#include <pthread.h>
#include <rtmidi/RtMidi.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Version.h"
#include "platform/CommandLine.h"

namespace {
using Clock = std::chrono::steady_clock;

const char* const Usage =
    "Usage: vantrel-midi-send [--api jack|alsa] [--port NAME | --virtual] [--wait S] [COMMAND ...]\n"
    "Connects to the first MIDI input port whose name contains NAME (\"vantrel\"), waiting up\n"
    "to S seconds (10, at most 3600) for it to appear, or with --virtual opens an output port\n"
    "of its own named vantrel-midi-send for others to connect to; then runs the commands (from\n"
    "the arguments, or one a line from standard input), separated by commas on the command line:\n"
    "  cc CH N V          control change N to V (both 0 to 127) on channel CH (1 to 16)\n"
    "  note CH N V        note on (V 0: note off)\n"
    "  bend CH V          pitch bend, V from 0 to 16383\n"
    "  clock BPM S        clock ticks (24 a beat) at BPM (at most 1000) for S seconds\n"
    "  start | stop | continue\n"
    "  sysex N            a system-exclusive message of N bytes (2 to 65536)\n"
    "  raw B B ...        bytes as given (hex), e.g. raw f4 for an undefined status\n"
    "  sleep S            wait S seconds (at most 3600)\n"
    "--version prints the version and the build's git commit.\n";

// One command of the script, read and checked before anything is sent: bytes to send, a clock
// to run, or a wait.
struct Command {
  enum class Kind { Bytes, Clock, Sleep } kind = Kind::Bytes;
  std::vector<unsigned char> bytes;
  double bpm = 0;
  double seconds = 0;
};

// The numbers each command takes, in order.
const NumberRange Channel{1, 16, true}, DataByte{0, 127, true}, Seconds{0, 3600};
const std::map<std::string, std::vector<NumberRange>> CommandNumbers = {
    {"cc", {Channel, DataByte, DataByte}},    {"note", {Channel, DataByte, DataByte}},
    {"bend", {Channel, {0, 16383, true}}},    {"clock", {{0, 1000, false, true}, Seconds}},
    {"start", {}},                            {"stop", {}},
    {"continue", {}},                         {"sysex", {{2, 65536, true}}},
    {"sleep", {Seconds}}};

// One byte written in hex, as "raw" takes them: one or two hex digits.
std::optional<unsigned char> ReadHexByte(const std::string& text) {
  auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  if (text.empty() || text.size() > 2 || !std::all_of(text.begin(), text.end(), hex)) return std::nullopt;
  return static_cast<unsigned char>(std::stoul(text, nullptr, 16));
}

// Reads one line of the script into command: "" when it is one (an empty line sends nothing),
// otherwise why not.
std::string ReadCommand(const std::string& line, Command& command) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  command = {};
  if (words.empty()) return {};
  const std::string& name = words[0];
  if (name == "raw") {
    for (size_t i = 1; i < words.size(); ++i) {
      const auto byte = ReadHexByte(words[i]);
      if (!byte) return words[i] + " is not a byte in hex (00 to ff)";
      command.bytes.push_back(*byte);
    }
    return command.bytes.empty() ? "raw needs at least one byte" : "";
  }
  const auto found = CommandNumbers.find(name);
  if (found == CommandNumbers.end()) return "no such command " + name;
  const std::vector<NumberRange>& ranges = found->second;
  if (words.size() - 1 != ranges.size()) return name + " takes " + std::to_string(ranges.size()) + " numbers";
  std::vector<double> n;
  for (size_t i = 0; i < ranges.size(); ++i) {
    const std::string why = RefuseNumber(words[i + 1], ranges[i]);
    if (!why.empty()) return why;
    n.push_back(*ReadNumber(words[i + 1], ranges[i]));
  }
  auto byte = [](double value) { return static_cast<unsigned char>(value); };
  if (name == "cc" || name == "note") {
    command.bytes = {byte((name == "cc" ? 0xB0 : 0x90) + n[0] - 1), byte(n[1]), byte(n[2])};
  } else if (name == "bend") {
    const int value = static_cast<int>(n[1]);
    command.bytes = {byte(0xE0 + n[0] - 1), byte(value & 0x7F), byte(value >> 7)};
  } else if (name == "clock") {
    command.kind = Command::Kind::Clock;
    command.bpm = n[0];
    command.seconds = n[1];
  } else if (name == "sleep") {
    command.kind = Command::Kind::Sleep;
    command.seconds = n[0];
  } else if (name == "sysex") {
    command.bytes.assign(static_cast<size_t>(n[0]), 0x11);
    command.bytes.front() = 0xF0;
    command.bytes.back() = 0xF7;
  } else {
    command.bytes = {byte(name == "start" ? 0xFA : name == "stop" ? 0xFC : 0xFB)};
  }
  return {};
}

// Reads every line of the script; "" when all are commands, otherwise the first that is not and why.
std::string ReadScript(const std::vector<std::string>& lines, std::vector<Command>& script) {
  script.clear();
  for (const std::string& line : lines) {
    Command command;
    const std::string why = ReadCommand(line, command);
    if (!why.empty()) return line + ": " + why;
    script.push_back(command);
  }
  return {};
}

void Run(RtMidiOut& out, const Command& command) {
  if (command.kind == Command::Kind::Sleep) {
    std::this_thread::sleep_for(std::chrono::duration<double>(command.seconds));
  } else if (command.kind == Command::Kind::Clock) {
    // Ticks on time even on a busy machine, where the system allows it (as JACK's own threads).
    sched_param priority{};
    priority.sched_priority = 5;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    const auto tick = std::chrono::duration<double>(60.0 / (command.bpm * 24.0));
    const auto start = Clock::now();
    const long ticks = static_cast<long>(command.seconds * command.bpm * 24.0 / 60.0);
    std::vector<unsigned char> clock = {0xF8};
    for (long k = 0; k < ticks; ++k) {
      std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(tick * static_cast<double>(k)));
      out.sendMessage(&clock);
    }
  } else if (!command.bytes.empty()) {
    std::vector<unsigned char> bytes = command.bytes;
    out.sendMessage(&bytes);
  }
}
}  // namespace

int main(int argc, char** argv) {
  std::string apiName, port = "vantrel";
  double wait = 10;
  bool virtualPort = false;
  CLI::App app;
  app.set_help_flag();  // --help prints Usage, written by hand
  // The commands are the entries CLI11 does not take as options, in their order.
  app.allow_extras();
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  const CLI::Option* help = app.add_flag("-h,--help");
  const CLI::Option* version = app.add_flag("--version");
  app.add_option("--api", apiName)->type_name("jack or alsa")->check([](const std::string& api) {
    return api == "alsa" || api == "jack" ? std::string() : api + " is neither jack nor alsa";
  });
  app.add_option("--port", port)->type_name("a port name");
  app.add_flag("--virtual", virtualPort);
  AddNumberOption(app, "--wait", wait, {0, 3600}, "seconds");
  std::string error;
  if (!ParseCommandLine<CLI::ParseError>(app, argc, argv, error)) return ReportCommandLineMistake("vantrel-midi-send", error);
  if (help->count() > 0) {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (version->count() > 0) {
    std::puts(VersionLine("vantrel-midi-send").c_str());
    return 0;
  }
  // The command line's commands are separated by commas; each is checked before a port is opened.
  std::vector<std::string> lines;
  std::string current;
  for (const std::string& word : app.remaining()) {
    if (word == ",") {
      lines.push_back(current);
      current.clear();
    } else {
      current += (current.empty() ? "" : " ") + word;
    }
  }
  if (!current.empty()) lines.push_back(current);
  std::vector<Command> script;
  error = ReadScript(lines, script);
  if (!error.empty()) return ReportCommandLineMistake("vantrel-midi-send", error);
  const RtMidi::Api api = apiName == "jack" ? RtMidi::UNIX_JACK : apiName == "alsa" ? RtMidi::LINUX_ALSA : RtMidi::UNSPECIFIED;
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
    // Without commands on the command line, the script is standard input, one command a line,
    // read once the port is there and checked whole before anything is sent.
    if (lines.empty()) {
      for (std::string line; std::getline(std::cin, line);) lines.push_back(line);
      error = ReadScript(lines, script);
      if (!error.empty()) return ReportCommandLineMistake("vantrel-midi-send", error);
    }
    for (const Command& command : script) Run(out, command);
    // JACK sends what is queued on its next cycles: give them time before the port closes.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  } catch (const RtMidiError& error) {
    std::fprintf(stderr, "vantrel-midi-send: %s\n", error.getMessage().c_str());
    return 1;
  }
  return 0;
}
