// The vertex pass four vertices at a time, in pipeline_avx2.cpp (compiled for AVX2), called by
// pipeline.cpp only once the processor is known to have it, and in pipeline_simd128.cpp for
// the web build's Simd128 path.
#pragma once

#include <cstdint>

#include "engine3d/pipeline.h"

namespace tarvola {

// Four vertices as a wide pass leaves them, lane by lane: the turned normals, their environment
// coordinates n * 127 + 128, the view position x, y, z and the screen x, y; and the corner
// flags as masks, bit k for lane k.
struct ProjectedFour {
  alignas(16) float normal[3][4];
  alignas(16) float environment[2][4];
  alignas(16) float position[5][4];
  int beyondNear, inside;
};

// Stores them into *v[k] and cornerFlags[k], the environment coordinates into the slots
// environmentSlots names. In pipeline.cpp, out of the wide files: one copy for every pass.
void storeProjectedFour(MeshVertex* const (&v)[4], const ProjectedFour& four, int32_t environmentSlots,
                        uint8_t* cornerFlags);

// How many leading vertices it projected, 0 when the build has no AVX2 code; the same double
// operations in the same order as plain::projectVertices.
int32_t projectVerticesAvx2(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags);
// The same in WebAssembly SIMD; 0 when the build has none.
int32_t projectVerticesSimd128(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags);

}  // namespace tarvola
