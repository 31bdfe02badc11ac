// Single-precision vector and matrix maths of the 3D engine: a 4x4 matrix in the row-vector
// convention (a point is the row (x, y, z, 1) times the matrix; row 3 holds the translation).
#pragma once

namespace tarvola {

// Degrees to radians with pi taken as 3.1415 (3.1415 / 180 in single precision).
inline constexpr float kDegreesToRadians = 0.017452778f;

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

struct Matrix4 {
  float m[4][4] = {};
};

// Sine and cosine of a float angle, evaluated in double and rounded to float.
float angleSin(float a);
float angleCos(float a);

void setIdentity(Matrix4& matrix);

// Rx(ax) * Ry(ay) * Rz(az), angles in degrees: a point turns about x, then y, then z.
// Row 3 becomes (0, 0, 0, 1): the matrix carries no translation.
void setRotationDegrees(Matrix4& matrix, float ax, float ay, float az);

// Upper-left 3x3 of d becomes d3x3 * o3x3; safe when d and o are the same matrix.
// Row 3 and column 3 of d stay; o's translation is ignored.
void multiplyRotation(Matrix4& d, const Matrix4& o);

// out = (x, y, z, 1) * matrix, first three components; out may alias the inputs' source.
void transformPoint(float x, float y, float z, Vec3& out, const Matrix4& matrix);

}  // namespace tarvola
