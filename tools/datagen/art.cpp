// The picture generator's toolkit; see art.h. Float maths only ever reaches an integer
// through truncToInt32, so rounding is the same on every build.
#include "art.h"

#include <cmath>

#include "base/fixed_point.h"

namespace tarvola::datagen {

namespace {

int wrapIndex(int i, int n) {
  const int m = i % n;
  return m < 0 ? m + n : m;
}

int clampIndex(int i, int n) { return i < 0 ? 0 : (i >= n ? n - 1 : i); }

// One box-blur pass along a line of n samples read and written through a stride.
template <typename T>
void boxLine(T* data, int n, int stride, int radius, bool wrap, std::vector<T>& scratch) {
  scratch.resize(size_t(n));
  T sum{};
  const float norm = 1.0f / float(2 * radius + 1);
  auto sample = [&](int i) -> const T& {
    return data[size_t(wrap ? wrapIndex(i, n) : clampIndex(i, n)) * size_t(stride)];
  };
  for (int i = -radius; i <= radius; ++i) sum = sum + sample(i);
  for (int i = 0; i < n; ++i) {
    scratch[size_t(i)] = sum * norm;
    sum = sum + sample(i + radius + 1) - sample(i - radius);
  }
  for (int i = 0; i < n; ++i) data[size_t(i) * size_t(stride)] = scratch[size_t(i)];
}

template <typename T>
void blurField(std::vector<T>& data, int width, int height, int radius, int passes, bool wrap) {
  std::vector<T> scratch;
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < height; ++y) boxLine(&data[size_t(y) * size_t(width)], width, 1, radius, wrap, scratch);
    for (int x = 0; x < width; ++x) boxLine(&data[size_t(x)], height, width, radius, wrap, scratch);
  }
}

uint8_t toByte(float c) {
  const int32_t v = truncToInt32(double(clamp01(c)) * 255.0 + 0.5);
  return uint8_t(v);
}

// Fixed table of 256 unit gradients, indexed by a hash of the lattice point.
struct GradientTable {
  float gx[256], gy[256];
  GradientTable() {
    for (int i = 0; i < 256; ++i) {
      const double a = double(i) * (6.283185307179586 / 256.0);
      gx[i] = float(std::cos(a));
      gy[i] = float(std::sin(a));
    }
  }
};
const GradientTable kGradients;

float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

}  // namespace

float clamp01(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

float smoothstep(float edge0, float edge1, float x) {
  const float t = clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0f - 2.0f * t);
}

float Mask::wrapped(int x, int y) const { return at(wrapIndex(x, width), wrapIndex(y, height)); }
float Mask::clamped(int x, int y) const { return at(clampIndex(x, width), clampIndex(y, height)); }

uint32_t toPixel(Rgb c) {
  return 0xFF000000u | uint32_t(toByte(c.r)) << 16 | uint32_t(toByte(c.g)) << 8 | uint32_t(toByte(c.b));
}

std::vector<uint32_t> toPixels(const Image& image) {
  std::vector<uint32_t> out(image.px.size());
  for (size_t i = 0; i < out.size(); ++i) out[i] = toPixel(image.px[i]);
  return out;
}

uint32_t hash32(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

float hashUnit(uint32_t x) { return float(hash32(x) >> 8) * (1.0f / 16777216.0f); }

float tileNoise(float u, float v, int cells, uint32_t seed) {
  const float x = u * float(cells), y = v * float(cells);
  const float fx0 = std::floor(x), fy0 = std::floor(y);
  const int x0 = truncToInt32(fx0), y0 = truncToInt32(fy0);
  const float dx = x - fx0, dy = y - fy0;
  auto corner = [&](int ix, int iy, float ox, float oy) {
    const uint32_t h = hash32(uint32_t(wrapIndex(ix, cells)) * 0x9E3779B1u ^
                              hash32(uint32_t(wrapIndex(iy, cells)) + seed * 0x85EBCA77u));
    const int g = int(h & 255u);
    return kGradients.gx[g] * ox + kGradients.gy[g] * oy;
  };
  const float n00 = corner(x0, y0, dx, dy), n10 = corner(x0 + 1, y0, dx - 1, dy);
  const float n01 = corner(x0, y0 + 1, dx, dy - 1), n11 = corner(x0 + 1, y0 + 1, dx - 1, dy - 1);
  const float sx = fade(dx), sy = fade(dy);
  return mix(mix(n00, n10, sx), mix(n01, n11, sx), sy);
}

float tileFbm(float u, float v, int cells, int octaves, uint32_t seed) {
  float sum = 0.0f, weight = 1.0f;
  for (int i = 0; i < octaves; ++i) {
    sum += weight * tileNoise(u, v, cells, seed + uint32_t(i) * 101u);
    cells *= 2;
    weight *= 0.5f;
  }
  return sum;
}

void blur(Mask& mask, int radius, int passes, bool wrap) {
  blurField(mask.v, mask.width, mask.height, radius, passes, wrap);
}

void blur(Image& image, int radius, int passes, bool wrap) {
  blurField(image.px, image.width, image.height, radius, passes, wrap);
}

Rgb cosinePalette(float t, Rgb a, Rgb b, Rgb c, Rgb d) {
  return {a.r + b.r * std::cos(kTau * (c.r * t + d.r)), a.g + b.g * std::cos(kTau * (c.g * t + d.g)),
          a.b + b.b * std::cos(kTau * (c.b * t + d.b))};
}

float lightHeight(const Mask& height, int x, int y, float strength, bool wrap, float lightX, float lightY, float lightZ,
                  float shininess, float* specular) {
  auto h = [&](int px, int py) { return wrap ? height.wrapped(px, py) : height.clamped(px, py); };
  const float sx = (h(x + 1, y) - h(x - 1, y)) * 0.5f * strength;
  const float sy = (h(x, y + 1) - h(x, y - 1)) * 0.5f * strength;
  const float nl = 1.0f / std::sqrt(sx * sx + sy * sy + 1.0f);
  const float nx = -sx * nl, ny = -sy * nl, nz = nl;
  const float ll = 1.0f / std::sqrt(lightX * lightX + lightY * lightY + lightZ * lightZ);
  const float lx = lightX * ll, ly = lightY * ll, lz = lightZ * ll;
  const float lambert = nx * lx + ny * ly + nz * lz;
  if (specular) {
    float hx = lx, hy = ly, hz = lz + 1.0f;
    const float hl = 1.0f / std::sqrt(hx * hx + hy * hy + hz * hz);
    hx *= hl, hy *= hl, hz *= hl;
    const float nh = nx * hx + ny * hy + nz * hz;
    *specular = nh > 0.0f ? std::pow(nh, shininess) : 0.0f;
  }
  return lambert;
}

}  // namespace tarvola::datagen
