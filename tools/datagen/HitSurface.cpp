// The cloth's hit surface: the top of the cloth scene's sculpture sampled on the cloth's grid.
#include <algorithm>
#include <cmath>
#include <vector>

#include "Bytes.h"
#include "DataGen.h"
#include "Geometry.h"
#include "HitSurface.h"

namespace datagen {

std::vector<float> HitHeights() {
  // Row r stands for x = (r - 50) / 5 and column c for y = c / 5 in cloth space; a stored h is a
  // surface at z = h - 15. Start with the ground the sculpture stands on, then raise every
  // sample that lies under a triangle to that triangle's height there.
  std::vector<float> top(HitRows * HitColumns, ClothSculptureDrop);
  for (const ModelMesh& mesh : ClothSculpture())
    for (const auto& f : mesh.faces) {
      V3 p[3];
      for (int k = 0; k < 3; ++k) p[k] = mesh.vertices[f[k]].p + V3{0, 0, ClothSculptureDrop};
      const float area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
      if (std::fabs(area) < 1e-9f) continue;  // seen edge-on from above: no top to offer
      const float minX = std::min({p[0].x, p[1].x, p[2].x}), maxX = std::max({p[0].x, p[1].x, p[2].x});
      const float minY = std::min({p[0].y, p[1].y, p[2].y}), maxY = std::max({p[0].y, p[1].y, p[2].y});
      const int r0 = std::max(0, static_cast<int>(std::ceil(minX * 5)) + 50);
      const int r1 = std::min(HitRows - 1, static_cast<int>(std::floor(maxX * 5)) + 50);
      const int c0 = std::max(0, static_cast<int>(std::ceil(minY * 5)));
      const int c1 = std::min(HitColumns - 1, static_cast<int>(std::floor(maxY * 5)));
      for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
          const float x = (r - 50) / 5.0f, y = c / 5.0f;
          const float w1 = ((x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (y - p[0].y)) / area;
          const float w2 = ((p[1].x - p[0].x) * (y - p[0].y) - (x - p[0].x) * (p[1].y - p[0].y)) / area;
          const float w0 = 1 - w1 - w2;
          const float e = -1e-4f;
          if (w0 < e || w1 < e || w2 < e) continue;
          float& t = top[r * HitColumns + c];
          t = std::max(t, w0 * p[0].z + w1 * p[1].z + w2 * p[2].z);
        }
    }
  // The cloth rests a hair above the sculpture so it does not sink into it between samples.
  std::vector<float> heights(top.size());
  for (size_t i = 0; i < top.size(); ++i) heights[i] = top[i] + HitClearance + 15.0f;
  return heights;
}

void WriteHitSurface(const std::string& directory) {
  const std::vector<float> heights = HitHeights();
  std::vector<uint8_t> bytes;
  for (float h : heights) PutFloat(bytes, h);
  SaveFile(directory + "/surface.hit", bytes);
}

}  // namespace datagen
