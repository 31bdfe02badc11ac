// Vector and matrix maths: the rotation built from the 3.1415-based degree factor, the 3x3
// composition (also in place) and the point transform, plus the truncation helper.
#include "engine3d/math3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "raster/fixed_point.h"

namespace tarvola {
namespace {

TEST(Math3d, ZeroRotationIsExactlyTheIdentity) {
  Matrix4 m, identity;
  m.m[3][0] = 5;  // a translation that the rotation must clear
  setRotationDegrees(m, 0, 0, 0);
  setIdentity(identity);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], identity.m[r][c]) << r << "," << c;
  }
}

TEST(Math3d, NinetyDegreesAboutXUsesThe31415Factor) {
  Matrix4 m;
  setRotationDegrees(m, 90, 0, 0);
  Vec3 p;
  transformPoint(0, 1, 0, p, m);
  EXPECT_NEAR(p.z, 1.0f, 1e-6);
  // cos(90 * 0.017452778) is not 0: the factor is 3.1415 / 180.
  EXPECT_FLOAT_EQ(p.y, float(std::cos(double(90 * 0.017452778f))));
  EXPECT_GT(p.y, 4e-5f);
  transformPoint(0, 0, 1, p, m);
  EXPECT_NEAR(p.y, -1.0f, 1e-6);
  EXPECT_FLOAT_EQ(m.m[3][3], 1.0f);
}

TEST(Math3d, RotationOrderIsXThenYThenZ) {
  // (1, 0, 0) turned 90 about y goes to (0, 0, -1); then 90 about z leaves it there.
  // Turned about z first it would end on the y axis instead.
  Matrix4 m;
  setRotationDegrees(m, 0, 90, 90);
  Vec3 p;
  transformPoint(1, 0, 0, p, m);
  EXPECT_NEAR(p.x, 0.0f, 1e-3);
  EXPECT_NEAR(p.y, 0.0f, 1e-3);
  EXPECT_NEAR(p.z, -1.0f, 1e-6);
}

TEST(Math3d, MultiplyRotationComposesThe3x3BlockOnly) {
  Matrix4 d, o, identity;
  setRotationDegrees(o, 10, 20, 30);
  o.m[3][0] = 99;  // ignored
  setIdentity(d);
  d.m[3][1] = 7;  // kept
  multiplyRotation(d, o);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(d.m[r][c], o.m[r][c]);
  }
  EXPECT_EQ(d.m[3][1], 7.0f);
  EXPECT_EQ(d.m[3][0], 0.0f);

  Matrix4 before = o;
  setIdentity(identity);
  multiplyRotation(o, identity);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(o.m[r][c], before.m[r][c]);
  }

  // In place: the result equals the product with a separate copy.
  Matrix4 self = before, copy = before, separate = before;
  multiplyRotation(self, self);
  multiplyRotation(separate, copy);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(self.m[r][c], separate.m[r][c]);
  }
}

TEST(Math3d, TransformPointWithAliasedOutput) {
  Matrix4 m;
  setRotationDegrees(m, 33, -71, 12);
  m.m[3][0] = 1.5f;
  m.m[3][1] = -2.0f;
  m.m[3][2] = 300.0f;
  Vec3 v{3.25f, -8.5f, 17.0f}, separate;
  transformPoint(v.x, v.y, v.z, separate, m);
  transformPoint(v.x, v.y, v.z, v, m);
  EXPECT_EQ(v.x, separate.x);
  EXPECT_EQ(v.y, separate.y);
  EXPECT_EQ(v.z, separate.z);
}

TEST(TruncToInt32, TruncatesTowardZeroAndGivesIndefiniteOutOfRange) {
  EXPECT_EQ(truncToInt32(1.99), 1);
  EXPECT_EQ(truncToInt32(-1.99), -1);
  EXPECT_EQ(truncToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(truncToInt32(-2147483648.9), INT32_MIN);
  EXPECT_EQ(truncToInt32(2147483648.0), INT32_MIN);
  EXPECT_EQ(truncToInt32(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
  EXPECT_EQ(truncToInt32(-std::numeric_limits<double>::infinity()), INT32_MIN);
}

}  // namespace
}  // namespace tarvola
