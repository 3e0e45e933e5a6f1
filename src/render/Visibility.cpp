// Box tests against the current matrices, so drawers can leave out what cannot change a pixel.
#include "render/Visibility.h"

#include <cmath>

#include "platform/GL.h"

namespace {
// Clip coordinates are compared with this much slack, so that rounding in GL's own transform
// can never turn a box we leave out into one with a visible sliver.
constexpr double ClipSlack = 1e-3;
}  // namespace

SightTest::SightTest(float fogEnd) : fogEnd_(fogEnd) {
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview_);
  glGetFloatv(GL_PROJECTION_MATRIX, projection_);
}

BoxSight SightTest::See(const Vector3& lo, const Vector3& hi) const {
  const float* modelview = modelview_;
  const float* projection = projection_;
  const double fogEnd = fogEnd_;
  // Corners outside each of the six clip planes (x, y, z below -w and above w), and corners
  // on either side of the eye plane beyond the fog's end.
  int outside[6] = {0, 0, 0, 0, 0, 0};
  int fogFront = 0, fogBehind = 0;
  for (int corner = 0; corner < 8; ++corner) {
    const double p[3] = {(corner & 1) ? hi.x : lo.x, (corner & 2) ? hi.y : lo.y,
                         (corner & 4) ? hi.z : lo.z};
    double eye[4];
    for (int row = 0; row < 4; ++row)
      eye[row] = modelview[row] * p[0] + modelview[4 + row] * p[1] + modelview[8 + row] * p[2] +
                 modelview[12 + row];
    double clip[4];
    for (int row = 0; row < 4; ++row)
      clip[row] = projection[row] * eye[0] + projection[4 + row] * eye[1] +
                  projection[8 + row] * eye[2] + projection[12 + row] * eye[3];
    const double w = clip[3];
    const double slack = ClipSlack * (std::fabs(w) + 1.0);
    for (int axis = 0; axis < 3; ++axis) {
      if (clip[axis] < -w - slack) ++outside[2 * axis];
      if (clip[axis] > w + slack) ++outside[2 * axis + 1];
    }
    const double depth = eye[3] != 0 ? eye[2] / eye[3] : 0;
    if (depth <= -(fogEnd + 1.0)) ++fogFront;
    if (depth >= fogEnd + 1.0) ++fogBehind;
  }
  BoxSight sight;
  for (int count : outside)
    if (count == 8) sight.outsideView = true;
  sight.beyondFog = fogFront == 8 || fogBehind == 8;
  return sight;
}

BoxSight SeeBox(const Vector3& lo, const Vector3& hi, float fogEnd) {
  return SightTest(fogEnd).See(lo, hi);
}
