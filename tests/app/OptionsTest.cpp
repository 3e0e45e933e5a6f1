// The command line: the show's exact switches and our long options.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "app/DrawingSize.h"
#include "app/Options.h"
#include "app/Version.h"
#include "timeline/BeatClock.h"

TEST(CommandLine, SwitchesAreSeenOnlyExactlyInTheFirstThreeEntries) {
  const char* third[] = {"vantrel", "-x", "-y", "-pds"};
  EXPECT_FALSE(HasSwitch(4, third, "-pds"));
  const char* second[] = {"vantrel", "-x", "-pds"};
  EXPECT_TRUE(HasSwitch(3, second, "-pds"));
  const char* upper[] = {"vantrel", "-PDS"};
  EXPECT_FALSE(HasSwitch(2, upper, "-pds"));
  const char* entryZero[] = {"-w"};
  EXPECT_TRUE(HasSwitch(1, entryZero, "-w"));
  const char* prefix[] = {"vantrel", "-pdsx", "-w2"};
  EXPECT_FALSE(HasSwitch(3, prefix, "-pds"));
  EXPECT_FALSE(HasSwitch(3, prefix, "-w"));
}

TEST(CommandLine, OurOptionsAreParsedAndBadOnesRefused) {
  ProgramOptions options;
  std::string error;
  const char* capture[] = {"vantrel", "--capture", "out.mp4", "--fps", "30"};
  ASSERT_TRUE(ParseOptions(5, capture, options, error));
  EXPECT_EQ(options.mode, ProgramOptions::Mode::Capture);
  EXPECT_EQ(options.output, "out.mp4");
  EXPECT_EQ(options.fps, 30);

  ProgramOptions frames;
  const char* range[] = {"vantrel", "--frames", "dir", "--from", "5.5", "--to", "6"};
  ASSERT_TRUE(ParseOptions(7, range, frames, error));
  EXPECT_EQ(frames.mode, ProgramOptions::Mode::Frames);
  EXPECT_FLOAT_EQ(frames.from, 5.5f);
  EXPECT_FLOAT_EQ(frames.to, 6.0f);

  ProgramOptions bad;
  const char* zeroFps[] = {"vantrel", "--capture", "x.mp4", "--fps", "0"};
  EXPECT_FALSE(ParseOptions(5, zeroFps, bad, error));
  const char* missing[] = {"vantrel", "--capture"};
  EXPECT_FALSE(ParseOptions(2, missing, bad, error));
  const char* unknown[] = {"vantrel", "--bogus"};
  EXPECT_FALSE(ParseOptions(2, unknown, bad, error));
  EXPECT_NE(UsageText().find("--timedemo"), std::string::npos);
}

TEST(CommandLine, LiveModeOptions) {
  ProgramOptions options;
  std::string error;
  const char* live[] = {"vantrel", "-pds", "--listen", "127.0.0.1", "--port", "2000", "--osc", "9000"};
  ASSERT_TRUE(ParseOptions(8, live, options, error)) << error;
  EXPECT_TRUE(options.live);
  EXPECT_EQ(options.listenAddress, "127.0.0.1");
  EXPECT_EQ(options.port, 2000);
  EXPECT_EQ(options.oscPort, 9000);

  ProgramOptions defaults;
  const char* plain[] = {"vantrel", "-pds"};
  ASSERT_TRUE(ParseOptions(2, plain, defaults, error));
  EXPECT_EQ(defaults.port, 1024);
  EXPECT_EQ(defaults.oscPort, -1);
  EXPECT_TRUE(defaults.listenAddress.empty());

  ProgramOptions replay;
  const char* render[] = {"vantrel", "-pds", "--replay", "set.txt", "--capture", "set.mp4"};
  ASSERT_TRUE(ParseOptions(6, render, replay, error)) << error;
  EXPECT_EQ(replay.mode, ProgramOptions::Mode::Capture);
  EXPECT_EQ(replay.replay, "set.txt");

  ProgramOptions bad;
  const char* noLive[] = {"vantrel", "--port", "2000"};
  EXPECT_FALSE(ParseOptions(3, noLive, bad, error));
  EXPECT_NE(error.find("-pds"), std::string::npos);
  const char* noCapture[] = {"vantrel", "-pds", "--replay", "set.txt"};
  EXPECT_FALSE(ParseOptions(4, noCapture, bad, error));
  for (const char* port : {"0", "65536", "12x", "-1"}) {
    const char* badPort[] = {"vantrel", "-pds", "--port", port};
    EXPECT_FALSE(ParseOptions(4, badPort, bad, error)) << port;
  }
}

