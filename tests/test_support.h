// Helpers shared by the test suites: surfaces of random pixels and a recorder for messages.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "runtime/notify.h"
#include "surface/surface.h"

namespace tarvola::testing {

inline void fillRandom(Surface& surface, std::mt19937& random) {
  for (uint32_t& p : surface.pixels) p = uint32_t(random());
}

inline Surface randomSurface(int32_t width, int32_t height, std::mt19937& random) {
  Surface s;
  s.create(width, height);
  fillRandom(s, random);
  return s;
}

inline uint32_t byteOf(uint32_t pixel, int i) { return (pixel >> (8 * i)) & 0xFF; }

// Installs itself as the message handler for its lifetime and keeps every message shown.
class MessageRecorder {
 public:
  struct Message {
    std::string text, caption;
  };
  MessageRecorder();
  ~MessageRecorder();
  const std::vector<Message>& messages() const;

 private:
  MessageHandler previous_;
};

}  // namespace tarvola::testing
