// The star field that grows over the scenes from 160 s and over the ending's black.
#pragma once

// Above 160 s, (ShowTime - 160) * 3000 + 1 random points (nothing at or below), at most the
// 141,001 of 207 s; the ending's variant clears depth instead of disabling the depth test and
// keeps fog. Hidden (under an opaque layer drawn after it): the same states and draws of the
// generator, but no point is sent.
void DrawStarField(bool ending, bool hidden);
// The star field's draws of the generator for ShowTime, without drawing.
void AdvanceStarField();
