// The maps of the polar interference and of the ray-grid tunnel: the interference palette
// texture, the tunnel's panel texture and its height map, the environment map and the two
// plasma pictures that are multiplied over the tunnel.
#include <cmath>

#include "datagen.h"
#include "pictures.h"

namespace tarvola::datagen {

namespace {

// Smooth, seamless colour bands; colour bytes stay mostly at or below 128 because two
// lookups are added with saturation.
Image interferenceTexture() {
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const float u = float(x) / 256.0f, v = float(y) / 256.0f;
      const float w = std::sin(kTau * (u * 2.0f + 0.35f * std::sin(kTau * v))) +
                      std::sin(kTau * (v * 2.0f + 0.3f * std::sin(kTau * (u * 2.0f + v)))) +
                      0.8f * tileFbm(u, v, 3, 2, 11u);
      const float t = w * 0.2f + u + v;  // whole palette turns per tile: seamless
      const Rgb c =
          cosinePalette(t, {0.5f, 0.45f, 0.55f}, {0.5f, 0.45f, 0.45f}, {1.0f, 1.0f, 1.0f}, {0.0f, 0.12f, 0.25f});
      const float bands = 0.75f + 0.25f * std::cos(kTau * (w * 1.5f));
      image.at(x, y) = c * (0.52f * bands);
    }
  }
  return image;
}

// The tunnel's panel layout: rectangles covering the 256 x 256 tile exactly, split on a
// 16-texel grid by a seeded binary partition, so seams fall on the tile's edges too.
struct Panel {
  int x0, y0, x1, y1;
  int kind;  // 0 plain, 1 vent slots, 2 recessed, 3 hazard stripes, 4 round port, 5 ribbed
  float tint;
};

void splitPanels(std::vector<Panel>& out, int x0, int y0, int x1, int y1, uint32_t seed, int depth) {
  const int w = x1 - x0, h = y1 - y0;
  const uint32_t r = hash32(seed);
  const bool canSplitX = w >= 64, canSplitY = h >= 64;
  const bool stop = depth >= 2 && w <= 128 && h <= 128 && (r & 7u) < 3u;
  if ((!canSplitX && !canSplitY) || stop) {
    const uint32_t k = hash32(seed ^ 0xABCDu);
    constexpr int kKinds[8] = {0, 5, 1, 1, 2, 2, 3, 4};
    int kind = kKinds[k % 8u];
    if (kind == 4 && (w < 48 || h < 48 || w > 112 || h > 112)) kind = 5;
    if (kind == 3 && w * h > 64 * 64) kind = 0;
    out.push_back({x0, y0, x1, y1, kind, hashUnit(k >> 3)});
    return;
  }
  const bool alongX = canSplitX && (!canSplitY || w > h || (w == h && (r & 8u)));
  const int span = alongX ? w : h;
  const int cells = span / 16;
  const int cut = 16 * (2 + int((r >> 4) % uint32_t(cells - 3)));
  if (alongX) {
    splitPanels(out, x0, y0, x0 + cut, y1, seed * 3u + 1u, depth + 1);
    splitPanels(out, x0 + cut, y0, x1, y1, seed * 5u + 7u, depth + 1);
  } else {
    splitPanels(out, x0, y0, x1, y0 + cut, seed * 3u + 1u, depth + 1);
    splitPanels(out, x0, y0 + cut, x1, y1, seed * 5u + 7u, depth + 1);
  }
}

struct PanelMaps {
  Mask height{256, 256};                                      // 0..1
  std::vector<int> panelId = std::vector<int>(256 * 256, 0);  // index into panels
  Mask detail{256, 256};                                      // 1 inside vent slots / port glass, for colouring
  std::vector<Panel> panels;
};

