// The cloud of random points the point burst and the star field draw: fresh positions from the
// shared generator every frame, seen from one fixed camera.
#pragma once
#include <cstdint>

// n rounded to nearest (ties to even): the last index of a cloud of n + 1 points; -1 (no point)
// for a negative or NaN n.
int64_t LastPointIndex(long double n);
// The generator draws of a cloud whose last index is lastIndex: three per point, none for -1.
uint64_t PointDraws(int64_t lastIndex);
// Multiplies the clouds' camera onto the modelview matrix: seen from (4, 0, 0) towards the origin
// and moved by (0, 50, 50).
void LookAtPointField();
// Draws points 0 to lastIndex with the current colour and matrices, each from three draws of the
// shared generator (z, then y, then x, each Random * 100 - 100), square or round, size in pixels.
// In unseen frames only the draws are taken. Leaves the point size at size when square and a
// whole number of pixels.
void DrawRandomPoints(int64_t lastIndex, float size, bool round);
