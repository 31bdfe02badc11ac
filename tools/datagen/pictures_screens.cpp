// The full-screen pictures: the loading title, the letterbox overlay, the logo tile of the
// opening, its pulsing vignette mask and the credits.
#include <cmath>

#include "base/fixed_point.h"
#include "datagen.h"
#include "pictures.h"
#include "text.h"

namespace tarvola::datagen {

namespace {

// Dark violet backdrop with a soft light behind the title, faint scan lines and star dust.
Image loadingPicture() {
  Image image(320, 240);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const float dx = (float(x) - 160.0f) / 160.0f, dy = (float(y) - 104.0f) / 110.0f;
      const float glow = std::exp(-(dx * dx * 1.6f + dy * dy * 3.0f));
      Rgb c = mix(rgb255(4, 3, 10), rgb255(34, 22, 70), glow);
      c = c * (y % 2 == 0 ? 1.0f : 0.86f);
      const uint32_t h = hash32(uint32_t(y * 320 + x) ^ 0x51u);
      if ((h & 1023u) == 0) c = c + Rgb{0.5f, 0.55f, 0.7f} * hashUnit(h);
      image.at(x, y) = c;
    }
  }
  Mask title(320, 240);
  drawTextCentred(title, FontFace::Bold, 66, "tarvola", 160.0f, 122.0f, 1.0f);
  addGlow(image, title, 10, rgb255(60, 40, 140), false);
  paintChromeLetters(image, title, 72.0f, 124.0f, false);
  // Thin rule under the title, bright in the middle.
  for (int x = 40; x < 280; ++x) {
    const float d = std::fabs(float(x) - 160.0f) / 120.0f;
    const Rgb rule = rgb255(120, 170, 255) * (1.0f - d * d);
    image.at(x, 140) = image.at(x, 140) + rule;
    image.at(x, 141) = image.at(x, 141) + rule * 0.35f;
  }
  Mask line(320, 240);
  drawTextCentred(line, FontFace::Regular, 10, "loading", 160.0f, 168.0f, 3.0f);
  paintLetters(image, line, rgb255(170, 180, 215));
  return image;
}

// The 16:9 letterbox multiplied onto every frame: exactly black bars, exactly white band.
Image letterbox() {
  Image image(320, 240);
  for (int y = 0; y < 240; ++y) {
    const Rgb c = (y < 30 || y >= 210) ? Rgb{0, 0, 0} : Rgb{1, 1, 1};
    for (int x = 0; x < 320; ++x) image.at(x, y) = c;
  }
  return image;
}

// The logo tile: a periodic plasma under a bevelled diamond lattice, with the name in
// chrome letters across the middle. Everything repeats every 256 texels in both directions.
Image logoTile() {
  const int n = 256;
  Mask lattice(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      // Diamond cells of 64 texels: distance to the nearest diagonal line; a pyramid rises
      // gently towards each cell's centre.
      const float a = float((x + y) % 64) - 32.0f, b = float(((x - y) % 64 + 64) % 64) - 32.0f;
      const float edge = std::fmin(32.0f - std::fabs(a), 32.0f - std::fabs(b));
      lattice.at(x, y) = smoothstep(0.0f, 4.0f, edge) * 0.8f + edge * 0.006f;
    }
  }
  Image image(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const float u = float(x) / n, v = float(y) / n;
      const float plasma = std::sin(kTau * (u * 2.0f + 0.25f * std::sin(kTau * v))) +
                           std::sin(kTau * (v * 3.0f + 0.3f * std::cos(kTau * u * 2.0f))) + std::sin(kTau * (u + v)) +
                           1.5f * tileFbm(u, v, 4, 3, 7u);
      Rgb base = cosinePalette(plasma * 0.18f, {0.45f, 0.25f, 0.5f}, {0.45f, 0.3f, 0.45f}, {1.0f, 1.0f, 1.0f},
                               {0.0f, 0.15f, 0.3f});
      float specular = 0.0f;
      const float lambert = lightHeight(lattice, x, y, 6.0f, true, -0.6f, -1.0f, 0.9f, 20.0f, &specular);
      base = base * (0.35f + 0.75f * clamp01(lambert)) + Rgb{1, 0.9f, 0.8f} * (0.5f * specular);
      // Deep grooves between the diamonds.
      base = base * (0.25f + 0.75f * lattice.at(x, y));
      image.at(x, y) = base;
    }
  }
  // The name, fitted to the tile's width with a margin.
  const float width = measureText(FontFace::Condensed, 100, "TARVOLA", 2.0f);
  const int size = truncToInt32(100.0 * 236.0 / double(width));
  Mask letters(n, n);
  drawTextCentred(letters, FontFace::Condensed, size, "TARVOLA", 128.0f, 128.0f + float(size) * 0.36f, 2.0f, true);
  Mask band(n, n);  // dark band behind the letters for contrast
  for (int y = 0; y < n; ++y) {
    const float d = std::fabs(float(y) - 128.0f);
    for (int x = 0; x < n; ++x) band.at(x, y) = 1.0f - smoothstep(float(size) * 0.5f, float(size) * 0.75f, d);
  }
  for (size_t i = 0; i < image.px.size(); ++i) image.px[i] = image.px[i] * (1.0f - 0.7f * band.v[i]);
  addGlow(image, letters, 6, rgb255(90, 40, 120), true);
  paintChromeLetters(image, letters, 128.0f - float(size) * 0.36f, 128.0f + float(size) * 0.36f, true);
  return image;
}

