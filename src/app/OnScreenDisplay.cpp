// The on-screen display: four lines of the bitmap font on a translucent box over the picture.
#include "app/OnScreenDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "render/Overlay.h"
#include "show/Schedule.h"
#include "timeline/BeatClock.h"
#include "timeline/ShowClock.h"

namespace {
constexpr int Lines = 4;
// The display's measures on a picture 600 pixels high; larger pictures scale them.
constexpr int FontHeight = 12, LineHeight = 16, Margin = 12, Padding = 8, Descent = 10, LeastBoxWidth = 300;
// The height FontListBase was rasterised at (0: not by the display).
int BuiltFontHeight = 0;

// The scene table's name of a scene number ("" for none).
const char* SceneName(int scene) {
  const ShowScene* found = FindShowScene(scene);
  return found ? found->name : "";
}

// Glyphs rasterised at the height they are shown at, never bitmaps scaled up.
void UseFontOfHeight(int height) {
  if (BuiltFontHeight == height && FontListBase != 0) return;
  if (FontListBase != 0) glDeleteLists(FontListBase, 255);
  FontListBase = BuildFont("Verdana", height, true);
  BuiltFontHeight = height;
}

// One line of the bitmap font with its pen at (x, y) in window pixels.
void DrawTextLine(const std::string& text, int x, int y) {
  glRasterPos2i(x, y);
  glListBase(FontListBase);
  glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
}

// The width of a line in pixels: how far its glyphs move the raster position (nothing written).
int TextWidth(const std::string& text) {
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  DrawTextLine(text, 0, 0);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  GLint position[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_CURRENT_RASTER_POSITION, position);
  return position[0];
}
}  // namespace

void DrawOnScreenDisplay(int width, int height, const DisplayedControls& controls) {
  // Placed in the picture, not the window: in the black bars a translucent box cannot be seen, and
  // text there would stand apart from it.
  const PictureRect picture = FitPicture(DesignWidth, DesignHeight, width, height);
  if (picture.height <= 0) return;
  const double scale = std::max(1.0, picture.height / static_cast<double>(DesignHeight));
  const auto scaled = [scale](int pixels) { return static_cast<int>(std::lround(pixels * scale)); };
  std::string line[Lines];
  char text[96];
  const bool ending = ShowTime >= EndingStartTime;
  std::snprintf(text, sizeof text, "%.3f / %.0f s%s%s", ShowTime, ShowLength, controls.paused ? "   paused" : "",
                controls.loop ? "   loop" : "");
  line[0] = text;
  if (ending)
    std::snprintf(text, sizeof text, "the ending");
  else
    std::snprintf(text, sizeof text, "scene %d: %s", CurrentScene, SceneName(CurrentScene));
  line[1] = text;
  std::snprintf(text, sizeof text, "%.0f fps   volume %d %%%s", FramesPerSecond, controls.volume,
                controls.muted ? " (muted)" : "");
  line[2] = text;
  std::snprintf(text, sizeof text, "drawn %d x %d%s", DrawingWidth(), DrawingHeight(),
                controls.dynamic ? " (dynamic)" : "");
  line[3] = text;

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
  UseFontOfHeight(scaled(FontHeight));
  int textWidth = 0;
  for (const std::string& each : line) textWidth = std::max(textWidth, TextWidth(each));
  const int left = picture.x + scaled(Margin), top = picture.y + picture.height - scaled(Margin);
  const int right = std::min(picture.x + picture.width, left + std::max(scaled(LeastBoxWidth), textWidth + 2 * scaled(Padding)));
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0, 0, 0, 0.6f);
  glRecti(left, top - Lines * scaled(LineHeight) - scaled(Descent), right, top);
  glColor4f(1, 1, 1, 1);
  for (int i = 0; i < Lines; ++i) DrawTextLine(line[i], left + scaled(Padding), top - (i + 1) * scaled(LineHeight));
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}
