// Whether a box of geometry can leave a mark: tested against the view volume and the fog's end.
#pragma once
#include "render/Types.h"

// What GL would make of an axis-aligned box from lo to hi in model coordinates.
struct BoxSight {
  // Every corner lies outside one plane of the view volume: nothing of it is rasterised.
  bool outsideView = false;
  // Every corner lies at least this far in front of or behind the eye plane (the absolute eye
  // depth linear fog goes by), so linear fog ending there gives the whole box the fog colour.
  bool beyondFog = false;
};

// The current modelview and projection matrices, read once, for testing many boxes drawn
// under them; fogEnd is where linear fog reaches its full colour.
class SightTest {
 public:
  explicit SightTest(float fogEnd);
  BoxSight See(const Vector3& lo, const Vector3& hi) const;

 private:
  float modelview_[16];
  float projection_[16];
  float fogEnd_;
};

// One box under the matrices as they are now.
BoxSight SeeBox(const Vector3& lo, const Vector3& hi, float fogEnd);
