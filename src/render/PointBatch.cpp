// Point sets through a growing buffer object; round points as alpha-tested sprites.
#include "render/PointBatch.h"

#include <cmath>

#include "platform/GL.h"

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
constexpr int DiscSize = 64;
GLint BoundBeforeRoundPoints = 0;

// White everywhere; alpha 1 inside the disc the sprite's square encloses, 0 outside.
GLuint DiscTexture() {
  static GLuint texture = 0;
  if (texture != 0) return texture;
  uint8_t pixels[DiscSize * DiscSize * 4];
  for (int y = 0; y < DiscSize; ++y) {
    for (int x = 0; x < DiscSize; ++x) {
      const float dx = (x + 0.5f) / DiscSize - 0.5f, dy = (y + 0.5f) / DiscSize - 0.5f;
      uint8_t* p = pixels + 4 * (y * DiscSize + x);
      p[0] = p[1] = p[2] = 255;
      p[3] = dx * dx + dy * dy <= 0.25f ? 255 : 0;
    }
  }
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, DiscSize, DiscSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  return texture;
}
}  // namespace

void BeginRoundPoints(float radius) {
  glPointSize(2 * radius);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &BoundBeforeRoundPoints);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, DiscTexture());
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_POINT_SPRITE);
  glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, GL_TRUE);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
}

void EndRoundPoints() {
  glDisable(GL_ALPHA_TEST);
  glAlphaFunc(GL_ALWAYS, 0.0f);
  glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, GL_FALSE);
  glDisable(GL_POINT_SPRITE);
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(BoundBeforeRoundPoints));
}
