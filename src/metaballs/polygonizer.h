// Marching-cubes polygonizer: samples the implicit field on a cubic grid centred on the origin
// and rebuilds its embedded mesh every frame, three unshared vertices per triangle, with
// normals from the field's central-difference gradient.
#pragma once

#include <cstdint>
#include <vector>

#include "base/math3d.h"
#include "engine3d/mesh.h"
#include "metaballs/field.h"

namespace tarvola {

// One grid corner. Every polygonize() fills value, and normal at the corners of the cells the
// surface cuts (the only normals read); position is set when a cell gathers its corners.
struct GridSample {
  Vec3 position;
  Vec3 normal;
  float value = 0;
};

// A row of count grid samples from the field values of their corners, seven a corner (the
// corner, then its x, y and z neighbours below and above): the value clamped at 0 and the unit
// normal along minus the gradient (from high field, inside, to low field, outside), normalised
// in double. Positions are left alone. Two corners a step on SSE2.
void storeGridRow(GridSample* row, const float* f, int32_t count);
namespace plain {
// One corner at a time: the reference.
void storeGridRow(GridSample* row, const float* f, int32_t count);
}  // namespace plain

// Capacity of the embedded mesh, fixed at init: 60000 vertices hold 20000 triangles.
inline constexpr int32_t kMetaballMeshCapacity = 60000;
// Room of the per-cell triangle buffer; the tables give at most 5 triangles per cell.
inline constexpr int32_t kMaxCubeTriangles = 1024;

struct MetaballPolygonizer {
  float isoLevel = 0;
  int32_t gridSize = 0;              // N cells per axis, N + 1 samples
  float cellSize = 0;                // world units per cell; the grid spans +-N * cellSize / 2
  std::vector<GridSample> samples;   // (N+1)^3, sample (ix, iy, iz) at ix + rowOffset[iy] + sliceOffset[iz]
  std::vector<float> cubeTriangles;  // per cell: 18 floats a triangle, 3 positions then 3 normals
  Mesh mesh;
  ImplicitField field;
  std::vector<int32_t> sliceOffset;  // i * (N+1)^2
  std::vector<int32_t> rowOffset;    // i * (N+1)

  // Allocates everything polygonize() uses: the zeroed samples, the per-cell buffer, the mesh
  // (kMetaballMeshCapacity vertices and faces, counts left at 0) and the offset tables.
  void init(float newIsoLevel, int32_t newGridSize, int32_t newCellSize);

  // Resamples the field and rebuilds the mesh: cells visited x outermost, z innermost, the
  // triangles of a cell in table order. Stops appending at the first triangle that would not
  // fit the mesh's arrays, so a crowded frame shows the part of the surface built so far.
  // Allocates nothing.
  void polygonize();

 private:
  // Corners whose normals a batch samples at once.
  static constexpr int32_t kGradientBatch = 128;
  // Each axis's corner coordinates, and every corner's position in memory order with room for
  // their field values. Filled and allocated by init.
  std::vector<float> axis, gridX, gridY, gridZ, gridValues;
  // Work space of the normals: per corner a mark, then the marked corners' indices in memory
  // order; one batch's points (7 a corner) and field values; its samples. Allocated by init.
  std::vector<int32_t> normalCorners;
  std::vector<float> cornerPoints;
  std::vector<GridSample> batchSamples;
  // Each cell's corner case (bit c: corner c below the iso level), N^3 in visiting order,
  // worked out in memory order before the visit. Allocated by init.
  std::vector<uint8_t> cellCases;
  std::vector<uint8_t> belowIso;  // per sample, 1 when its value is below the iso level
  void sampleField();
  void sampleNormals(int32_t count);
  void classifyCells(const int32_t (&cornerDelta)[8]);
};

}  // namespace tarvola
