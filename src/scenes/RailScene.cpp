// Rail and water scene: a running-bond brick floor rocking on the hidden water surface, an
// orbiting camera shaken by the music, wheels, letterbox bars, flashes and the glow picture.
#include "scenes/RailScene.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Brush.h"
#include "render/Effects.h"
#include "render/Mesh.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"
#include "scenes/Scenes.h"
#include "timeline/PointField.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {

TOrvBrush Brick;
TOrvBrush UnusedGeometry;  // loaded and scaled like the rest of the set, never drawn here
TextureId FloorTexture = NoTexture;
TextureId TrainPicture = NoTexture;
TextureId WheelPicture = NoTexture;
TextureId GlowPicture = NoTexture;
TWaterSim Water;

float FiniteOrZero(double angle) { return std::isfinite(angle) ? static_cast<float>(angle) : 0.0f; }

// The brick's faces wound outward, when it is a closed solid: then back faces are culled,
// which halves the triangles the renderer sets up and shades and leaves the picture as it is.
std::vector<MeshFace> OutwardBrickFaces;
bool CullBrickBacks = false;

// Far bricks are drawn as their six flat sides grown to the brick's box (12 triangles instead
// of 108): narrower on screen than FarBrickPixels of the 800 x 600 frame, their rounded edges
// are under a pixel wide. Made at load from a closed brick; none otherwise.
TMeshDataN FarBrick;
bool HaveFarBrick = false;
float FarBrickDistance = 0.0f;  // squared eye distance beyond which a brick is drawn as FarBrick
// 14 pixels: only the rail-water's high camera sees bricks this small (SSIM 0.997 or more there
// against the full bricks); at 16 single 60 fps frames fell to 0.968, at 24 the boxes' squarer
// outline shows (0.84).
constexpr float FarBrickPixels = 14.0f;

struct PlacedBrick {
  int i, j;
  float height;
  float distance;  // squared, from the eye
};
std::vector<PlacedBrick> FloorBricks;

void DrawFloor(int variant, float sceneTime, const Vector3& eye) {
  const TMeshDataNM& mesh = Brick.Mesh(0);
  // GL reads every array up to the highest face index: draw nothing unless all of them are there.
  const size_t vertices = static_cast<size_t>(mesh.VertexCount);
  if (mesh.FaceCount <= 0 || mesh.Vertices.size() < vertices || mesh.Normals.size() < vertices ||
      mesh.TexCoords.size() < vertices)
    return;
  const float shift = -RailBrickSpacing / 2 * RailFloorSize;
  FloorBricks.clear();
  for (int i = 0; i < RailFloorSize; ++i) {
    for (int j = 0; j < RailFloorSize; ++j) {
      const float h = RailBrickHeight(variant, i, j, sceneTime, Water);
      // Odd columns are shifted by half a brick: the running bond.
      const float offset = (i % 2 == 1) ? RailBrickSpacing / 2 : 0.0f;
      const float dx = shift + RailBrickSpacing * i - eye.x, dy = h - eye.y,
                  dz = shift + RailBrickSpacing * j + offset - eye.z;
      FloorBricks.push_back({i, j, h, dx * dx + dy * dy + dz * dz});
    }
  }
  // Nearest first: the depth test then turns away the covered parts of farther bricks before
  // they are shaded. The bricks are opaque, so the order changes no pixel.
  std::stable_sort(FloorBricks.begin(), FloorBricks.end(),
                   [](const PlacedBrick& a, const PlacedBrick& b) { return a.distance < b.distance; });
  const MeshFace* faces = CullBrickBacks ? OutwardBrickFaces.data() : mesh.Faces.data();
  int32_t faceCount = mesh.FaceCount;
  if (CullBrickBacks) {
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
  }
  mesh.EnableArrays();
  bool far = false;
  for (const PlacedBrick& brick : FloorBricks) {
    // Nearest first, so once a brick is far every later one is.
    if (!far && HaveFarBrick && brick.distance > FarBrickDistance) {
      far = true;
      FarBrick.EnableArrays();
      faces = FarBrick.Faces.data();
      faceCount = FarBrick.FaceCount;
    }
    const int i = brick.i, j = brick.j;
    glPushMatrix();
    const float offset = (i % 2 == 1) ? RailBrickSpacing / 2 : 0.0f;
    glTranslatef(RailBrickSpacing * i, brick.height, RailBrickSpacing * j + offset);
    glRotatef(150.0f * Water.Normals[i][j].x, 0, 0, 1);
    glRotatef(150.0f * Water.Normals[i][j].z, 1, 0, 0);
    if (!DrawingUnseen()) glDrawElements(GL_TRIANGLES, 3 * faceCount, GL_UNSIGNED_INT, faces);
    glPopMatrix();
  }
  // Switched off again so that no later indexed draw reads the brick's arrays.
  TMeshDataN::DisableArrays();
  glDisable(GL_CULL_FACE);
}

}  // namespace

