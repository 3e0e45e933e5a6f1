// The live mode's small tool window: up to six captions on a light grey ground, drawn without GL.
#pragma once
#include <string>

// A second SDL window beside the GL window. Every method leaves the GL window's context current.
class TToolWindow {
 public:
  TToolWindow() = default;
  ~TToolWindow();
  TToolWindow(const TToolWindow&) = delete;
  TToolWindow& operator=(const TToolWindow&) = delete;

  // Opens the window titled title with a client area of width x height at (left, top), moved
  // inside the display when it would fall off it. False (and nothing open) when SDL cannot.
  bool Open(const std::string& title, int left, int top, int width, int height);
  bool IsOpen() const { return window_ != nullptr; }
  // Texts of the three labels (at (16, 8), (16, 32) and (16, 56)); the window redraws on the
  // next Refresh.
  void SetCaption1(const std::string& text);
  void SetCaption2(const std::string& text);
  void SetCaption3(const std::string& text);
  // Three more lines below the three, for a window opened tall enough (at (16, 80), (16, 104),
  // (16, 128)).
  void SetCaption4(const std::string& text);
  void SetCaption5(const std::string& text);
  void SetCaption6(const std::string& text);
  const std::string& Caption1() const { return caption1_; }
  const std::string& Caption2() const { return caption2_; }
  const std::string& Caption3() const { return caption3_; }
  const std::string& Caption4() const { return caption4_; }
  const std::string& Caption5() const { return caption5_; }
  const std::string& Caption6() const { return caption6_; }
  // Redraws the window if a caption changed or it was uncovered since the last drawing.
  void Refresh();
  // Takes every pending event; true once this window or the GL window was asked to close (or
  // the program to quit). A size change of the GL window resizes its viewport.
  bool PumpEvents();
  bool CloseRequested() const;
  // The SDL window id (0 when not open), for telling its events apart.
  unsigned WindowId() const { return windowId_; }
  // Number of times the window has been drawn.
  int Redraws() const { return redraws_; }
  // Darkest-pixel count of the last drawing in the label box at (x, y, w, h); tests read it.
  int InkPixels(int x, int y, int w, int h) const;
  void Close();

 private:
  void Draw();

  void* window_ = nullptr;
  void* renderer_ = nullptr;
  void* font_ = nullptr;
  unsigned windowId_ = 0;
  // Sets one caption and marks the window for redrawing when it changed.
  void SetCaption(std::string& caption, const std::string& text);
  std::string caption1_;
  std::string caption2_;
  std::string caption3_;
  std::string caption4_;
  std::string caption5_;
  std::string caption6_;
  bool dirty_ = true;
  int redraws_ = 0;
};
