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
// path (a small program drops the fragments outside the disc the sprite's square encloses).
// Colour and depth test as set; fog is not applied. EndRoundPoints returns to fixed-function
// drawing with the sprites off.
void BeginRoundPoints(float radius);
void EndRoundPoints();
// The radius of the round point that lights what a smoothed point of the given size (in pixels)
// lights when drawn without blending: the pixels whose centres lie within half its size, and never
// fewer than those within one pixel of a frame drawn at full size (as measured on the software
// renderer; a 1.5-pixel star reaches 1.0, a 3-pixel point 1.5).
float SmoothedPointRadius(float size);
