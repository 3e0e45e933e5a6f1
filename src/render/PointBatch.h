// Large point sets drawn from one vertex buffer, or as round points set in a mask on the CPU.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
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
  // Makes the set count points long and returns its x, y, z triples to be written in place.
  float* Resize(size_t count) {
    positions_.resize(3 * count);
    return positions_.data();
  }
  size_t Count() const { return positions_.size() / 3; }
  // Draws the set as GL_POINTS with the current state; leaves no buffer bound and the vertex
  // array off.
  void Draw();
  // Draws the set as round points: each lights the pixels of the viewport whose centres lie within
  // radius pixels of where the current matrices put it, in the current colour through the current
  // blending, as a smoothed point drawn without blending does; points outside the view volume
  // light nothing. Depth and fog play no part. The points are set in a coverage mask on the CPU
  // (a dense field by two threads) and the mask drawn as one alpha-tested quad, so a dense field
  // costs about one full-screen layer instead of a rasterised point each. Leaves the GL state as
  // it found it.
  void DrawRound(float radius);
  // Draws the set as square points side pixels wide, of any size: each lights the pixels whose
  // centres lie within side / 2 of where the point falls along both axes, as a GL point of a whole
  // number of pixels drawn without smoothing does; otherwise as DrawRound.
  void DrawSquares(float side);

 private:
  // DrawRound (reach is the radius) or DrawSquares (reach is half the side).
  void DrawMask(float reach, bool square);
  // Sets the coverage of the points in mask_, which is the viewport's size.
  void FillMask(float reach, bool square);

  std::vector<float> positions_;
  uint32_t buffer_ = 0;
  size_t capacity_ = 0;  // bytes the buffer holds
  std::vector<uint8_t> mask_;  // one byte a viewport pixel, rows from the bottom
  std::vector<uint8_t> laterMask_;  // the second thread's share of a dense set
  uint32_t maskTexture_ = 0;
  int maskWidth_ = 0, maskHeight_ = 0;  // the size the texture was made at
};

// The radius of the round point that lights what a smoothed point of the given size (in pixels)
// lights when drawn without blending: the pixels whose centres lie within half its size, and never
// fewer than those within one pixel of a frame drawn at full size (as measured on the software
// renderer; a 1.5-pixel star reaches 1.0, a 3-pixel point 1.5).
float SmoothedPointRadius(float size);

// Does work(first, last) over the points [0, count): for a dense set (the stars, 50,000 points or
// more) the later half on a second thread while this one does the first half, otherwise, or when
// no thread can be had, all of it here. Returns true when the work was split in two.
bool SplitDenseWork(size_t count, const std::function<void(size_t first, size_t last)>& work);
