// See cpu_path.h. The wider paths exist only where the build compiled their files for those
// instruction sets (TARVOLA_WIDE_PATHS, set by the x86-64 build; -msimd128 in the web build).
#include "base/cpu_path.h"

namespace tarvola {

namespace {

std::vector<SimdPath> detectPaths() {
  std::vector<SimdPath> paths = {SimdPath::Plain};
#if defined(__SSE2__)
  paths.push_back(SimdPath::Sse2);
#endif
#if defined(__wasm_simd128__)
  paths.push_back(SimdPath::Simd128);
#endif
#if defined(TARVOLA_WIDE_PATHS) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) {
    paths.push_back(SimdPath::Avx2);
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) paths.push_back(SimdPath::Avx512);
  }
#endif
  return paths;
}

// The one mutable setting of the process: which path runs. Chosen on first use; only tests and
// benchmarks change it.
SimdPath& chosenPath() {
  static SimdPath path = availableSimdPaths().back();
  return path;
}

}  // namespace

const std::vector<SimdPath>& availableSimdPaths() {
  static const std::vector<SimdPath> paths = detectPaths();
  return paths;
}

SimdPath activeSimdPath() { return chosenPath(); }

bool simdPathAvailable(SimdPath path) {
  for (SimdPath available : availableSimdPaths()) {
    if (available == path) return true;
  }
  return false;
}

bool useSimdPath(SimdPath path) {
  if (!simdPathAvailable(path)) return false;
  chosenPath() = path;
  return true;
}

}  // namespace tarvola
