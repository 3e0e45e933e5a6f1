// The viewer's keys in the timed show (pause, jumps, frame steps, full screen, screenshots,
// volume, the on-screen display, looping) and the few the live mode takes.
#pragma once
#include <optional>

// The viewer's state between frames. TakeKeys carries out what needs no help from the run
// loop (full screen, screenshot, volume, display, loop) and leaves the rest as requests.
class ViewerControls {
 public:
  // liveMode: only full screen, screenshot and quit are taken; paused: the show starts paused.
  ViewerControls(bool loop, bool liveMode, bool paused = false);
  ~ViewerControls();
  ViewerControls(const ViewerControls&) = delete;
  ViewerControls& operator=(const ViewerControls&) = delete;

  // Takes every key pressed since the last call.
  void TakeKeys();
  bool QuitAsked() const { return quit_; }
  bool Paused() const { return paused_; }
  bool Loop() const { return loop_; }
  // Whether the on-screen display is switched on (o) beyond the 2 s after each control.
  bool DisplayOn() const { return displayOn_; }
  // True once after a pause key: the run loop stops or restarts the music.
  bool TakePauseChange();
  // The show time a jump or frame step asks for, once; none when nothing was asked.
  std::optional<float> TakeJump();
  // Seconds of steady clock when the key of the pending jump was taken (for the jump's timing).
  double JumpKeySeconds() const { return jumpKeySeconds_; }
  // The on-screen display over the window for 2 s from now (after a control).
  void ShowDisplay();
  // Whether the run's dynamic resolution may draw below the frame's size (the display says so).
  void SetDynamicResolution(bool dynamic) { dynamic_ = dynamic; }

 private:
  void Apply(int key);
  void Jump(double target);
  void SetVolume(int volume, bool muted);
  // The on-screen display over the window while it is switched on or shown after a control.
  void DrawDisplay(int width, int height) const;

  bool liveMode_;
  bool loop_;
  bool quit_ = false;
  bool paused_ = false;
  bool pauseChanged_ = false;
  std::optional<float> jump_;
  double jumpKeySeconds_ = 0;
  int volume_ = 100;
  bool muted_ = false;
  bool displayOn_ = false;
  bool dynamic_ = false;
  double displayUntil_ = 0;
};
