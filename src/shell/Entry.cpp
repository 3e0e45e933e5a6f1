// Start-up in its fixed order, asset loading behind the progress picture, and the run loop.
#include "shell/Entry.h"

#include <SDL2/SDL.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "live/PDSServer.h"
#include "render/GL.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "scenes/Scenes.h"
#include "shell/Audio.h"
#include "shell/Globals.h"
#include "shell/Input.h"
#include "shell/Messages.h"
#include "shell/OffscreenModes.h"
#include "shell/Timer.h"
#include "timeline/PointField.h"
#include "timeline/Schedule.h"

namespace {
constexpr int SplashFrames = 201;
constexpr int ProgressFrames = 51;
constexpr float ShowLength = 207.0f;

std::string ChosenDataDirectory = "data";
const auto ProgramStart = std::chrono::steady_clock::now();
double HoldSeconds = 0;

// Measures the time spent in one of the fixed hold loops.
class HoldTimer {
 public:
  HoldTimer() : start_(std::chrono::steady_clock::now()) {}
  ~HoldTimer() {
    HoldSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// "data" in the current directory as the show expects; otherwise the one beside the program.
std::string FindDataDirectory(const char* argv0) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::is_directory("data", error)) return "data";
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error && argv0) self = fs::absolute(argv0, error);
  const fs::path beside = self.parent_path() / "data";
  if (fs::is_directory(beside, error)) return beside.string();
  return "data";
}

bool ParseNumber(const char* text, float& value) {
  char* end = nullptr;
  value = std::strtof(text, &end);
  return end != text && *end == '\0';
}

void ReportNoDisplay(const char* reason) {
  std::fprintf(stderr,
               "vantrel: no display could be opened (%s).\n"
               "Start it on a desktop (add -w for a window), or render without a display:\n"
               "  vantrel --capture show.mp4   writes the show as a video\n"
               "  vantrel --timedemo           draws the show offscreen and prints frame times\n",
               reason);
}

void RunTimedShow() {
  TETimer timer;
  timer.Reset();
  for (;;) {
    if (IsKeyDown(1)) break;
    if (ExitRequested) break;
    ShowTime = timer.Tick();
    FrameDelta = timer.Delta;
    FramesPerSecond = static_cast<float>(timer.Fps);
    DrawShowFrame();
    if (ShowTime > ShowLength) ExitRequested = true;
    // A window close request ends the show after the current frame, like Escape.
    if (QuitRequested()) break;
  }
}
}  // namespace

const std::string& DataDirectory() { return ChosenDataDirectory; }
double FixedHoldSeconds() { return HoldSeconds; }
double SecondsSinceProgramStart() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - ProgramStart).count();
}

bool HasSwitch(int argc, const char* const* argv, const char* name) {
  for (int i = 0; i < 3; ++i) {
    const char* entry = i < argc && argv[i] ? argv[i] : "";
    if (std::strcmp(entry, name) == 0) return true;
  }
  return false;
}

std::string UsageText() {
  return "Usage: vantrel [-w] [-pds]\n"
         "       vantrel --capture FILE.mp4 [--fps N]\n"
         "       vantrel --frames DIR [--fps N] [--from T] [--to T]\n"
         "       vantrel --timedemo\n"
         "\n"
         "  -w                 play in a window instead of full screen\n"
         "  -pds               live mode: TCP stream server on port 1024 with a tool window\n"
         "  --capture FILE     render the whole show offscreen into an H.264 MP4 with the music\n"
         "  --frames DIR       render the show offscreen and write PNG frames into DIR\n"
         "  --fps N            frames per second of show time for --capture and --frames (60)\n"
         "  --from T, --to T   with --frames: write only frames whose show time lies in [T, T]\n"
         "  --timedemo         draw the whole show offscreen as fast as possible and print\n"
         "                     frame times per scene\n"
         "  --help             this text\n";
}