TEST(CommandLine, ListeningOptionsTakeTheirOptionalPortAndDevice) {
  ProgramOptions options;
  std::string error;
  const char* both[] = {"vantrel", "-pds", "--midi", "--audio-in", "Room", "--midi-api", "jack", "--record", "s.txt"};
  ASSERT_TRUE(ParseOptions(9, both, options, error)) << error;
  EXPECT_TRUE(options.midi && options.audioIn);
  EXPECT_TRUE(options.midiPort.empty());  // the virtual port
  EXPECT_EQ(options.audioDevice, "Room");
  EXPECT_EQ(options.midiApi, "jack");
  EXPECT_EQ(options.record, "s.txt");
  ProgramOptions monitor;
  const char* watch[] = {"vantrel", "-pds", "--midi-monitor"};
  ASSERT_TRUE(ParseOptions(3, watch, monitor, error)) << error;
  EXPECT_TRUE(monitor.midi);  // the monitor alone opens the MIDI input

  ProgramOptions bad;
  const char* noLive[] = {"vantrel", "--midi", "2"};
  EXPECT_FALSE(ParseOptions(3, noLive, bad, error));
  EXPECT_NE(error.find("-pds"), std::string::npos);
  const char* badApi[] = {"vantrel", "-pds", "--midi", "--midi-api", "coreaudio"};
  EXPECT_FALSE(ParseOptions(5, badApi, bad, error));
  const char* withReplay[] = {"vantrel", "-pds", "--midi", "--replay", "s.txt", "--capture", "s.mp4"};
  EXPECT_FALSE(ParseOptions(7, withReplay, bad, error));
  ProgramOptions list;
  const char* ports[] = {"vantrel", "--midi-list", "--midi-api", "alsa"};
  ASSERT_TRUE(ParseOptions(4, ports, list, error)) << error;
  EXPECT_EQ(list.mode, ProgramOptions::Mode::MidiList);
}

TEST(CommandLine, GentleGoesWithEveryModeAndTheHelpWarnsOfFlashes) {
  const char* live[] = {"vantrel", "-pds", "--gentle"};
  const char* frames[] = {"vantrel", "--frames", "dir", "--gentle"};
  for (auto* argv : {live, frames}) {
    ProgramOptions options;
    std::string error;
    ASSERT_TRUE(ParseOptions(argv == live ? 3 : 4, argv, options, error)) << error;
    EXPECT_TRUE(options.gentle);
  }
  EXPECT_FALSE(ProgramOptions().gentle);
  const std::string help = UsageText();
  EXPECT_NE(help.find("PHOTOSENSITIVITY WARNING"), std::string::npos);
  EXPECT_LT(help.find("WARNING"), help.find("-w "));  // before the list of switches
  EXPECT_NE(help.find("--gentle"), std::string::npos);
}

