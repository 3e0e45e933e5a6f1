// Vector and colour arithmetic, Euler rotation, the camera helper and the one GL light.
#pragma once
#include <cstdint>

#include "render/Types.h"

// CONVENTIONS: angles are degrees; RotateVector turns about X, then Y (in the opposite sense to
// the right-handed rotation), then Z. Out arguments must not alias inputs unless stated.

// Fills v with (x, y, z).
void SetVector(Vector3& v, float x, float y, float z);
// Fills c with (r, g, b, a).
void SetColor(ColorRGBA& c, float r, float g, float b, float a);
// out = a + b (out may alias a or b).
void AddVectors(const Vector3& a, const Vector3& b, Vector3& out);
// out = p - triangle.c0.
void SubtractVectors(const Triangle& triangle, const Vector3& p, Vector3& out);
// out = v * s (out may alias v).
void ScaleVector(const Vector3& v, Vector3& out, float s);
// out = a x b.
void CrossProduct(const Vector3& a, const Vector3& b, Vector3& out);
// Divides v by its length in place; a zero vector becomes NaN components.
void Normalize(Vector3& v);
// (c1 - c0) x (c2 - c0), not normalised; points to the viewer for counter-clockwise corners.
Vector3 FaceNormal(const Triangle& triangle);
// out = (a, b, c).
void MakeTriangle(const Vector3& a, const Vector3& b, const Vector3& c, Triangle& out);
// Euclidean distance computed in two steps (horizontal first), each rounded to float.
float Distance(const Vector3& a, const Vector3& b);
// Degrees to radians, rounded to float.
float DegToRad(float degrees);
// Rotates v in place by angles (degrees) about X, then Y (reversed sense), then Z.
void RotateVector(Vector3& v, const Vector3& angles);

// gluLookAt on the current matrix; callers load the identity first.
void LookAt(const Vector3& eye, const Vector3& centre, const Vector3& up);

// Selects the GL light (GL_LIGHT0 ... GL_LIGHT7) the other light helpers address; GL_LIGHT0
// until the first call.
void SetCurrentLight(uint32_t light);
// Enables the current light at (10, 10, 10) with white ambient and half diffuse, lighting and
// GL_NORMALIZE on.
void SetupDefaultLight();
// Sets the light's position (transformed by the current modelview, as GL does) with w = 1: a
// positional light.
void SetLightPosition(const Vector3& p);
// Stores and sets the light's ambient and diffuse colours.
void SetLightColours(const ColorRGBA& ambient, const ColorRGBA& diffuse);
// glDisable(GL_LIGHTING).
void DisableLighting();
