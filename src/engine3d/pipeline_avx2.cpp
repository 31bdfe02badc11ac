// The pipeline's vertex pass four vertices at a time on AVX2: the operations of
// plain::projectVertices in the same order, doubles four to a register (IEEE add, multiply,
// divide, square root and conversions round alike at any width). This file alone is compiled
// with -mavx2; projectVertices calls it only while the AVX2 (or a wider) path is in use.
#include "engine3d/pipeline_wide.h"

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace tarvola {

#if defined(__AVX2__)

namespace {

// Four floats widened to double (exactly).
inline __m256d widen(float a, float b, float c, float d) { return _mm256_cvtps_pd(_mm_setr_ps(a, b, c, d)); }

// Rounds four doubles to floats and keeps them opaque, as roundToFloat does.
inline __m128 roundFour(__m256d value) {
  __m128 rounded = _mm256_cvtpd_ps(value);
  __asm__("" : "+x"(rounded));
  return rounded;
}

// a * ra + b * rb + c * rc, added left to right.
inline __m256d turn(__m256d a, __m256d b, __m256d c, float ra, float rb, float rc) {
  return _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(a, _mm256_set1_pd(ra)), _mm256_mul_pd(b, _mm256_set1_pd(rb))),
                       _mm256_mul_pd(c, _mm256_set1_pd(rc)));
}

}  // namespace

// Projects the leading vertices in groups of four; returns how many it did.
int32_t projectVerticesAvx2(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags) {
  const float(&r)[4][4] = view.rotation.m;
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    MeshVertex* v[4] = {&vertices[i], &vertices[i + 1], &vertices[i + 2], &vertices[i + 3]};
    const __m256d nx = widen(v[0]->normal.x, v[1]->normal.x, v[2]->normal.x, v[3]->normal.x);
    const __m256d ny = widen(v[0]->normal.y, v[1]->normal.y, v[2]->normal.y, v[3]->normal.y);
    const __m256d nz = widen(v[0]->normal.z, v[1]->normal.z, v[2]->normal.z, v[3]->normal.z);
    const __m128 rx = roundFour(turn(nx, ny, nz, r[0][0], r[1][0], r[2][0]));
    const __m128 ry = roundFour(turn(nx, ny, nz, r[0][1], r[1][1], r[2][1]));
    const __m128 rz = roundFour(turn(nx, ny, nz, r[0][2], r[1][2], r[2][2]));
    const __m256d rxd = _mm256_cvtps_pd(rx), ryd = _mm256_cvtps_pd(ry), rzd = _mm256_cvtps_pd(rz);
    const __m256d length = _mm256_sqrt_pd(
        _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(rxd, rxd), _mm256_mul_pd(ryd, ryd)), _mm256_mul_pd(rzd, rzd)));
    const __m128 inverseLength = _mm256_cvtpd_ps(_mm256_div_pd(_mm256_set1_pd(1.0), length));
    const __m128 normalX = _mm_mul_ps(rx, inverseLength), normalY = _mm_mul_ps(ry, inverseLength);
    ProjectedFour out;
    _mm_store_ps(out.normal[0], normalX);
    _mm_store_ps(out.normal[1], normalY);
    _mm_store_ps(out.normal[2], _mm_mul_ps(rz, inverseLength));
    // The environment coordinates n * 127 + 128, in float.
    _mm_store_ps(out.environment[0], _mm_add_ps(_mm_mul_ps(normalX, _mm_set1_ps(127.0f)), _mm_set1_ps(128.0f)));
    _mm_store_ps(out.environment[1], _mm_add_ps(_mm_mul_ps(normalY, _mm_set1_ps(127.0f)), _mm_set1_ps(128.0f)));

    const __m256d px = widen(v[0]->position.x, v[1]->position.x, v[2]->position.x, v[3]->position.x);
    const __m256d py = widen(v[0]->position.y, v[1]->position.y, v[2]->position.y, v[3]->position.y);
    const __m256d pz = widen(v[0]->position.z, v[1]->position.z, v[2]->position.z, v[3]->position.z);
    const __m128 vx =
        roundFour(_mm256_add_pd(turn(px, py, pz, r[0][0], r[1][0], r[2][0]), _mm256_set1_pd(view.origin.x)));
    const __m128 vy =
        roundFour(_mm256_add_pd(turn(px, py, pz, r[0][1], r[1][1], r[2][1]), _mm256_set1_pd(view.origin.y)));
    const __m128 vz =
        roundFour(_mm256_add_pd(turn(px, py, pz, r[0][2], r[1][2], r[2][2]), _mm256_set1_pd(view.origin.z)));
    // Focal length 256; z exactly 0 divides by -1 instead.
    const __m128 zero = _mm_cmpeq_ps(vz, _mm_setzero_ps());
    const __m128 divisor = _mm_or_ps(_mm_and_ps(zero, _mm_set1_ps(-1.0f)), _mm_andnot_ps(zero, vz));
    const __m256d k = _mm256_cvtps_pd(_mm_div_ps(_mm_set1_ps(256.0f), divisor));
    const __m128 sx = _mm256_cvtpd_ps(
        _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(vx), k), _mm256_set1_pd(view.halfWidth)),
                      _mm256_set1_pd(view.scaleX)));
    const __m128 sy = _mm256_cvtpd_ps(
        _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(vy), k), _mm256_set1_pd(view.halfHeight)),
                      _mm256_set1_pd(view.scaleY)));
    _mm_store_ps(out.position[0], vx);
    _mm_store_ps(out.position[1], vy);
    _mm_store_ps(out.position[2], vz);
    _mm_store_ps(out.position[3], sx);
    _mm_store_ps(out.position[4], sy);
    // Corner flags: ordered compares, false for NaN like the scalar ones.
    out.beyondNear = _mm_movemask_ps(_mm_cmpgt_ps(vz, _mm_set1_ps(1.0f)));
    const __m128 zeroF = _mm_setzero_ps();
    out.inside =
        _mm_movemask_ps(_mm_and_ps(_mm_and_ps(_mm_cmpgt_ps(sx, zeroF), _mm_cmplt_ps(sx, _mm_set1_ps(view.width))),
                                   _mm_and_ps(_mm_cmpgt_ps(sy, zeroF), _mm_cmplt_ps(sy, _mm_set1_ps(view.height)))));
    storeProjectedFour(v, out, view.environmentSlots, cornerFlags + i);
  }
  return i;
}

#else

int32_t projectVerticesAvx2(MeshVertex*, int32_t, const ViewTransform&, uint8_t*) { return 0; }

#endif

}  // namespace tarvola