TEST(CommandLine, ViewerOptions) {
  auto parse = [](std::initializer_list<const char*> args, ProgramOptions& options, std::string& error) {
    std::vector<const char*> argv(args);
    return ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
  };
  ProgramOptions options;
  std::string error;
  ASSERT_TRUE(parse({"vantrel", "-w", "--loop", "--start", "30.5"}, options, error)) << error;
  EXPECT_TRUE(options.windowed);
  EXPECT_TRUE(options.loop);
  EXPECT_FLOAT_EQ(options.start, 30.5f);

  options = {};
  ASSERT_TRUE(parse({"vantrel", "--start", "scene:12"}, options, error)) << error;
  EXPECT_EQ(options.start, StepStartTime(1856)) << "scene 12 first starts at step 1856";

  options = {};
  ASSERT_TRUE(parse({"vantrel", "--list-scenes"}, options, error));
  EXPECT_EQ(options.mode, ProgramOptions::Mode::ListScenes);
  EXPECT_NE(SceneListText().find("   99   "), std::string::npos);

  for (auto bad : {std::vector<const char*>{"vantrel", "--start", "207.5"},
                   {"vantrel", "--start", "-1"},
                   {"vantrel", "--start", "scene:15"},
                   {"vantrel", "--start", "scene:1.5"},
                   {"vantrel", "--start"},
                   {"vantrel", "--loop", "--frames", "out"},
                   {"vantrel", "-pds", "--start", "10"}}) {
    options = {};
    error.clear();
    EXPECT_FALSE(ParseOptions(static_cast<int>(bad.size()), bad.data(), options, error)) << bad.back();
    EXPECT_FALSE(error.empty());
  }
}

TEST(CommandLine, RenderSizePinsTheDrawingOnAScreen) {
  auto parse = [](std::vector<const char*> argv, ProgramOptions& options) {
    std::string error;
    return ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error) ? std::string() : error;
  };
  ProgramOptions options;
  ASSERT_EQ(parse({"vantrel", "--render-size", "1920x1080"}, options), "");
  const FrameSizing pinned = ScreenFrameSizing(options, true);
  EXPECT_EQ(pinned.pinned.width, 1440) << "the 4:3 picture that fits";
  EXPECT_EQ(pinned.pinned.height, 1080);
  EXPECT_FALSE(PlayerDrawsDynamically(options));
  options = {};
  ASSERT_EQ(parse({"vantrel", "-pds", "--render-size", "native"}, options), "");
  EXPECT_TRUE(options.renderNative);
  EXPECT_EQ(ScreenFrameSizing(options, true).largest.height, 3072) << "native asks for the screen's size";
  // Without it: the player follows the screen with its dynamic resolution; the live mode and gentle
  // mode keep to the design size on a software renderer only.
  options = {};
  EXPECT_TRUE(PlayerDrawsDynamically(options));
  EXPECT_EQ(ScreenFrameSizing(options, true).largest.height, 3072);
  options.live = true;
  EXPECT_EQ(ScreenFrameSizing(options, true).largest.height, 600);
  EXPECT_EQ(ScreenFrameSizing(options, false).largest.height, 3072);
  options = {};
  options.fullFrame = true;
  EXPECT_EQ(ScreenFrameSizing(options, false).pinned.height, 600);

  for (auto [value, words] : {std::pair{"100x100", "480x360"}, {"huge", "--render-size"}, {"", "--render-size"}}) {
    options = {};
    EXPECT_NE(parse({"vantrel", "--render-size", value}, options).find(words), std::string::npos) << value;
  }
  options = {};
  EXPECT_NE(parse({"vantrel", "--frames", "d", "--render-size", "native"}, options).find("--size"), std::string::npos);
  options = {};
  EXPECT_NE(parse({"vantrel", "--full-frame", "--render-size", "native"}, options).find("--full-frame"),
            std::string::npos);
}

