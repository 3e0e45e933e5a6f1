// The viewer's keys: each key to its action, and the state the run loop asks about.
#include "app/Controls.h"

#include <algorithm>
#include <cmath>

#include "app/OnScreenDisplay.h"
#include "app/Screenshot.h"
#include "platform/Audio.h"
#include "platform/Input.h"
#include "platform/SteadyClock.h"
#include "platform/Window.h"
#include "timeline/ShowClock.h"

namespace {
constexpr float ShortJumpSeconds = 5;
constexpr float LongJumpSeconds = 60;
constexpr int StepsPerSecond = 60;  // a frame step is one frame of the show's design rate
constexpr int VolumeStep = 10;
constexpr double DisplaySeconds = 2;
}  // namespace

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

void ViewerControls::DrawDisplay(int width, int height) const {
  if (liveMode_ || (!displayOn_ && SteadySeconds() > displayUntil_)) return;
  DrawOnScreenDisplay(width, height, {paused_, loop_, volume_, muted_, dynamic_});
}
