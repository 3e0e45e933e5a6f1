// Shared by the cloth tests and benchmark: the step that scans the whole spring list for every
// particle, which the per-particle spring lists of TCloth::Step must match bit for bit.
#pragma once
#include <cmath>
#include <cstdint>

#include "render/VectorMath.h"
#include "scenes/Cloth.h"

namespace cloth_reference {

// The direction to other, or zero when the two points coincide (as TCloth::Step treats it).
inline Vector3 DirectionTo(const Vector3& from, const Vector3& to) {
  Vector3 v{to.x - from.x, to.y - from.y, to.z - from.z};
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length == 0.0f) return {};
  return {v.x / length, v.y / length, v.z / length};
}

// The direct form: every particle tests every spring for both of its ends.
inline void ScanningStep(TCloth& cloth, float dt) {
  for (TClothSpring& s : cloth.Springs) {
    const float d = Distance(cloth.Particles[s.A].Position, cloth.Particles[s.B].Position);
    s.Tension = s.Stiffness * (d - s.RestLength) / s.RestLength;
  }
  const int32_t count = static_cast<int32_t>(cloth.Particles.size());
  for (int32_t p = 0; p < count; ++p) {
    const TClothParticle& current = cloth.Particles[p];
    TClothParticle& next = cloth.NextParticles[p];
    next = current;
    if (current.Pinned) continue;
    Vector3 force = cloth.Gravity;
    for (const TClothSpring& s : cloth.Springs) {
      if (s.A == p) {
        const Vector3 d = DirectionTo(current.Position, cloth.Particles[s.B].Position);
        force.x += d.x * s.Tension;
        force.y += d.y * s.Tension;
        force.z += d.z * s.Tension;
      }
      if (s.B == p) {
        const Vector3 d = DirectionTo(current.Position, cloth.Particles[s.A].Position);
        force.x += d.x * s.Tension;
        force.y += d.y * s.Tension;
        force.z += d.z * s.Tension;
      }
    }
    const Vector3 a{force.x / current.Mass, force.y / current.Mass, force.z / current.Mass};
    next.Velocity.x = (current.Velocity.x + a.x * dt) * cloth.Damping;
    next.Velocity.y = (current.Velocity.y + a.y * dt) * cloth.Damping;
    next.Velocity.z = (current.Velocity.z + a.z * dt) * cloth.Damping;
    next.Position.x = current.Position.x + next.Velocity.x * dt;
    next.Position.y = current.Position.y + next.Velocity.y * dt;
    next.Position.z = current.Position.z + next.Velocity.z * dt;
  }
}

// A synthetic hit surface: a dome over the middle of the cloth, about where the show's model
// stands, so that the cloth lands, bounces and drapes.
inline void FillDome(TCloth& cloth) {
  for (int r = 1; r < TCloth::HitRows - 1; ++r) {
    for (int c = 1; c < TCloth::HitColumns - 1; ++c) {
      const double x = (r - 50) / 5.0, y = c / 5.0;
      const double d2 = x * x + (y - 12) * (y - 12);
      if (d2 < 25.0) cloth.HitHeights[r][c] = static_cast<float>(15.0 + 8.0 - 0.3 * d2);
    }
  }
}

}  // namespace cloth_reference
