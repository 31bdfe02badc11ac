// Vector and matrix maths: the rotation built from the 3.1415-based degree factor and its
// order, the 3x3 composition (also in place), and the truncation helper.
#include "base/math3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/fixed_point.h"

namespace tarvola {
namespace {

bool sameBlock(const Matrix4& a, const Matrix4& b, int size) {
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) {
      if (a.m[r][c] != b.m[r][c]) return false;
    }
  }
  return true;
}

TEST(Math3d, RotationUsesThe31415FactorAndTurnsAboutXThenYThenZ) {
  Matrix4 m, identity;
  setIdentity(identity);
  m.m[3][0] = 5;  // a translation that the rotation must clear
  setRotationDegrees(m, 0, 0, 0);
  EXPECT_TRUE(sameBlock(m, identity, 4));

  setRotationDegrees(m, 90, 0, 0);
  Vec3 p;
  transformPoint(0, 1, 0, p, m);
  EXPECT_NEAR(p.z, 1.0f, 1e-6);
  EXPECT_FLOAT_EQ(p.y, float(std::cos(double(90 * 0.017452778f))));  // not 0: pi is 3.1415
  EXPECT_GT(p.y, 4e-5f);
  transformPoint(0, 0, 1, p, m);
  EXPECT_NEAR(p.y, -1.0f, 1e-6);

  // (1, 0, 0) turned 90 about y goes to (0, 0, -1), where 90 about z leaves it; z first would
  // have put it on the y axis.
  setRotationDegrees(m, 0, 90, 90);
  transformPoint(1, 0, 0, p, m);
  EXPECT_NEAR(p.x, 0.0f, 1e-3);
  EXPECT_NEAR(p.y, 0.0f, 1e-3);
  EXPECT_NEAR(p.z, -1.0f, 1e-6);
}

TEST(Math3d, MultiplyRotationComposesThe3x3BlockOnlyAndWorksInPlace) {
  Matrix4 d, o;
  setRotationDegrees(o, 10, 20, 30);
  o.m[3][0] = 99;  // ignored
  setIdentity(d);
  d.m[3][1] = 7;  // kept
  multiplyRotation(d, o);
  EXPECT_TRUE(sameBlock(d, o, 3));
  EXPECT_EQ(d.m[3][1], 7.0f);
  EXPECT_EQ(d.m[3][0], 0.0f);

  Matrix4 self = o, copy = o, separate = o;
  multiplyRotation(self, self);
  multiplyRotation(separate, copy);
  EXPECT_TRUE(sameBlock(self, separate, 3));
}

TEST(TruncToInt32, TruncatesTowardZeroAndGivesIndefiniteOutOfRange) {
  EXPECT_EQ(truncToInt32(1.99), 1);
  EXPECT_EQ(truncToInt32(-1.99), -1);
  EXPECT_EQ(truncToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(truncToInt32(2147483648.0), INT32_MIN);
  EXPECT_EQ(truncToInt32(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
  EXPECT_EQ(truncToInt32(-std::numeric_limits<double>::infinity()), INT32_MIN);
}

}  // namespace
}  // namespace tarvola
