// The viewer's controls: keys to actions, screenshots into the pictures folder, the display.
#include "app/Controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/FrameReadback.h"
#include "app/PngWriter.h"
#include "platform/Audio.h"
#include "platform/GL.h"
#include "platform/Input.h"
#include "platform/ShowFrame.h"
#include "platform/SteadyClock.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "show/Schedule.h"
#include "timeline/BeatClock.h"
#include "timeline/ShowClock.h"

namespace {
constexpr float ShortJumpSeconds = 5;
constexpr float LongJumpSeconds = 60;
constexpr int StepsPerSecond = 60;  // a frame step is one frame of the show's design rate
constexpr int VolumeStep = 10;
constexpr double DisplaySeconds = 2;

std::string StartDirectory;

// $HOME/... and "$HOME/..." as user-dirs.dirs writes them.
std::string PicturesFolderFromUserDirs() {
  const char* home = std::getenv("HOME");
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string file;
  if (config && *config)
    file = std::string(config) + "/user-dirs.dirs";
  else if (home && *home)
    file = std::string(home) + "/.config/user-dirs.dirs";
  else
    return "";
  std::ifstream in(file);
  std::string line;
  const std::string key = "XDG_PICTURES_DIR=";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) {
      if (!home) return "";
      value = std::string(home) + value.substr(5);
    }
    // A folder relative to nothing, or the home folder itself (how the file says "none").
    if (value.empty() || value.front() != '/' || (home && value == home)) return "";
    return value;
  }
  return "";
}
}  // namespace

void RememberStartDirectory() {
  std::error_code error;
  StartDirectory = std::filesystem::current_path(error).string();
}

std::string ScreenshotFolder() {
  const std::string pictures = PicturesFolderFromUserDirs();
  std::error_code error;
  if (!pictures.empty() && std::filesystem::is_directory(pictures, error)) return pictures;
  return StartDirectory.empty() ? "." : StartDirectory;
}

std::string ScreenshotName(float showTime) {
  char name[64];
  std::snprintf(name, sizeof name, "vantrel-%.3f.png", std::isfinite(showTime) ? showTime : 0.0f);
  return name;
}

namespace {
// A frame drawn smaller (the player's dynamic resolution) fills only the lower-left
// DrawingWidth() x DrawingHeight() pixels: scaled up to the whole frame, bilinearly, as the
// window shows it.
void ScaleUpDrawing(std::vector<uint8_t>& bottomUp) {
  const int width = std::max(1, DrawingWidth()), height = std::max(1, DrawingHeight());
  const std::vector<uint8_t> drawn = bottomUp;
  const auto at = [&](int x, int y, int c) {
    return static_cast<float>(drawn[(static_cast<size_t>(y) * ShowFrameWidth + x) * 4 + c]);
  };
  for (int y = 0; y < ShowFrameHeight; ++y) {
    const float sy = std::clamp((y + 0.5f) * height / ShowFrameHeight - 0.5f, 0.0f, height - 1.0f);
    const int y0 = static_cast<int>(sy), y1 = std::min(y0 + 1, height - 1);
    const float fy = sy - y0;
    for (int x = 0; x < ShowFrameWidth; ++x) {
      const float sx = std::clamp((x + 0.5f) * width / ShowFrameWidth - 0.5f, 0.0f, width - 1.0f);
      const int x0 = static_cast<int>(sx), x1 = std::min(x0 + 1, width - 1);
      const float fx = sx - x0;
      for (int c = 0; c < 4; ++c) {
        const float top = at(x0, y1, c) + (at(x1, y1, c) - at(x0, y1, c)) * fx;
        const float bottom = at(x0, y0, c) + (at(x1, y0, c) - at(x0, y0, c)) * fx;
        bottomUp[(static_cast<size_t>(y) * ShowFrameWidth + x) * 4 + c] =
            static_cast<uint8_t>(std::lround(bottom + (top - bottom) * fy));
      }
    }
  }
}
}  // namespace

bool SaveScreenshot(float showTime) {
  const std::string path = ScreenshotFolder() + "/" + ScreenshotName(showTime);
  std::vector<uint8_t> bottomUp(static_cast<size_t>(ShowFrameWidth) * ShowFrameHeight * 4), pixels;
  ReadFrameBottomUp(bottomUp.data());
  if (DrawingWidth() < ShowFrameWidth || DrawingHeight() < ShowFrameHeight) ScaleUpDrawing(bottomUp);
  UprightOpaque(bottomUp.data(), pixels);
  std::string error;
  if (!WritePng(path, pixels, error)) {
    std::fprintf(stderr, "vantrel: the screenshot could not be written to %s (%s)\n", path.c_str(), error.c_str());
    return false;
  }
  std::fprintf(stderr, "vantrel: screenshot of %.3f s saved as %s\n", showTime, path.c_str());
  return true;
}

const char* SceneName(int scene) {
  const ShowScene* found = FindShowScene(scene);
  return found ? found->name : "";
}

ViewerControls::ViewerControls(bool loop, bool liveMode, bool paused)
    : liveMode_(liveMode), loop_(loop), paused_(paused) {
  ClearViewerKeys();
  SetOverlayHook([this](int width, int height) { DrawDisplay(width, height); });
}

