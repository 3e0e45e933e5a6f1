// Vector arithmetic, rotation, camera and light helpers over the shared value types.
#include "render/VectorMath.h"

#include <cmath>
#include <numbers>

#include "platform/GL.h"

namespace {
// The GL light the light helpers address, and what they last gave it; the position's w stays 1.
uint32_t CurrentLight = GL_LIGHT0;
ColorRGBA LightAmbient{0.5f, 0.5f, 0.5f, 1.0f};
ColorRGBA LightDiffuse{1.0f, 1.0f, 1.0f, 1.0f};
float LightPosition[4] = {0.0f, 25.0f, 0.0f, 1.0f};

// The extended-precision working copy RotateVector turns.
struct T3DPoint {
  double x = 0, y = 0, z = 0;
};
}  // namespace

void SetVector(Vector3& v, float x, float y, float z) {
  v.x = x;
  v.y = y;
  v.z = z;
}

void SetColor(ColorRGBA& c, float r, float g, float b, float a) {
  c.r = r;
  c.g = g;
  c.b = b;
  c.a = a;
}

void AddVectors(const Vector3& a, const Vector3& b, Vector3& out) {
  out.x = a.x + b.x;
  out.y = a.y + b.y;
  out.z = a.z + b.z;
}

void SubtractVectors(const Triangle& triangle, const Vector3& p, Vector3& out) {
  out.x = p.x - triangle.c0.x;
  out.y = p.y - triangle.c0.y;
  out.z = p.z - triangle.c0.z;
}

void ScaleVector(const Vector3& v, Vector3& out, float s) {
  out.x = v.x * s;
  out.y = v.y * s;
  out.z = v.z * s;
}

void CrossProduct(const Vector3& a, const Vector3& b, Vector3& out) {
  out.x = a.y * b.z - a.z * b.y;
  out.y = a.z * b.x - a.x * b.z;
  out.z = a.x * b.y - a.y * b.x;
}

void Normalize(Vector3& v) {
  // No zero test: callers rely on a zero vector turning into NaNs rather than an error.
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  v.x /= length;
  v.y /= length;
  v.z /= length;
}

Vector3 FaceNormal(const Triangle& triangle) {
  const Vector3 e1{triangle.c1.x - triangle.c0.x, triangle.c1.y - triangle.c0.y,
                   triangle.c1.z - triangle.c0.z};
  const Vector3 e2{triangle.c2.x - triangle.c0.x, triangle.c2.y - triangle.c0.y,
                   triangle.c2.z - triangle.c0.z};
  Vector3 n;
  CrossProduct(e1, e2, n);
  return n;
}

void MakeTriangle(const Vector3& a, const Vector3& b, const Vector3& c, Triangle& out) {
  out.c0 = a;
  out.c1 = b;
  out.c2 = c;
}

float Distance(const Vector3& a, const Vector3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  const float h = std::sqrt(dx * dx + dz * dz);
  const float d = std::sqrt(dy * dy + h * h);
  return std::fabs(d);
}


float DegToRad(float degrees) {
  return static_cast<float>(degrees / 360.0 * 2.0 * std::numbers::pi);
}

void RotateVector(Vector3& v, const Vector3& angles) {
  T3DPoint p{v.x, v.y, v.z};
  double s = std::sin(static_cast<double>(DegToRad(angles.x)));
  double c = std::cos(static_cast<double>(DegToRad(angles.x)));
  T3DPoint q{p.x, c * p.y - s * p.z, s * p.y + c * p.z};
  // About Y the sense is reversed with respect to X and Z; models and scenes rely on it.
  s = std::sin(static_cast<double>(DegToRad(angles.y)));
  c = std::cos(static_cast<double>(DegToRad(angles.y)));
  p = {c * q.x - s * q.z, q.y, s * q.x + c * q.z};
  s = std::sin(static_cast<double>(DegToRad(angles.z)));
  c = std::cos(static_cast<double>(DegToRad(angles.z)));
  q = {c * p.x - s * p.y, s * p.x + c * p.y, p.z};
  v.x = static_cast<float>(q.x);
  v.y = static_cast<float>(q.y);
  v.z = static_cast<float>(q.z);
}

void LookAt(const Vector3& eye, const Vector3& centre, const Vector3& up) {
  gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, up.x, up.y, up.z);
}

void SetCurrentLight(uint32_t light) { CurrentLight = light; }

void SetupDefaultLight() {
  glEnable(CurrentLight);
  SetLightPosition({10.0f, 10.0f, 10.0f});
  SetLightColours({1.0f, 1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f, 0.5f});
  glEnable(GL_LIGHTING);
  glEnable(GL_NORMALIZE);
}

void SetLightPosition(const Vector3& p) {
  LightPosition[0] = p.x;
  LightPosition[1] = p.y;
  LightPosition[2] = p.z;
  glLightfv(CurrentLight, GL_POSITION, LightPosition);
}

void SetLightColours(const ColorRGBA& ambient, const ColorRGBA& diffuse) {
  LightAmbient = ambient;
  LightDiffuse = diffuse;
  glLightfv(CurrentLight, GL_AMBIENT, &LightAmbient.r);
  glLightfv(CurrentLight, GL_DIFFUSE, &LightDiffuse.r);
}

void DisableLighting() { glDisable(GL_LIGHTING); }
