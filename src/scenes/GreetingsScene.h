// Greetings scene: the slide of the greetings picture and the cube scales as pure functions.
#pragma once
#include "render/Types.h"

// Left edge of the greetings picture at scene clock s: slides in from -800 to 30 by s = 2,
// holds until s = 6, then flies off to the right.
float GreetingsSlideX(float s);
// Scale of the sculpture cube on vertex v at time t: sin(0.02 x + 3 t) + sin(0.04 y + 4 t).
float SculptureCubeScale(const Vector3& v, float t);
// Scale of the burst-cloud cube on vertex v at scene clock s (> 6) and time t.
float BurstCubeScale(const Vector3& v, float s, float t);