ViewerControls::~ViewerControls() { SetOverlayHook({}); }

void ViewerControls::TakeKeys() {
  ViewerKey key;
  while (TakeViewerKey(key)) Apply(static_cast<int>(key));
}

bool ViewerControls::TakePauseChange() {
  const bool changed = pauseChanged_;
  pauseChanged_ = false;
  return changed;
}

std::optional<float> ViewerControls::TakeJump() {
  std::optional<float> jump = jump_;
  jump_.reset();
  return jump;
}

void ViewerControls::ShowDisplay() { displayUntil_ = SteadySeconds() + DisplaySeconds; }

namespace {
// Show time in frames of the design rate; a time on a frame to float precision is that frame.
double FramesOf(double seconds) {
  const double frames = seconds * StepsPerSecond;
  return std::abs(frames - std::round(frames)) < 1e-3 ? std::round(frames) : frames;
}
}  // namespace

void ViewerControls::Jump(double target) {
  // Whole frames stay whole: 5 s from a frame lands 300 frames on, not one more for a rounding.
  const double frames = FramesOf(std::clamp(target, 0.0, static_cast<double>(ShowLength)));
  jump_ = static_cast<float>(frames / StepsPerSecond);
  jumpKeySeconds_ = SteadySeconds();
}

void ViewerControls::SetVolume(int volume, bool muted) {
  volume_ = std::clamp(volume, 0, 100);
  muted_ = muted;
  SetListeningVolume(muted_ ? 0 : volume_);
}

void ViewerControls::Apply(int code) {
  const ViewerKey key = static_cast<ViewerKey>(code);
  if (liveMode_ && key != ViewerKey::FullScreen && key != ViewerKey::Screenshot && key != ViewerKey::Quit) return;
  // The show time the jumps count from: a pending jump's target, so that presses add up.
  const double from = jump_ ? *jump_ : ShowTime;
  // A frame step goes to the next frame of the design rate before or after the one shown.
  const double frame = FramesOf(from);
  switch (key) {
    case ViewerKey::PlayPause:
      paused_ = !paused_;
      pauseChanged_ = !pauseChanged_;
      break;
    case ViewerKey::Back:
      Jump(from - ShortJumpSeconds);
      break;
    case ViewerKey::Forward:
      Jump(from + ShortJumpSeconds);
      break;
    case ViewerKey::LongForward:
      Jump(from + LongJumpSeconds);
      break;
    case ViewerKey::LongBack:
      Jump(from - LongJumpSeconds);
      break;
    case ViewerKey::ToStart:
      Jump(0);
      break;
    case ViewerKey::FrameBack:
      if (paused_) Jump((std::ceil(frame) - 1) / StepsPerSecond);
      break;
    case ViewerKey::FrameForward:
      if (paused_) Jump((std::floor(frame) + 1) / StepsPerSecond);
      break;
    case ViewerKey::FullScreen:
      SetFullScreen(MainWindow, !IsFullScreen(MainWindow));
      break;
    case ViewerKey::Screenshot:
      SaveScreenshot(ShowTime);
      break;
    case ViewerKey::Mute:
      SetVolume(volume_, !muted_);
      break;
    case ViewerKey::VolumeDown:
      SetVolume(volume_ - VolumeStep, false);
      break;
    case ViewerKey::VolumeUp:
      SetVolume(volume_ + VolumeStep, false);
      break;
    case ViewerKey::Display:
      displayOn_ = !displayOn_;
      break;
    case ViewerKey::Loop:
      loop_ = !loop_;
      break;
    case ViewerKey::Quit:
      quit_ = true;
      break;
    case ViewerKey::None:
      return;
  }
  if (!liveMode_) ShowDisplay();
}

namespace {
// One line of the bitmap font with its pen at (x, y) in window pixels.
void DrawTextLine(const std::string& text, int x, int y) {
  glRasterPos2i(x, y);
  glListBase(FontListBase);
  glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
}
}  // namespace

void ViewerControls::DrawDisplay(int width, int height) const {
  if (liveMode_ || FontListBase == 0 || (!displayOn_ && SteadySeconds() > displayUntil_)) return;
  char line[3][96];
  const bool ending = ShowTime >= EndingStartTime;
  std::snprintf(line[0], sizeof line[0], "%.3f / %.0f s%s%s", ShowTime, ShowLength, paused_ ? "   paused" : "",
                loop_ ? "   loop" : "");
  if (ending)
    std::snprintf(line[1], sizeof line[1], "the ending");
  else
    std::snprintf(line[1], sizeof line[1], "scene %d: %s", CurrentScene, SceneName(CurrentScene));
  std::snprintf(line[2], sizeof line[2], "%.0f fps   volume %d %%%s", FramesPerSecond, volume_,
                muted_ ? " (muted)" : "");

  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glViewport(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_FOG);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  constexpr int LineHeight = 16, Margin = 12, BoxWidth = 300;
  const int top = height - Margin;
  glColor4f(0, 0, 0, 0.6f);
  glRecti(Margin, top - 3 * LineHeight - 10, Margin + BoxWidth, top);
  glColor4f(1, 1, 1, 1);
  for (int i = 0; i < 3; ++i) DrawTextLine(line[i], Margin + 8, top - (i + 1) * LineHeight);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}
