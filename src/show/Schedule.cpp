// The show's schedule: which scene draws with which arguments, the point fields and the ending.
#include "show/Schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/GL.h"
#include "platform/Input.h"
#include "render/Overlay.h"
#include "render/PointBatch.h"
#include "render/RenderState.h"
#include "render/VectorMath.h"
#include "scenes/ClothScene.h"
#include "scenes/Scenes.h"
#include "show/FrameGuard.h"
#include "timeline/BeatClock.h"
#include "timeline/GentleFlashes.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

TextureId LogoTexture = NoTexture;

namespace {
constexpr ColorRGBA White = {1, 1, 1, 1};
ColorRGBA Grey(float level) { return {level, level, level, 1}; }

// Overlay alphas run past [0, 1] during the fades; GL would clamp them anyway.
float Clamped(float alpha) { return std::clamp(alpha, 0.0f, 1.0f); }

// n rounded to nearest (ties to even); the fields draw n + 1 points, none for a negative or NaN n.
int64_t LastPointIndex(long double n) {
  if (!(n >= 0)) return -1;
  return static_cast<int64_t>(std::nearbyint(std::min(n, 1.0e12L)));
}

// Both point fields are seen from (4, 0, 0) towards the origin and moved by (0, 50, 50).
void LookAtPointField() {
  LookAt({4, 0, 0}, {0, 0, 0}, {0, 1, 0});
  glTranslatef(0, 50, 50);
}

// How far beyond its half size a smoothed point drawn without blending writes its colour, in
// pixels (measured on the software renderer: a 1.5-pixel star lights the pixels within 1.0).
constexpr float SmoothedPointFringe = 0.25f;

// The points of both fields, refilled every frame: each frame draws new positions.
PointBatch RandomPoints;

// Each point takes three draws of the shared generator: z first, then y, then x. Points of the
// given size; once the star field has switched point smoothing on (it stays on), they are drawn
// as round sprites, which cover the same pixels without blending at a fraction of the cost.
void DrawRandomPoints(int64_t lastIndex, float size) {
  RandomPoints.Clear();
  for (int64_t i = 0; i <= lastIndex; ++i) {
    const float z = Random() * 100 - 100;
    const float y = Random() * 100 - 100;
    const float x = Random() * 100 - 100;
    RandomPoints.Add(x, y, z);
  }
  glPointSize(size);
  if (!glIsEnabled(GL_POINT_SMOOTH)) {
    RandomPoints.Draw();
    return;
  }
  glDisable(GL_POINT_SMOOTH);
  BeginRoundPoints(size / 2 + SmoothedPointFringe);
  RandomPoints.Draw();
  EndRoundPoints();
  glEnable(GL_POINT_SMOOTH);
}

// The generator draws of a point field whose last index is lastIndex: three per point.
uint64_t PointDraws(int64_t lastIndex) { return lastIndex < 0 ? 0 : 3 * (static_cast<uint64_t>(lastIndex) + 1); }

int64_t PointBurstLastIndex() { return LastPointIndex(static_cast<long double>(SceneTime) * 10000); }

// Above 160 s the star field grows by 3000 points a second; -1 (no points) at or below. The
// field stops growing at the show's length: the live mode's clock runs on for hours, and past
// 207 s the field lies under the ending's black anyway.
int64_t StarFieldLastIndex() {
  if (!(ShowTime > StarFieldStartTime)) return -1;
  const long double elapsed =
      static_cast<long double>(std::min(ShowTime, ShowLength)) - StarFieldStartTime;
  return LastPointIndex(elapsed * 3000);
}

void DrawPointBurst() {
  glLoadIdentity();
  glClear(GL_DEPTH_BUFFER_BIT);
  LookAtPointField();
  SetPlainColour(White);
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  DrawRandomPoints(PointBurstLastIndex(), 3.0f);
  glLoadIdentity();
}

// The well camera's spin in degrees a second, in extended precision from the clock.
float WellSpinRate() {
  const long double time = ShowTime;
  return static_cast<float>(std::sin(2.8L * time) * (std::sin(time * 5) * 200) *
                            static_cast<long double>(Pulse3Random));
}

// The generator's seed as loading left it: every pass of the show starts from it.
uint32_t ShowStartSeed = 0;

// The well scene's five arguments, computed in extended precision from the clock.
void DrawWellFromClock() {
  const long double time = ShowTime;
  const long double sceneTime = SceneTime;
  const float jolt = static_cast<float>(static_cast<long double>(Pulse3) * 10);
  const float spinRate = WellSpinRate();
  const float scroll = static_cast<float>(std::sin(sceneTime) * 123 + sceneTime);
  const float bounce = static_cast<float>(std::sin(time * static_cast<long double>(Bpm) / 60) * 20);
  const float spike =
      static_cast<float>((std::sin(time) + 1) * (static_cast<long double>(Pulse4) * 50));
  DrawWellScene(jolt, spinRate, scroll, bounce, spike);
}

float ClothLogoAlpha() {
  return static_cast<float>(std::sin(static_cast<long double>(ShowTime) * 20) + 0.8L);
}

float DominoTime(bool backwards) {
  const long double forward = 1.17L * static_cast<long double>(SceneTime);
  return static_cast<float>(backwards ? 13 - forward : forward);
}
}  // namespace

