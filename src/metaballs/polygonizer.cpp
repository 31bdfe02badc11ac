// Marching-cubes polygonizer; see polygonizer.h. Positions, values and interpolation are float;
// gradients are normalised in double and rounded to float once per component.
#include "metaballs/polygonizer.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/cpu_path.h"
#include "metaballs/marching_cubes_tables.h"

namespace tarvola {

namespace {

// Half-width of the central differences that give the normals.
constexpr float kGradientStep = 0.01f;
// A corner whose value lies this close to the iso level takes the vertex of every cut edge
// touching it; the same bound stands in for equal end values.
constexpr double kSnapDistance = 0.00001;

struct EdgeVertex {
  Vec3 position;
  Vec3 normal;
};

// The vertex where the surface cuts the edge from corner a to corner b.
EdgeVertex interpolateEdge(float isoLevel, const GridSample& a, const GridSample& b) {
  if (std::fabs(isoLevel - a.value) < kSnapDistance) return {a.position, a.normal};
  if (std::fabs(isoLevel - b.value) < kSnapDistance) return {b.position, b.normal};
  if (std::fabs(a.value - b.value) < kSnapDistance) return {a.position, a.normal};
  const float mu = (isoLevel - a.value) / (b.value - a.value);
  EdgeVertex v;
  v.position =
      Vec3{a.position.x + mu * (b.position.x - a.position.x), a.position.y + mu * (b.position.y - a.position.y),
           a.position.z + mu * (b.position.z - a.position.z)};
  // Not renormalised: the pipeline normalises the turned normal.
  v.normal = Vec3{a.normal.x + mu * (b.normal.x - a.normal.x), a.normal.y + mu * (b.normal.y - a.normal.y),
                  a.normal.z + mu * (b.normal.z - a.normal.z)};
  return v;
}

// The value clamped at 0 and minus the gradient of corner ix.
void cornerGradient(GridSample* row, const float* f, int32_t ix, float& gx, float& gy, float& gz) {
  const float* v = f + 7 * ix;
  row[ix].value = v[0] < 0.0f ? 0.0f : v[0];
  gx = v[1] - v[2], gy = v[3] - v[4], gz = v[5] - v[6];
}

void storeGridCorners(GridSample* row, const float* f, int32_t from, int32_t count) {
  for (int32_t ix = from; ix < count; ++ix) {
    float gx, gy, gz;
    cornerGradient(row, f, ix, gx, gy, gz);
    const double inverseLength = 1.0 / std::sqrt(double(gx) * gx + double(gy) * gy + double(gz) * gz);
    row[ix].normal = Vec3{float(gx * inverseLength), float(gy * inverseLength), float(gz * inverseLength)};
  }
}

}  // namespace

namespace plain {
void storeGridRow(GridSample* row, const float* f, int32_t count) { storeGridCorners(row, f, 0, count); }
}  // namespace plain

void storeGridRow(GridSample* row, const float* f, int32_t count) {
  int32_t ix = 0;
#if defined(__SSE2__)
  // Two corners a step: the same double products, sums, square root and division per lane.
  for (; ix + 2 <= count; ix += 2) {
    float g[2][3];
    cornerGradient(row, f, ix, g[0][0], g[0][1], g[0][2]);
    cornerGradient(row, f, ix + 1, g[1][0], g[1][1], g[1][2]);
    const __m128d gx = _mm_setr_pd(g[0][0], g[1][0]), gy = _mm_setr_pd(g[0][1], g[1][1]);
    const __m128d gz = _mm_setr_pd(g[0][2], g[1][2]);
    const __m128d squared = _mm_add_pd(_mm_add_pd(_mm_mul_pd(gx, gx), _mm_mul_pd(gy, gy)), _mm_mul_pd(gz, gz));
    const __m128d inverseLength = _mm_div_pd(_mm_set1_pd(1.0), _mm_sqrt_pd(squared));
    float n[3][4];
    _mm_storeu_ps(n[0], _mm_cvtpd_ps(_mm_mul_pd(gx, inverseLength)));
    _mm_storeu_ps(n[1], _mm_cvtpd_ps(_mm_mul_pd(gy, inverseLength)));
    _mm_storeu_ps(n[2], _mm_cvtpd_ps(_mm_mul_pd(gz, inverseLength)));
    row[ix].normal = Vec3{n[0][0], n[1][0], n[2][0]};
    row[ix + 1].normal = Vec3{n[0][1], n[1][1], n[2][1]};
  }
#endif
  storeGridCorners(row, f, ix, count);
}

void MetaballPolygonizer::init(float newIsoLevel, int32_t newGridSize, int32_t newCellSize) {
  isoLevel = newIsoLevel;
  gridSize = newGridSize > 0 ? newGridSize : 0;
  cellSize = float(newCellSize);
  const int32_t side = gridSize + 1;
  samples.assign(size_t(side) * size_t(side) * size_t(side), GridSample{});
  cubeTriangles.assign(size_t(kMaxCubeTriangles) * 18, 0.0f);
  mesh.allocate(kMetaballMeshCapacity, kMetaballMeshCapacity);
  // The arrays are the capacity; no triangle is valid before the first polygonize().
  mesh.vertexCount = 0;
  mesh.faceCount = 0;
  // Every corner's position, in memory order, for the values; and each axis's coordinates.
  const float half = float(gridSize) * cellSize * 0.5f;
  axis.resize(size_t(side));
  for (int32_t i = 0; i < side; ++i) axis[size_t(i)] = float(i) * cellSize - half;
  gridX.resize(samples.size());
  gridY.resize(samples.size());
  gridZ.resize(samples.size());
  gridValues.resize(samples.size());
  for (size_t s = 0; s < samples.size(); ++s) {
    gridX[s] = axis[s % size_t(side)];
    gridY[s] = axis[s / size_t(side) % size_t(side)];
    gridZ[s] = axis[s / size_t(side) / size_t(side)];
  }
  normalCorners.resize(samples.size());
  cornerPoints.assign(size_t(4 * 7 * kGradientBatch), 0.0f);
  batchSamples.resize(size_t(kGradientBatch));
  cellCases.assign(size_t(gridSize) * size_t(gridSize) * size_t(gridSize), 0);
  belowIso.assign(samples.size(), 0);
  rowOffset.resize(size_t(side));
  sliceOffset.resize(size_t(side));
  for (int32_t i = 0; i < side; ++i) {
    rowOffset[size_t(i)] = i * side;
    sliceOffset[size_t(i)] = i * side * side;
  }
}

void MetaballPolygonizer::sampleField() {
  // Every sample is independent of the others (a point's value does not depend on the batch it
  // is computed in), so the values are taken for the whole grid at once.
  field.values(gridX.data(), gridY.data(), gridZ.data(), int32_t(samples.size()), gridValues.data());
  for (size_t s = 0; s < samples.size(); ++s) samples[s].value = gridValues[s] < 0.0f ? 0.0f : gridValues[s];
}

// The normals of the corners in normalCorners[0, count), from the field at each corner and its
// six gradient neighbours (x, y and z minus and plus the gradient step), a batch at a time.
void MetaballPolygonizer::sampleNormals(int32_t count) {
  float* px = cornerPoints.data();
  float* py = px + 7 * kGradientBatch;
  float* pz = py + 7 * kGradientBatch;
  float* f = pz + 7 * kGradientBatch;
  for (int32_t first = 0; first < count; first += kGradientBatch) {
    const int32_t batch = count - first < kGradientBatch ? count - first : kGradientBatch;
    for (int32_t c = 0; c < batch; ++c) {
      const size_t s = size_t(normalCorners[size_t(first + c)]);
      const float x = gridX[s], y = gridY[s], z = gridZ[s];
      float* cx = px + 7 * c;
      float* cy = py + 7 * c;
      float* cz = pz + 7 * c;
      cx[0] = x, cy[0] = y, cz[0] = z;
      cx[1] = x - kGradientStep, cy[1] = y, cz[1] = z;
      cx[2] = x + kGradientStep, cy[2] = y, cz[2] = z;
      cx[3] = x, cy[3] = y - kGradientStep, cz[3] = z;
      cx[4] = x, cy[4] = y + kGradientStep, cz[4] = z;
      cx[5] = x, cy[5] = y, cz[5] = z - kGradientStep;
      cx[6] = x, cy[6] = y, cz[6] = z + kGradientStep;
    }
    field.values(px, py, pz, 7 * batch, f);
    storeGridRow(batchSamples.data(), f, batch);
    for (int32_t c = 0; c < batch; ++c)
      samples[size_t(normalCorners[size_t(first + c)])].normal = batchSamples[size_t(c)].normal;
  }
}

// The visit below goes x outermost and z innermost, a stride of a whole slice from cell to
// cell; the cases are worked out here in memory order, x innermost, and stored where the visit
// reads them.
void MetaballPolygonizer::classifyCells(const int32_t (&cornerDelta)[8]) {
  // First each sample's side of the iso level, a byte a sample, so the cells read eight bytes
  // close together instead of eight scattered samples.
  for (size_t s = 0; s < samples.size(); ++s) belowIso[s] = samples[s].value < isoLevel ? 1 : 0;
  const int32_t n = gridSize;
  for (int32_t k = 0; k < n; ++k) {
    for (int32_t j = 0; j < n; ++j) {
      const uint8_t* row = &belowIso[size_t(rowOffset[size_t(j)] + sliceOffset[size_t(k)])];
      uint8_t* cases = &cellCases[size_t(j * n + k)];
      int32_t i = 0;
#if defined(__SSE2__)
      // Sixteen cells a step while their corners' bytes lie within the row's samples (i + 16
      // at most): corner c's bytes shifted left by c (0 or 1 each, so no bit leaves its byte).
      for (; activeSimdPath() >= SimdPath::Sse2 && i + 16 < n + 1; i += 16) {
        __m128i index = _mm_setzero_si128();
        for (int c = 0; c < 8; ++c) {
          const __m128i bit = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + cornerDelta[c]));
          index = _mm_or_si128(index, _mm_slli_epi16(bit, c));
        }
        alignas(16) uint8_t cellIndex[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(cellIndex), index);
        for (int32_t l = 0; l < 16; ++l) cases[size_t(i + l) * size_t(n) * size_t(n)] = cellIndex[l];
      }
#endif
      for (; i < n; ++i) {
        const uint8_t* base = row + i;
        uint32_t cubeIndex = 0;
        for (int c = 0; c < 8; ++c) cubeIndex |= uint32_t(base[cornerDelta[c]]) << c;
        cases[size_t(i) * size_t(n) * size_t(n)] = uint8_t(cubeIndex);
      }
    }
  }
}

