// The vertex pass four vertices at a time, in pipeline_avx2.cpp (compiled for AVX2), called by
// pipeline.cpp only once the processor is known to have it, and in pipeline_simd128.cpp for
// the web build's Simd128 path.
#pragma once

#include <cstdint>

#include "engine3d/pipeline.h"

namespace tarvola {

// How many leading vertices it projected, 0 when the build has no AVX2 code; the same double
// operations in the same order as plain::projectVertices.
int32_t projectVerticesAvx2(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags);
// The same in WebAssembly SIMD; 0 when the build has none.
int32_t projectVerticesSimd128(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags);

}  // namespace tarvola
