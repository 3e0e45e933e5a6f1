// The live frame: which layer each stream slot switches on, in drawing order.
#include "live/LiveFrame.h"

#include "live/StreamPackets.h"
#include "render/GL.h"
#include "render/RenderState.h"
#include "shell/Globals.h"
#include "shell/Input.h"
#include "shell/Window.h"

void CreateLiveAssets() {}

void DrawLiveFrame() {
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  PresentFrame(MainWindow);
  PollKeyboard();
}
