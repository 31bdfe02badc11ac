// The pipeline's vertex pass four vertices at a time in WebAssembly SIMD: the operations of
// plain::projectVertices in the same order, doubles two to a register (IEEE add, multiply,
// divide, square root and conversions round alike at any width). Compiled to a stub outside
// the web build; projectVertices calls it only on the Simd128 path.
#include "engine3d/pipeline_wide.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tarvola {

#if defined(__wasm_simd128__)

namespace {

// Four doubles, lanes 0 and 1 in lo, 2 and 3 in hi.
struct Four {
  v128_t lo, hi;
};

inline Four widen(v128_t x) {
  return {wasm_f64x2_promote_low_f32x4(x), wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(x, x, 2, 3, 2, 3))};
}
// Four floats widened to double (exactly).
inline Four widen(float a, float b, float c, float d) { return widen(wasm_f32x4_make(a, b, c, d)); }
// The four doubles each rounded to float, in one register.
inline v128_t narrow(Four x) {
  return wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(x.lo), wasm_f32x4_demote_f64x2_zero(x.hi), 0, 1, 4, 5);
}
inline Four broadcast(double x) { return {wasm_f64x2_splat(x), wasm_f64x2_splat(x)}; }
inline Four operator+(Four a, Four b) { return {wasm_f64x2_add(a.lo, b.lo), wasm_f64x2_add(a.hi, b.hi)}; }
inline Four operator*(Four a, Four b) { return {wasm_f64x2_mul(a.lo, b.lo), wasm_f64x2_mul(a.hi, b.hi)}; }

// a * ra + b * rb + c * rc, added left to right.
inline Four turn(Four a, Four b, Four c, float ra, float rb, float rc) {
  return a * broadcast(ra) + b * broadcast(rb) + c * broadcast(rc);
}

}  // namespace

// Projects the leading vertices in groups of four; returns how many it did.
int32_t projectVerticesSimd128(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags) {
  const float(&r)[4][4] = view.rotation.m;
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    MeshVertex* v[4] = {&vertices[i], &vertices[i + 1], &vertices[i + 2], &vertices[i + 3]};
    const Four nx = widen(v[0]->normal.x, v[1]->normal.x, v[2]->normal.x, v[3]->normal.x);
    const Four ny = widen(v[0]->normal.y, v[1]->normal.y, v[2]->normal.y, v[3]->normal.y);
    const Four nz = widen(v[0]->normal.z, v[1]->normal.z, v[2]->normal.z, v[3]->normal.z);
    const v128_t rx = narrow(turn(nx, ny, nz, r[0][0], r[1][0], r[2][0]));
    const v128_t ry = narrow(turn(nx, ny, nz, r[0][1], r[1][1], r[2][1]));
    const v128_t rz = narrow(turn(nx, ny, nz, r[0][2], r[1][2], r[2][2]));
    const Four rxd = widen(rx), ryd = widen(ry), rzd = widen(rz);
    const Four squared = rxd * rxd + ryd * ryd + rzd * rzd;
    const v128_t inverseLength = narrow({wasm_f64x2_div(wasm_f64x2_splat(1.0), wasm_f64x2_sqrt(squared.lo)),
                                         wasm_f64x2_div(wasm_f64x2_splat(1.0), wasm_f64x2_sqrt(squared.hi))});
    const v128_t normalX = wasm_f32x4_mul(rx, inverseLength), normalY = wasm_f32x4_mul(ry, inverseLength);
    alignas(16) float normal[3][4];
    wasm_v128_store(normal[0], normalX);
    wasm_v128_store(normal[1], normalY);
    wasm_v128_store(normal[2], wasm_f32x4_mul(rz, inverseLength));
    // The environment coordinates n * 127 + 128, in float.
    alignas(16) float environment[2][4];
    const v128_t e127 = wasm_f32x4_splat(127.0f), e128 = wasm_f32x4_splat(128.0f);
    wasm_v128_store(environment[0], wasm_f32x4_add(wasm_f32x4_mul(normalX, e127), e128));
    wasm_v128_store(environment[1], wasm_f32x4_add(wasm_f32x4_mul(normalY, e127), e128));

    const Four px = widen(v[0]->position.x, v[1]->position.x, v[2]->position.x, v[3]->position.x);
    const Four py = widen(v[0]->position.y, v[1]->position.y, v[2]->position.y, v[3]->position.y);
    const Four pz = widen(v[0]->position.z, v[1]->position.z, v[2]->position.z, v[3]->position.z);
    const v128_t vx = narrow(turn(px, py, pz, r[0][0], r[1][0], r[2][0]) + broadcast(view.origin.x));
    const v128_t vy = narrow(turn(px, py, pz, r[0][1], r[1][1], r[2][1]) + broadcast(view.origin.y));
    const v128_t vz = narrow(turn(px, py, pz, r[0][2], r[1][2], r[2][2]) + broadcast(view.origin.z));
    // Focal length 256; z exactly 0 divides by -1 instead.
    const v128_t divisor = wasm_v128_bitselect(wasm_f32x4_splat(-1.0f), vz, wasm_f32x4_eq(vz, wasm_f32x4_splat(0.0f)));
    const Four k = widen(wasm_f32x4_div(wasm_f32x4_splat(256.0f), divisor));
    const v128_t sx = narrow((widen(vx) * k + broadcast(view.halfWidth)) * broadcast(view.scaleX));
    const v128_t sy = narrow((widen(vy) * k + broadcast(view.halfHeight)) * broadcast(view.scaleY));
    alignas(16) float position[5][4];
    wasm_v128_store(position[0], vx);
    wasm_v128_store(position[1], vy);
    wasm_v128_store(position[2], vz);
    wasm_v128_store(position[3], sx);
    wasm_v128_store(position[4], sy);
    // Corner flags: ordered compares, false for NaN like the scalar ones.
    const int beyondNear = int(wasm_i32x4_bitmask(wasm_f32x4_gt(vz, wasm_f32x4_splat(1.0f))));
    const v128_t zero = wasm_f32x4_splat(0.0f);
    const int inside = int(wasm_i32x4_bitmask(
        wasm_v128_and(wasm_v128_and(wasm_f32x4_gt(sx, zero), wasm_f32x4_lt(sx, wasm_f32x4_splat(view.width))),
                      wasm_v128_and(wasm_f32x4_gt(sy, zero), wasm_f32x4_lt(sy, wasm_f32x4_splat(view.height))))));
    for (int lane = 0; lane < 4; ++lane) {
      MeshVertex& out = *v[lane];
      out.viewNormal = Vec3{normal[0][lane], normal[1][lane], normal[2][lane]};
      out.viewPosition = Vec3{position[0][lane], position[1][lane], position[2][lane]};
      out.depth = position[2][lane];
      out.screenX = position[3][lane];
      out.screenY = position[4][lane];
      if (view.environmentSlots & 1) out.uv1[0] = environment[0][lane], out.uv1[1] = environment[1][lane];
      if (view.environmentSlots & 2) out.uv2[0] = environment[0][lane], out.uv2[1] = environment[1][lane];
      cornerFlags[i + lane] =
          uint8_t((beyondNear >> lane & 1 ? kBeyondNear : 0) | (inside >> lane & 1 ? kInsideTarget : 0));
    }
  }
  return i;
}

#else

int32_t projectVerticesSimd128(MeshVertex*, int32_t, const ViewTransform&, uint8_t*) { return 0; }

#endif

}  // namespace tarvola
