// Field sources and their sum; see field.h. Each source works in float (the field is sampled
// 48 013 times a frame, each time through every source); the sum is rounded after each source.
#include "metaballs/field.h"
#include "metaballs/field_wide.h"

#include <cmath>
#include <utility>

#include "base/cpu_path.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

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

void ImplicitField::values(const float* x, const float* y, const float* z, int32_t n, float* out) const {
  for (int32_t i = 0; i < n; ++i) out[i] = 0.0f;
  for (int32_t s = 0; s < count; ++s) sources[size_t(s)]->addValues(x, y, z, n, out);
}

void FieldSource::addValues(const float* x, const float* y, const float* z, int32_t n, float* sums) const {
  for (int32_t i = 0; i < n; ++i) sums[i] += value(x[i], y[i], z[i]);
}

namespace {
bool wideFieldLoops() { return activeSimdPath() >= SimdPath::Avx2; }
}  // namespace

// The vector loops repeat value()'s operations in the same order on eight (AVX2) or four
// points at a time; IEEE single-precision add, multiply, divide and square root round alike
// in either form.
void InverseSquareSource::addValues(const float* x, const float* y, const float* z, int32_t n, float* sums) const {
  int32_t i = wideFieldLoops() ? addInverseSquareAvx2(x, y, z, n, sums, {centre.x, centre.y, centre.z}, strength) : 0;
#if defined(__SSE2__)
  const __m128 cx = _mm_set1_ps(centre.x), cy = _mm_set1_ps(centre.y), cz = _mm_set1_ps(centre.z);
  const __m128 k = _mm_set1_ps(strength);
  for (; i + 4 <= n; i += 4) {
    const __m128 dx = _mm_sub_ps(_mm_loadu_ps(x + i), cx), dy = _mm_sub_ps(_mm_loadu_ps(y + i), cy),
                 dz = _mm_sub_ps(_mm_loadu_ps(z + i), cz);
    const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
    _mm_storeu_ps(sums + i, _mm_add_ps(_mm_loadu_ps(sums + i), _mm_div_ps(k, d2)));
  }
#endif
  for (; i < n; ++i) sums[i] += InverseSquareSource::value(x[i], y[i], z[i]);
}

void QuarticSource::addValues(const float* x, const float* y, const float* z, int32_t n, float* sums) const {
  int32_t i = wideFieldLoops() ? addQuarticAvx2(x, y, z, n, sums, {centre.x, centre.y, centre.z}, strength) : 0;
#if defined(__SSE2__)
  const __m128 cx = _mm_set1_ps(centre.x), cy = _mm_set1_ps(centre.y), cz = _mm_set1_ps(centre.z);
  const __m128 k = _mm_set1_ps(strength);
  for (; i + 4 <= n; i += 4) {
    const __m128 dx = _mm_sub_ps(_mm_loadu_ps(x + i), cx), dy = _mm_sub_ps(_mm_loadu_ps(y + i), cy),
                 dz = _mm_sub_ps(_mm_loadu_ps(z + i), cz);
    const __m128 dx2 = _mm_mul_ps(dx, dx), dy2 = _mm_mul_ps(dy, dy), dz2 = _mm_mul_ps(dz, dz);
    const __m128 d4 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx2, dx2), _mm_mul_ps(dy2, dy2)), _mm_mul_ps(dz2, dz2));
    _mm_storeu_ps(sums + i, _mm_add_ps(_mm_loadu_ps(sums + i), _mm_div_ps(k, d4)));
  }
#endif
  for (; i < n; ++i) sums[i] += QuarticSource::value(x[i], y[i], z[i]);
}

void RingSource::addValues(const float* x, const float* y, const float* z, int32_t n, float* sums) const {
  int32_t i =
      wideFieldLoops() ? addRingAvx2(x, y, z, n, sums, {centre.x, centre.y, centre.z}, strength, ringRadius) : 0;
#if defined(__SSE2__)
  const __m128 cx = _mm_set1_ps(centre.x), cy = _mm_set1_ps(centre.y), cz = _mm_set1_ps(centre.z);
  const __m128 k = _mm_set1_ps(strength), r = _mm_set1_ps(ringRadius);
  for (; i + 4 <= n; i += 4) {
    const __m128 dx = _mm_sub_ps(_mm_loadu_ps(x + i), cx), dy = _mm_sub_ps(_mm_loadu_ps(y + i), cy),
                 dz = _mm_sub_ps(_mm_loadu_ps(z + i), cz);
    const __m128 radial = _mm_sub_ps(_mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dz, dz))), r);
    const __m128 d2 = _mm_add_ps(_mm_mul_ps(radial, radial), _mm_mul_ps(dy, dy));
    _mm_storeu_ps(sums + i, _mm_add_ps(_mm_loadu_ps(sums + i), _mm_div_ps(k, d2)));
  }
#endif
  for (; i < n; ++i) sums[i] += RingSource::value(x[i], y[i], z[i]);
}

}  // namespace tarvola
