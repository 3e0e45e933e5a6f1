// The on-screen display: three lines of the bitmap font on a translucent box.
#include "app/OnScreenDisplay.h"

#include <cstdio>
#include <string>

#include "platform/GL.h"
#include "render/Overlay.h"
#include "show/Schedule.h"
#include "timeline/BeatClock.h"
#include "timeline/ShowClock.h"

namespace {
// The scene table's name of a scene number ("" for none).
const char* SceneName(int scene) {
  const ShowScene* found = FindShowScene(scene);
  return found ? found->name : "";
}

// One line of the bitmap font with its pen at (x, y) in window pixels.
void DrawTextLine(const std::string& text, int x, int y) {
  glRasterPos2i(x, y);
  glListBase(FontListBase);
  glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
}
}  // namespace

void DrawOnScreenDisplay(int width, int height, const DisplayedControls& controls) {
  if (FontListBase == 0) return;
  char line[3][96];
  const bool ending = ShowTime >= EndingStartTime;
  std::snprintf(line[0], sizeof line[0], "%.3f / %.0f s%s%s", ShowTime, ShowLength,
                controls.paused ? "   paused" : "", controls.loop ? "   loop" : "");
  if (ending)
    std::snprintf(line[1], sizeof line[1], "the ending");
  else
    std::snprintf(line[1], sizeof line[1], "scene %d: %s", CurrentScene, SceneName(CurrentScene));
  std::snprintf(line[2], sizeof line[2], "%.0f fps   volume %d %%%s", FramesPerSecond, controls.volume,
                controls.muted ? " (muted)" : "");

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