PanelMaps tunnelPanels() {
  PanelMaps maps;
  splitPanels(maps.panels, 0, 0, 256, 256, 1234u, 0);
  for (size_t index = 0; index < maps.panels.size(); ++index) {
    const Panel& p = maps.panels[index];
    for (int y = p.y0; y < p.y1; ++y) {
      for (int x = p.x0; x < p.x1; ++x) {
        const float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
        const float edge =
            std::fmin(std::fmin(fx - float(p.x0), float(p.x1) - fx), std::fmin(fy - float(p.y0), float(p.y1) - fy));
        float h = 0.2f + 0.4f * smoothstep(0.5f, 7.5f, edge);
        float detail = 0.0f;
        const float cx = (float(p.x0) + float(p.x1)) * 0.5f, cy = (float(p.y0) + float(p.y1)) * 0.5f;
        const float w = float(p.x1 - p.x0), hgt = float(p.y1 - p.y0);
        if (p.kind == 1) {  // slots across the long side
          const bool across = w >= hgt;
          const float along = across ? fx - cx : fy - cy, side = across ? fy - cy : fx - cx;
          const float sideHalf = (across ? hgt : w) * 0.5f - 10.0f;
          const float alongHalf = (across ? w : hgt) * 0.5f - 10.0f;
          const float phase = std::fmod(along + 1000.0f, 8.0f) - 4.0f;
          const float inSlot = smoothstep(3.2f, 1.0f, std::fabs(phase)) *
                               smoothstep(0.0f, 3.0f, sideHalf - std::fabs(side)) *
                               smoothstep(0.0f, 3.0f, alongHalf - std::fabs(along));
          h -= 0.2f * inSlot;
          detail = inSlot;
        } else if (p.kind == 2) {  // recessed centre
          const float inner = edge - 9.0f;
          h -= 0.18f * smoothstep(-1.5f, 2.5f, inner);
        } else if (p.kind == 4) {  // round port with a raised ring
          const float r = std::sqrt((fx - cx) * (fx - cx) + (fy - cy) * (fy - cy));
          const float radius = std::fmin(w, hgt) * 0.5f - 9.0f;
          const float ring = std::exp(-(r - radius) * (r - radius) / 6.0f);
          h += 0.12f * ring - 0.2f * smoothstep(radius - 1.0f, radius - 6.0f, r);
          detail = smoothstep(radius - 3.0f, radius - 6.0f, r);
        } else if (p.kind == 5) {  // raised ribs along the long side, inside a margin
          const bool across = w < hgt;
          const float pos = across ? fx - float(p.x0) : fy - float(p.y0);
          const float rib = 0.5f + 0.5f * std::cos(pos * (kTau / 6.0f));
          h += 0.07f * rib * smoothstep(8.0f, 11.0f, edge);
        }
        // Rivets near the corners.
        const float insetX = std::fmin(fx - float(p.x0), float(p.x1) - fx),
                    insetY = std::fmin(fy - float(p.y0), float(p.y1) - fy);
        const float rd = std::sqrt((insetX - 7.0f) * (insetX - 7.0f) + (insetY - 7.0f) * (insetY - 7.0f));
        if (rd < 4.5f) {
          const float dome = std::cos(rd / 4.5f * 1.5707963f);
          h += 0.18f * dome * dome;
        }
        maps.height.at(x, y) = h;
        maps.panelId[size_t(y) * 256 + size_t(x)] = int(index);
        maps.detail.at(x, y) = detail;
      }
    }
  }
  blur(maps.height, 1, 1, true);  // soften the last hard steps
  return maps;
}

// Its red channel is the height; grey so it reads as a height map.
Image tunnelHeight(const PanelMaps& maps) {
  Image image(256, 256);
  for (size_t i = 0; i < image.px.size(); ++i) {
    const float h = maps.height.v[i];
    image.px[i] = Rgb{h, h, h};
  }
  return image;
}

// Blue-grey tech panels of moderate brightness (the environment map is added on top).
Image tunnelTexture(const PanelMaps& maps) {
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const Panel& p = maps.panels[size_t(maps.panelId[size_t(y) * 256 + size_t(x)])];
      const float u = float(x) / 256.0f, v = float(y) / 256.0f;
      float specular = 0.0f;
      const float lambert = lightHeight(maps.height, x, y, 14.0f, true, -0.5f, -1.0f, 0.8f, 16.0f, &specular);
      Rgb metal = mix(rgb255(70, 82, 104), rgb255(104, 100, 96), p.tint);
      const float grain = 0.9f + 0.12f * tileFbm(u * 8.0f, v, 8, 2, 21u) + 0.08f * tileFbm(u, v, 16, 3, 22u);
      metal = metal * grain;
      if (p.kind == 3) {  // hazard stripes
        const bool stripe = ((x + y) / 8) % 2 == 0;
        metal = stripe ? rgb255(150, 120, 30) : rgb255(30, 28, 26);
      }
      Rgb c = metal * (0.45f + 0.75f * clamp01(lambert)) + rgb255(160, 190, 230) * (0.35f * specular);
      const float d = maps.detail.at(x, y);
      if (p.kind == 4) {  // port glass with a diagonal sheen
        const float sheen = float(x - p.x0 + y - p.y0) / float(p.x1 - p.x0 + p.y1 - p.y0);
        const Rgb glass = mix(rgb255(70, 170, 200), rgb255(6, 24, 44), smoothstep(0.2f, 0.6f, sheen)) +
                          rgb255(120, 160, 180) * std::exp(-(sheen - 0.3f) * (sheen - 0.3f) * 300.0f);
        c = mix(c, glass, d);
      }
      if (p.kind == 1) c = mix(c, rgb255(8, 10, 14), d * 0.8f);
      // Dark seams.
      c = c * (0.35f + 0.65f * smoothstep(0.2f, 0.45f, maps.height.at(x, y)));
      image.at(x, y) = c;
    }
  }
  return image;
}

