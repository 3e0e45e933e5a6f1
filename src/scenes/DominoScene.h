// Domino scene: the motion of the toppling line and its rolling camera as pure functions.
#pragma once
#include "render/Types.h"

// Number of dominoes in the line (indices 0 ... 110).
inline constexpr int DominoCount = 111;

// Tilt of domino index at fall position x, degrees: 20 * (10 x - index) clamped to 0 ... 70.
float DominoTilt(int index, float x);
// The camera eye and the point it looks at for fall position x.
Vector3 DominoEye(float x);
Vector3 DominoCentre(float x);
// Turns roll in place by 20 * dt degrees about y, then 80 * dt degrees about z.
void TurnRollVector(Vector3& roll, float dt);
// The scene's persistent camera up vector: (0, 1, 0) after loading, turned once per drawn frame.
Vector3 DominoRollVector();