std::optional<ClothCorners> ClothCornersOf(int scene) {
  switch (scene) {
    case 99:
      return ClothCorners::Held;
    case 11:
      return ClothCorners::Released;
    case 12:
      return ClothCorners::DraggedPinned;
    case 13:
      return ClothCorners::DraggedFree;
    default:
      return std::nullopt;
  }
}

void DrawScheduledScene() {
  switch (CurrentScene) {
    case 1:
    case 2:
    case 3:
    case 4:
      DrawRailScene(CurrentScene, SceneTime, Pulse3);
      break;
    case 5:
      DrawLightConeScene();
      break;
    case 6:
      DrawDominoScene(DominoTime(false));
      break;
    case 7:
      // The scene-6 motion played backwards, shown inverted (with less contrast in gentle mode).
      DrawDominoScene(DominoTime(true));
      Begin2D();
      DrawInvertRect(Grey(SceneInversionLevel()), 0, 0, 800, 600);
      End2D();
      break;
    case 8:
      DrawGreetingsScene(static_cast<float>(static_cast<long double>(SceneTime) * 25 / 32), Pulse3);
      break;
    case 9:
      DrawWellFromClock();
      break;
    case 10:
      DrawFlowerScene();
      break;
    case 99:
    case 11:
    case 12:
    case 13:
      DrawClothScene(ClothLogoAlpha(), *ClothCornersOf(CurrentScene));
      break;
    case 14:
      DrawPointBurst();
      break;
    default:
      break;
  }
}

void DrawStarField(bool ending, bool hidden) {
  const int64_t lastIndex = StarFieldLastIndex();
  if (lastIndex < 0) return;
  glLoadIdentity();
  // In the ending the stars must show over the black fade quad, so depth is cleared instead.
  if (ending)
    glClear(GL_DEPTH_BUFFER_BIT);
  else
    glDisable(GL_DEPTH_TEST);
  LookAtPointField();
  glEnable(GL_POINT_SMOOTH);
  SetPlainColour(White);
  glDisable(GL_LIGHTING);
  if (!ending) glDisable(GL_FOG);
  // Hidden stars are not sent at all (141,001 of them at the end), only their draws skipped.
  if (hidden)
    SkipRandom(PointDraws(lastIndex));
  else
    DrawRandomPoints(lastIndex, 1.5f);
  glLoadIdentity();
  if (!ending) glEnable(GL_DEPTH_TEST);
}

void DrawPulseOverlays() {
  Begin2D();
  // Pulse2 and Pulse1 themselves, unless gentle mode holds them back.
  if (Pulse2 > 0) DrawInvertRect(Grey(InversionLevel()), 0, 0, 800, 600);
  if (Pulse1 > 0) DrawRectAdditive({1, 1, 1, FlashOpacity()}, 0, 0, 800, 600);
  End2D();
}

