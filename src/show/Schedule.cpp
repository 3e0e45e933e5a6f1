// The scene table, the arguments each scene's drawer takes from the clock, and the frame made of
// them.
#include "show/Schedule.h"

#include <cmath>

#include "platform/GL.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "show/Ending.h"
#include "show/FrameGuard.h"
#include "show/StarField.h"
#include "timeline/BeatClock.h"
#include "timeline/GentleFlashes.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// The well camera's spin in degrees a second, in extended precision from the clock.
float WellSpinRate() {
  const long double time = ShowTime;
  return static_cast<float>(std::sin(2.8L * time) * (std::sin(time * 5) * 200) *
                            static_cast<long double>(Pulse3Random));
}

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

// What the running cloth scene does to the corners (every cloth entry names it).
ClothCorners CurrentClothCorners() { return FindShowScene(CurrentScene)->clothCorners.value(); }

// Whether the first lit scene of the table has started: from then on normals are normalised.
bool RailNormalised() {
  static const float firstLit = [] {
    float first = ShowLength;
    for (const ShowScene& scene : ShowScenes())
      if (scene.lit) first = std::min(first, scene.firstStart);
    return first;
  }();
  return ShowTime > firstLit;
}

float DominoTime(bool backwards) {
  const long double forward = 1.17L * static_cast<long double>(SceneTime);
  return static_cast<float>(backwards ? 13 - forward : forward);
}

void DrawGreetingsFromClock() {
  DrawGreetingsScene(static_cast<float>(static_cast<long double>(SceneTime) * 25 / 32), Pulse3);
}

// The dominoes' motion played backwards, shown inverted (with less contrast in gentle mode).
void DrawDominoesBackwards() {
  DrawDominoScene(DominoTime(true));
  Begin2D();
  const float level = SceneInversionLevel();
  DrawInvertRect({level, level, level, 1}, 0, 0, 800, 600);
  End2D();
}

// The scene table in the order the casts load; the arguments of each drawer come from the clock.
std::vector<ShowScene> MakeSceneTable() {
  // The rail's four variants and the cloth's four scripts share a cast each.
  const auto rail = [](int number, const char* name) {
    return ShowScene{.number = number, .name = name, .load = LoadRailScene,
                     .advance = AdvanceRailScene,
                     .draw =
                         [] { DrawRailScene(CurrentScene, SceneTime, Pulse3, RailNormalised()); },
                     .reset = ResetRailScene, .save = SaveRailScene, .restore = RestoreRailScene};
  };
  const auto cloth = [](int number, const char* name, ClothCorners corners) {
    return ShowScene{.number = number, .name = name, .load = LoadClothScene,
                     .advance = [] { AdvanceSceneCloth(FrameDelta, CurrentClothCorners()); },
                     .draw = [] { DrawClothScene(ClothLogoAlpha(), CurrentClothCorners()); },
                     .reset = ResetClothScene, .save = SaveClothScene,
                     .restore = RestoreClothScene, .clothCorners = corners};
  };
  std::vector<ShowScene> table = {
      {.number = 5, .name = "light-cones", .load = LoadLightConeScene, .draw = DrawLightConeScene,
       .lit = true},
      rail(1, "rail-1"),
      rail(2, "rail-2"),
      rail(3, "rail-3"),
      rail(4, "rail-water"),
      {.number = 8, .name = "greetings", .load = LoadGreetingsScene,
       .draw = DrawGreetingsFromClock, .lit = true},
      cloth(99, "cloth-held", ClothCorners::Held),
      cloth(11, "cloth-falling", ClothCorners::Released),
      cloth(12, "cloth-dragged", ClothCorners::DraggedPinned),
      cloth(13, "cloth-dragged-free", ClothCorners::DraggedFree),
      {.number = 10, .name = "flowers", .load = LoadFlowerScene, .advance = AdvanceFlowerScene,
       .draw = DrawFlowerScene, .reset = ResetFlowerScene, .save = SaveFlowerScene,
       .restore = RestoreFlowerScene},
      {.number = 9, .name = "well", .load = LoadWellScene,
       .advance = [] { AdvanceWellScene(WellSpinRate()); }, .draw = DrawWellFromClock,
       .reset = ResetWellScene, .save = SaveWellScene, .restore = RestoreWellScene},
      {.number = 6, .name = "dominoes", .load = LoadDominoScene, .advance = AdvanceDominoScene,
       .draw = [] { DrawDominoScene(DominoTime(false)); }, .reset = ResetDominoScene,
       .save = SaveDominoScene, .restore = RestoreDominoScene, .lit = true},
      {.number = 7, .name = "dominoes-back", .load = LoadDominoScene,
       .advance = AdvanceDominoScene, .draw = DrawDominoesBackwards, .reset = ResetDominoScene,
       .save = SaveDominoScene, .restore = RestoreDominoScene, .lit = true},
      {.number = 14, .name = "point-burst", .advance = AdvancePointBurstScene,
       .draw = DrawPointBurstScene},
  };
  for (const SceneStartSpan& span : SceneStartSpans()) {
    for (ShowScene& scene : table) {
      if (scene.number != span.scene) continue;
      scene.firstStart = span.first;
      scene.lastStart = span.last;
    }
  }
  return table;
}
}  // namespace

const std::vector<ShowScene>& ShowScenes() {
  static const std::vector<ShowScene> table = MakeSceneTable();
  return table;
}

const ShowScene* FindShowScene(int number) {
  for (const ShowScene& scene : ShowScenes())
    if (scene.number == number) return &scene;
  return nullptr;
}

void DrawScheduledScene() {
  if (const ShowScene* scene = FindShowScene(CurrentScene)) scene->draw();
}

void AdvanceScheduledScene() {
  const ShowScene* scene = FindShowScene(CurrentScene);
  if (scene && scene->advance) scene->advance();
}

void DrawShowPicture() {
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  SetPlainColour({1, 1, 1, 1});
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
}

void AdvanceShowFrame() {
  if (ShowTime >= EndingStartTime) {
    AdvanceFlowerScene();
  } else {
    RunBeatClock();
    AdvanceScheduledScene();
  }
  AdvanceStarField();
}
