// Shared value types: vectors, colours, triangles and texture names.
#pragma once
#include <cstdint>

// CONVENTIONS: positions and directions in world units, angles handed between routines in
// degrees (sin and cos take radians), the world is y-up; 2D overlay space is 800 x 600 window
// pixels with the origin at the bottom left.
struct Vector3 {
  float x = 0, y = 0, z = 0;
};

struct ColorRGBA {
  float r = 0, g = 0, b = 0, a = 0;
};

// Three corners in order; its face normal is (c1 - c0) x (c2 - c0).
struct Triangle {
  Vector3 c0, c1, c2;
};

// The GL texture name; NoTexture (all bits set) means nothing was loaded.
using TextureId = uint32_t;
inline constexpr TextureId NoTexture = 0xFFFFFFFFu;
