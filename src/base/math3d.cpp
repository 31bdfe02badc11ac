// Vector and matrix maths; see math3d.h. Stored values are floats; sums and products are
// carried in double and each element is rounded to float once, when it is stored.
#include "base/math3d.h"

#include <cmath>

namespace tarvola {

float angleSin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
float angleCos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }

void setIdentity(Matrix4& matrix) {
  matrix = Matrix4{};
  for (int i = 0; i < 4; ++i) matrix.m[i][i] = 1.0f;
}

void setRotationDegrees(Matrix4& matrix, float ax, float ay, float az) {
  const float a = ax * kDegreesToRadians, b = ay * kDegreesToRadians, c = az * kDegreesToRadians;
  const double sA = std::sin(double(a)), cA = std::cos(double(a));
  const double sB = std::sin(double(b)), cB = std::cos(double(b));
  const double sC = std::sin(double(c)), cC = std::cos(double(c));
  float(&m)[4][4] = matrix.m;
  m[0][0] = float(cB * cC);
  m[0][1] = float(cB * sC);
  m[0][2] = float(-sB);
  m[0][3] = 0.0f;
  m[1][0] = float(sA * sB * cC - cA * sC);
  m[1][1] = float(sA * sB * sC + cA * cC);
  m[1][2] = float(sA * cB);
  m[1][3] = 0.0f;
  m[2][0] = float(cA * sB * cC + sA * sC);
  m[2][1] = float(cA * sB * sC - sA * cC);
  m[2][2] = float(cA * cB);
  m[2][3] = 0.0f;
  m[3][0] = m[3][1] = m[3][2] = 0.0f;
  m[3][3] = 1.0f;
}

void multiplyRotation(Matrix4& d, const Matrix4& o) {
  float result[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int col = 0; col < 3; ++col) {
      result[i][col] =
          float(double(d.m[i][0]) * o.m[0][col] + double(d.m[i][1]) * o.m[1][col] + double(d.m[i][2]) * o.m[2][col]);
    }
  }
  for (int i = 0; i < 3; ++i) {
    for (int col = 0; col < 3; ++col) d.m[i][col] = result[i][col];
  }
}

void transformPoint(float x, float y, float z, Vec3& out, const Matrix4& matrix) {
  const float(&m)[4][4] = matrix.m;
  const double dx = x, dy = y, dz = z;
  const float ox = float(dx * m[0][0] + dy * m[1][0] + dz * m[2][0] + m[3][0]);
  const float oy = float(dx * m[0][1] + dy * m[1][1] + dz * m[2][1] + m[3][1]);
  const float oz = float(dx * m[0][2] + dy * m[1][2] + dz * m[2][2] + m[3][2]);
  out = Vec3{ox, oy, oz};
}

}  // namespace tarvola
