// libFuzzer target: the music renderer's load of a module from bytes, then a few pieces of
// rendering with sync detection and the duration query. libopenmpt itself is not instrumented;
// what is checked is our side: no crash, no read outside a buffer, sync values 0..15,
// every sample finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "music/module_renderer.h"

using namespace tarvola;

namespace {
void checkHit(void*, const SyncHit& hit) {
  if (hit.value > 15 || hit.sample < 0) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static float out[2 * 1024];
  ModuleRenderer renderer;
  if (!renderer.load(data, size)) {
    if (renderer.loaded()) std::abort();
    return 0;
  }
  renderer.render(out, 1024, &checkHit, nullptr);
  renderer.render(out, 300, &checkHit, nullptr, ModuleRenderer::kExactRowStarts);
  for (int i = 0; i < 2 * 300; ++i)
    if (!std::isfinite(out[i])) std::abort();
  if (renderer.framesRendered() != 1324) std::abort();
  return 0;
}
