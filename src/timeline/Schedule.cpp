// Placeholder frame: clears, presents and polls until the timeline lands.
#include "timeline/Schedule.h"

#include "render/GL.h"
#include "render/RenderState.h"
#include "shell/Globals.h"
#include "shell/Input.h"

void DrawShowFrame() {
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  PresentFrame(MainWindow);
  PollKeyboard();
}
