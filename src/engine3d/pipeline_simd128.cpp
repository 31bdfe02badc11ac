// The pipeline's vertex pass four vertices at a time in WebAssembly SIMD: the operations of
// plain::projectVertices in the same order, doubles two to a register (IEEE add, multiply,
// divide, square root and conversions round alike at any width). Compiled to a stub outside
// the web build; projectVertices calls it only on the Simd128 path.
#include "engine3d/pipeline_wide.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

#include "base/four_doubles_simd128.h"
#endif

namespace tarvola {

#if defined(__wasm_simd128__)

namespace {

// Four floats widened to double (exactly).
inline FourDoubles widenFloats(float a, float b, float c, float d) { return widenFour(wasm_f32x4_make(a, b, c, d)); }

// a * ra + b * rb + c * rc, added left to right.
inline FourDoubles turn(FourDoubles a, FourDoubles b, FourDoubles c, float ra, float rb, float rc) {
  return a * broadcastFour(ra) + b * broadcastFour(rb) + c * broadcastFour(rc);
}

}  // namespace

// Projects the leading vertices in groups of four; returns how many it did.
int32_t projectVerticesSimd128(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags) {
  const float(&r)[4][4] = view.rotation.m;
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    MeshVertex* v[4] = {&vertices[i], &vertices[i + 1], &vertices[i + 2], &vertices[i + 3]};
    const FourDoubles nx = widenFloats(v[0]->normal.x, v[1]->normal.x, v[2]->normal.x, v[3]->normal.x);
    const FourDoubles ny = widenFloats(v[0]->normal.y, v[1]->normal.y, v[2]->normal.y, v[3]->normal.y);
    const FourDoubles nz = widenFloats(v[0]->normal.z, v[1]->normal.z, v[2]->normal.z, v[3]->normal.z);
    const v128_t rx = roundFour(turn(nx, ny, nz, r[0][0], r[1][0], r[2][0]));
    const v128_t ry = roundFour(turn(nx, ny, nz, r[0][1], r[1][1], r[2][1]));
    const v128_t rz = roundFour(turn(nx, ny, nz, r[0][2], r[1][2], r[2][2]));
    const FourDoubles rxd = widenFour(rx), ryd = widenFour(ry), rzd = widenFour(rz);
    const FourDoubles squared = rxd * rxd + ryd * ryd + rzd * rzd;
    const v128_t inverseLength = roundFour({wasm_f64x2_div(wasm_f64x2_splat(1.0), wasm_f64x2_sqrt(squared.lo)),
                                            wasm_f64x2_div(wasm_f64x2_splat(1.0), wasm_f64x2_sqrt(squared.hi))});
    const v128_t normalX = wasm_f32x4_mul(rx, inverseLength), normalY = wasm_f32x4_mul(ry, inverseLength);
    ProjectedFour out;
    wasm_v128_store(out.normal[0], normalX);
    wasm_v128_store(out.normal[1], normalY);
    wasm_v128_store(out.normal[2], wasm_f32x4_mul(rz, inverseLength));
    // The environment coordinates n * 127 + 128, in float.
    const v128_t e127 = wasm_f32x4_splat(127.0f), e128 = wasm_f32x4_splat(128.0f);
    wasm_v128_store(out.environment[0], wasm_f32x4_add(wasm_f32x4_mul(normalX, e127), e128));
    wasm_v128_store(out.environment[1], wasm_f32x4_add(wasm_f32x4_mul(normalY, e127), e128));

    const FourDoubles px = widenFloats(v[0]->position.x, v[1]->position.x, v[2]->position.x, v[3]->position.x);
    const FourDoubles py = widenFloats(v[0]->position.y, v[1]->position.y, v[2]->position.y, v[3]->position.y);
    const FourDoubles pz = widenFloats(v[0]->position.z, v[1]->position.z, v[2]->position.z, v[3]->position.z);
    const v128_t vx = roundFour(turn(px, py, pz, r[0][0], r[1][0], r[2][0]) + broadcastFour(view.origin.x));
    const v128_t vy = roundFour(turn(px, py, pz, r[0][1], r[1][1], r[2][1]) + broadcastFour(view.origin.y));
    const v128_t vz = roundFour(turn(px, py, pz, r[0][2], r[1][2], r[2][2]) + broadcastFour(view.origin.z));
    // Focal length 256; z exactly 0 divides by -1 instead.
    const v128_t divisor = wasm_v128_bitselect(wasm_f32x4_splat(-1.0f), vz, wasm_f32x4_eq(vz, wasm_f32x4_splat(0.0f)));
    const FourDoubles k = widenFour(wasm_f32x4_div(wasm_f32x4_splat(256.0f), divisor));
    const v128_t sx = roundFour((widenFour(vx) * k + broadcastFour(view.halfWidth)) * broadcastFour(view.scaleX));
    const v128_t sy = roundFour((widenFour(vy) * k + broadcastFour(view.halfHeight)) * broadcastFour(view.scaleY));
    wasm_v128_store(out.position[0], vx);
    wasm_v128_store(out.position[1], vy);
    wasm_v128_store(out.position[2], vz);
    wasm_v128_store(out.position[3], sx);
    wasm_v128_store(out.position[4], sy);
    // Corner flags: ordered compares, false for NaN like the scalar ones.
    out.beyondNear = int(wasm_i32x4_bitmask(wasm_f32x4_gt(vz, wasm_f32x4_splat(1.0f))));
    const v128_t zero = wasm_f32x4_splat(0.0f);
    out.inside = int(wasm_i32x4_bitmask(
        wasm_v128_and(wasm_v128_and(wasm_f32x4_gt(sx, zero), wasm_f32x4_lt(sx, wasm_f32x4_splat(view.width))),
                      wasm_v128_and(wasm_f32x4_gt(sy, zero), wasm_f32x4_lt(sy, wasm_f32x4_splat(view.height))))));
    storeProjectedFour(v, out, view.environmentSlots, cornerFlags + i);
  }
  return i;
}

#else

int32_t projectVerticesSimd128(MeshVertex*, int32_t, const ViewTransform&, uint8_t*) { return 0; }

#endif

}  // namespace tarvola
