// Marching-cubes polygonizer: the tables checked through what they produce (every case closing
// up with its neighbours, which a wrong edge or triangle entry breaks), the visiting order and
// the mesh's capacity.
#include "metaballs/polygonizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "metaballs/marching_cubes_tables.h"
#include "surface/compositing.h"

namespace tarvola {
namespace {

Vec3 cross(Vec3 a, Vec3 b) { return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Vec3 a, Vec3 b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }

// Welds vertex copies by the grid edge or corner they lie on and checks every welded edge is used
// once in each direction: a closed, consistently oriented surface. Returns the faces collapsed
// onto a snapped corner, which are left out.
int expectClosedOrientedSurface(const MetaballPolygonizer& p) {
  const Mesh& mesh = p.mesh;
  EXPECT_EQ(mesh.vertexCount, 3 * mesh.faceCount);
  std::map<int64_t, int32_t> ids;
  std::map<std::pair<int32_t, int32_t>, int> directed;
  int collapsed = 0;
  for (int32_t f = 0; f < mesh.faceCount; ++f) {
    int32_t id[3];
    for (int v = 0; v < 3; ++v) {
      EXPECT_EQ(mesh.faces[size_t(f)].indices[v], 3 * f + v);  // three fresh vertices per face
      const Vec3 pos = mesh.vertices[size_t(3 * f + v)].position;
      const double half = p.gridSize * double(p.cellSize) * 0.5;
      int64_t key = 0;
      int axis = 3;
      for (int a = 0; a < 3; ++a) {
        const double g = ((&pos.x)[a] + half) / p.cellSize;
        if (std::floor(g) != g) axis = a;
        key = key * 64 + int64_t(std::floor(g));
      }
      id[v] = ids.emplace(key * 4 + axis, int32_t(ids.size())).first->second;
    }
    if ((id[0] == id[1] || id[1] == id[2] || id[0] == id[2]) && ++collapsed) continue;
    for (int v = 0; v < 3; ++v) ++directed[{id[v], id[(v + 1) % 3]}];
  }
  int unmatched = 0;  // edges walked twice in one direction or without a partner
  for (const auto& [edge, uses] : directed) unmatched += uses != 1 || !directed.count({edge.second, edge.first});
  EXPECT_EQ(unmatched, 0);
  return collapsed;
}

// Signed enclosed volume (divergence theorem): positive when wound counter-clockwise from outside.
double signedVolume(const Mesh& mesh) {
  double volume = 0;
  for (int32_t f = 0; f < mesh.faceCount; ++f) {
    const MeshVertex* v = &mesh.vertices[size_t(3 * f)];
    volume += dot(v[0].position, cross(v[1].position, v[2].position)) / 6.0;
  }
  return volume;
}

// Reads 1 (not below) or 0 (below) from a 4x4x4 table of classes at the nearest sample of a
// 3-cell grid spanning -15..15.
struct CornerClassSource : FieldSource {
  float classes[4][4][4] = {};  // [iz][iy][ix]
  float value(float x, float y, float z) const override {
    auto cell = [](float c) { return std::clamp(int(std::lround((c + 15.0f) / 10.0f)), 0, 3); };
    return classes[cell(z)][cell(y)][cell(x)];
  }
  void setPosition(float, float, float) override {}
};

// Every vertex lies on its grid edge a quarter of a cell (2.5) from the corner of value 0: with
// corner values 0 and 1 at level 0.25 the crossing is off the edge's middle, so interpolating
// from the wrong end, or by the wrong fraction, moves it.
void expectCrossingsAQuarterFromTheLowCorner(const Mesh& mesh, const CornerClassSource& source) {
  for (int32_t v = 0; v < mesh.vertexCount; ++v) {
    Vec3 corner = mesh.vertices[size_t(v)].position;
    float offset = 0;
    for (int a = 0; a < 3; ++a) {
      float& c = (&corner.x)[a];
      const float nearest = std::round((c + 15.0f) / 10.0f) * 10.0f - 15.0f;
      if (nearest != c) offset = std::fabs(c - nearest), c = nearest;
    }
    ASSERT_EQ(offset, 2.5f) << "vertex " << v;
    ASSERT_EQ(source.value(corner.x, corner.y, corner.z), 0.0f) << "vertex " << v;
  }
}

TEST(MarchingCubesTables, EveryCaseClosesUpWithItsNeighbours) {
  // The middle cell of a 3x3x3-cell grid takes each case; every other sample is below the
  // level, so the tables must wrap the blob in a closed, consistently wound surface whatever
  // cases the neighbouring cells fall into. One wrong entry leaves a hole or a flipped face.
  for (int index = 0; index < 255; ++index) {
    MetaballPolygonizer p;
    p.init(0.25f, 3, 10);
    auto source = std::make_unique<CornerClassSource>();
    for (int c = 0; c < 8; ++c) {
      if (!(index >> c & 1)) {
        source->classes[1 + kCubeCornerOffset[c][2]][1 + kCubeCornerOffset[c][1]][1 + kCubeCornerOffset[c][0]] = 1;
      }
    }
    const CornerClassSource& classes = *source;
    p.field.addSource(std::move(source));
    p.polygonize();
    SCOPED_TRACE(::testing::Message() << "case " << index);
    ASSERT_GT(p.mesh.faceCount, 0);
    EXPECT_EQ(expectClosedOrientedSurface(p), 0);
    EXPECT_GT(signedVolume(p.mesh), 0.0);  // counter-clockwise seen from outside
    expectCrossingsAQuarterFromTheLowCorner(p.mesh, classes);
  }
}

// 1 + cos(pi x / 10) cos(pi y / 10) cos(pi z / 10): 0 and 2 alternate over the grid's corners,
// so at level 1 every one of the 5832 cells is a checkerboard case of four triangles.
struct EggCrateSource : FieldSource {
  float value(float x, float y, float z) const override {
    const double k = 3.14159265358979323846 / 10.0;
    return float(1.0 + std::cos(k * x) * std::cos(k * y) * std::cos(k * z));
  }
  void setPosition(float, float, float) override {}
};

TEST(MetaballPolygonizer, StopsAppendingWhenTheMeshIsFullAndVisitsXOutermost) {
  // The full surface has 23 328 faces; the default mesh holds 60 000 vertices.
  MetaballPolygonizer p;
  p.init(1.0f, 18, 10);
  p.field.addSource(std::make_unique<EggCrateSource>());
  p.polygonize();
  EXPECT_EQ(p.mesh.faceCount, 20000);
  EXPECT_EQ(p.mesh.vertexCount, 60000);
  EXPECT_EQ(p.mesh.vertices.size(), 60000u);
  p.mesh.allocate(90000, 30000);
  p.polygonize();
  ASSERT_EQ(p.mesh.faceCount, 5832 * 4);
  // Cells are visited x outermost, z innermost: the cell of each face's centre never goes back.
  for (int32_t f = 0, previous = -1; f < p.mesh.faceCount; ++f) {
    int32_t cell = 0;
    for (int a = 0; a < 3; ++a) {
      float c = 0;
      for (int k = 0; k < 3; ++k) c += (&p.mesh.vertices[size_t(3 * f + k)].position.x)[a];
      cell = cell * 18 + int32_t(std::floor((c / 3 + 90.0f) / 10.0f));
    }
    ASSERT_GE(cell, previous) << "face " << f;
    previous = cell;
  }
}

// Every vector path builds the plain path's mesh, bit for bit: the scene's three sources at
// random places, so cells of every kind meet the sixteen-at-a-time classification.
TEST(MetaballPolygonizer, VectorPathsBuildThePlainMesh) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> place(-50.0f, 50.0f);
  MetaballPolygonizer p;
  p.init(0.1f, 18, 10);
  p.field.addInverseSquare(10);
  p.field.addRing(16, 30);
  p.field.addQuartic(12);
  for (int trial = 0; trial < 6; ++trial) {
    for (int32_t source = 0; source < 3; ++source)
      p.field.setSourcePosition(source, place(rng), place(rng), place(rng));
    std::vector<MeshVertex> expected;
    for (SimdPath path : availableSimdPaths()) {  // Plain first
      const ScopedSimdPath onPath(path);
      ASSERT_TRUE(onPath.active());
      p.polygonize();
      ASSERT_GT(p.mesh.vertexCount, 0);
      const std::vector<MeshVertex> built(p.mesh.vertices.begin(), p.mesh.vertices.begin() + p.mesh.vertexCount);
      if (expected.empty()) expected = built;
      ASSERT_EQ(built.size(), expected.size()) << trial << " path " << int(path);
      ASSERT_EQ(std::memcmp(built.data(), expected.data(), built.size() * sizeof(MeshVertex)), 0)
          << trial << " path " << int(path);
    }
  }
}

// Normals are sampled only where the surface passes, so a mesh must not depend on the frames
// before it: built after another frame it equals the same frame built by a fresh polygonizer.
TEST(MetaballPolygonizer, AMeshDoesNotDependOnTheFramesBeforeIt) {
  auto build = [](MetaballPolygonizer& p, float offset) {
    p.field.setSourcePosition(0, offset, 10, -5);
    p.field.setSourcePosition(1, -20, offset, 15);
    p.polygonize();
    return std::vector<MeshVertex>(p.mesh.vertices.begin(), p.mesh.vertices.begin() + p.mesh.vertexCount);
  };
  auto fresh = [] {
    auto p = std::make_unique<MetaballPolygonizer>();
    p->init(0.1f, 18, 10);
    p->field.addInverseSquare(10);
    p->field.addRing(16, 30);
    return p;
  };
  auto reused = fresh();
  build(*reused, 40);
  const std::vector<MeshVertex> after = build(*reused, -15);
  const std::vector<MeshVertex> alone = build(*fresh(), -15);
  ASSERT_EQ(after.size(), alone.size());
  ASSERT_GT(after.size(), 0u);
  EXPECT_EQ(std::memcmp(after.data(), alone.data(), after.size() * sizeof(MeshVertex)), 0);
}

// The sample rows, two corners a step, equal the reference bit for bit on random field values
// (zero gradients, whose normals are NaN, and negative values among them), every row length.
TEST(MetaballPolygonizer, GridRowsEqualTheReferenceOnRandomValues) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-2.0f, 2.0f);
  for (int32_t count = 0; count <= 21; ++count) {
    std::vector<float> f(size_t(7 * count));
    for (float& x : f) x = rng() % 8 == 0 ? 0.5f : value(rng) * float(rng() % 1000);
    const size_t n = size_t(count);
    std::vector<GridSample> fast(n), plainRow(n);
    storeGridRow(fast.data(), f.data(), count);
    plain::storeGridRow(plainRow.data(), f.data(), count);
    if (n == 0) continue;  // no row to compare (and memcmp may not be handed null pointers)
    ASSERT_EQ(std::memcmp(fast.data(), plainRow.data(), n * sizeof(GridSample)), 0) << count;
  }
}

}  // namespace
}  // namespace tarvola
