// The show's and the live mode's models, each sized from how its scene places, scales and views it.
#include <cmath>

#include "DataGen.h"
#include "Geometry.h"

namespace datagen {
namespace {

constexpr float Pi = 3.14159265358979f;

// Direction on the unit sphere for grid coordinates: u around the y axis, v from pole to pole.
V3 SphereDirection(float u, float v) {
  const float a = 2 * Pi * u, b = Pi * (v - 0.5f);
  return {std::cos(b) * std::cos(a), std::sin(b), -std::cos(b) * std::sin(a)};
}

ModelMesh Ellipsoid(const std::string& name, V3 centre, V3 radii, int columns, int rows,
                    float (*bulge)(float a, float b) = nullptr) {
  ModelMesh mesh = Surface(name, columns, rows, [&](float u, float v) {
    const V3 d = SphereDirection(u, v);
    const float k = bulge ? bulge(2 * Pi * u, Pi * (v - 0.5f)) : 1.0f;
    return centre + V3{d.x * radii.x, d.y * radii.y, d.z * radii.z} * k;
  });
  Orient(mesh, true);
  return mesh;
}

// A torus around the axis `normal` through centre; `side` is any direction across that axis.
ModelMesh Torus(const std::string& name, V3 centre, V3 normal, V3 side, float major, float minor,
                int columns, int rows, float uRepeat = 1) {
  const V3 n = Normalised(normal), e1 = Normalised(side), e2 = Cross(n, e1);
  ModelMesh mesh = Surface(name, columns, rows, [&](float u, float v) {
    const float a = 2 * Pi * u, b = 2 * Pi * v;
    const V3 radial = e1 * std::cos(a) + e2 * std::sin(a);
    return centre + radial * (major + minor * std::cos(b)) + n * (minor * std::sin(b));
  }, uRepeat, 1);
  Orient(mesh, true);
  return mesh;
}

void Flip(ModelMesh& mesh) {
  for (auto& f : mesh.faces) std::swap(f[1], f[2]);
}

// Planar texture coordinates from two axes, scaled by the given sizes.
std::array<float, 2> PlanarUV(V3 p, V3 n, V3 half) {
  if (std::fabs(n.x) > 0.5f) return {(p.z + half.z) / (2 * half.z), (p.y + half.y) / (2 * half.y)};
  if (std::fabs(n.y) > 0.5f) return {(p.x + half.x) / (2 * half.x), (p.z + half.z) / (2 * half.z)};
  return {(p.x + half.x) / (2 * half.x), (p.y + half.y) / (2 * half.y)};
}

// A closed faceted shard between two tips, four corners around its waist.
ModelMesh Shard(V3 outer, V3 inner, V3 waist, V3 across, float width) {
  const V3 axis = Normalised(outer - inner), e1 = Normalised(Cross(axis, across)), e2 = Cross(axis, e1);
  const V3 ring[4] = {waist + e1 * width, waist + e2 * width, waist - e1 * width, waist - e2 * width};
  ModelMesh mesh;
  for (int k = 0; k < 4; ++k) {
    const V3 a = ring[k], b = ring[(k + 1) % 4];
    for (const V3& tip : {outer, inner}) {
      const uint32_t base = static_cast<uint32_t>(mesh.vertices.size());
      const V3 n = Normalised(Cross(b - a, tip - a));
      for (const V3& p : {a, b, tip}) mesh.vertices.push_back({p, 0.5f + 0.5f * n.x, 0.5f + 0.5f * n.y});
      mesh.faces.push_back({base, base + 1, base + 2});
    }
  }
  // Each triangle was wound from the waist edge; the signed volume picks the outward winding
  // for the pair of pyramids as a whole, so turn the inner pyramid's faces first.
  for (size_t f = 1; f < mesh.faces.size(); f += 2) std::swap(mesh.faces[f][1], mesh.faces[f][2]);
  Orient(mesh, true);
  return mesh;
}

// --- the show -------------------------------------------------------------------------------

// Twelve rings of six cones, 150 apart, cones 40 to 160 from the ring axis at 60-degree steps:
// a cone 62 long and 48 wide, pointing along +x, where its glow sits (70, 0, 0).
Model LightCone() {
  const std::vector<Profile> body = {
      {{0, 0}, {4, 0.3f}, {7, 1.2f}, {9, 2.6f}, {10, 4}},
      {{10, 4}, {11, 12}, {13, 22}, {16, 34}, {19.5f, 46}, {22, 54}},
      {{22, 54}, {23.5f, 55}, {24, 57}, {23, 59}},
      {{23, 59}, {19, 59}, {16.5f, 58.5f}},
      {{16.5f, 58.5f}, {16, 56.5f}, {15.5f, 55.5f}}};
  const std::vector<Profile> lens = {{{15.5f, 55.5f}, {13, 58}, {9, 60}, {4.5f, 61.2f}, {0, 61.6f}}};
  ModelMesh chrome = Lathe("body", 24, body);
  ModelMesh light = Lathe("light", 24, lens);
  // Lathes turn about y; the cone's axis is x.
  for (ModelMesh* m : {&chrome, &light}) Transform(*m, [](V3 p) { return V3{p.y, -p.x, p.z}; });
  return {chrome, light};
}

// Two flowers 200 apart seen from about 206 away with a 60-degree view: each about 130 across,
// turning about y, petals cupped upwards towards the camera.
Model Flower() {
  ModelMesh flower;
  flower.name = "flower";
  auto petals = [&](int count, float turn, float length, float width, float lift, float rise) {
    for (int k = 0; k < count; ++k) {
      const float theta = 2 * Pi * k / count + turn;
      const V3 d{std::cos(theta), 0, -std::sin(theta)}, side{-std::sin(theta), 0, -std::cos(theta)};
      ModelMesh petal = Surface("petal", 12, 6, [&](float s, float w) {
        const float across = 2 * w - 1;
        const float span = width * std::pow(std::max(0.0f, std::sin(Pi * (0.08f + 0.92f * s))), 0.7f) * (1 - 0.25f * s);
        const float up = rise + lift * s * s + 0.35f * width * across * across * std::sin(Pi * s);
        return d * (6 + length * s) + side * (across * span) + V3{0, up, 0};
      });
      Append(flower, petal);
    }
  };
  petals(8, 0, 58, 15, 24, 0);
  petals(8, Pi / 8, 38, 11, 30, 6);
  Append(flower, Ellipsoid("heart", {0, 8, 0}, {9, 7, 9}, 16, 10, [](float a, float b) {
    return 1 + 0.08f * std::cos(b) * std::sin(7 * a) + 0.05f * std::sin(5 * b);
  }));
  return {flower};
}

// Backdrop of the flowers (seen from inside with a 190-degree view), the blob of the well
// (doubled, wobbled, then drawn at a fifth: about 45 across the shaft) and an unused brush of
// the rail scene. A lumpy sphere of radius about 100 whose seam and poles are split.
Model Blob() {
  return {Ellipsoid("blob", {0, 0, 0}, {100, 100, 100}, 48, 32, [](float a, float b) {
    return 1 + std::cos(b) * (0.12f * std::sin(3 * a) + 0.07f * std::cos(5 * a - 2 * b)) + 0.1f * std::sin(4 * b);
  })};
}

// A ring around the shaft: rings 90 apart along the shaft, the camera 28 from its axis, so the
// ring's opening is 58 and its rim 86, drawn additively with arrows running round it.
Model WellRing() {
  const std::vector<Profile> profile = {{{86, -5}, {86, 1}}, {{86, 1}, {72, 1}, {58, 1}}, {{58, 1}, {58, -5}},
                                        {{58, -5}, {86, -5}}};
  return {Lathe("ring", 48, profile, 8)};
}

// The room around the well, scaled by 20 in the scene: a round chamber 400 wide and 500 high
// whose floor opens into a ribbed shaft 200 wide going 3000 down. The camera (190 to 410 up,
// 28 from the axis) stands inside it, so the faces look inwards.
Model Room() {
  Profile shaft;
  for (int k = 0; k <= 100; ++k) {
    const float y = -150 + 1.5f * k;
    const float rib = std::pow(std::max(0.0f, std::sin(2 * Pi * y / 12)), 4.0f);
    shaft.push_back({10 - 0.6f * rib, y});
  }
  const std::vector<Profile> profile = {{{0, -150}, {10, -150}}, shaft, {{10, 0}, {15, 0}, {20, 0}},
                                        {{20, 0}, {20, 6}, {20, 12}, {20, 19}, {20, 25}},
                                        {{20, 25}, {10, 25}, {0, 25}}};
  ModelMesh room = Lathe("room", 32, profile, 4);
  Flip(room);
  return {room};
}

// The greetings' cube: scaled by 0.5 and then by -2..2 per vertex of the sculpture, so at most
// 10 across, about the spacing of the sculpture's vertices.
Model Cube() {
  const V3 half{5, 5, 5};
  return {BeveledBox("cube", half, 0.6f, 1, [&](V3 p, V3 n) { return PlanarUV(p, n, half); })};
}

// The greetings' sculpture: a knotted tube whose 320 vertices place the cubes, about 150
// across, centred on its origin (the scene lowers it by 65 and spins it there).
Model Knot() {
  const int along = 64, around = 5;
  auto curve = [](float t) {
    const float phi = 2 * Pi * t;
    const float r = 45 + 20 * std::cos(3 * phi);
    return V3{r * std::cos(2 * phi), 20 * std::sin(3 * phi), -r * std::sin(2 * phi)};
  };
  ModelMesh knot;
  knot.name = "knot";
  for (int i = 0; i < along; ++i) {
    const float t = static_cast<float>(i) / along, e = 1.0f / (4 * along);
    const V3 c = curve(t), tangent = Normalised(curve(t + e) - curve(t - e));
    const V3 bend = Normalised(curve(t + e) + curve(t - e) - c * 2);
    const V3 binormal = Normalised(Cross(tangent, bend));
    for (int j = 0; j < around; ++j) {
      const float b = 2 * Pi * j / around;
      const V3 p = c + (bend * std::cos(b) + binormal * std::sin(b)) * 11;
      knot.vertices.push_back({p, t * 8, static_cast<float>(j) / around});
    }
  }
  // The tube closes on itself, so its vertices are shared all round (no seam copies: every
  // vertex carries one cube).
  for (int i = 0; i < along; ++i)
    for (int j = 0; j < around; ++j) {
      const uint32_t a = i * around + j, b = ((i + 1) % along) * around + j;
      const uint32_t c = ((i + 1) % along) * around + (j + 1) % around, d = i * around + (j + 1) % around;
      knot.faces.push_back({a, b, c});
      knot.faces.push_back({a, c, d});
    }
  Orient(knot, true);
  return {knot};
}

// A domino for a line spaced 6 apart, scaled by 0.13: 36 x 72 x 12 before scaling (4.7 x 9.4
// x 1.6 in the scene). Its pivot is the bottom edge on the side it falls towards (+z), so it
// stands on y = 0 over z = -12..0 and tips forward about the x axis.
Model Domino() {
  const V3 half{18, 36, 6};
  ModelMesh domino = BeveledBox("domino", half, 1.5f, 4, [&](V3 p, V3 n) -> std::array<float, 2> {
    const float u = (p.x + half.x) / (2 * half.x), v = (p.y + half.y) / (2 * half.y);
    if (n.z > 0.5f) return {u, v};
    if (n.z < -0.5f) return {1 - u, v};
    return {0.01f, v};  // the edges take the picture's dark border
  });
  Transform(domino, [&](V3 p) { return p + V3{0, half.y, -half.z}; });
  return {domino};
}

// A paving brick for the 60-unit grid of the rail scene: 54 x 54 with 6 of joint, 16 high,
// chamfered so the sphere map catches its edges.
Model Brick() {
  const V3 half{27, 8, 27};
  return {BeveledBox("brick", half, 3, 1, [&](V3 p, V3 n) { return PlanarUV(p, n, half); })};
}

// --- the live mode ----------------------------------------------------------------------------

// The swarm: shards on a shell 30 to 55 from the centre, drawn scaled 0.5 to 6 and seen from up
// to 1000 away, sphere-mapped and additive.
Model Swarm() {
  Rng rng(11);
  ModelMesh swarm;
  swarm.name = "swarm";
  const int count = 60;
  for (int k = 0; k < count; ++k) {
    const float y = 1 - 2 * (k + 0.5f) / count, r = std::sqrt(1 - y * y), a = 2.39996f * k;
    const V3 d{r * std::cos(a), y, r * std::sin(a)};
    const float radius = 30 + 25 * rng.Unit();
    const V3 centre = d * radius;
    Append(swarm, Shard(centre + d * (6 + 6 * rng.Unit()), centre - d * 5, centre,
                        V3{rng.Signed(), rng.Signed(), 1}, 2 + 1.5f * rng.Unit()));
  }
  return {swarm};
}

// One member of the crowd: 301 copies scaled up to 17 times, so a small diamond, 4 high.
Model Crowd() {
  ModelMesh crowd = Shard({0, 4, 0}, {0, -4, 0}, {0, 0, 0}, {1, 0, 0}, 2.4f);
  crowd.name = "crowd";
  return {crowd};
}

// The ring around the pillar field (pillars within 60 of the centre, the eye 40 from it, five
// copies scaled 1 to 2.6): a torus of radius 90 and a thinner one inside it.
Model LiveRing() {
  ModelMesh ring = Torus("ring", {0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 90, 3.5f, 96, 10, 12);
  Append(ring, Torus("inner", {0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 80, 1.5f, 96, 6, 12));
  return {ring};
}

// A pillar of the 6 x 6 field (20 apart): 38 high on its own base at y = 0, 12 wide at the
// foot and head, the mirrored copy facing it from below.
Model Pillar() {
  const std::vector<Profile> profile = {{{0, 0}, {6, 0}},
                                        {{6, 0}, {6, 2}},
                                        {{6, 2}, {4.5f, 3.5f}, {4, 5}},
                                        {{4, 5}, {4, 12}, {4, 19}, {4, 26}, {4, 33}},
                                        {{4, 33}, {4.5f, 34.5f}, {6, 36}},
                                        {{6, 36}, {6, 38}},
                                        {{6, 38}, {0, 38}}};
  return {Lathe("pillar", 16, profile, 2)};
}

}  // namespace

Model ClothSculpture() {
  // Cloth space is z up; the cloth (x -6..5.4, y 6..17.4) falls from z = 18 onto a plinth with
  // a reclining figure, a head and an upright ring, all within x -5..5 and y 7..17, at most
  // about 5 high, so that it drapes over them and settles on the ground around them.
  const V3 plinthHalf{5.0f, 5.0f, 0.6f};
  ModelMesh plinth = BeveledBox("plinth", plinthHalf, 0.25f, 4, [&](V3 p, V3 n) { return PlanarUV(p, n, plinthHalf); });
  Transform(plinth, [](V3 p) { return p + V3{0, 12, 0.6f}; });
  ModelMesh figure = Surface("figure", 40, 24, [](float u, float v) {
    const V3 d = SphereDirection(u, v);
    const float a = 2 * Pi * u, b = Pi * (v - 0.5f);
    const float k = 1 + std::cos(b) * (0.1f * std::sin(3 * a) + 0.06f * std::cos(5 * a)) + 0.08f * std::sin(2 * b);
    // Along y the body narrows towards a waist and lifts at the hip.
    const float waist = 1 - 0.22f * std::exp(-std::pow(d.y * 2.2f - 0.3f, 2.0f) * 4);
    return V3{-0.6f + 3.0f * d.x * k * waist, 12.4f + 3.6f * d.y * k, 2.4f + 1.4f * d.z * k * waist + 0.5f * d.y};
  });
  // The sphere helper is y-up; here the figure lies along y with its height in z.
  Orient(figure, true);
  ModelMesh head = Ellipsoid("head", {1.9f, 8.2f, 2.1f}, {1.25f, 1.25f, 1.25f}, 24, 16);
  ModelMesh ring = Torus("ring", {2.2f, 14.6f, 2.6f}, {1, 0, 0}, {0, 1, 0}, 2.0f, 0.45f, 40, 12);
  return {plinth, figure, head, ring};
}

void WriteModels(const std::string& directory) {
  const std::string d = directory + "/";
  Write3DS(d + "dame.3ds", ClothSculpture());
  Write3DS(d + "lightcone.3ds", LightCone());
  Write3DS(d + "flower.3ds", Flower());
  Write3DS(d + "geo3.3ds", Blob());
  Write3DS(d + "bronn.3ds", WellRing());
  Write3DS(d + "roomtug.3ds", Room());
  Write3DS(d + "cube.3ds", Cube());
  Write3DS(d + "geo.3ds", Knot());
  Write3DS(d + "domino.3ds", Domino());
  Write3DS(d + "brikke.3ds", Brick());
  Write3DS(d + "live_swarm.3ds", Swarm());
  Write3DS(d + "live_crowd.3ds", Crowd());
  Write3DS(d + "live_ring.3ds", LiveRing());
  Write3DS(d + "live_pillar.3ds", Pillar());
}

}  // namespace datagen