void MetaballPolygonizer::polygonize() {
  mesh.vertexCount = 0;
  mesh.faceCount = 0;
  if (samples.empty()) return;  // never initialised
  sampleField();

  const int32_t n = gridSize;
  const float half = float(n) * cellSize * 0.5f;
  int32_t cornerDelta[8];
  for (int c = 0; c < 8; ++c) {
    cornerDelta[c] = kCubeCornerOffset[c][0] + rowOffset[size_t(kCubeCornerOffset[c][1])] +
                     sliceOffset[size_t(kCubeCornerOffset[c][2])];
  }
  classifyCells(cornerDelta);
  // Normals are read only at the corners of the cells the surface cuts: those are sampled.
  std::fill(normalCorners.begin(), normalCorners.end(), 0);
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      for (int32_t k = 0; k < n; ++k) {
        if (kCubeEdgeTable[cellCases[size_t((i * n + j) * n + k)]] == 0) continue;
        const int32_t base = i + rowOffset[size_t(j)] + sliceOffset[size_t(k)];
        for (int c = 0; c < 8; ++c) normalCorners[size_t(base + cornerDelta[c])] = 1;
      }
    }
  }
  int32_t marked = 0;
  for (size_t s = 0; s < normalCorners.size(); ++s) {
    if (normalCorners[s]) normalCorners[size_t(marked++)] = int32_t(s);
  }
  sampleNormals(marked);
  const int32_t vertexCapacity = int32_t(mesh.vertices.size());
  const int32_t faceCapacity = int32_t(mesh.faces.size());
  GridSample corner[8];
  EdgeVertex edgeVertex[12];

  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      for (int32_t k = 0; k < n; ++k) {
        const int32_t cubeIndex = cellCases[size_t((i * n + j) * n + k)];
        const uint32_t cutEdges = kCubeEdgeTable[cubeIndex];
        if (cutEdges == 0) continue;
        const GridSample* base = &samples[size_t(i + rowOffset[size_t(j)] + sliceOffset[size_t(k)])];
        for (int c = 0; c < 8; ++c) {
          corner[c] = base[cornerDelta[c]];
          corner[c].position = Vec3{cellSize * float(i + kCubeCornerOffset[c][0]) - half,
                                    cellSize * float(j + kCubeCornerOffset[c][1]) - half,
                                    cellSize * float(k + kCubeCornerOffset[c][2]) - half};
        }
        for (int e = 0; e < 12; ++e) {
          if (cutEdges & (1u << e)) {
            edgeVertex[e] = interpolateEdge(isoLevel, corner[kCubeEdgeCorners[e][0]], corner[kCubeEdgeCorners[e][1]]);
          }
        }

        const int8_t* list = kCubeTriangleTable[cubeIndex];
        int32_t triangles = 0;
        for (; list[3 * triangles] != -1; ++triangles) {
          float* out = &cubeTriangles[size_t(triangles) * 18];
          for (int v = 0; v < 3; ++v) {
            const EdgeVertex& ev = edgeVertex[list[3 * triangles + v]];
            out[3 * v + 0] = ev.position.x;
            out[3 * v + 1] = ev.position.y;
            out[3 * v + 2] = ev.position.z;
            out[9 + 3 * v + 0] = ev.normal.x;
            out[9 + 3 * v + 1] = ev.normal.y;
            out[9 + 3 * v + 2] = ev.normal.z;
          }
        }
        for (int32_t t = 0; t < triangles; ++t) {
          if (mesh.vertexCount + 3 > vertexCapacity || mesh.faceCount + 1 > faceCapacity) return;  // mesh full
          const float* in = &cubeTriangles[size_t(t) * 18];
          MeshFace& face = mesh.faces[size_t(mesh.faceCount++)];
          for (int v = 0; v < 3; ++v) {
            MeshVertex& out = mesh.vertices[size_t(mesh.vertexCount)];
            out.position = Vec3{in[3 * v], in[3 * v + 1], in[3 * v + 2]};
            out.normal = Vec3{in[9 + 3 * v], in[9 + 3 * v + 1], in[9 + 3 * v + 2]};
            face.indices[v] = mesh.vertexCount++;
          }
        }
      }
    }
  }
}

}  // namespace tarvola
