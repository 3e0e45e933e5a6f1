// The well scene's per-frame arithmetic that needs no GL: the spike subset, the circling camera
// and the blob's wobble.
#pragma once
#include "render/Types.h"

// The camera state that persists across every frame of the scene; starts as the loader sets it.
struct WellCamera {
  Vector3 eye{20, 250, 20};
  Vector3 up{1, 0, 0};
};
// The point the camera looks at, on the shaft's axis.
inline constexpr Vector3 WellCentre{0, 170, 0};

// True for the blob vertices that carry spikes: sin(1237 * index) < -0.9, about one in seven.
bool IsSpikeVertex(int index);

// One frame of camera motion: the eye's height follows t, eye and up turn by spinRate * dt degrees
// about the y axis (the up vector also tilts about z), so the eye keeps its distance from the axis.
void AdvanceWellCamera(WellCamera& camera, float t, float dt, float spinRate);

// A loaded blob position at time t: doubled in size, then moved by nine layered sines.
Vector3 WobbleBlobVertex(const Vector3& position, float t);

class TOrvDeformBrush;

// One frame of the blob from its loaded positions: buffer 0 the wobbled surface with spikes
// (70 * spike along the normals of the spike vertices), buffer 1 the shell 16 units outside it,
// the mesh's normals and texture coordinates rebuilt. Allocates nothing; the positions stay.
void DeformBlob(TOrvDeformBrush& blob, float t, float spike);

// The scene's persistent state, for inspection.
const WellCamera& WellSceneCamera();
TOrvDeformBrush& WellSceneBlob();
