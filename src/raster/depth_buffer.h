// The depth buffer shared by every triangle filler of a frame, and the depth key it holds:
// the 16.16 value of 32767 / depth (camera-space z), larger meaning nearer, 0 meaning empty.
// One process-wide object, created once at start-up and cleared once per frame.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvola {

struct DepthBuffer {
  int32_t width = 0;
  int32_t height = 0;
  // width * height keys, row-major: pixel (x, y) at [y * width + x]. Allocated once.
  std::vector<int32_t> keys;
};

// The one depth buffer; the fillers address it with their target's row offsets, so every
// target they draw into must have its width and height (they draw nothing otherwise).
extern DepthBuffer depthBuffer;

// Allocates width * height keys, all 0. Called once, during start-up.
void createDepthBuffer(int32_t width, int32_t height);

// Sets every key to 0 (one block fill); once per frame, before the scene renders.
void clearDepthBuffer();

// The depth test of every filler: a pixel with key k is drawn when k > the stored key
// (signed, strict: of two equal keys the first drawn stays), and k is then stored.
inline bool depthTestAndStore(int32_t& stored, int32_t key) {
  if (key <= stored) return false;
  stored = key;
  return true;
}

}  // namespace tarvola
