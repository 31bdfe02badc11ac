// Field sources and their sum: the worked values of each kind, add indices, position guards,
// and the float rounding of the running sum in adding order.
#include "metaballs/field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarvola {
namespace {

TEST(ImplicitField, EmptyFieldIsZeroEverywhere) {
  ImplicitField field;
  EXPECT_EQ(field.count, 0);
  EXPECT_EQ(field.value(0, 0, 0), 0.0f);
  EXPECT_EQ(field.value(-90, 12.5f, 1e6f), 0.0f);
}

TEST(ImplicitField, InverseSquareWorkedValues) {
  ImplicitField field;
  EXPECT_EQ(field.addInverseSquare(10), 0);
  field.setSourcePosition(0, 0, 0, 0);
  EXPECT_EQ(field.value(10, 0, 0), 1.0f);
  EXPECT_EQ(field.value(0, 5, 0), 4.0f);
  EXPECT_EQ(field.value(0, 0, -20), 0.25f);
  // The centre divides by zero: +inf, no guard.
  EXPECT_EQ(field.value(0, 0, 0), std::numeric_limits<float>::infinity());
  // Moving the source moves the values with it.
  field.setSourcePosition(0, 3, -4, 7);
  EXPECT_EQ(field.value(3, 1, 7), 4.0f);
}

TEST(ImplicitField, QuarticWorkedValues) {
  ImplicitField field;
  field.addQuartic(12);
  field.setSourcePosition(0, 0, 0, 0);
  EXPECT_EQ(field.value(12, 0, 0), 12.0f);  // 248832 / 20736
  EXPECT_EQ(field.value(6, 6, 6), 64.0f);   // 248832 / 3888
  EXPECT_EQ(field.value(0, -12, 0), 12.0f);
}

TEST(ImplicitField, RingWorkedValues) {
  ImplicitField field;
  field.addRing(16, 30);
  field.setSourcePosition(0, 0, 0, 0);
  EXPECT_EQ(field.value(30, 0, 0), std::numeric_limits<float>::infinity());  // on the ring
  EXPECT_EQ(field.value(30, 4, 0), 1.6f);                                    // 25.6 / 16
  EXPECT_EQ(field.value(0, 0, -30), std::numeric_limits<float>::infinity());
  EXPECT_FLOAT_EQ(field.value(0, 0, 0), 25.6f / 900.0f);
  // The ring lies in the plane y = centre.y around the centre.
  field.setSourcePosition(0, -10, -10, 10);
  EXPECT_EQ(field.value(20, -6, 10), 1.6f);
}

TEST(ImplicitField, AddsReturnIndicesAndOutOfRangePositionsDoNothing) {
  ImplicitField field;
  EXPECT_EQ(field.addInverseSquare(10), 0);
  EXPECT_EQ(field.addRing(16, 30), 1);
  EXPECT_EQ(field.addQuartic(12), 2);
  EXPECT_EQ(field.count, 3);
  field.setSourcePosition(0, 0, 0, 0);
  field.setSourcePosition(1, -10, -10, 10);
  field.setSourcePosition(2, 10, 10, 10);
  const float before = field.value(1, 2, 3);
  field.setSourcePosition(3, 50, 50, 50);
  field.setSourcePosition(-1, 50, 50, 50);
  EXPECT_EQ(field.value(1, 2, 3), before);
  EXPECT_EQ(before, float(float(field.sources[0]->value(1, 2, 3) + field.sources[1]->value(1, 2, 3)) +
                          field.sources[2]->value(1, 2, 3)));
}

TEST(ImplicitField, RunningSumIsRoundedToFloatInAddingOrder) {
  // At (1, 0, 0) a quartic of radius 32 gives 2^25, one of radius -32 gives -2^25 and an
  // inverse square of radius 1 gives 1. In float, 2^25 + 1 rounds back to 2^25.
  ImplicitField bigFirst;
  bigFirst.addQuartic(32);
  bigFirst.addInverseSquare(1);
  bigFirst.addQuartic(-32);
  EXPECT_EQ(bigFirst.value(1, 0, 0), 0.0f);

  ImplicitField cancelFirst;
  cancelFirst.addQuartic(32);
  cancelFirst.addQuartic(-32);
  cancelFirst.addInverseSquare(1);
  EXPECT_EQ(cancelFirst.value(1, 0, 0), 1.0f);
}

TEST(ImplicitField, ValueAndNeighboursEqualsSevenSeparateValues) {
  ImplicitField field;
  field.addInverseSquare(10);
  field.addRing(16, 30);
  field.addQuartic(12);
  field.addQuartic(-7);  // a negative strength, so the running sums cancel now and then
  uint32_t seed = 12345;
  auto draw = [&seed](float range) {
    seed = seed * 1664525u + 1013904223u;
    return (float(seed >> 8) / 16777216.0f - 0.5f) * 2.0f * range;
  };
  for (int32_t i = 0; i < field.count; ++i) field.setSourcePosition(i, draw(45), draw(45), draw(45));
  for (int trial = 0; trial < 20000; ++trial) {
    const float x = draw(90), y = draw(90), z = draw(90), step = trial % 2 ? 0.01f : draw(3);
    float out[7];
    field.valueAndNeighbours(x, y, z, step, out);
    const float expected[7] = {field.value(x, y, z),        field.value(x - step, y, z), field.value(x + step, y, z),
                               field.value(x, y - step, z), field.value(x, y + step, z), field.value(x, y, z - step),
                               field.value(x, y, z + step)};
    for (int p = 0; p < 7; ++p) ASSERT_EQ(out[p], expected[p]) << "trial " << trial << " point " << p;
  }
}

}  // namespace
}  // namespace tarvola
