// TCloth: construction, the explicit spring step, floor and hit-surface collision, normals, drawing.
#include "scenes/Cloth.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "platform/DataFiles.h"
#include "platform/GL.h"
#include "platform/Messages.h"
#include "render/VectorMath.h"

namespace {

// Divides v by its length. A zero vector (two coincident particles, a collapsed triangle) has
// no direction: it stays zero and so adds nothing, instead of turning the cloth into NaNs.
// Returns false for a zero vector.
bool NormalizeOrZero(Vector3& v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length == 0.0f) return false;
  v.x /= length;
  v.y /= length;
  v.z /= length;
  return true;
}

Vector3 Minus(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

void Accumulate(Vector3& sum, const Vector3& v) {
  sum.x += v.x;
  sum.y += v.y;
  sum.z += v.z;
}

}  // namespace

void TCloth::Create(int32_t rows, int32_t columns, float uRange, float vRange, float stiffness,
                    float mass) {
  Damping = 0.8f;
  Gravity = {0.0f, 0.0f, -37.98f};
  if (rows < 0) rows = 0;
  if (columns < 0) columns = 0;
  Rows = rows;
  Columns = columns;
  const size_t count = static_cast<size_t>(rows) * static_cast<size_t>(columns);
  Particles.assign(count, TClothParticle{});
  NextParticles.assign(count, TClothParticle{});

  auto index = [columns](int32_t i, int32_t j) { return j * columns + i; };
  for (int32_t i = 0; i < columns; ++i) {
    for (int32_t j = 0; j < rows; ++j) {
      TClothParticle& p = Particles[index(i, j)];
      p.Position.x = static_cast<float>((i - columns / 2.0) * 0.6);
      p.Position.y = static_cast<float>(((j + 10) - rows / 2.0) * 0.6 + 6.0);
      p.Position.z = 18.0f;
      p.TexU = static_cast<float>(static_cast<double>(i) / columns * uRange);
      p.TexV = static_cast<float>(static_cast<double>(j) / rows * vRange);
      p.Mass = mass;
      p.Pinned = 0;
    }
  }
  if (count > 0) {
    Particles[index(0, 0)].Pinned = 1;
    Particles[index(columns - 1, 0)].Pinned = 1;
    Particles[index(0, rows - 1)].Pinned = 1;
    Particles[index(columns - 1, rows - 1)].Pinned = 1;
  }

  Springs.clear();
  Springs.reserve(10 * count);
  auto add = [&](int32_t a, int32_t b, float restLength) {
    TClothSpring s;
    s.A = a;
    s.B = b;
    s.Stiffness = stiffness;
    s.RestLength = restLength;
    Springs.push_back(s);
  };
  const float straight = 0.6f;
  const float diagonal = static_cast<float>(0.6 * std::sqrt(2.0));
  const float bend = 1.2f;
  for (int32_t i = 0; i + 1 < columns; ++i)
    for (int32_t j = 0; j < rows; ++j) add(index(i, j), index(i + 1, j), straight);
  for (int32_t i = 0; i < columns; ++i)
    for (int32_t j = 0; j + 1 < rows; ++j) add(index(i, j), index(i, j + 1), straight);
  for (int32_t i = 0; i + 1 < columns; ++i)
    for (int32_t j = 0; j + 1 < rows; ++j) add(index(i, j), index(i + 1, j + 1), diagonal);
  for (int32_t i = 1; i < columns; ++i)
    for (int32_t j = 0; j + 1 < rows; ++j) add(index(i, j), index(i - 1, j + 1), diagonal);
  for (int32_t i = 0; i + 2 < columns; ++i)
    for (int32_t j = 0; j < rows; ++j) add(index(i, j), index(i + 2, j), bend);
  for (int32_t i = 0; i < columns; ++i)
    for (int32_t j = 0; j + 2 < rows; ++j) add(index(i, j), index(i, j + 2), bend);
  Springs.shrink_to_fit();

  BuildSpringEnds();
}

