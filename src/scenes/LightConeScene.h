// Light-cone scene: the per-cone values of the swaying rings as pure functions of ShowTime.
#pragma once
#include "render/Types.h"

// Rings along the row and cones per ring.
inline constexpr int LightConeRings = 12;
inline constexpr int ConesPerRing = 6;

// Colour of cone of ring at time t: red 0.4 + 0.2 sin(3 (ring + cone) + 3 t), green 0.5, blue 0.9.
ColorRGBA LightConeColour(int ring, int cone, float t);
// Half size of the glow sprite of every cone of ring at time t (0 ... 120).
float LightConeGlowSize(int ring, float t);