// The flowers fade to black, the stars come out over the black, the logo darkens them and the
// last black covers everything. What an opaque black (alpha 1 after clamping: exactly black in
// the frame) will cover is drawn hidden: from 204 s the flowers, from 207 s (the live mode's
// clock runs on for hours) the stars and the logo too. Hidden drawing keeps every state change
// and every draw of the generator, so the frames after it are the same.
void DrawEnding() {
  const float flowersCovered = Clamped(ShowTime - 203.0f);
  const float allCovered = Clamped(ShowTime - 206.0f);
  const bool flowersHidden = flowersCovered >= 1;
  const bool allHidden = allCovered >= 1;
  if (flowersHidden) BeginHiddenDrawing();
  DrawFlowerScene();
  if (flowersHidden) EndHiddenDrawing();
  Begin2D();
  DrawRect({0, 0, 0, flowersCovered}, 0, 0, 800, 600);
  End2D();
  DrawStarField(true, allHidden);
  if (allHidden) BeginHiddenDrawing();
  Begin2D();
  DrawImage(LogoTexture, {0, 0, 0, Clamped(ShowTime - 204.0f)}, 144, 44, 512, 512);
  if (allHidden) EndHiddenDrawing();
  DrawRect({0, 0, 0, allCovered}, 0, 0, 800, 600);
  End2D();
}

void DrawShowPicture() {
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  SetPlainColour(White);
  glDisable(GL_LIGHTING);
  if (ShowTime >= EndingStartTime) {
    DrawEnding();
  } else {
    RunBeatClock();
    DrawScheduledScene();
    DrawStarField(false, false);
    DrawPulseOverlays();
  }
}

void DrawShowFrame() {
  DrawShowPicture();
  GuardShowFrame();
  PresentFrame(MainWindow);
  PollKeyboard();
}

void AdvanceScheduledScene() {
  switch (CurrentScene) {
    case 1:
    case 2:
    case 3:
    case 4:
      AdvanceRailScene();
      break;
    case 6:
    case 7:
      AdvanceDominoScene();
      break;
    case 9:
      AdvanceWellScene(WellSpinRate());
      break;
    case 10:
      AdvanceFlowerScene();
      break;
    case 99:
    case 11:
    case 12:
    case 13:
      AdvanceSceneCloth(FrameDelta, *ClothCornersOf(CurrentScene));
      break;
    case 14:
      SkipRandom(PointDraws(PointBurstLastIndex()));
      break;
    default:
      break;
  }
}

void AdvanceShowFrame() {
  if (ShowTime >= EndingStartTime) {
    AdvanceFlowerScene();
  } else {
    RunBeatClock();
    AdvanceScheduledScene();
  }
  SkipRandom(PointDraws(StarFieldLastIndex()));
}

namespace {
// The ShowTimes at which the scene track switches (or restarts) a scene, in order.
const std::vector<float>& SceneSwitchTimes() {
  static const std::vector<float> times = [] {
    std::vector<float> list;
    for (int32_t step = 0; step < SceneTrackLength; ++step)
      if (SceneTrackAt(step) != 0) list.push_back(StepStartTime(step));
    return list;
  }();
  return times;
}

// Whether the scene track switches after the frame at time and by the frame at next.
bool SwitchesAfter(float time, float next) {
  const std::vector<float>& switches = SceneSwitchTimes();
  const auto first = std::upper_bound(switches.begin(), switches.end(), time);
  return first != switches.end() && *first <= next;
}
}  // namespace

long AdvanceShowTo(float target, int framesPerSecond) {
  ResetShow();
  long frame = 0;
  for (;; ++frame) {
    const float time = static_cast<float>(static_cast<double>(frame) / framesPerSecond);
    // A target past the show's end stops at the first frame after it.
    if (!(time < target) || time > ShowLength) break;
    ShowTime = time;
    FrameDelta = 1.0f / framesPerSecond;
    FramesPerSecond = static_cast<float>(framesPerSecond);
    // The last frame of every visit to a scene is drawn as well: the GL state a scene leaves
    // behind (its light's position and colours, its material) stays for the scenes after it
    // that do not set their own, as in a whole run.
    const float next = static_cast<float>(static_cast<double>(frame + 1) / framesPerSecond);
    if (time < target - WarmUpSeconds && !SwitchesAfter(time, next))
      AdvanceShowFrame();
    else
      DrawShowPicture();
  }
  return frame;
}

void RecordShowStart() { ShowStartSeed = RandomSeed; }

void ResetShow() {
  ResetBeatClock();
  ResetRailScene();
  ResetDominoScene();
  ResetWellScene();
  ResetFlowerScene();
  ResetClothScene();
  RandomSeed = ShowStartSeed;
  ExitRequested = false;
  ResetFrameGuard();
}
