// Large point sets drawn from one vertex buffer, and the round star sprite they can be drawn as.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Positions (x, y, z per point) handed to GL through one buffer object that grows to the largest
// set drawn and is refilled in place after that, instead of one call per vertex.
class PointBatch {
 public:
  PointBatch() = default;
  PointBatch(const PointBatch&) = delete;
  PointBatch& operator=(const PointBatch&) = delete;
  // Empties the set, keeping its memory.
  void Clear() { positions_.clear(); }
  void Add(float x, float y, float z) { positions_.insert(positions_.end(), {x, y, z}); }
  size_t Count() const { return positions_.size() / 3; }
  // Draws the set as GL_POINTS with the current state; leaves no buffer bound and the vertex
  // array off.
  void Draw();

 private:
  std::vector<float> positions_;
  uint32_t buffer_ = 0;
  size_t capacity_ = 0;  // bytes the buffer holds
};

// Points drawn as round sprites: each covers the pixels whose centres lie within radius pixels of
// the point, as a smoothed point drawn without blending does, but by the renderer's plain point
// path (a small disc texture and the alpha test cut the corners off the sprite's square).
// EndRoundPoints switches the sprites, alpha test and texturing off again and binds the texture
// that was bound before.
void BeginRoundPoints(float radius);
void EndRoundPoints();
