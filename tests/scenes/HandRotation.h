// The scenes' camera turns worked out independently of the toolkit: a point turned by Euler angles
// in degrees, first about x, then about y (in the reversed sense the show's rotation has there),
// then about z, in double precision.
#pragma once
#include <cmath>

#include "render/Types.h"

inline Vector3 TurnedByHand(const Vector3& v, double aboutX, double aboutY, double aboutZ) {
  const double toRadians = M_PI / 180;
  double x = v.x, y = v.y, z = v.z;
  double s = std::sin(aboutX * toRadians), c = std::cos(aboutX * toRadians);
  double ny = c * y - s * z, nz = s * y + c * z;
  y = ny, z = nz;
  s = std::sin(aboutY * toRadians), c = std::cos(aboutY * toRadians);
  double nx = c * x - s * z;
  nz = s * x + c * z;
  x = nx, z = nz;
  s = std::sin(aboutZ * toRadians), c = std::cos(aboutZ * toRadians);
  nx = c * x - s * y;
  ny = s * x + c * y;
  return {static_cast<float>(nx), static_cast<float>(ny), static_cast<float>(z)};
}

// Component-wise closeness of a scene's vector to the one worked out by hand.
#define EXPECT_VECTOR_NEAR(actual, expected, tolerance)     \
  do {                                                      \
    const Vector3 actualValue = (actual);                   \
    const Vector3 expectedValue = (expected);               \
    EXPECT_NEAR(actualValue.x, expectedValue.x, tolerance); \
    EXPECT_NEAR(actualValue.y, expectedValue.y, tolerance); \
    EXPECT_NEAR(actualValue.z, expectedValue.z, tolerance); \
  } while (0)