RailCamera RailCameraFor(int variant, float sceneTime) {
  // Per variant: eye distance E (the eye starts at (E, 0, E)), turn about y in degrees a second,
  // base height, centre and up. Variant 1 climbs 100 units a second from its base; the others
  // bob 100 units around it.
  struct Orbit {
    float distance, turnRate, height;
    Vector3 centre, up;
  };
  static const Orbit orbits[4] = {
      {250.0f, 10.0f, 100.0f, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}},
      {1000.0f, 80.0f, 1330.0f, {0.0f, 300.0f, 0.0f}, {0.0f, 1.0f, 0.0f}},
      {800.0f, 110.0f, 1330.0f, {0.0f, 300.0f, 0.0f}, {0.7f, 0.4f, -0.2f}},
      {500.0f, -110.0f, 1830.0f, {0.0f, 300.0f, 0.0f}, {0.7f, 0.4f, -0.2f}},
  };
  const Orbit& orbit = orbits[(variant >= 1 && variant <= 4) ? variant - 1 : 3];
  const double st = sceneTime;
  RailCamera camera{{orbit.distance, 0.0f, orbit.distance}, orbit.centre, orbit.up};
  RotateVector(camera.eye, {0.0f, static_cast<float>(orbit.turnRate * st), 0.0f});
  camera.eye.y = static_cast<float>(variant == 1 ? orbit.height + 100.0 * st
                                                 : orbit.height + 100.0 * std::sin(1.5 * st));
  return camera;
}

float RailBrickHeight(int variant, int i, int j, float sceneTime, const TWaterSim& water) {
  switch (variant) {
    case 1:
      return 0.0f;
    case 2:
    case 3: {
      const double di = i - 20, dj = j - 20;
      return static_cast<float>(50.0 * std::sqrt(di * di + dj * dj));
    }
    default:
      return static_cast<float>(static_cast<double>(water.Height[i][j]) / 30.0 *
                                (static_cast<double>(sceneTime) - 1.0));
  }
}

void RailWheelAngles(int variant, float sceneTime, float& first, float& second) {
  const double st = sceneTime;
  if (variant == 1) {
    // At scene time 0 these are infinite; such a frame shows the wheels unturned.
    first = FiniteOrZero(5000.0 / st);
    second = FiniteOrZero(30.0 - 5000.0 / st);
  } else {
    first = FiniteOrZero(100.0 * st);
    second = FiniteOrZero(30.0 - 100.0 * st);
  }
}

float RailGlowAlpha(float sceneTime) {
  return static_cast<float>(0.9 + 1.3 * std::sin(4.0 * static_cast<double>(sceneTime)));
}

namespace {
// One step of the water's motion, seconds long (at most 1/60 s).
void StepRailWater(TWaterSim& water, float seconds) {
  water.Step(seconds * 70.0f, seconds * 60.0f);
}
}  // namespace

void MoveRailWater(TWaterSim& water, float seconds) {
  const SimulationSteps steps = SplitFrame(seconds);
  for (int n = 0; n < steps.count; ++n) StepRailWater(water, steps.length);
}

void AdvanceRailWater(TWaterSim& water, float frameDelta) {
  const SimulationSteps steps = SplitFrame(frameDelta);
  // A splash chance of 3 % per 1/60 s, taken after every step: the same splashes a second at
  // every frame rate.
  const float chance = 0.03f * std::min(1.0f, steps.length * 60.0f);
  for (int n = 0; n < steps.count; ++n) {
    StepRailWater(water, steps.length);
    if (Random() < chance) {
      // Three separate statements: the order of the draws is part of the picture.
      const float strength = Random() * 1500.0f;
      const int column = static_cast<int>(std::nearbyint(Random() * 40.0f));
      const int row = static_cast<int>(std::nearbyint(Random() * 40.0f));
      water.Splash(row, column, strength);
    }
  }
}