void TCloth::BuildSpringEnds() {
  const size_t count = Particles.size();
  SpringEndStart.assign(count + 1, 0);
  for (const TClothSpring& s : Springs) {
    ++SpringEndStart[s.A + 1];
    ++SpringEndStart[s.B + 1];
  }
  for (size_t p = 0; p < count; ++p) SpringEndStart[p + 1] += SpringEndStart[p];
  SpringEnds.assign(SpringEndStart[count], 0);
  std::vector<int32_t> fill(SpringEndStart.begin(), SpringEndStart.end() - 1);
  // Walking the springs in array order and putting the A end before the B end reproduces the
  // order in which a scan over the whole list would meet them.
  for (int32_t s = 0; s < static_cast<int32_t>(Springs.size()); ++s) {
    SpringEnds[fill[Springs[s].A]++] = 2 * s;
    SpringEnds[fill[Springs[s].B]++] = 2 * s + 1;
  }
  SpringForces.assign(2 * Springs.size(), Vector3{});
}

bool TCloth::LoadHitSurface(const std::string& fileName) {
  std::memset(HitHeights, 0, sizeof HitHeights);
  std::ifstream file(DataFilePath(fileName), std::ios::binary);
  if (!file) {
    ShowMessage("Cloth", "Couldn't open the hit surface \"" + fileName +
                             "\"; the cloth falls without one.");
    return false;
  }
  // Read one byte past the expected size so that a longer file is noticed, but never keep it.
  std::vector<char> bytes(HitFileBytes + 1);
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const size_t got = static_cast<size_t>(file.gcount());
  const size_t used = std::min<size_t>(got, HitFileBytes) / 4 * 4;
  std::memcpy(HitHeights, bytes.data(), used);
  if (got != static_cast<size_t>(HitFileBytes)) {
    ShowMessage("Cloth", "The hit surface \"" + fileName + "\" is not " +
                             std::to_string(HitFileBytes) + " bytes long; only " +
                             std::to_string(used / 4) + " heights were used.");
    return false;
  }
  return true;
}

void TCloth::Step(float dt, float damping) {
  for (size_t k = 0; k < Springs.size(); ++k) {
    TClothSpring& s = Springs[k];
    const Vector3& a = Particles[s.A].Position;
    const Vector3& b = Particles[s.B].Position;
    const float d = Distance(a, b);
    s.Tension = s.Stiffness * (d - s.RestLength) / s.RestLength;
    // The pull on A along normalise(B - A) times the tension. B's pull is its exact negation:
    // A - B is exactly -(B - A) and rounding is symmetric, so computing it once per spring
    // gives the same bits as normalising from each end.
    Vector3 direction = Minus(b, a);
    const bool coincident = !NormalizeOrZero(direction);
    Vector3& onA = SpringForces[2 * k];
    onA = {direction.x * s.Tension, direction.y * s.Tension, direction.z * s.Tension};
    // Coincident ends have no direction; both sides then add the same signed zero.
    SpringForces[2 * k + 1] = coincident ? onA : Vector3{-onA.x, -onA.y, -onA.z};
  }
  const int32_t count = static_cast<int32_t>(Particles.size());
  for (int32_t p = 0; p < count; ++p) {
    const TClothParticle& current = Particles[p];
    TClothParticle& next = NextParticles[p];
    next = current;
    if (current.Pinned) continue;
    Vector3 force = Gravity;
    for (int32_t e = SpringEndStart[p]; e < SpringEndStart[p + 1]; ++e) {
      const Vector3& pull = SpringForces[SpringEnds[e]];
      force.x += pull.x;
      force.y += pull.y;
      force.z += pull.z;
    }
    const Vector3 acceleration{force.x / current.Mass, force.y / current.Mass,
                               force.z / current.Mass};
    next.Velocity.x = (current.Velocity.x + acceleration.x * dt) * damping;
    next.Velocity.y = (current.Velocity.y + acceleration.y * dt) * damping;
    next.Velocity.z = (current.Velocity.z + acceleration.z * dt) * damping;
    next.Position.x = current.Position.x + next.Velocity.x * dt;
    next.Position.y = current.Position.y + next.Velocity.y * dt;
    next.Position.z = current.Position.z + next.Velocity.z * dt;
  }
}

