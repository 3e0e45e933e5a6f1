// Point sets through a growing buffer object; round points through a coverage mask set on the CPU.
#include "render/PointBatch.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "render/RenderState.h"

void PointBatch::Draw() {
  if (positions_.empty()) return;
  const size_t bytes = positions_.size() * sizeof(float);
  if (buffer_ == 0) glGenBuffers(1, &buffer_);
  glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  if (bytes > capacity_) {
    // Half as much again as asked, so a set that grows every frame reallocates rarely.
    capacity_ = bytes + bytes / 2;
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity_), nullptr, GL_STREAM_DRAW);
  }
  glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), positions_.data());
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(Count()));
  glDisableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

namespace {
// Sets in mask (width x height, rows from the bottom) the coverage of the points at positions
// [first, last) of a set, through the column-major matrix m (projection times modelview): the
// pixels whose centres lie within reach pixels of a point, as a disc, or as a square of side
// 2 * reach when square.
void FillCoverage(const std::vector<float>& positions, size_t first, size_t last, const float* m,
                  float reach, bool square, int width, int height, uint8_t* mask) {
  const float halfWidth = static_cast<float>(width) / 2;
  const float halfHeight = static_cast<float>(height) / 2;
  const float reachSquared = reach * reach;
  for (size_t p = 3 * first; p < 3 * last; p += 3) {
    const float x = positions[p], y = positions[p + 1], z = positions[p + 2];
    const float cx = m[0] * x + m[4] * y + m[8] * z + m[12];
    const float cy = m[1] * x + m[5] * y + m[9] * z + m[13];
    const float cz = m[2] * x + m[6] * y + m[10] * z + m[14];
    const float cw = m[3] * x + m[7] * y + m[11] * z + m[15];
    // GL drops a point whose centre lies outside the view volume, wide or not.
    if (!(std::fabs(cx) <= cw && std::fabs(cy) <= cw && std::fabs(cz) <= cw)) continue;
    const float px = (cx / cw + 1) * halfWidth, py = (cy / cw + 1) * halfHeight;
    if (square) {
      // Centres in (p - reach, p + reach] along each axis, as GL lights a square point of a whole
      // number of pixels.
      const int left = std::max(0, static_cast<int>(std::floor(px - reach - 0.5f)) + 1);
      const int right = std::min(width, static_cast<int>(std::floor(px + reach - 0.5f)) + 1);
      const int bottom = std::max(0, static_cast<int>(std::floor(py - reach - 0.5f)) + 1);
      const int top = std::min(height, static_cast<int>(std::floor(py + reach - 0.5f)) + 1);
      for (int row = bottom; row < top; ++row) {
        uint8_t* line = mask + static_cast<size_t>(row) * static_cast<size_t>(width);
        std::fill(line + left, line + std::max(left, right), uint8_t{255});
      }
      continue;
    }
    const int left = std::max(0, static_cast<int>(std::ceil(px - reach - 0.5f)));
    const int right = std::min(width - 1, static_cast<int>(std::floor(px + reach - 0.5f)));
    const int bottom = std::max(0, static_cast<int>(std::ceil(py - reach - 0.5f)));
    const int top = std::min(height - 1, static_cast<int>(std::floor(py + reach - 0.5f)));
    for (int row = bottom; row <= top; ++row) {
      const float dy = static_cast<float>(row) + 0.5f - py;
      uint8_t* line = mask + static_cast<size_t>(row) * static_cast<size_t>(width);
      for (int column = left; column <= right; ++column) {
        const float dx = static_cast<float>(column) + 0.5f - px;
        if (dx * dx + dy * dy <= reachSquared) line[column] = 255;
      }
    }
  }
}

// Below this many points the second thread would cost more to start than it saves.
constexpr size_t PointsWorthASecondThread = 50000;
}  // namespace

bool SplitDenseWork(size_t count, const std::function<void(size_t first, size_t last)>& work) {
  if (count >= PointsWorthASecondThread) {
    const size_t half = count / 2;
    try {
      std::thread later(work, half, count);
      work(0, half);
      later.join();
      return true;
    } catch (const std::system_error&) {
      // No thread to be had: this one does it all, below.
    }
  }
  work(0, count);
  return false;
}

void PointBatch::FillMask(float reach, bool square) {
  GLfloat model[16], projection[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, model);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  // Both column-major: m = projection * model, as the fixed-function transform composes them.
  float m[16];
  for (int column = 0; column < 4; ++column)
    for (int row = 0; row < 4; ++row)
      m[column * 4 + row] = projection[row] * model[column * 4] +
                            projection[4 + row] * model[column * 4 + 1] +
                            projection[8 + row] * model[column * 4 + 2] +
                            projection[12 + row] * model[column * 4 + 3];
  const int width = maskWidth_, height = maskHeight_;
  std::fill(mask_.begin(), mask_.end(), uint8_t{0});
  // A dense field (the stars) is set by two threads while the renderer's threads wait for the
  // frame: the later half into a mask of its own, joined into this one after. Each point's pixels
  // are the same whichever thread sets them, so the mask is too.
  const bool split = SplitDenseWork(Count(), [&](size_t first, size_t last) {
    uint8_t* mask = mask_.data();
    if (first > 0) {
      laterMask_.assign(mask_.size(), 0);
      mask = laterMask_.data();
    }
    FillCoverage(positions_, first, last, m, reach, square, width, height, mask);
  });
  if (split)
    for (size_t i = 0; i < mask_.size(); ++i) mask_[i] |= laterMask_[i];
}

void PointBatch::DrawRound(float radius) { DrawMask(radius, false); }

void PointBatch::DrawSquares(float side) { DrawMask(side / 2, true); }

void PointBatch::DrawMask(float reach, bool square) {
  if (positions_.empty()) return;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  if (viewport[2] <= 0 || viewport[3] <= 0) return;
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  if (maskTexture_ == 0) glGenTextures(1, &maskTexture_);
  glBindTexture(GL_TEXTURE_2D, maskTexture_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  if (viewport[2] != maskWidth_ || viewport[3] != maskHeight_) {
    maskWidth_ = viewport[2];
    maskHeight_ = viewport[3];
    mask_.assign(static_cast<size_t>(maskWidth_) * static_cast<size_t>(maskHeight_), 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, maskWidth_, maskHeight_, 0, GL_ALPHA,
                 GL_UNSIGNED_BYTE, nullptr);
  }
  FillMask(reach, square);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, maskWidth_, maskHeight_, GL_ALPHA, GL_UNSIGNED_BYTE,
                  mask_.data());
  // The mask over the whole viewport, texel for pixel; the current colour where it is set.
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  PushIdentityMatrices();
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(-1, -1);
  glTexCoord2f(1, 0);
  glVertex2f(1, -1);
  glTexCoord2f(1, 1);
  glVertex2f(1, 1);
  glTexCoord2f(0, 1);
  glVertex2f(-1, 1);
  glEnd();
  PopIdentityMatrices();
  glPopClientAttrib();
  glPopAttrib();
}

float SmoothedPointRadius(float size) { return std::max(size / 2, DrawingScale()); }
