// vantrel-link-peer: a Link peer for trying and testing --link. It joins the session, can set a
// tempo, and prints what the session says ten times a second, stamped with Link's clock.
// Commands on standard input, one a line: "tempo BPM", "play", "stop", "quit" (or the end of the
// input). Every line it prints: "peer MICROS peers N tempo BPM beat B phase P playing 0|1".
#include <ableton/Link.hpp>

#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {
struct Commands {
  std::mutex mutex;
  std::vector<std::string> lines;
  bool ended = false;
};

void ReadCommands(Commands& commands) {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::lock_guard<std::mutex> hold(commands.mutex);
    commands.lines.push_back(line);
  }
  std::lock_guard<std::mutex> hold(commands.mutex);
  commands.ended = true;
}

// Carries out one command; false for "quit".
bool Apply(ableton::Link& link, double quantum, const std::string& line) {
  std::istringstream words(line);
  std::string verb;
  words >> verb;
  auto state = link.captureAppSessionState();
  const auto now = link.clock().micros();
  if (verb == "tempo") {
    double bpm = 0;
    if (!(words >> bpm)) {
      std::fprintf(stderr, "vantrel-link-peer: \"%s\" needs a tempo\n", line.c_str());
      return true;
    }
    state.setTempo(bpm, now);
  } else if (verb == "play") {
    state.setIsPlayingAndRequestBeatAtTime(true, now, 0, quantum);
  } else if (verb == "stop") {
    state.setIsPlaying(false, now);
  } else if (verb == "quit") {
    return false;
  } else if (!verb.empty()) {
    std::fprintf(stderr, "vantrel-link-peer: unknown command \"%s\"\n", line.c_str());
    return true;
  }
  link.commitAppSessionState(state);
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"A Link peer: sets a tempo, prints the session ten times a second"};
  double tempo = 120, quantum = 4, seconds = 60;
  app.add_option("--tempo", tempo, "the tempo it proposes on joining (120)");
  app.add_option("--quantum", quantum, "beats of the phase (4)");
  app.add_option("--seconds", seconds, "leave after this long (60)");
  CLI11_PARSE(app, argc, argv);

  ableton::Link link(tempo);
  link.enableStartStopSync(true);
  link.enable(true);
  Commands commands;
  std::thread reader(ReadCommands, std::ref(commands));
  reader.detach();

  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  bool running = true;
  while (running && std::chrono::steady_clock::now() < end) {
    std::vector<std::string> lines;
    bool ended = false;
    {
      std::lock_guard<std::mutex> hold(commands.mutex);
      lines.swap(commands.lines);
      ended = commands.ended;
    }
    for (const std::string& line : lines) running = running && Apply(link, quantum, line);
    if (ended) running = false;
    const auto now = link.clock().micros();
    const auto state = link.captureAppSessionState();
    std::printf("peer %lld peers %zu tempo %.3f beat %.6f phase %.6f playing %d\n",
                static_cast<long long>(now.count()), link.numPeers(), state.tempo(),
                state.beatAtTime(now, quantum), state.phaseAtTime(now, quantum), state.isPlaying() ? 1 : 0);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  link.enable(false);
  // The reader may still wait on the input: leave without waiting for it.
  std::fflush(stdout);
  std::_Exit(0);
}
