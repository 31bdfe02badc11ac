// The scalar field of the metaballs: a sum of sources, each falling off with the distance from
// its own centre (a spherical blob, a rounded-cube blob, a ring), dispatched through virtual
// calls (one point, or a batch of points) so the polygonizer samples any mix of kinds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/math3d.h"

namespace tarvola {

// One source of the field. value() is single-precision arithmetic on the differences from the
// centre; at the centre itself the division by zero gives +inf, which nothing guards against.
struct FieldSource {
  virtual float value(float x, float y, float z) const = 0;
  virtual void setPosition(float x, float y, float z) = 0;
  // sums[i] += value(x[i], y[i], z[i]) for i < n, each sum rounded to float: bit for bit what
  // n separate calls give. The kinds below do eight points at a time on AVX2, four on SSE2.
  virtual void addValues(const float* x, const float* y, const float* z, int32_t n, float* sums) const;
  virtual ~FieldSource() = default;
};

// strength / (dx^2 + dy^2 + dz^2): iso-surfaces are spheres of radius sqrt(strength / level).
struct InverseSquareSource : FieldSource {
  float strength = 0;
  Vec3 centre;

  float value(float x, float y, float z) const override;
  void setPosition(float x, float y, float z) override { centre = Vec3{x, y, z}; }
  void addValues(const float* x, const float* y, const float* z, int32_t n, float* sums) const override;
};

// strength / (dx^4 + dy^4 + dz^4): iso-surfaces are rounded cubes aligned with the axes.
struct QuarticSource : InverseSquareSource {
  float value(float x, float y, float z) const override;
  void addValues(const float* x, const float* y, const float* z, int32_t n, float* sums) const override;
};

// strength / ((sqrt(dx^2 + dz^2) - ringRadius)^2 + dy^2): the inverse-square distance to a
// circle in the plane y = centre.y; iso-surfaces are tori about the y axis.
struct RingSource : FieldSource {
  float strength = 0;
  float ringRadius = 0;
  Vec3 centre;

  float value(float x, float y, float z) const override;
  void setPosition(float x, float y, float z) override { centre = Vec3{x, y, z}; }
  void addValues(const float* x, const float* y, const float* z, int32_t n, float* sums) const override;
};

struct ImplicitField {
  int32_t count = 0;
  std::vector<std::unique_ptr<FieldSource>> sources;  // in the order of adding

  // Each add returns the new source's index (0 for the first). Sources start at the origin.
  int32_t addInverseSquare(float radius);           // strength r*r
  int32_t addQuartic(float radius);                 // strength r^5
  int32_t addRing(float radius, float ringRadius);  // strength r*r*0.1
  int32_t addSource(std::unique_ptr<FieldSource> source);

  // Moves source index; an index outside 0..count-1 does nothing.
  void setSourcePosition(int32_t index, float x, float y, float z);

  // Sum of every source's value in adding order, the running sum rounded to float after each
  // addition. No threshold and no early exit; an empty field is 0 everywhere.
  float value(float x, float y, float z) const;

  // out[i] = value(x[i], y[i], z[i]) for i < n, bit for bit, each source visited once for all
  // the points: the polygonizer samples a row of corners and their gradient neighbours at once.
  void values(const float* x, const float* y, const float* z, int32_t n, float* out) const;
};

}  // namespace tarvola
