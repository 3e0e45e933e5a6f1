// One frame of the timed show as every run loop shows it: drawn, presented, the keyboard polled.
#pragma once
#include "platform/Input.h"
#include "platform/Window.h"
#include "show/Schedule.h"

// DrawShowFrame, then PresentFrame on the main window (the window, or the capture's hook) and a
// fresh keyboard state for the keys read after the frame.
inline void PresentShowFrameNow() {
  DrawShowFrame();
  PresentFrame(MainWindow);
  PollKeyboard();
}