// Soft light blobs on a dark base, wrapped so the map repeats seamlessly.
Image environmentMap() {
  Image image(256, 256);
  struct Blob {
    float x, y, radius;
    Rgb colour;
  };
  std::vector<Blob> blobs;
  const Rgb colours[4] = {rgb255(90, 170, 255), rgb255(255, 255, 255), rgb255(180, 90, 255), rgb255(255, 170, 90)};
  for (uint32_t i = 0; i < 14; ++i) {
    blobs.push_back({hashUnit(i * 4u + 1u) * 256.0f, hashUnit(i * 4u + 2u) * 256.0f,
                     12.0f + 26.0f * hashUnit(i * 4u + 3u), colours[i % 4] * (0.35f + 0.4f * hashUnit(i * 4u + 4u))});
  }
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const float u = float(x) / 256.0f, v = float(y) / 256.0f;
      Rgb c = rgb255(6, 10, 24) + rgb255(20, 30, 60) * (0.5f + tileFbm(u, v, 4, 3, 31u));
      for (const Blob& b : blobs) {
        float dx = std::fabs(float(x) - b.x), dy = std::fabs(float(y) - b.y);
        dx = std::fmin(dx, 256.0f - dx);
        dy = std::fmin(dy, 256.0f - dy);
        const float q = (dx * dx + dy * dy) / (b.radius * b.radius);
        c = c + b.colour * (std::exp(-q * 2.0f) + 0.6f * std::exp(-q * 12.0f));
      }
      image.at(x, y) = c;
    }
  }
  return image;
}

// Classic sine plasma on 640 x 480, mapped into a bright palette band (no byte under ~100)
// so the product of both pictures never blacks out the tunnel.
Image plasma(bool warm) {
  Image image(640, 480);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const float fx = float(x), fy = float(y);
      float w;
      if (warm) {
        w = std::sin(fx / 41.0f) + std::sin(fy / 29.0f + std::sin(fx / 97.0f)) + std::sin((fx + fy) / 67.0f) +
            std::sin(std::sqrt((fx - 250.0f) * (fx - 250.0f) + (fy - 180.0f) * (fy - 180.0f)) / 31.0f);
      } else {
        w = std::sin(fx / 53.0f + std::cos(fy / 71.0f)) + std::sin(fy / 37.0f) + std::sin((fx - fy) / 59.0f) +
            std::sin(std::sqrt((fx - 420.0f) * (fx - 420.0f) + (fy - 300.0f) * (fy - 300.0f)) / 27.0f);
      }
      const float t = w * 0.125f;
      Rgb c =
          warm ? cosinePalette(t, {0.78f, 0.62f, 0.62f}, {0.22f, 0.28f, 0.24f}, {1.0f, 1.0f, 1.0f}, {0.0f, 0.1f, 0.25f})
               : cosinePalette(t, {0.64f, 0.76f, 0.8f}, {0.22f, 0.2f, 0.2f}, {1.0f, 1.0f, 1.0f}, {0.55f, 0.3f, 0.1f});
      image.at(x, y) = c;
    }
  }
  return image;
}

bool writeTunnelMaps(const std::filesystem::path& dataDir) {
  const PanelMaps panels = tunnelPanels();
  return savePicture(dataDir, "s02_tex6.tga", interferenceTexture()) &&
         savePicture(dataDir, "tex0132.tga", tunnelTexture(panels)) &&
         savePicture(dataDir, "tex01b2.tga", tunnelHeight(panels)) &&
         savePicture(dataDir, "tomsaenv2.tga", environmentMap()) && savePicture(dataDir, "plasma1.tga", plasma(true)) &&
         savePicture(dataDir, "plasma2.tga", plasma(false));
}

const bool registered = registerWriter({"pictures (tunnel)", &writeTunnelMaps});

}  // namespace

}  // namespace tarvola::datagen
