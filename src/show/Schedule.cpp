// The show's schedule: which scene draws with which arguments, the point fields and the ending.
#include "show/Schedule.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/GL.h"
#include "platform/Input.h"
#include "platform/ShowFrame.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/PointBatch.h"
#include "render/RenderState.h"
#include "render/VectorMath.h"
#include "scenes/ClothScene.h"
#include "scenes/Scenes.h"
#include "show/FrameGuard.h"
#include "show/ShowSnapshots.h"
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

// The points of both fields, refilled every frame: each frame draws new positions.
PointBatch RandomPoints;

uint64_t PointDraws(int64_t lastIndex);

// Each point takes three draws of the shared generator: z first, then y, then x. In unseen frames
// only the draws are taken. Points of the given size, square or round (the stars, and the burst
// once the stars are out): round points light the pixels a smoothed point drawn without blending
// lights, at a fraction of the cost.
void DrawRandomPoints(int64_t lastIndex, float size, bool round) {
  if (DrawingUnseen()) {
    SkipRandom(PointDraws(lastIndex));
    return;
  }
  const size_t count = lastIndex < 0 ? 0 : static_cast<size_t>(lastIndex) + 1;
  float* const positions = RandomPoints.Resize(count);
  // A dense field (the stars) is made by two threads, each share from the seed its draws start
  // at: the same points as if drawn one after the other.
  const uint32_t start = RandomSeed;
  SplitDenseWork(count, [positions, start](size_t first, size_t last) {
    uint32_t seed = SeedAfter(start, 3 * static_cast<uint64_t>(first));
    for (size_t i = first; i < last; ++i) {
      const float z = RandomFrom(seed) * 100 - 100;
      const float y = RandomFrom(seed) * 100 - 100;
      const float x = RandomFrom(seed) * 100 - 100;
      positions[3 * i] = x;
      positions[3 * i + 1] = y;
      positions[3 * i + 2] = z;
    }
  });
  SkipRandom(PointDraws(lastIndex));
  if (round) {
    RandomPoints.DrawRound(SmoothedPointRadius(size));
    return;
  }
  glPointSize(size);
  RandomPoints.Draw();
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
  StartSceneState();
  glClear(GL_DEPTH_BUFFER_BIT);
  LookAtPointField();
  SetPlainColour(White);
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  // Once the star field is out its points are round, and so are the burst's from then on.
  DrawRandomPoints(PointBurstLastIndex(), 3.0f * DrawingScale(), ShowTime > StarFieldStartTime);
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

// The light cones are the first lit scene and switch normalisation on for good: the rail before
// them (at the show's start) shows its floor's sphere map from normals as they are.
bool RailNormalised() {
  static const float conesFirstLit = [] {
    for (const SceneStartSpan& span : SceneStartSpans())
      if (span.scene == 5) return span.first;
    return 0.0f;
  }();
  return ShowTime > conesFirstLit;
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
  DrawInvertRect(Grey(SceneInversionLevel()), 0, 0, 800, 600);
  End2D();
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

namespace {
// The scene table in the order the casts load. Scenes that share a cast share its loader and
// reset; the arguments of each drawer come from the clock.
std::vector<ShowScene> MakeSceneTable() {
  // The rail's four variants and the cloth's four scripts share a cast each.
  const auto rail = [](int number, const char* name) {
    return ShowScene{.number = number, .name = name, .load = LoadRailScene,
                     .advance = AdvanceRailScene,
                     .draw =
                         [] { DrawRailScene(CurrentScene, SceneTime, Pulse3, RailNormalised()); },
                     .reset = ResetRailScene};
  };
  const auto cloth = [](int number, const char* name) {
    return ShowScene{
        .number = number, .name = name, .load = LoadClothScene,
        .advance = [] { AdvanceSceneCloth(FrameDelta, *ClothCornersOf(CurrentScene)); },
        .draw = [] { DrawClothScene(ClothLogoAlpha(), *ClothCornersOf(CurrentScene)); },
        .reset = ResetClothScene};
  };
  std::vector<ShowScene> table = {
      {.number = 5, .name = "light-cones", .load = LoadLightConeScene, .draw = DrawLightConeScene},
      rail(1, "rail-1"),
      rail(2, "rail-2"),
      rail(3, "rail-3"),
      rail(4, "rail-water"),
      {.number = 8, .name = "greetings", .load = LoadGreetingsScene,
       .draw = DrawGreetingsFromClock},
      cloth(99, "cloth-held"),
      cloth(11, "cloth-falling"),
      cloth(12, "cloth-dragged"),
      cloth(13, "cloth-dragged-free"),
      {.number = 10, .name = "flowers", .load = LoadFlowerScene, .advance = AdvanceFlowerScene,
       .draw = DrawFlowerScene, .reset = ResetFlowerScene},
      {.number = 9, .name = "well", .load = LoadWellScene,
       .advance = [] { AdvanceWellScene(WellSpinRate()); }, .draw = DrawWellFromClock,
       .reset = ResetWellScene},
      {.number = 6, .name = "dominoes", .load = LoadDominoScene, .advance = AdvanceDominoScene,
       .draw = [] { DrawDominoScene(DominoTime(false)); }, .reset = ResetDominoScene},
      {.number = 7, .name = "dominoes-back", .load = LoadDominoScene,
       .advance = AdvanceDominoScene, .draw = DrawDominoesBackwards, .reset = ResetDominoScene},
      {.number = 14, .name = "point-burst",
       .advance = [] { SkipRandom(PointDraws(PointBurstLastIndex())); }, .draw = DrawPointBurst},
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

std::vector<SceneStep> DistinctSceneSteps(SceneStep ShowScene::*step) {
  std::vector<SceneStep> steps;
  for (const ShowScene& scene : ShowScenes()) {
    const SceneStep function = scene.*step;
    if (function && std::find(steps.begin(), steps.end(), function) == steps.end())
      steps.push_back(function);
  }
  return steps;
}

void DrawScheduledScene() {
  if (const ShowScene* scene = FindShowScene(CurrentScene)) scene->draw();
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
  SetPlainColour(White);
  glDisable(GL_LIGHTING);
  if (!ending) glDisable(GL_FOG);
  // Hidden stars are not sent at all (141,001 of them at the end), only their draws skipped.
  if (hidden)
    SkipRandom(PointDraws(lastIndex));
  else
    // Sizes in pixels follow the drawing size, so a frame drawn smaller and scaled up keeps its
    // stars.
    DrawRandomPoints(lastIndex, 1.5f * DrawingScale(), true);
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
  const ShowScene* scene = FindShowScene(CurrentScene);
  if (scene && scene->advance) scene->advance();
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
AdvanceFigures Figures;

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

const AdvanceFigures& LastAdvanceFigures() { return Figures; }

namespace {
float TimeOfFrame(long frame, int framesPerSecond) {
  return static_cast<float>(static_cast<double>(frame) / framesPerSecond);
}

// The first frame at or after target (a target past the show's end: the first frame after it).
long FirstFrameAt(float target, int framesPerSecond) {
  long first = 0;
  while (TimeOfFrame(first, framesPerSecond) < target && !(TimeOfFrame(first, framesPerSecond) > ShowLength))
    ++first;
  return first;
}
}  // namespace

long AdvanceShowTo(float target, int framesPerSecond) {
  ResetShow();
  Figures = AdvanceFigures{};
  const auto timeOf = [framesPerSecond](long frame) { return TimeOfFrame(frame, framesPerSecond); };
  // The first frame of the warm-up.
  const long first = FirstFrameAt(target, framesPerSecond);
  long warmUp = 0;
  while (warmUp < first && timeOf(warmUp) < target - WarmUpSeconds) ++warmUp;
  const auto setClock = [&](long frame) {
    ShowTime = timeOf(frame);
    FrameDelta = 1.0f / framesPerSecond;
    FramesPerSecond = static_cast<float>(framesPerSecond);
  };
  // Reseeded from the show's time like the snapshots, so that a late start is the same on
  // every run.
  const bool reseeding = ShowTimeReseedingEnabled();
  SetShowTimeReseeding(true);
  BeginUnseenFrames();
  const double start = Seconds();
  RestoreShowFrameState(warmUp, framesPerSecond);
  Figures.stateSeconds = Seconds() - start;
  for (long frame = warmUp; frame < first; ++frame) {
    QuitCheckpoint();
    setClock(frame);
    DrawShowPicture();
    ++Figures.unseenFrames;
  }
  Figures.drawingSeconds = Seconds() - start - Figures.stateSeconds;
  EndUnseenFrames();
  SetShowTimeReseeding(reseeding);
  return first;
}

long SeekShowTo(float target, int framesPerSecond) {
  RestoreRememberedState();
  ResetShow();
  Figures = AdvanceFigures{};
  const long first = FirstFrameAt(target, framesPerSecond);
  const double start = Seconds();
  RestoreShowFrameState(first, framesPerSecond);
  Figures.stateSeconds = Seconds() - start;
  return first;
}

void RecordShowStart() {
  ShowStartSeed = RandomSeed;
  ForgetShowSnapshots();
}

void ResetCarriedState() {
  ResetBeatClock();
  for (SceneStep reset : DistinctSceneSteps(&ShowScene::reset)) reset();
  RandomSeed = ShowStartSeed;
}

void ResetShow() {
  ResetCarriedState();
  ExitRequested = false;
  ResetFrameGuard();
}
