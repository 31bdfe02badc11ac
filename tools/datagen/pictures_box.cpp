// The maps of the metaballs scene: the box's metal floor plates and their height map, the
// box's light map, and the chrome environment and highlight of the metaballs.
#include <cmath>

#include "datagen.h"
#include "pictures.h"

namespace tarvola::datagen {

namespace {

// One floor plate per tile: a bevelled border, a row of rivets along each edge and a raised
// diamond tread inside. Heights 0..1; neighbour differences stay small so the bump lookup
// shows relief rather than noise.
Mask plateHeight() {
  Mask height(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const float lx = float(x) + 0.5f, ly = float(y) + 0.5f;
      const float edge = std::fmin(std::fmin(lx, 256.0f - lx), std::fmin(ly, 256.0f - ly));
      float h = 0.15f + 0.45f * smoothstep(1.0f, 10.0f, edge);
      // Diamond tread: lozenges on a 16-texel lattice, alternating direction per cell, kept
      // clear of the rivet border.
      const int cellX = x / 16, cellY = y / 16;
      const float cx = lx - float(cellX * 16) - 8.0f, cy = ly - float(cellY * 16) - 8.0f;
      const bool flip = ((cellX + cellY) & 1) != 0;
      const float a = (cx + (flip ? -cy : cy)) * 0.7071f, b = (cx - (flip ? -cy : cy)) * 0.7071f;
      const float lozenge = std::fabs(a) / 6.5f + std::fabs(b) / 1.9f;
      const float tread = smoothstep(1.0f, 0.55f, lozenge) * smoothstep(26.0f, 30.0f, edge);
      h += 0.1f * tread;
      // A sunken groove framing the tread.
      h -= 0.08f * std::exp(-(edge - 23.0f) * (edge - 23.0f) / 3.0f);
      // Rivets every 32 texels along the border, 12 texels in from the edge.
      const float along = std::fabs(edge - lx) < 0.01f || std::fabs(edge - (256.0f - lx)) < 0.01f ? ly : lx;
      const float ax = std::fmod(along + 16.0f, 32.0f) - 16.0f, ay = edge - 12.0f;
      const float rd = std::sqrt(ax * ax + ay * ay);
      if (rd < 6.0f) {
        const float dome = std::cos(rd / 6.0f * 1.5707963f);
        h += 0.28f * dome * dome;
      }
      height.at(x, y) = h;
    }
  }
  blur(height, 1, 1, true);
  return height;
}

Image plateHeightPicture(const Mask& height) {
  Image image(256, 256);
  for (size_t i = 0; i < image.px.size(); ++i) image.px[i] = Rgb{height.v[i], height.v[i], height.v[i]};
  return image;
}

// Brushed steel plates, fairly bright because the light map multiplies them.
Image plateTexture(const Mask& height) {
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const float u = float(x) / 256.0f, v = float(y) / 256.0f;
      float specular = 0.0f;
      const float lambert = lightHeight(height, x, y, 12.0f, true, -0.5f, -1.0f, 0.9f, 30.0f, &specular);
      const float brushed = 0.92f + 0.1f * tileFbm(u * 0.25f, v * 16.0f, 4, 2, 41u);
      const float grime = smoothstep(-0.1f, 0.5f, tileFbm(u, v, 6, 4, 47u));
      Rgb metal = rgb255(202, 210, 224) * brushed;
      metal = mix(metal, rgb255(150, 132, 110), grime * 0.3f);
      Rgb c = metal * (0.6f + 0.5f * clamp01(lambert)) + Rgb{1, 1, 1} * (0.35f * specular);
      c = c * (0.4f + 0.6f * smoothstep(0.15f, 0.45f, height.at(x, y)));  // dark seams
      image.at(x, y) = c;
    }
  }
  return image;
}

// Radius from the map's centre in units of the lookup's reach (127 texels).
float centreRadius(int x, int y) {
  const float dx = (float(x) - 128.0f) / 127.0f, dy = (float(y) - 128.0f) / 127.0f;
  return std::sqrt(dx * dx + dy * dy);
}

