// The vector path the fast kernels run: the widest this build and this processor have, chosen
// once when the program starts — AVX-512 (with its byte and word instructions), AVX2, SSE2 (the
// x86-64 baseline); in the web build WebAssembly's 128-bit SIMD, with the SSE2 kernels compiled
// to it beside it — or the plain reference where there is none. Every path gives the same bytes
// as the reference; tests run each one in turn through a ScopedSimdPath.
#pragma once

#include <vector>

namespace tarvola {

// Narrowest first. Simd128 never meets Avx2 or Avx512 in one build, so `path >= SimdPath::Avx2`
// asks only for the x86 wide paths.
enum class SimdPath { Plain, Sse2, Simd128, Avx2, Avx512 };

// The paths this build and this processor can run, narrowest first; the last is the default.
const std::vector<SimdPath>& availableSimdPaths();

// Whether `path` is one of availableSimdPaths().
bool simdPathAvailable(SimdPath path);

// The path the fast kernels take now.
SimdPath activeSimdPath();

// Routes every fast kernel through `path`; false, changing nothing, when it is not available.
bool useSimdPath(SimdPath path);

// Runs the kernels on one path for the guard's lifetime, then returns to the path before it,
// also when a failed test assertion leaves the scope early.
class ScopedSimdPath {
 public:
  explicit ScopedSimdPath(SimdPath path) : previous_(activeSimdPath()), active_(useSimdPath(path)) {}
  ~ScopedSimdPath() { useSimdPath(previous_); }
  ScopedSimdPath(const ScopedSimdPath&) = delete;
  ScopedSimdPath& operator=(const ScopedSimdPath&) = delete;
  // False when the path was not available (the previous one stays in use).
  bool active() const { return active_; }

 private:
  SimdPath previous_;
  bool active_;
};

}  // namespace tarvola
