// Loading: the data folder, the splash and progress pictures, the scenes' assets, the music.
#include "app/Loading.h"

#include <filesystem>
#include <vector>

#include "platform/Audio.h"
#include "platform/DataFiles.h"
#include "platform/Messages.h"
#include "platform/SteadyClock.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "show/Ending.h"
#include "show/Schedule.h"
#include "show/Seeking.h"
#include "timeline/PointField.h"

TextureId LoadingPicture = NoTexture;
TextureId ProgressIcon = NoTexture;
namespace {
// The slot of "music.mp3" in the sample table, -1 if none.
int MusicSample = -1;
constexpr int SplashFrames = 201;
constexpr int ProgressFrames = 51;

std::string ChosenDataDirectory = "data";
const SteadyClock::time_point ProgramStart = SteadyClock::now();
double HoldSeconds = 0;

// Measures the time spent in one of the fixed hold loops.
class HoldTimer {
 public:
  HoldTimer() : start_(SteadyClock::now()) {}
  ~HoldTimer() { HoldSeconds += SecondsSince(start_); }

 private:
  SteadyClock::time_point start_;
};

#ifndef VANTREL_INSTALL_DATA_DIR
#define VANTREL_INSTALL_DATA_DIR "/usr/local/share/vantrel"
#endif

// "data" in the current directory as the show expects; otherwise the one beside the program;
// otherwise an installed data folder: relative to the program's bin folder (an installation
// moved or made with another prefix), then the one the build was configured for.
std::string FindDataDirectory(const char* argv0) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::is_directory("data", error)) return "data";
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error && argv0) self = fs::absolute(argv0, error);
  const fs::path folder = self.parent_path();
  for (const fs::path& candidate : {folder / "data", folder.parent_path() / "share" / "vantrel",
                                    fs::path(VANTREL_INSTALL_DATA_DIR)}) {
    if (fs::is_regular_file(candidate / "music.mp3", error) ||
        (candidate.filename() == "data" && fs::is_directory(candidate, error)))
      return candidate.string();
  }
  return "data";
}

}  // namespace

void ChooseDataDirectory(const char* argv0) {
  ChosenDataDirectory = FindDataDirectory(argv0);
  SetDataFolder(ChosenDataDirectory);
}
const std::string& DataDirectory() { return ChosenDataDirectory; }
double FixedHoldSeconds() { return HoldSeconds; }
double SecondsSinceProgramStart() { return SecondsSince(ProgramStart); }

void ShowSplash() {
  const TextureId splash = LoadTexture("load.jpg");
  HoldTimer hold;
  // Before the first frame as well: the GL driver takes a moment to compile its drawing.
  QuitCheckpoint();
  for (int frame = 0; frame < SplashFrames; ++frame) {
    Begin2D();
    DrawPicture(splash, 0, 0, 800, 600);
    End2D();
    PresentFrame(MainWindow);
    QuitCheckpoint();
  }
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
    QuitCheckpoint();
  }
}

void StartMusic(float seconds) { PlaySampleFrom(MusicSample, 100, 50, seconds); }

void LoadAssets(bool startMusic) {
  std::error_code error;
  if (!std::filesystem::is_directory(ChosenDataDirectory, error))
    ShowMessage("Error", "The data directory \"" + ChosenDataDirectory +
                             "\" was not found: the show runs without its pictures, models and music.");
  LoadingPicture = LoadTexture("loading.jpg");
  ProgressIcon = LoadTexture("sex.jpg");
  LogoTexture = LoadTextureWithAlpha("vantrel_a.jpg", "vantrel.jpg");
  ShowLoadingProgress(0);

  RandomPointField.Fill(500, 500.0f);

  const std::vector<SceneStep> loaders = DistinctSceneSteps(&ShowScene::load);
  for (size_t i = 0; i < loaders.size(); ++i) {
    loaders[i]();
    // The bar moves after every cast but the first, which loads with the second.
    if (i > 0) ShowLoadingProgress(static_cast<int>(i));
  }
  RecordShowStart();
  // The GL state every pass of the show and every jump in it starts from.
  RememberRenderState();

  InitAudio(MainWindow);
  QuitCheckpoint();
  MusicSample = LoadSample("music.mp3");
  QuitCheckpoint();
  if (startMusic) StartMusic(0);
}

