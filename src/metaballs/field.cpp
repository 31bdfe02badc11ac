// Field sources and their sum; see field.h. Each source works in float (the field is sampled
// 48 013 times a frame, each time through every source); the sum is rounded after each source.
#include "metaballs/field.h"

#include <cmath>
#include <utility>

namespace tarvola {

float InverseSquareSource::value(float x, float y, float z) const {
  const float dx = x - centre.x, dy = y - centre.y, dz = z - centre.z;
  return strength / (dx * dx + dy * dy + dz * dz);
}

float QuarticSource::value(float x, float y, float z) const {
  const float dx = x - centre.x, dy = y - centre.y, dz = z - centre.z;
  const float dx2 = dx * dx, dy2 = dy * dy, dz2 = dz * dz;
  return strength / (dx2 * dx2 + dy2 * dy2 + dz2 * dz2);
}

float RingSource::value(float x, float y, float z) const {
  const float dx = x - centre.x, dy = y - centre.y, dz = z - centre.z;
  const float radial = std::sqrt(dx * dx + dz * dz) - ringRadius;
  return strength / (radial * radial + dy * dy);
}

int32_t ImplicitField::addSource(std::unique_ptr<FieldSource> source) {
  sources.push_back(std::move(source));
  count = int32_t(sources.size());
  return count - 1;
}

int32_t ImplicitField::addInverseSquare(float radius) {
  auto source = std::make_unique<InverseSquareSource>();
  source->strength = radius * radius;
  return addSource(std::move(source));
}

int32_t ImplicitField::addQuartic(float radius) {
  auto source = std::make_unique<QuarticSource>();
  source->strength = radius * radius * radius * radius * radius;
  return addSource(std::move(source));
}

int32_t ImplicitField::addRing(float radius, float ringRadius) {
  auto source = std::make_unique<RingSource>();
  source->strength = float(double(radius * radius) * 0.1);
  source->ringRadius = ringRadius;
  return addSource(std::move(source));
}

void ImplicitField::setSourcePosition(int32_t index, float x, float y, float z) {
  if (index >= 0 && index < count) sources[size_t(index)]->setPosition(x, y, z);
}

float ImplicitField::value(float x, float y, float z) const {
  float sum = 0.0f;
  for (int32_t i = 0; i < count; ++i) sum += sources[size_t(i)]->value(x, y, z);
  return sum;
}

void ImplicitField::valueAndNeighbours(float x, float y, float z, float step, float out[7]) const {
  const float xs[7] = {x, x - step, x + step, x, x, x, x};
  const float ys[7] = {y, y, y, y - step, y + step, y, y};
  const float zs[7] = {z, z, z, z, z, z - step, z + step};
  float sums[7] = {0, 0, 0, 0, 0, 0, 0};
  for (int32_t i = 0; i < count; ++i) {
    const FieldSource& source = *sources[size_t(i)];
    for (int p = 0; p < 7; ++p) sums[p] += source.value(xs[p], ys[p], zs[p]);
  }
  for (int p = 0; p < 7; ++p) out[p] = sums[p];
}

}  // namespace tarvola
