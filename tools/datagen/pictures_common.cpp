// Saving pictures and the lettering styles shared by the title, logo and credits pictures.
#include <cmath>

#include "pictures.h"
#include "tga_file.h"

namespace tarvola::datagen {

bool savePicture(const std::filesystem::path& dataDir, const char* file, const Image& image) {
  return writeTga(dataDir / file, image.width, image.height, toPixels(image));
}

void paintChromeLetters(Image& image, const Mask& coverage, float top, float bottom, bool wrap) {
  Mask height = coverage;
  blur(height, 1, 2, wrap);
  Mask outline = coverage;
  blur(outline, 2, 2, wrap);
  Mask shadow = coverage;
  blur(shadow, 3, 3, wrap);
  const Rgb skyTop = rgb255(250, 252, 255), skyLow = rgb255(70, 120, 220);
  const Rgb horizon = rgb255(20, 12, 40), groundHigh = rgb255(200, 90, 50), groundLow = rgb255(255, 225, 160);
  for (int y = 0; y < image.height; ++y) {
    const float t = clamp01((float(y) - top) / (bottom - top));
    Rgb fill;
    if (t < 0.52f) {
      fill = mix(skyTop, skyLow, smoothstep(0.0f, 0.52f, t));
    } else if (t < 0.58f) {
      fill = mix(horizon, groundHigh, smoothstep(0.52f, 0.58f, t) * 0.3f);
    } else {
      fill = mix(groundHigh, groundLow, smoothstep(0.58f, 1.0f, t));
    }
    for (int x = 0; x < image.width; ++x) {
      Rgb& p = image.at(x, y);
      // Shadow falls down and to the right.
      const int sx = x - 3, sy = y - 4;
      const float s = wrap ? shadow.wrapped(sx, sy) : shadow.clamped(sx, sy);
      p = p * (1.0f - 0.75f * clamp01(s * 1.5f));
      const float ring = clamp01(outline.at(x, y) * 3.0f);
      p = mix(p, rgb255(8, 6, 16), ring);
      const float c = coverage.at(x, y);
      if (c > 0.0f) {
        float specular = 0.0f;
        const float lambert = lightHeight(height, x, y, 5.0f, wrap, -0.6f, -1.0f, 0.9f, 24.0f, &specular);
        Rgb chrome = fill * (0.45f + 0.7f * clamp01(lambert)) + Rgb{1, 1, 1} * (0.8f * specular);
        p = mix(p, chrome, c);
      }
    }
  }
}

void addGlow(Image& image, const Mask& coverage, int radius, Rgb colour, bool wrap) {
  Mask glow = coverage;
  blur(glow, radius, 3, wrap);
  for (size_t i = 0; i < image.px.size(); ++i) image.px[i] = image.px[i] + colour * glow.v[i];
}

void paintLetters(Image& image, const Mask& coverage, Rgb colour) {
  for (size_t i = 0; i < image.px.size(); ++i) image.px[i] = mix(image.px[i], colour, coverage.v[i]);
}

}  // namespace tarvola::datagen
