// The generated data set: the same bytes every run, every file readable by the program's own
// readers without a message, and models and hit surface fitted to the scenes that use them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "render/Brush.h"
#include "render/ImageReaders.h"
#include "render/Mesh.h"
#include "render/Texture.h"
#include "scenes/Cloth.h"
#include "support/TestSupport.h"

namespace {

const std::vector<std::string> ShowPictures = {
    "load.jpg",         "loading.jpg",      "sex.jpg",          "vantrel_a.jpg",
    "vantrel.jpg",      "Lightcrome.jpg",   "particle.jpg",     "tivalen.jpg",
    "tivalen_ih.jpg",   "tivalen_ah.jpg",   "lazer.jpg",        "3.jpg",
    "6.jpg",            "us_b.jpg",         "engineering.jpg",  "arrow.jpg",
    "notforeating.jpg", "prikk_c.jpg",      "yellglow.jpg",     "_greet_background.jpg",
    "_greet_text.jpg",  "fitte.jpg",        "testb.jpg",        "gloors.jpg",
    "spinarrow_b.jpg",  "spinarrow_a.jpg",  "pwned.jpg",        "tog.jpg",
    "wheel.jpg",        "notwater.jpg",     "realityenv.jpg",   "hore1.jpg",
    "conemetal.jpg",    "brasquel.jpg"};
const std::vector<std::string> LivePictures = {
    "live_pic0.jpg",  "live_pic1.bmp",  "live_pic2.tga",  "live_pic3.tga",  "live_back1.jpg",
    "live_back2.jpg", "live_back3.jpg", "live_back4.jpg", "live_back5.bmp", "live_back6.tga",
    "live_warp.jpg",  "live_swarm.jpg", "live_ring.jpg",  "live_pillar.tga", "live_glow.jpg"};
const std::vector<std::string> ModelFiles = {
    "dame.3ds",  "lightcone.3ds", "flower.3ds",     "geo3.3ds",       "bronn.3ds",     "roomtug.3ds",
    "cube.3ds",  "geo.3ds",       "domino.3ds",     "brikke.3ds",     "live_swarm.3ds", "live_crowd.3ds",
    "live_ring.3ds", "live_pillar.3ds"};
// Colour and alpha pictures read together by the two-file loader.
const std::pair<const char*, const char*> AlphaPairs[] = {
    {"vantrel_a.jpg", "vantrel.jpg"}, {"tivalen_ih.jpg", "tivalen_ah.jpg"}, {"spinarrow_b.jpg", "spinarrow_a.jpg"}};

std::set<std::string> ExpectedFiles() {
  std::set<std::string> names(ShowPictures.begin(), ShowPictures.end());
  names.insert(LivePictures.begin(), LivePictures.end());
  names.insert(ModelFiles.begin(), ModelFiles.end());
  names.insert("surface.hit");
  names.insert("music.mp3");
  names.insert("vantrel.png");  // the desktop icon
  return names;
}

std::set<std::string> FilesIn(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') names.insert(entry.path().filename().string());
  return names;
}

void RunGenerator(const std::string& directory) {
  const char* build = std::getenv("VANTREL_BINARY_DIR");
  ASSERT_NE(build, nullptr) << "VANTREL_BINARY_DIR names the build directory";
  const std::string command = std::string(build) + "/tools/vantrel-datagen " + directory + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

struct Bounds {
  Vector3 min{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
  Vector3 max{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};
  void Add(const Vector3& p) {
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
  }
};

Bounds BoundsOf(const TOrvBrush& brush) {
  Bounds b;
  for (int i = 0; i < brush.MeshCount; ++i)
    for (int v = 0; v < brush.Mesh(i).VertexCount; ++v) b.Add(brush.Mesh(i).Vertices[v]);
  return b;
}

}  // namespace

TEST(DataSet, GeneratorWritesEveryFileWithTheSameBytesOnEveryRun) {
  TempDir first, second;
  RunGenerator(first.path);
  RunGenerator(second.path);
  const std::set<std::string> names = FilesIn(first.path);
  EXPECT_EQ(names, ExpectedFiles());
  EXPECT_EQ(FilesIn(second.path), names);
  for (const std::string& name : names) {
    const std::vector<uint8_t> a = ReadFile(first.File(name)), b = ReadFile(second.File(name));
    EXPECT_FALSE(a.empty()) << name;
    EXPECT_TRUE(a == b) << name << " differs between two runs";
  }
}

TEST(DataSet, EveryPictureLoadsThroughTheTextureReadersWithoutAMessage) {
  EnsureGLContext();
  MessageLog log;
  std::vector<std::string> all = ShowPictures;
  all.insert(all.end(), LivePictures.begin(), LivePictures.end());
  for (const std::string& name : all) EXPECT_NE(LoadTexture(GeneratedDataPath(name)), NoTexture) << name;
  for (const auto& [colour, alpha] : AlphaPairs) {
    EXPECT_NE(LoadTextureWithAlpha(GeneratedDataPath(colour), GeneratedDataPath(alpha)), NoTexture) << colour;
    const ImageReadResult c = DecodeJpeg(ReadFile(GeneratedDataPath(colour)), colour);
    const ImageReadResult a = DecodeJpeg(ReadFile(GeneratedDataPath(alpha)), alpha);
    EXPECT_EQ(c.image.width, a.image.width) << colour;
    EXPECT_EQ(c.image.height, a.image.height) << colour;
  }
  EXPECT_TRUE(log.messages.empty()) << log.messages.front().first << ": " << log.messages.front().second;
}

TEST(DataSet, LivePicturesUseTheFormatsTheirNamesPromise) {
  // live_pic3: 32-bit run-length TGA whose alpha is really used (transparent and opaque parts).
  const std::vector<uint8_t> badge = ReadFile(GeneratedDataPath("live_pic3.tga"));
  ASSERT_GE(badge.size(), 18u);
  EXPECT_EQ(badge[0], 0);   // empty image-ID field
  EXPECT_EQ(badge[2], 10);  // run-length true colour
  EXPECT_EQ(badge[16], 32);
  EXPECT_EQ(badge[17] & 0x30, 0);  // bottom-left origin
  const ImageReadResult decoded = DecodeTga(badge, "live_pic3.tga");
  ASSERT_TRUE(decoded.Ok()) << decoded.message;
  ASSERT_EQ(decoded.image.channels, 4);
  bool clear = false, solid = false;
  for (size_t i = 3; i < decoded.image.pixels.size(); i += 4) {
    clear |= decoded.image.pixels[i] == 0;
    solid |= decoded.image.pixels[i] == 255;
  }
  EXPECT_TRUE(clear && solid);
  EXPECT_LT(badge.size(), 256u * 256u * 4u / 4u) << "run-length coding should shrink a flat sprite";

  const std::vector<uint8_t> bands = ReadFile(GeneratedDataPath("live_back6.tga"));
  EXPECT_EQ(bands[2], 10);
  EXPECT_EQ(bands[16], 24);
  const std::vector<uint8_t> raw = ReadFile(GeneratedDataPath("live_pic2.tga"));
  EXPECT_EQ(raw[2], 2);
  EXPECT_EQ(raw.size(), 18u + 256u * 256u * 3u);

  for (const char* name : {"live_pic1.bmp", "live_back5.bmp"}) {
    const ImageReadResult bmp = DecodeBmp(ReadFile(GeneratedDataPath(name)), name);
    ASSERT_TRUE(bmp.Ok()) << bmp.message;
    EXPECT_EQ(bmp.image.channels, 3);
    EXPECT_EQ(bmp.image.width * 3 % 4, 0) << "the show's BMP reader takes rows unpadded";
  }
}

TEST(DataSet, EveryModelLoadsAsABrushWithFiniteSmoothNormals) {
  MessageLog log;
  for (const std::string& name : ModelFiles) {
    TOrvBrush brush;
    ASSERT_NO_THROW(brush.LoadFile(GeneratedDataPath(name))) << name;
    ASSERT_GE(brush.MeshCount, 1) << name;
    for (int i = 0; i < brush.MeshCount; ++i) {
      const TMeshDataNM& mesh = brush.Mesh(i);
      EXPECT_GT(mesh.FaceCount, 0) << name;
      for (int v = 0; v < mesh.VertexCount; ++v) {
        const Vector3& n = mesh.Normals[v];
        const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        ASSERT_NEAR(length, 1.0f, 1e-3f) << name << " mesh " << i << " vertex " << v << " has no usable normal";
      }
    }
  }
  EXPECT_TRUE(log.messages.empty());
}

TEST(DataSet, ModelsFitTheirScenesPlacements) {
  auto load = [](const char* name) {
    TOrvBrush brush;
    brush.LoadFile(GeneratedDataPath(name));
    return brush;
  };
  // Cloth scene: at least four meshes under the cloth's 11.4-unit sheet.
  const TOrvBrush dame = load("dame.3ds");
  EXPECT_GE(dame.MeshCount, 4);
  // After the brush's turn the sculpture stands in cloth space (z up) under the sheet.
  const Bounds sculpture = BoundsOf(dame);
  EXPECT_GT(sculpture.min.x, -6.0f);
  EXPECT_LT(sculpture.max.x, 5.4f);
  EXPECT_GT(sculpture.min.y, 6.0f);
  EXPECT_LT(sculpture.max.y, 17.4f);
  EXPECT_LT(sculpture.max.z, 18.0f);

  // Light cones: chrome body and coloured light, pointing along +x at the glow 70 out.
  const TOrvBrush cone = load("lightcone.3ds");
  ASSERT_EQ(cone.MeshCount, 2);
  const Bounds body = BoundsOf(cone);
  EXPECT_LT(body.max.x, 70.0f);
  EXPECT_GT(body.max.x, 50.0f);
  EXPECT_LT(body.max.y - body.min.y, 60.0f) << "cones 60 degrees apart on a ring of radius 100";

  // Dominoes 6 apart: the pivot is the bottom edge facing the fall (+z), and a fallen domino
  // (scaled by 0.13, tipped 70 degrees) reaches the next one.
  const Bounds domino = BoundsOf(load("domino.3ds"));
  EXPECT_NEAR(domino.min.y, 0.0f, 1e-3f);
  EXPECT_NEAR(domino.max.z, 0.0f, 1e-3f);
  EXPECT_GT(domino.max.y * 0.13f * std::sin(70 * 3.14159265f / 180), 6.0f);
  EXPECT_LT((domino.max.z - domino.min.z) * 0.13f, 6.0f);

  // Bricks on a 60-unit grid: nearly filling their cell without touching the next.
  const Bounds brick = BoundsOf(load("brikke.3ds"));
  for (float extent : {brick.max.x - brick.min.x, brick.max.z - brick.min.z}) {
    EXPECT_GT(extent, 48.0f);
    EXPECT_LT(extent, 60.0f);
  }

  // Well: the camera circles 28.3 from the axis between heights 190 and 410, inside the room
  // (scaled by 20) and inside the rings' opening.
  const TOrvBrush ring = load("bronn.3ds");
  float opening = std::numeric_limits<float>::max();
  for (int v = 0; v < ring.Mesh(0).VertexCount; ++v)
    opening = std::min(opening, std::hypot(ring.Mesh(0).Vertices[v].x, ring.Mesh(0).Vertices[v].z));
  EXPECT_GT(opening, 28.3f * 1.5f);
  EXPECT_LT(opening, 90.0f);
  const Bounds room = BoundsOf(load("roomtug.3ds"));
  EXPECT_GT(room.max.y * 20, 410.0f);
  EXPECT_LT(room.min.y * 20, -2700.0f) << "the lowest ring sits at y = -2700";
  EXPECT_GT(std::min(room.max.x, room.max.z) * 20, 90.0f);

  // Greetings: a few hundred vertices, one cube each.
  const TOrvBrush knot = load("geo.3ds");
  EXPECT_GE(knot.Mesh(0).VertexCount, 200);
  EXPECT_LE(knot.Mesh(0).VertexCount, 600);
}

// The rail floor's far brick: the brick's six flat sides grown to its box, wound outward
// like the brick, with the normals of the corners they came from; an open mesh gives none.
TEST(DataSet, FarBrickIsTheBricksFlatSidesGrownToItsBox) {
  TOrvBrush brick;
  brick.LoadFile(GeneratedDataPath("brikke.3ds"));
  const TMeshDataN& mesh = brick.Mesh(0);
  std::vector<MeshFace> outward;
  ASSERT_TRUE(OutwardFacesOfClosedSolid(mesh, outward));
  TMeshDataN box;
  ASSERT_TRUE(FlatSidesGrownToBox(mesh, outward, box));
  EXPECT_EQ(box.FaceCount, 12);
  Vector3 low = mesh.Vertices[0], high = mesh.Vertices[0];
  for (const Vector3& v : mesh.Vertices) {
    low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
    high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
  }
  for (int f = 0; f < box.FaceCount; ++f) {
    // Every corner is a corner of the brick's box, and the face still faces outward.
    auto onEdge = [](float c, float a, float b) { return std::fabs(c - a) < 1e-3f || std::fabs(c - b) < 1e-3f; };
    for (int32_t corner : box.Faces[f]) {
      const Vector3& v = box.Vertices[corner];
      EXPECT_TRUE(onEdge(v.x, low.x, high.x)) << v.x;
      EXPECT_TRUE(onEdge(v.y, low.y, high.y)) << v.y;
      EXPECT_TRUE(onEdge(v.z, low.z, high.z)) << v.z;
    }
    const Vector3& a = box.Vertices[box.Faces[f][0]];
    const Vector3& b = box.Vertices[box.Faces[f][1]];
    const Vector3& c = box.Vertices[box.Faces[f][2]];
    const Vector3 u{b.x - a.x, b.y - a.y, b.z - a.z}, w{c.x - a.x, c.y - a.y, c.z - a.z};
    const Vector3 n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
    const Vector3 middle{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
    EXPECT_GT(n.x * middle.x + n.y * middle.y + n.z * middle.z, 0.0f) << "face " << f;
  }
  // The normals are the brick's own, as the sphere map saw them on its flat sides.
  for (int v = 0; v < box.VertexCount; ++v) {
    bool found = false;
    for (int m = 0; m < mesh.VertexCount && !found; ++m)
      found = mesh.Normals[m].x == box.Normals[v].x && mesh.Normals[m].y == box.Normals[v].y &&
              mesh.Normals[m].z == box.Normals[v].z;
    EXPECT_TRUE(found) << "vertex " << v;
  }
  TMeshDataN open;
  open.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  open.Normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
  open.VertexCount = 3;
  EXPECT_FALSE(FlatSidesGrownToBox(open, {{0, 1, 2}}, box));
  EXPECT_EQ(box.FaceCount, 0);
}

TEST(DataSet, BlobSeamsAreSplitSoWeldingJoinsThem) {
  TOrvBrush blob;
  blob.LoadFile(GeneratedDataPath("geo3.3ds"));
  TMeshDataNM& mesh = blob.Mesh(0);
  const std::vector<MeshFace> before(mesh.Faces.begin(), mesh.Faces.begin() + mesh.FaceCount);
  WeldVertices(mesh);
  int redirected = 0;
  for (int f = 0; f < mesh.FaceCount; ++f)
    for (int k = 0; k < 3; ++k) redirected += mesh.Faces[f][k] != before[f][k];
  EXPECT_GT(redirected, 0);
  ComputeNormals(mesh);
  // After welding the normals on either side of the seam agree.
  for (int a = 0; a < mesh.VertexCount; ++a)
    for (int b = a + 1; b < mesh.VertexCount; ++b) {
      const Vector3& p = mesh.Vertices[a];
      const Vector3& q = mesh.Vertices[b];
      if (p.x != q.x || p.y != q.y || p.z != q.z) continue;
      bool usedA = false, usedB = false;
      for (int f = 0; f < mesh.FaceCount; ++f)
        for (int k = 0; k < 3; ++k) {
          usedA |= mesh.Faces[f][k] == a;
          usedB |= mesh.Faces[f][k] == b;
        }
      EXPECT_FALSE(usedA && usedB) << "coincident vertices " << a << " and " << b << " both still in use";
    }
}

TEST(DataSet, HitSurfaceFollowsTheTopOfTheClothScenesSculptureAsTheSceneLoadsIt) {
  // The sculpture as the cloth scene has it: the brush's turn, then lowered by 0.5 along z.
  TOrvBrush dame;
  dame.LoadFile(GeneratedDataPath("dame.3ds"));
  dame.Rotate({0, 0, 0});
  TCloth cloth;
  ASSERT_TRUE(cloth.LoadHitSurface(GeneratedDataPath("surface.hit")));
  float ground = std::numeric_limits<float>::max();
  for (const auto& row : cloth.HitHeights)
    for (float h : row) ground = std::min(ground, h - 15);
  int covered = 0, wrong = 0;
  for (int r = 1; r < TCloth::HitRows - 1; ++r)
    for (int c = 1; c < TCloth::HitColumns - 1; ++c) {
      const float x = (r - 50) / 5.0f, y = c / 5.0f;
      // Samples exactly on a triangle's edge may or may not count as under it: the strict top
      // counts only samples well inside, the loose one those on the edges too.
      const float none = -std::numeric_limits<float>::max();
      float strict = none, loose = none;
      for (int m = 0; m < dame.MeshCount; ++m) {
        const TMeshDataNM& mesh = dame.Mesh(m);
        for (int f = 0; f < mesh.FaceCount; ++f) {
          const Vector3& a = mesh.Vertices[mesh.Faces[f][0]];
          const Vector3& b = mesh.Vertices[mesh.Faces[f][1]];
          const Vector3& d = mesh.Vertices[mesh.Faces[f][2]];
          const float area = (b.x - a.x) * (d.y - a.y) - (d.x - a.x) * (b.y - a.y);
          if (std::fabs(area) < 1e-6f) continue;
          const float wb = ((x - a.x) * (d.y - a.y) - (d.x - a.x) * (y - a.y)) / area;
          const float wd = ((b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y)) / area;
          const float z = (1 - wb - wd) * a.z + wb * b.z + wd * d.z - 0.5f;
          if (wb > -1e-3f && wd > -1e-3f && wb + wd < 1 + 1e-3f) loose = std::max(loose, z);
          if (wb > 1e-3f && wd > 1e-3f && wb + wd < 1 - 1e-3f) strict = std::max(strict, z);
        }
      }
      const float surface = cloth.HitHeights[r][c] - 15;
      if (loose == none) {
        wrong += surface != ground;
      } else if (strict != none) {
        ++covered;
        wrong += surface < strict || surface > loose + 0.3f;
      }
    }
  EXPECT_GT(covered, 1500) << "the sculpture covers a good part of the cloth's landing area";
  EXPECT_EQ(wrong, 0) << "samples that are not the sculpture's top or the ground around it";
}

TEST(DataSet, ClothFallsOntoTheSculptureAndSettlesOnTheGroundAroundIt) {
  MessageLog log;
  TCloth cloth;
  cloth.Create(20, 20, 1.0f, 1.0f, 200.0f, 0.7f);
  ASSERT_TRUE(cloth.LoadHitSurface(GeneratedDataPath("surface.hit")));
  EXPECT_EQ(ReadFile(GeneratedDataPath("surface.hit")).size(), static_cast<size_t>(TCloth::HitFileBytes));
  // Ground everywhere on the grid: no sample says "no surface".
  float ground = std::numeric_limits<float>::max(), top = 0;
  for (int r = 1; r < TCloth::HitRows - 1; ++r)
    for (int c = 1; c < TCloth::HitColumns - 1; ++c) {
      EXPECT_NE(cloth.HitHeights[r][c], 0.0f);
      ground = std::min(ground, cloth.HitHeights[r][c] - 15);
      top = std::max(top, cloth.HitHeights[r][c] - 15);
    }
  EXPECT_GT(top - ground, 3.0f) << "the sculpture stands well above the ground";
  EXPECT_LT(top, 18.0f) << "and below the hanging cloth";

  cloth.ReleaseCorners();
  for (int frame = 0; frame < 600; ++frame) {
    cloth.Step(1 / 60.0f);
    cloth.ClampMinY(-15.0f);
    cloth.CollideHitSurface();
    cloth.CommitStep();
  }
  const TClothParticle& middle = cloth.Particles[10 * cloth.Columns + 10];
  const TClothParticle& corner = cloth.Particles[0];
  EXPECT_GT(middle.Position.z, ground + 2.0f) << "the middle of the cloth rests on the sculpture";
  EXPECT_LT(corner.Position.z, middle.Position.z - 1.0f) << "the corners hang lower";
  for (const TClothParticle& p : cloth.Particles) {
    EXPECT_TRUE(std::isfinite(p.Position.z));
    EXPECT_GT(p.Position.z, ground - 1.0f) << "nothing falls through the ground";
  }
  EXPECT_TRUE(log.messages.empty());
}
