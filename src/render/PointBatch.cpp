// Point sets through a growing buffer object; round points as sprites cut round by a small program.
#include "render/PointBatch.h"

#include <algorithm>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "render/Shader.h"

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
// Each sprite's fragments outside the disc its square encloses are dropped, the distance taken
// exactly from the sprite coordinate: the edge falls where a smoothed point's does, with no
// texture's steps in it. Fog is not applied (the point fields draw with it off).
const char* const RoundPointVertexSource = R"(#version 120
void main() {
  gl_Position = ftransform();
  gl_FrontColor = gl_Color;
}
)";
const char* const RoundPointFragmentSource = R"(#version 120
void main() {
  vec2 offset = gl_PointCoord - vec2(0.5);
  if (dot(offset, offset) > 0.25) discard;
  gl_FragColor = gl_Color;
}
)";

const ShaderProgram& RoundPointProgram() {
  static const ShaderProgram program =
      BuildShaderProgram(RoundPointVertexSource, RoundPointFragmentSource);
  return program;
}
}  // namespace

float SmoothedPointRadius(float size) { return std::max(size / 2, DrawingScale()); }

void BeginRoundPoints(float radius) {
  glPointSize(2 * radius);
  glEnable(GL_POINT_SPRITE);
  BeginProgram(RoundPointProgram());
}

void EndRoundPoints() {
  EndProgram();
  glDisable(GL_POINT_SPRITE);
}
