// Block-interpolated ray grid; see ray_grid.h. Rays are solved in double between the
// single-precision roundings of direction, a, t1 and the distance term; blocks are pure
// 32-bit integer arithmetic.
#include "surface/ray_grid.h"
#include "surface/ray_grid_wide.h"

#include <cassert>
#include <cmath>

#include "base/fixed_point.h"
#include "surface/compositing.h"

namespace tarvola {

namespace {

constexpr double kTunnelRadiusSquared = 16384.0;    // radius 128
constexpr double kInversePi = 0.31831927423205475;  // 1 / 3.1415
constexpr GridNode kMissNode = {128.0f, 128.0f, 128.0f, 128.0f, 0};

// Two's-complement wrapping: huge node values only scramble texture coordinates, never
// overflow a signed integer.
inline int32_t wrapAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t wrapSub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
inline int32_t wrapShiftLeft16(int32_t a) { return int32_t(uint32_t(a) << 16); }

// 16.16 start of a node quantity, and its step over one of the 8 rows of a block.
// A value whose 16.16 form does not fit in 32 bits truncates to INT32_MIN.
inline int32_t fixedStart(float q) { return truncToInt32(double(q) * 65536.0); }
inline int32_t fixedEdgeStep(float top, float bottom) {
  return truncToInt32((double(bottom) - double(top)) * 65536.0) >> 3;  // difference exact in double
}

inline uint32_t topByte(uint32_t texel) { return texel >> 24; }

// The 8 rows of a block from the 16.16 edge starts and steps of u, v, envU, envV and shade.
// kPlainShade selects the byte-by-byte pixel rule for shades outside 0..255.
template <bool kPlainShade>
void fillRows(uint32_t* out, size_t stride, const uint32_t* tex, const uint32_t* env, int32_t (&left)[5],
              int32_t (&right)[5], const int32_t (&leftStep)[5], const int32_t (&rightStep)[5]) {
  for (int32_t j = 0; j < 8; ++j, out += stride) {
    int32_t u = left[0], v = left[1], eu = left[2], ev = left[3], shade = left[4];
    const int32_t du = wrapSub(right[0], left[0]) >> 3, dv = wrapSub(right[1], left[1]) >> 3;
    const int32_t deu = wrapSub(right[2], left[2]) >> 3, dev = wrapSub(right[3], left[3]) >> 3;
    const int32_t dshade = wrapSub(right[4], left[4]) >> 3;
    uint32_t texels[8], envTexels[8];
    int32_t shades[8];
    for (int32_t i = 0; i < 8; ++i) {
      const uint32_t k = uint32_t((v >> 16) & 255) << 8 | uint32_t((u >> 16) & 255);
      const uint32_t texel = tex[k];
      const int32_t h = int32_t(topByte(texel));
      const int32_t hRight = int32_t(topByte(tex[k + 1]));   // column 255: next row's column 0
      const int32_t hDown = int32_t(topByte(tex[k + 256]));  // row 255: the spare row
      const uint32_t e = uint32_t((hDown - h + (ev >> 16)) & 255) << 8 | uint32_t((hRight - h + (eu >> 16)) & 255);
      texels[i] = texel;
      envTexels[i] = env[e];
      shades[i] = shade >> 16;
      u = wrapAdd(u, du);
      v = wrapAdd(v, dv);
      eu = wrapAdd(eu, deu);
      ev = wrapAdd(ev, dev);
      shade = wrapAdd(shade, dshade);
    }
    if (kPlainShade) {
      for (int32_t i = 0; i < 8; ++i) out[i] = combineTexelsPlain(texels[i], envTexels[i], shades[i]);
    } else {
      combineTexelRow(texels, envTexels, shades, out);
    }
    for (int q = 0; q < 5; ++q) {
      left[q] = wrapAdd(left[q], leftStep[q]);
      right[q] = wrapAdd(right[q], rightStep[q]);
    }
  }
}

}  // namespace

void RayGrid::init(int32_t width, int32_t height) {
  columns = width / 8 + 1;
  rows = height / 8 + 1;
  const int32_t count = columns > 0 && rows > 0 ? columns * rows : 0;
  nodes.assign(size_t(count), GridNode{});
  scrollU = 0;
  scrollV = 0;
  setIdentity(rotation);
  blackTexture.width = 256;
  blackTexture.height = 256;
  blackTexture.pixels.assign(kTunnelTextureTexels, 0u);
}

void RayGrid::setCamera(Vec3 newPosition, Vec3 newAngles) {
  position = newPosition;
  angles = newAngles;
  setRotationDegrees(rotation, angles.x, angles.y, angles.z);
}

GridNode RayGrid::castRay(int32_t x, int32_t y) const {
  Vec3 turned;
  transformPoint(float(x - 160), float(y - 120), 256.0f, turned, rotation);
  const double inverseLength =
      1.0 / std::sqrt(double(turned.x) * turned.x + double(turned.y) * turned.y + double(turned.z) * turned.z);
  const double dx = float(turned.x * inverseLength);
  const double dy = float(turned.y * inverseLength);
  const double dz = float(turned.z * inverseLength);

  // |(px + t dx, py + t dy)|^2 = 128^2.
  const double px = position.x, py = position.y, pz = position.z;
  const double a = float(dx * dx + dy * dy);
  const double b = 2.0 * (px * dx + py * dy);
  const double disc = b * b - (px * px + py * py - kTunnelRadiusSquared) * a * 4.0;
  if (disc < 0.0 || a == 0.0) return kMissNode;
  const double s = std::sqrt(disc);
  const double t1 = float((s - b) / (2.0 * a));
  const double t2 = (-b - s) / (2.0 * a);
  const double t = t1 < t2 ? t1 : t2;  // inside the tunnel: negative, the wall behind the camera

  const double hx = px + t * dx, hy = py + t * dy, hz = pz + t * dz;
  GridNode node;
  node.u = float(truncToInt32(hz));
  node.v = float(truncToInt32(std::fabs(std::atan2(hy, hx) * 511.0 * kInversePi)));
  node.envU = float(double(node.u) * 0.5 - scrollU);
  node.envV = float(double(node.v) * 0.5 - scrollV);
  double distanceTerm = float(-(t * 0.25));
  if (distanceTerm < 0.0) distanceTerm = 0.0;
  if (distanceTerm > 255.0) distanceTerm = 255.0;
  node.shade = truncToInt32(255.0 - distanceTerm);
  return node;
}

void RayGrid::fillBlock(Surface& target, const Surface& texture, const Surface& environment, int32_t x0, int32_t y0,
                        const GridNode& topLeft, const GridNode& topRight, const GridNode& bottomLeft,
                        const GridNode& bottomRight) {
  assert(texture.pixels.size() >= kTunnelTextureTexels && environment.pixels.size() >= kEnvironmentTexels);
  assert(x0 >= 0 && y0 >= 0 && x0 + 8 <= target.width && y0 + 8 <= target.height);
  assert(target.pixels.size() >= size_t(y0 + 8) * size_t(target.width));

  // Quantities in the order u, v, envU, envV, shade.
  int32_t left[5] = {fixedStart(topLeft.u), fixedStart(topLeft.v), fixedStart(topLeft.envU), fixedStart(topLeft.envV),
                     wrapShiftLeft16(topLeft.shade)};
  int32_t right[5] = {fixedStart(topRight.u), fixedStart(topRight.v), fixedStart(topRight.envU),
                      fixedStart(topRight.envV), wrapShiftLeft16(topRight.shade)};
  const int32_t leftStep[5] = {fixedEdgeStep(topLeft.u, bottomLeft.u), fixedEdgeStep(topLeft.v, bottomLeft.v),
                               fixedEdgeStep(topLeft.envU, bottomLeft.envU),
                               fixedEdgeStep(topLeft.envV, bottomLeft.envV),
                               wrapShiftLeft16(wrapSub(bottomLeft.shade, topLeft.shade)) >> 3};
  const int32_t rightStep[5] = {fixedEdgeStep(topRight.u, bottomRight.u), fixedEdgeStep(topRight.v, bottomRight.v),
                                fixedEdgeStep(topRight.envU, bottomRight.envU),
                                fixedEdgeStep(topRight.envV, bottomRight.envV),
                                wrapShiftLeft16(wrapSub(bottomRight.shade, topRight.shade)) >> 3};

  // Corner shades of 0..255 keep every interpolated shade in 0..255 (the steps round down
  // towards the smaller end), which the lane arithmetic of combineTexels needs.
  const auto inRange = [](int32_t shade) { return shade >= 0 && shade <= 255; };
  uint32_t* out = &target.pixels[size_t(y0) * size_t(target.width) + size_t(x0)];
  if (inRange(topLeft.shade) && inRange(topRight.shade) && inRange(bottomLeft.shade) && inRange(bottomRight.shade)) {
    if (activeSimdPath() >= SimdPath::Avx2 &&
        fillBlockRowsAvx2(out, size_t(target.width), texture.pixels.data(), environment.pixels.data(), left, right,
                          leftStep, rightStep))
      return;
    if (activeSimdPath() == SimdPath::Simd128 &&
        fillBlockRowsSimd128(out, size_t(target.width), texture.pixels.data(), environment.pixels.data(), left, right,
                             leftStep, rightStep))
      return;
    fillRows<false>(out, size_t(target.width), texture.pixels.data(), environment.pixels.data(), left, right, leftStep,
                    rightStep);
  } else {
    fillRows<true>(out, size_t(target.width), texture.pixels.data(), environment.pixels.data(), left, right, leftStep,
                   rightStep);
  }
}

void RayGrid::render(Surface& target, const Surface& texture, const Surface& environment) {
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) nodes[size_t(r * columns + c)] = castRay(8 * c, 8 * r);
  }

  const Surface& tex = texture.pixels.size() >= kTunnelTextureTexels ? texture : blackTexture;
  const Surface& env = environment.pixels.size() >= kEnvironmentTexels ? environment : blackTexture;
  if (target.width <= 0 || target.height <= 0) return;
  // Only whole blocks inside the target's size and its buffer are written.
  const int32_t bufferRows = int32_t(target.pixels.size() / size_t(target.width));
  const int32_t usableHeight = target.height < bufferRows ? target.height : bufferRows;
  const int32_t blocksAcross = columns - 1 < target.width / 8 ? columns - 1 : target.width / 8;
  const int32_t blocksDown = rows - 1 < usableHeight / 8 ? rows - 1 : usableHeight / 8;
  for (int32_t m = 0; m < blocksDown; ++m) {
    const GridNode* top = &nodes[size_t(m * columns)];
    const GridNode* bottom = top + columns;
    for (int32_t i = 0; i < blocksAcross; ++i) {
      fillBlock(target, tex, env, 8 * i, 8 * m, top[i], top[i + 1], bottom[i], bottom[i + 1]);
    }
  }
}

}  // namespace tarvola