TEST(CommandLine, TimesOutsideTheShowAreRefusedByNameAndValue) {
  auto refusal = [](std::vector<const char*> argv) {
    ProgramOptions options;
    std::string error;
    return ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error) ? std::string("accepted") : error;
  };
  for (auto [name, value] : {std::pair{"--from", "nan"}, {"--from", "-1"}, {"--from", "inf"}, {"--to", "1e30"},
                             {"--to", "-nan"}, {"--start", "nan"}}) {
    const std::string error = refusal({"vantrel", name, value});
    EXPECT_NE(error.find(name), std::string::npos) << error;
    EXPECT_NE(error.find(value), std::string::npos) << error;
  }
  EXPECT_NE(refusal({"vantrel", "--frames", "d", "--from", "20", "--to", "10"}).find("--from 20"), std::string::npos);

  // A range drawn half a frame either side of the show's first and last frames, as segments of a
  // parallel render ask for it, is a range of the show.
  ProgramOptions whole;
  std::string error;
  const char* segments[] = {"vantrel", "--capture", "s.mp4", "--fps", "30", "--from", "-0.016667", "--to", "207.016667"};
  ASSERT_TRUE(ParseOptions(9, segments, whole, error)) << error;
  EXPECT_FLOAT_EQ(whole.to, 207.016667f);
  EXPECT_EQ(ProgramOptions().to, 1.0e9f) << "no --to: to the show's end";
}

TEST(CommandLine, VersionAnswersAloneWithTheVersionAndTheCommit) {
  ProgramOptions options;
  std::string error;
  // Whatever else the line asks for, --version only prints; --help still wins over it.
  const char* live[] = {"vantrel", "-pds", "--midi", "--version", "--capture", "x.mp4"};
  ASSERT_TRUE(ParseOptions(6, live, options, error)) << error;
  EXPECT_EQ(options.mode, ProgramOptions::Mode::Version);
  ProgramOptions help;
  const char* both[] = {"vantrel", "--version", "--help"};
  ASSERT_TRUE(ParseOptions(3, both, help, error)) << error;
  EXPECT_EQ(help.mode, ProgramOptions::Mode::Help);
  EXPECT_NE(UsageText().find("--version"), std::string::npos);

  const std::string line = VersionLine("vantrel");
  EXPECT_TRUE(std::regex_match(line, std::regex(R"(vantrel \d+\.\d+\.\d+( \(git [0-9a-f]{7,}\))?)"))) << line;
  // Built from a git checkout, the line names the commit.
  const char* source = std::getenv("VANTREL_SOURCE_DIR");
  if (source && std::filesystem::exists(std::filesystem::path(source) / ".git")) {
    EXPECT_NE(line.find(" (git "), std::string::npos) << line;
  }
}

TEST(CommandLine, LinkGoesWithTheShowAndTheLiveModeWithAWholeQuantum) {
  std::string error;
  ProgramOptions live;
  const char* joined[] = {"vantrel", "-pds", "--link", "--link-quantum", "8"};
  ASSERT_TRUE(ParseOptions(5, joined, live, error)) << error;
  EXPECT_TRUE(live.link);
  EXPECT_EQ(live.linkQuantum, 8);
  ProgramOptions show;
  const char* leading[] = {"vantrel", "-w", "--link"};
  ASSERT_TRUE(ParseOptions(3, leading, show, error)) << error;
  EXPECT_EQ(show.linkQuantum, 4);
  for (const char* quantum : {"0", "17", "2.5", "four"}) {
    ProgramOptions bad;
    const char* line[] = {"vantrel", "-pds", "--link", "--link-quantum", quantum};
    EXPECT_FALSE(ParseOptions(5, line, bad, error)) << quantum;
    EXPECT_NE(error.find("--link-quantum"), std::string::npos) << error;
  }
  ProgramOptions alone, offscreen;
  const char* noLink[] = {"vantrel", "--link-quantum", "4"};
  EXPECT_FALSE(ParseOptions(3, noLink, alone, error));
  const char* capture[] = {"vantrel", "--capture", "x.mp4", "--link"};
  EXPECT_FALSE(ParseOptions(4, capture, offscreen, error));
  EXPECT_NE(UsageText().find("--link-quantum N"), std::string::npos);
}
