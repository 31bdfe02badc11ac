// Field sources and their sum: worked values of each kind, add indices and position guards,
// the float rounding of the running sum in adding order, and the batch path against the
// one-point-at-a-time sum.
#include "metaballs/field.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "surface/compositing.h"

namespace tarvola {
namespace {

TEST(ImplicitField, WorkedValuesOfEachKind) {
  const float inf = std::numeric_limits<float>::infinity();
  ImplicitField empty, blob, quartic, ring;
  EXPECT_EQ(empty.value(-90, 12.5f, 1e6f), 0.0f);
  EXPECT_EQ(blob.addInverseSquare(10), 0);
  quartic.addQuartic(12);
  ring.addRing(16, 30);
  const struct {
    const ImplicitField& field;
    float x, y, z, value;
  } cases[] = {
      {blob, 10, 0, 0, 1.0f},     {blob, 0, 5, 0, 4.0f},
      {blob, 0, 0, -20, 0.25f},   {blob, 0, 0, 0, inf},             // no guard
      {quartic, 12, 0, 0, 12.0f}, {quartic, 6, 6, 6, 64.0f},        // 248832 / 20736, 248832 / 3888
      {ring, 30, 0, 0, inf},      {ring, 0, 0, -30, inf},           // on the ring
      {ring, 30, 4, 0, 1.6f},     {ring, 0, 0, 0, 25.6f / 900.0f},  // 25.6 / 16
  };
  for (const auto& c : cases) EXPECT_FLOAT_EQ(c.field.value(c.x, c.y, c.z), c.value) << c.x << " " << c.y << " " << c.z;
  // Moving a source moves its values (the ring lies in the plane y = centre.y); adds return
  // their index, and other indices move nothing.
  ring.setSourcePosition(0, -10, -10, 10);
  EXPECT_EQ(ring.addQuartic(12), 1);
  ring.setSourcePosition(2, 50, 50, 50);
  ring.setSourcePosition(-1, 50, 50, 50);
  EXPECT_EQ(ring.value(20, -6, 10), 1.6f + quartic.value(20, -6, 10));
}

TEST(ImplicitField, RunningSumIsRoundedToFloatInAddingOrder) {
  // At (1, 0, 0) quartics of radius 32 and -32 give 2^25 and -2^25, an inverse square of radius
  // 1 gives 1. In float, 2^25 + 1 rounds back to 2^25.
  ImplicitField bigFirst, cancelFirst;
  bigFirst.addQuartic(32);
  bigFirst.addInverseSquare(1);
  bigFirst.addQuartic(-32);
  EXPECT_EQ(bigFirst.value(1, 0, 0), 0.0f);
  cancelFirst.addQuartic(32);
  cancelFirst.addQuartic(-32);
  cancelFirst.addInverseSquare(1);
  EXPECT_EQ(cancelFirst.value(1, 0, 0), 1.0f);
}

// A source of another kind, summed through the default one-point-at-a-time addValues.
struct OffsetSource : FieldSource {
  float value(float x, float y, float z) const override { return x * 0.5f - y + z * z * 0.001f; }
  void setPosition(float, float, float) override {}
};

TEST(ImplicitField, BatchValuesEqualSeparateValues) {
  ImplicitField field;
  field.addInverseSquare(10);
  field.addRing(16, 30);
  field.addQuartic(12);
  field.addQuartic(-7);  // a negative strength, so the running sums cancel now and then
  field.addSource(std::make_unique<OffsetSource>());
  uint32_t seed = 12345;
  auto draw = [&seed](float range) {
    seed = seed * 1664525u + 1013904223u;
    return (float(seed >> 8) / 16777216.0f - 0.5f) * 2.0f * range;
  };
  for (int32_t i = 0; i < 4; ++i) field.setSourcePosition(i, draw(45), draw(45), draw(45));
  float x[133], y[133], z[133], out[133];
  for (int trial = 0; trial < 400 * int(availableSimdPaths().size()); ++trial) {
    const SimdPath path = availableSimdPaths()[size_t(trial / 400)];  // every vector path this processor runs
    const ScopedSimdPath onPath(path);
    ASSERT_TRUE(onPath.active());
    const int32_t n = 1 + trial % 133;  // every remainder of the four-point loops
    for (int32_t i = 0; i < n; ++i) x[i] = draw(90), y[i] = draw(90), z[i] = draw(90);
    if (trial == 0) {  // on the ring: an infinite contribution goes through the same way
      const auto& ring = static_cast<const RingSource&>(*field.sources[1]);
      x[0] = ring.centre.x + ring.ringRadius;
      y[0] = ring.centre.y;
      z[0] = ring.centre.z;
    }
    field.values(x, y, z, n, out);
    for (int32_t i = 0; i < n; ++i)
      ASSERT_EQ(out[i], field.value(x[i], y[i], z[i])) << "path " << int(path) << " trial " << trial << " point " << i;
  }
}

}  // namespace
}  // namespace tarvola
