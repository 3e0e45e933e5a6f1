// The program's entry: options, the display, the window and the splash, then one of the run loops
// or the offscreen modes.
#include "app/Entry.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/DrawingSize.h"
#include "app/LiveRun.h"
#include "app/Loading.h"
#include "app/MidiSetup.h"
#include "app/OffscreenModes.h"
#include "app/Options.h"
#include "app/RunLoops.h"
#include "app/Screenshot.h"
#include "app/Version.h"
#include "live/ControlMap.h"
#include "platform/Audio.h"
#include "platform/CommandLine.h"
#include "platform/CrashReport.h"
#include "platform/GL.h"
#include "platform/Input.h"
#include "platform/ShowFrame.h"
#include "platform/Terminate.h"
#include "platform/Window.h"
#include "timeline/GentleFlashes.h"

namespace {
void ReportNoDisplay(const char* reason) {
  std::fprintf(stderr,
               "vantrel: no display could be opened (%s).\n"
               "Start it on a desktop (add -w for a window), or render without a display:\n"
               "  vantrel --capture show.mp4   writes the show as a video\n"
               "  vantrel --timedemo           draws the show offscreen and prints frame times\n",
               reason);
}

int RunWithDisplay(const ProgramOptions& options, bool offscreen);
}  // namespace

int RunProgram(int argc, char** argv) {
  InstallCrashReport();
  InstallTerminateHandlers();
  ProgramOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) return ReportCommandLineMistake("vantrel", error);
  if (options.mode == ProgramOptions::Mode::Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.mode == ProgramOptions::Mode::Version) {
    std::puts(VersionLine("vantrel").c_str());
    return 0;
  }
  if (options.mode == ProgramOptions::Mode::ListScenes) {
    std::fputs(SceneListText().c_str(), stdout);
    return 0;
  }
  if (options.mode == ProgramOptions::Mode::MidiMapDefault) {
    std::fwrite(DefaultControlMapText().data(), 1, DefaultControlMapText().size(), stdout);
    return 0;
  }
  if (options.mode == ProgramOptions::Mode::MidiList) return ListMidiInputs(options) ? 0 : 1;
  if (options.mode == ProgramOptions::Mode::Capture && !CaptureCanStart(options)) return 1;
  GentleMode = options.gentle;
  RememberStartDirectory();
  const bool offscreen = options.mode != ProgramOptions::Mode::Show;
  // In the window modes a terminate signal ends the program within a second even while the GL
  // driver holds the main thread; the offscreen modes finish what they write instead.
  if (!offscreen) ArmTerminateDeadline();
  ChooseDataDirectory(argc > 0 ? argv[0] : nullptr);
  std::string reason;
  if (StartDisplay(offscreen, reason) == DisplayStart::NoDisplay) {
    ReportNoDisplay(reason.c_str());
    return 1;
  }
  // From here every way out, an error included, closes the window and shuts SDL down.
  struct DisplayCloser {
    ~DisplayCloser() { CloseDisplay(); }
  } closer;
  try {
    return RunWithDisplay(options, offscreen);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vantrel: %s\n", error.what());
    ReleaseKeyboard();
    CloseAudio();
    return 1;
  }
}

namespace {
int RunWithDisplay(const ProgramOptions& options, bool offscreen) {
  int exitCode = 0;
  try {
    // A terminate request that came while SDL started is taken before the window and its GL
    // context are made (a moment's work for the GL driver under load), and one that came while
    // they were made, before anything is drawn.
    QuitCheckpoint();
    MainWindow = OpenWindow(DesignWidth, DesignHeight, 32, !options.windowed && !offscreen,
                            "Vantrel Kelvara");
    if (!MainWindow.RenderContext) {
      std::fprintf(stderr, "vantrel: no GL context could be created; nothing can be drawn.\n");
      return 1;
    }
    // On a screen the frame is made at the size it is drawn at before anything is loaded: the
    // render textures follow its scale.
    if (!offscreen) SetFrameSizing(ScreenFrameSizing(options, SoftwareRendering()));
    QuitCheckpoint();
    CreateKeyboard(MainWindow, false);
    CreateMouse(MainWindow, true);
    glClearColor(0, 0, 0, 1);
    ShowSplash();
    if (offscreen) {
      exitCode = RunOffscreenMode(options);
    } else if (options.live) {
      LoadAssets();
      RunLiveMode(options);
    } else {
      LoadAssets(false);
      RunTimedShow(options.start, options.loop, PlayerDrawsDynamically(options), options.paused,
                   options.link ? options.linkQuantum : 0);
    }
  } catch (const QuitWhileLoading&) {
    // A terminate signal or the window's close button before the first frame: the show ends as
    // Escape ends it; an offscreen mode has written nothing, which is a failure.
    if (offscreen) {
      std::fprintf(stderr, "vantrel: interrupted while loading; nothing was written\n");
      exitCode = 1;
    }
  }
  ReleaseKeyboard();
  CloseAudio();
  return exitCode;
}
}  // namespace