TWaterSim& RailWater() { return Water; }

SceneState SaveRailScene() { return Water; }
void RestoreRailScene(const SceneState& state) { Water = std::any_cast<const TWaterSim&>(state); }

void LoadRailScene() {
  Brick.TryLoadFile("brikke.3ds");
  CullBrickBacks = Brick.MeshCount > 0 && OutwardFacesOfClosedSolid(Brick.Mesh(0), OutwardBrickFaces);
  HaveFarBrick = CullBrickBacks && FlatSidesGrownToBox(Brick.Mesh(0), OutwardBrickFaces, FarBrick);
  if (HaveFarBrick) {
    // On the 800 x 600 frame with the 45-degree field of view, a brick d away from the eye is
    // its width times 300 / tan(22.5 degrees) / d pixels wide.
    float width = 0.0f;
    for (const Vector3& v : FarBrick.Vertices)
      width = std::max({width, std::fabs(v.x), std::fabs(v.z)});
    const float distance =
        2.0f * width * 300.0f / std::tan(22.5f * static_cast<float>(M_PI) / 180.0f) / FarBrickPixels;
    FarBrickDistance = distance * distance;
  }
  FloorTexture = LoadTexture("3.jpg");
  UnusedGeometry.TryLoadFile("geo3.3ds");
  UnusedGeometry.Scale({2.0f, 2.0f, 2.0f});
  LoadTexture("conemetal.jpg");
  TrainPicture = LoadTexture("tog.jpg");
  WheelPicture = LoadTexture("wheel.jpg");
  GlowPicture = LoadTexture("notwater.jpg");
  ResetRailScene();
}

void AdvanceRailScene() {
  ReseedRandomFromClock();
  AdvanceRailWater(Water, FrameDelta);
}

void ResetRailScene() {
  Water.Create();
  Water.Damping = 0.98f;
}

void DrawRailScene(int variant, float sceneTime, float pulse, bool normalised) {
  StartSceneState();
  if (!normalised) glDisable(GL_NORMALIZE);
  AdvanceRailScene();
  BeginFrame();

  RailCamera camera = RailCameraFor(variant, sceneTime);
  SetFieldOfView(45.0f);

  Begin2D();
  if (variant == 1) {
    const Vector3 w = WanderOffset(pulse);
    DrawImage(TrainPicture, {1.0f, 1.0f, 1.0f, w.z}, 0, 0, 800, 600);
  } else if (variant == 2 || variant == 3) {
    const Vector3 w = WanderOffset(0.02f * pulse);
    DrawRectAdditive({1.0f, 1.0f, 1.0f, w.z}, 0, 0, 800, 600);
  }
  End2D();

  const Vector3 shake = WanderOffset(pulse);
  AddVectors(camera.eye, shake, camera.eye);
  RotateVector(camera.up, WanderOffset(pulse / 10.0f));
  LookAt(camera.eye, camera.centre, camera.up);

  glDisable(GL_LIGHTING);
  glPushMatrix();
  BindTexture(FloorTexture);
  EnableSphereMap();
  const float shift = -RailBrickSpacing / 2 * RailFloorSize;
  glTranslatef(shift, 0.0f, shift);
  if (variant == 1)
    EnableFog({0.0f, 0.0f, 0.0f, 1.0f}, 0, 0.05f, 1000.0f, 2400.0f);
  else
    DisableFog();
  DrawFloor(variant, sceneTime, camera.eye);
  DisableSphereMap();
  glPopMatrix();

  Begin2D();
  DrawRect({0.0f, 0.0f, 0.0f, 0.7f}, 0, 0, 800, 60);
  DrawRect({0.0f, 0.0f, 0.0f, 0.7f}, 0, 540, 800, 60);
  float first, second;
  RailWheelAngles(variant, sceneTime, first, second);
  // The wheels switch fog off again, so the fog covers only the floor.
  DrawSpriteAdditive(WheelPicture, {1.0f, 1.0f, 1.0f, 0.5f}, 30, 130, 256, 256, first);
  DrawSpriteAdditive(WheelPicture, {1.0f, 1.0f, 1.0f, 0.5f}, 198, 30, 256, 256, second);
  if (variant >= 2 && variant <= 4)
    DrawImageAdditive(GlowPicture, {1.0f, 1.0f, 1.0f, RailGlowAlpha(sceneTime)}, 300, 230, 512,
                      512);
  End2D();
}