void TCloth::ClampMinY(float floor) {
  for (TClothParticle& p : NextParticles)
    if (p.Position.y < floor) p.Position.y = floor;
}

void TCloth::CollideHitSurface() {
  for (size_t p = 0; p < NextParticles.size(); ++p) {
    TClothParticle& next = NextParticles[p];
    // Nearest integers with halves to even (the default rounding mode); x * 5 is exact in
    // double, so no rounding happens before the choice of cell.
    const double row = std::nearbyint(static_cast<double>(next.Position.x) * 5.0);
    const double column = std::nearbyint(static_cast<double>(next.Position.y) * 5.0);
    // Written so that NaN positions fail the test too.
    if (!(row >= -49.0 && row <= 49.0 && column >= 1.0 && column <= 124.0)) continue;
    const float h = HitHeights[static_cast<int>(row) + 50][static_cast<int>(column)];
    if (h != 0.0f && static_cast<double>(h) - 15.0 >= static_cast<double>(next.Position.z)) {
      next.Velocity.z = -next.Velocity.z;
      next.Position.z = static_cast<float>(static_cast<double>(Particles[p].Position.z) + 0.01);
    }
  }
}

void TCloth::CommitStep() {
  for (size_t p = 0; p < Particles.size(); ++p) Particles[p] = NextParticles[p];
}

void TCloth::ComputeNormals() {
  for (TClothParticle& p : Particles) p.Normal = {};
  auto at = [this](int32_t i, int32_t j) -> TClothParticle& { return Particles[j * Columns + i]; };
  for (int32_t i = 0; i + 1 < Columns; ++i) {
    for (int32_t j = 0; j + 1 < Rows; ++j) {
      TClothParticle& p00 = at(i, j);
      TClothParticle& p10 = at(i + 1, j);
      TClothParticle& p01 = at(i, j + 1);
      TClothParticle& p11 = at(i + 1, j + 1);
      Vector3 n;
      CrossProduct(Minus(p10.Position, p00.Position), Minus(p01.Position, p00.Position), n);
      NormalizeOrZero(n);
      Accumulate(p00.Normal, n);
      Accumulate(p10.Normal, n);
      Accumulate(p01.Normal, n);
      CrossProduct(Minus(p10.Position, p01.Position), Minus(p11.Position, p01.Position), n);
      NormalizeOrZero(n);
      Accumulate(p10.Normal, n);
      Accumulate(p01.Normal, n);
      Accumulate(p11.Normal, n);
    }
  }
  for (TClothParticle& p : Particles) {
    NormalizeOrZero(p.Normal);
    p.Normal = {-p.Normal.x, -p.Normal.y, -p.Normal.z};
  }
}

void TCloth::Draw() const {
  auto vertex = [this](int32_t i, int32_t j) {
    const TClothParticle& p = Particles[j * Columns + i];
    glTexCoord2f(p.TexU, p.TexV);
    glNormal3f(p.Normal.x, p.Normal.y, p.Normal.z);
    glVertex3f(p.Position.x, p.Position.y, p.Position.z);
  };
  glBegin(GL_QUADS);
  for (int32_t i = 0; i + 1 < Columns; ++i) {
    for (int32_t j = 0; j + 1 < Rows; ++j) {
      vertex(i, j);
      vertex(i + 1, j);
      vertex(i + 1, j + 1);
      vertex(i, j + 1);
    }
  }
  glEnd();
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void TCloth::PullFarCorners(float dy) {
  if (Particles.empty()) return;
  for (int32_t i : {0, Columns - 1}) {
    TClothParticle& p = Particles[(Rows - 1) * Columns + i];
    p.Pinned = 1;
    p.Position.y += dy;
  }
}

void TCloth::ReleaseCorners() {
  if (Particles.empty()) return;
  for (int32_t j : {0, Rows - 1})
    for (int32_t i : {0, Columns - 1}) Particles[j * Columns + i].Pinned = 0;
}