// The box's light map: bright and slightly warm where the wall faces the camera (the
// centre), falling smoothly toward the rim.
Image boxLightMap() {
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const float r = centreRadius(x, y);
      const float fall = std::exp(-r * r * 1.3f);
      const float core = std::exp(-r * r * 12.0f);
      // Warm where the wall faces the eye, cooling to a dim blue toward the rim.
      const Rgb tint = mix(rgb255(70, 90, 150), rgb255(255, 238, 210), smoothstep(0.0f, 1.0f, fall));
      image.at(x, y) = tint * (0.3f + 0.7f * fall) + rgb255(40, 30, 10) * core;
    }
  }
  return image;
}

// Chrome environment as a sphere map seen along the view axis: a sky with clouds above a dark
// horizon, a warm ground with receding lines below. Colour bytes at most 160.
Image chromeEnvironment() {
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      float nx = (float(x) - 128.0f) / 127.0f, ny = (float(y) - 128.0f) / 127.0f;
      const float r2 = nx * nx + ny * ny;
      if (r2 > 0.999f) {
        const float k = std::sqrt(0.999f / r2);
        nx *= k, ny *= k;
      }
      const float nz = -std::sqrt(std::fmax(0.0f, 1.0f - nx * nx - ny * ny));
      // Reflection of the view ray (0, 0, 1): y down, so ry > 0 looks at the ground.
      const float rx = -2.0f * nz * nx, ry = -2.0f * nz * ny, rz = 1.0f - 2.0f * nz * nz;
      Rgb c;
      if (ry < 0.0f) {
        const float up = -ry;
        c = mix(rgb255(200, 225, 255), rgb255(30, 60, 150), smoothstep(0.0f, 0.9f, up));
        const float azimuth = std::atan2(rx, rz) / kTau + 0.5f;
        const float cloud = smoothstep(0.0f, 0.45f, tileFbm(azimuth, up * 0.5f, 6, 4, 53u) + 0.1f);
        c = mix(c, rgb255(250, 250, 255), cloud * 0.6f * (1.0f - up));
      } else {
        const float down = ry;
        c = mix(rgb255(60, 36, 28), rgb255(150, 100, 60), smoothstep(0.0f, 0.5f, down));
        c = mix(c, rgb255(50, 40, 36), smoothstep(0.5f, 1.0f, down));
        // Floor lines receding to the horizon.
        const float depth = 1.0f / (down + 0.05f);
        const float line = std::fabs(std::fmod(depth * 0.6f, 1.0f) - 0.5f);
        c = c * (0.8f + 0.2f * smoothstep(0.05f, 0.2f, line));
        c = mix(rgb255(10, 8, 14), c, smoothstep(0.0f, 0.06f, down));  // dark horizon band
      }
      image.at(x, y) = c * (160.0f / 255.0f);
    }
  }
  return image;
}

// The metaballs' highlight: black with a bright soft spot around the centre.
Image highlightMap() {
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const float r = centreRadius(x, y);
      const float spot = std::exp(-r * r * 9.0f), halo = std::exp(-r * r * 2.5f);
      image.at(x, y) = rgb255(255, 250, 240) * spot + rgb255(40, 60, 110) * halo;
    }
  }
  return image;
}

bool writeBoxMaps(const std::filesystem::path& dataDir) {
  const Mask height = plateHeight();
  return savePicture(dataDir, "plat32.tga", plateTexture(height)) &&
         savePicture(dataDir, "plat_b2.tga", plateHeightPicture(height)) &&
         savePicture(dataDir, "s02_lightmap6.tga", boxLightMap()) &&
         savePicture(dataDir, "s02_tex7.tga", chromeEnvironment()) &&
         savePicture(dataDir, "s02_lightmap2.tga", highlightMap());
}

const bool registered = registerWriter({"pictures (metaballs)", &writeBoxMaps});

}  // namespace

}  // namespace tarvola::datagen
