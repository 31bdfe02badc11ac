// The picture generator's toolkit: a float RGB image, scalar masks, periodic gradient noise,
// blurs, palettes and the conversion to packed 0xAARRGGBB pixels. Everything is deterministic:
// fixed seeds and integer hashing, no clocks, no global random state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvola::datagen {

inline constexpr float kTau = 6.2831853f;

struct Rgb {
  float r = 0, g = 0, b = 0;
};
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }

float clamp01(float x);
float smoothstep(float edge0, float edge1, float x);
inline float mix(float a, float b, float t) { return a + (b - a) * t; }
inline Rgb mix(Rgb a, Rgb b, float t) { return a + (b - a) * t; }
// Colour from 0..255 byte values.
inline Rgb rgb255(float r, float g, float b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

// A scalar field (coverage, height) of floats, row-major, row 0 on top.
struct Mask {
  int width = 0, height = 0;
  std::vector<float> v;
  Mask(int w, int h) : width(w), height(h), v(size_t(w) * size_t(h), 0.0f) {}
  float& at(int x, int y) { return v[size_t(y) * size_t(width) + size_t(x)]; }
  float at(int x, int y) const { return v[size_t(y) * size_t(width) + size_t(x)]; }
  // Reads with wrap-around (for tiles) or with clamping to the border.
  float wrapped(int x, int y) const;
  float clamped(int x, int y) const;
};

// A float RGB picture; channels in 0..1 (values outside are clamped on output).
struct Image {
  int width = 0, height = 0;
  std::vector<Rgb> px;
  Image(int w, int h) : width(w), height(h), px(size_t(w) * size_t(h)) {}
  Rgb& at(int x, int y) { return px[size_t(y) * size_t(width) + size_t(x)]; }
  const Rgb& at(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
};

// 0xFF000000 | rounded, clamped channels; the top byte of every picture pixel is 255.
uint32_t toPixel(Rgb c);
std::vector<uint32_t> toPixels(const Image& image);

// Integer hash (a 32-bit finaliser) and a uniform float in [0, 1) from it.
uint32_t hash32(uint32_t x);
float hashUnit(uint32_t x);

// Gradient noise of period `cells` lattice cells over the unit square: u, v in tile units
// (0..1 is one tile), so the field repeats exactly at every integer. Range about -0.7..0.7.
float tileNoise(float u, float v, int cells, uint32_t seed);
// Sum of `octaves` tileNoise layers, each doubling the cell count and halving the weight.
float tileFbm(float u, float v, int cells, int octaves, uint32_t seed);

// Repeated box blur (three passes approximate a Gaussian); wrap = true for seamless tiles.
void blur(Mask& mask, int radius, int passes, bool wrap);
void blur(Image& image, int radius, int passes, bool wrap);

// Cosine palette a + b * cos(tau * (c * t + d)), per channel.
Rgb cosinePalette(float t, Rgb a, Rgb b, Rgb c, Rgb d);

// Lighting of a height field: unit normal from central differences (strength scales the
// slope), dotted with a light direction; wrap for tiles. Returns the Lambert term and writes
// a specular term (Blinn, view along -z) with the given exponent.
float lightHeight(const Mask& height, int x, int y, float strength, bool wrap, float lightX, float lightY, float lightZ,
                  float shininess, float* specular);

}  // namespace tarvola::datagen
