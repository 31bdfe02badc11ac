// The depth buffer the triangle fillers test and write, and the depth key it holds: the 16.16
// value of 32767 / depth (camera-space z), larger meaning nearer, 0 meaning empty. The frame
// loop owns the demo's one buffer, clears it once per frame and hands it to the scenes.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvola {

struct DepthBuffer {
  int32_t width = 0;
  int32_t height = 0;
  // width * height keys, row-major: pixel (x, y) at [y * width + x]. Allocated once.
  std::vector<int32_t> keys;

  // Allocates width * height keys, all 0 (once, during start-up).
  void create(int32_t newWidth, int32_t newHeight);
  // Sets every key to 0 (one block fill); once per frame, before the scene renders.
  void clear();
};

// The depth test of every filler: a pixel with key k is drawn when k > the stored key
// (signed, strict: of two equal keys the first drawn stays), and k is then stored.
inline bool depthTestAndStore(int32_t& stored, int32_t key) {
  if (key <= stored) return false;
  stored = key;
  return true;
}

}  // namespace tarvola
