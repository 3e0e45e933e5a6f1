// Placeholder point field until the timeline lands.
#include "timeline/PointField.h"

TInterpol RandomPointField;

void TInterpol::Fill(int, float) {}
Vector3 TInterpol::Evaluate(float) const { return {}; }
Vector3 WanderOffset(float) { return {}; }