bool ParseOptions(int argc, const char* const* argv, ProgramOptions& options, std::string& error) {
  // The show's own switches: exact matches among entries 0 to 2.
  options.live = HasSwitch(argc, argv, "-pds");
  options.windowed = HasSwitch(argc, argv, "-w");
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto needValue = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        error = arg + " needs " + what;
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.mode = ProgramOptions::Mode::Help;
    } else if (arg == "--capture" || arg == "--frames") {
      const char* value = needValue(arg == "--capture" ? "a file name" : "a directory");
      if (!value) return false;
      options.mode = arg == "--capture" ? ProgramOptions::Mode::Capture : ProgramOptions::Mode::Frames;
      options.output = value;
    } else if (arg == "--timedemo") {
      options.mode = ProgramOptions::Mode::Timedemo;
    } else if (arg == "--fps") {
      const char* value = needValue("a number");
      float fps = 0;
      if (!value) return false;
      if (!ParseNumber(value, fps) || fps < 1 || fps > 1000 || fps != static_cast<int>(fps)) {
        error = "--fps needs a whole number from 1 to 1000";
        return false;
      }
      options.fps = static_cast<int>(fps);
    } else if (arg == "--from" || arg == "--to") {
      const char* value = needValue("a time in seconds");
      if (!value) return false;
      float& target = arg == "--from" ? options.from : options.to;
      if (!ParseNumber(value, target)) {
        error = arg + " needs a time in seconds";
        return false;
      }
    } else if (arg == "-w" || arg == "-pds") {
      // Seen (or, past entry 2, deliberately not seen) by HasSwitch.
    } else if (arg.rfind("--", 0) == 0) {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

void ShowLoadingProgress(int stages) {
  HoldTimer hold;
  for (int frame = 0; frame < ProgressFrames; ++frame) {
    BeginFrame();
    Begin2D();
    DrawPicture(LoadingPicture, 0, 0, 800, 600);
    for (int i = 0; i < stages; ++i)
      DrawImageAdditive(ProgressIcon, {1, 1, 1, 1}, 174.0f + 57.96f * i, 280, 46, 41);
    End2D();
    PresentFrame(MainWindow);
  }
}

void LoadAssets() {
  if (chdir(ChosenDataDirectory.c_str()) != 0)
    ShowMessage("Error", "The data directory \"" + ChosenDataDirectory +
                             "\" was not found: the show runs without its pictures, models and music.");
  LoadingPicture = LoadTexture("loading.jpg");
  ProgressIcon = LoadTexture("sex.jpg");
  LogoTexture = LoadTextureWithAlpha("vantrel_a.jpg", "vantrel.jpg");
  ShowLoadingProgress(0);

  RandomPointField.Fill(500, 500.0f);

  LoadLightConeScene();
  LoadRailScene();
  ShowLoadingProgress(1);
  LoadGreetingsScene();
  ShowLoadingProgress(2);
  LoadClothScene();
  ShowLoadingProgress(3);
  LoadFlowerScene();
  ShowLoadingProgress(4);
  LoadWellScene();
  ShowLoadingProgress(5);
  LoadDominoScene();
  ShowLoadingProgress(6);

  InitAudio(MainWindow);
  MusicSample = LoadSample("music.mp3");
  PlaySample(MusicSample, 100, 50);
}

int RunProgram(int argc, char** argv) {
  ProgramOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vantrel: %s\n%s", error.c_str(), UsageText().c_str());
    return 2;
  }
  if (options.mode == ProgramOptions::Mode::Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.mode == ProgramOptions::Mode::Capture && !CaptureCanStart(options)) return 1;
  const bool offscreen = options.mode != ProgramOptions::Mode::Show;
  if (offscreen) {
    // Nothing on screen and nothing out of the speakers: the offscreen modes run unattended.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  ChosenDataDirectory = FindDataDirectory(argc > 0 ? argv[0] : nullptr);

  // Read before SDL_Init: whether the user chose a video driver himself.
  const char* requestedDriver = std::getenv("SDL_VIDEODRIVER");
  const bool driverRequested = requestedDriver && *requestedDriver;
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    ReportNoDisplay(SDL_GetError());
    return 1;
  }
  const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  // With no display SDL falls back to its offscreen driver by itself; the show would then play
  // unseen. Only the offscreen modes, or a user who asked for that driver, draw without a screen.
  if (!offscreen && !driverRequested && (driver == "offscreen" || driver == "dummy")) {
    SDL_Quit();
    ReportNoDisplay("no desktop was found");
    return 1;
  }
  SetInteractiveDisplay(driver != "offscreen" && driver != "dummy" && !offscreen);

  MainWindow = OpenWindow(800, 600, 32, !options.windowed && !offscreen, "Vantrel Kelvara");
  if (!MainWindow.RenderContext) {
    std::fprintf(stderr, "vantrel: no GL context could be created; nothing can be drawn.\n");
    return 1;
  }
  CreateKeyboard(MainWindow, false);
  CreateMouse(MainWindow, true);
  glClearColor(0, 0, 0, 1);

  const TextureId splash = LoadTexture(ChosenDataDirectory + "/load.jpg");
  {
    HoldTimer hold;
    for (int frame = 0; frame < SplashFrames; ++frame) {
      Begin2D();
      DrawPicture(splash, 0, 0, 800, 600);
      End2D();
      PresentFrame(MainWindow);
    }
  }
  FontListBase = BuildFont("Verdana", 12, true);

  int exitCode = 0;
  if (offscreen) {
    exitCode = RunOffscreenMode(options);
  } else if (options.live) {
    LoadAssets();
    RunStreamServer();
  } else {
    LoadAssets();
    RunTimedShow();
  }
  ReleaseKeyboard();
  CloseAudio();
  return exitCode;
}