// The pulsing mask: black in the middle, rising smoothly to the edges, with soft rings.
Image vignette() {
  Image image(320, 240);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const float dx = (float(x) - 159.5f) / 160.0f, dy = (float(y) - 119.5f) / 120.0f;
      const float r = std::sqrt(dx * dx + dy * dy);
      const float fall = smoothstep(0.15f, 1.4f, r);
      const float rings = 0.5f - 0.5f * std::cos(r * 26.0f);
      const float value = fall * fall * 0.62f + fall * 0.16f * rings;
      image.at(x, y) = Rgb{value, value, value * 1.04f};
    }
  }
  return image;
}

// Credits: a dark picture with the lettering in its lower half, where the zoom blur sweeps,
// kept inside the letterbox's band (rows 30 to 209).
Image credits() {
  Image image(320, 240);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const float dx = (float(x) - 160.0f) / 200.0f, dy = (float(y) - 180.0f) / 90.0f;
      const float glow = std::exp(-(dx * dx + dy * dy) * 1.5f);
      Rgb c = mix(rgb255(3, 3, 8), rgb255(16, 22, 44), glow);
      image.at(x, y) = c * (y % 2 == 0 ? 1.0f : 0.85f);
    }
  }
  // A faint title watermark high up.
  Mask mark(320, 240);
  drawTextCentred(mark, FontFace::Bold, 44, "tarvola", 160.0f, 88.0f, 2.0f);
  Mask markEdge = mark;
  blur(markEdge, 1, 1, false);
  for (size_t i = 0; i < image.px.size(); ++i) {
    const float rim = clamp01(markEdge.v[i] * 2.0f) - mark.v[i] * 0.7f;
    image.px[i] = image.px[i] + rgb255(50, 70, 130) * clamp01(rim);
  }
  // Rule lines framing the credits.
  for (int x = 30; x < 290; ++x) {
    const float d = std::fabs(float(x) - 160.0f) / 130.0f;
    const Rgb rule = rgb255(80, 160, 255) * (1.0f - d * d) * 0.9f;
    image.at(x, 141) = image.at(x, 141) + rule;
    image.at(x, 206) = image.at(x, 206) + rule * 0.6f;
  }
  Mask heading(320, 240);
  drawTextCentred(heading, FontFace::Bold, 13, "a tarvola production", 160.0f, 157.0f, 1.0f);
  addGlow(image, heading, 3, rgb255(20, 80, 140), false);
  paintLetters(image, heading, rgb255(120, 210, 255));

  const char* roles[3][2] = {
      {"code", "software renderer in C++"}, {"graphics", "drawn by code"}, {"music", "impulse tracker module"}};
  Mask roleMask(320, 240), valueMask(320, 240);
  for (int i = 0; i < 3; ++i) {
    const float baseline = 174.0f + float(i) * 13.0f;
    const float roleWidth = measureText(FontFace::Bold, 11, roles[i][0]);
    drawText(roleMask, FontFace::Bold, 11, roles[i][0], 118.0f - roleWidth, baseline);
    drawText(valueMask, FontFace::Regular, 11, roles[i][1], 130.0f, baseline);
  }
  addGlow(image, roleMask, 3, rgb255(120, 60, 10), false);
  paintLetters(image, roleMask, rgb255(255, 180, 80));
  paintLetters(image, valueMask, rgb255(215, 220, 235));
  return image;
}

bool writeScreens(const std::filesystem::path& dataDir) {
  return savePicture(dataDir, "loading.tga", loadingPicture()) && savePicture(dataDir, "wscr.tga", letterbox()) &&
         savePicture(dataDir, "vok.tga", logoTile()) && savePicture(dataDir, "fade.tga", vignette()) &&
         savePicture(dataDir, "cred.tga", credits());
}

const bool registered = registerWriter({"pictures (screens)", &writeScreens});

}  // namespace

}  // namespace tarvola::datagen
