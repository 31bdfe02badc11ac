// Marching-cubes polygonizer: the tables checked through what they produce (every case closing
// up with its neighbours, which a wrong edge or triangle entry breaks), closed outward-facing
// surfaces for a sphere (with vertices snapped onto grid corners) and random fields of the
// three source kinds, the visiting order and the mesh's capacity bound.
#include "metaballs/polygonizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <utility>

#include "metaballs/marching_cubes_tables.h"

namespace tarvola {
namespace {

Vec3 cross(Vec3 a, Vec3 b) { return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Vec3 a, Vec3 b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }

// Welds vertex copies by the grid edge they lie on (or the grid corner they snapped to) and
// checks every welded edge is used by exactly two faces, once in each direction: a closed,
// consistently oriented surface. Faces collapsed onto a snapped corner are left out of the
// count; returns how many there were.
int expectClosedOrientedSurface(const MetaballPolygonizer& p) {
  const Mesh& mesh = p.mesh;
  EXPECT_EQ(mesh.vertexCount, 3 * mesh.faceCount);
  std::map<int64_t, int32_t> ids;
  std::map<std::pair<int32_t, int32_t>, int> directed;
  int collapsed = 0;
  for (int32_t f = 0; f < mesh.faceCount; ++f) {
    int32_t id[3];
    bool onCorner[3];
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
      onCorner[v] = axis == 3;
      id[v] = ids.emplace(key * 4 + axis, int32_t(ids.size())).first->second;
    }
    if (id[0] == id[1] || id[1] == id[2] || id[0] == id[2]) {
      EXPECT_TRUE(onCorner[id[0] == id[1] || id[0] == id[2] ? 0 : 1]) << "collapsed face " << f << " off the corners";
      ++collapsed;
      continue;
    }
    for (int v = 0; v < 3; ++v) ++directed[{id[v], id[(v + 1) % 3]}];
  }
  int open = 0, doubled = 0;
  for (const auto& [edge, uses] : directed) {
    doubled += uses != 1;
    open += directed.find({edge.second, edge.first}) == directed.end();
  }
  EXPECT_EQ(open, 0) << "edges without a partner";
  EXPECT_EQ(doubled, 0) << "edges walked twice in one direction";
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

TEST(MetaballPolygonizer, SphereIsClosedWithOutwardNormals) {
  MetaballPolygonizer p;
  p.polygonize();  // before init: nothing to sample, nothing written
  EXPECT_EQ(p.mesh.faceCount, 0);
  p.init(0.1f, 18, 10);
  p.field.addInverseSquare(10);
  p.polygonize();
  // Sample (10, 9, 9) sits at (10, 0, 0): value 100 / 100, normal straight out along x.
  const GridSample& s = p.samples[size_t(10 + p.rowOffset[9] + p.sliceOffset[9])];
  EXPECT_EQ(s.value, 1.0f);
  EXPECT_TRUE(s.normal.x == 1.0f && s.normal.y == 0.0f && s.normal.z == 0.0f);
  ASSERT_GT(p.mesh.faceCount, 300);
  // Corners such as (30, 10, 0) lie exactly on the sphere (100 / 1000 == 0.1f): the vertices of
  // their cut edges snap onto them and collapse faces, and the surface stays closed.
  EXPECT_GT(expectClosedOrientedSurface(p), 0);
  const double radius = std::sqrt(100.0 / 0.1);
  const double volume = 4.0 / 3.0 * 3.14159265 * radius * radius * radius;
  EXPECT_NEAR(signedVolume(p.mesh), volume, 0.05 * volume);
  for (int32_t i = 0; i < p.mesh.vertexCount; ++i) {
    ASSERT_NEAR(std::sqrt(dot(p.mesh.vertices[size_t(i)].position, p.mesh.vertices[size_t(i)].position)), radius, 1.0) << i;
  }
}

TEST(MetaballPolygonizer, RandomFieldsOfEachKindAreClosedWithOutwardNormals) {
  std::mt19937 engine(20261206);
  auto uniform = [&](float lo, float hi) { return lo + (hi - lo) * float(engine() >> 8) * (1.0f / 16777216.0f); };
  for (int kinds = 0; kinds < 4; ++kinds) {  // inverse square, quartic, ring, one of each
    int fields = 0;
    for (int attempt = 0; attempt < 100 && fields < 4; ++attempt) {
      MetaballPolygonizer p;
      p.init(0.1f, 18, 10);
      const int count = kinds == 3 ? 3 : 1 + int(engine() % 3);
      for (int s = 0; s < count; ++s) {
        const int kind = kinds == 3 ? s : kinds;
        const float tube = uniform(12, 16);
        const int32_t index = kind == 0   ? p.field.addInverseSquare(uniform(4, 9))
                              : kind == 1 ? p.field.addQuartic(uniform(5, 10))
                                          : p.field.addRing(tube, uniform(tube + 4, 30));
        p.field.setSourcePosition(index, uniform(-25, 25), uniform(-25, 25), uniform(-25, 25));
      }
      p.polygonize();
      // Usable: the surface stays inside the grid and no sample is within rounding of the level.
      bool usable = true;
      const int32_t side = p.gridSize + 1;
      for (int32_t i = 0; i < side * side * side && usable; ++i) {
        const int32_t ix = i % side, iy = i / side % side, iz = i / (side * side);
        const float v = p.samples[size_t(ix + p.rowOffset[size_t(iy)] + p.sliceOffset[size_t(iz)])].value;
        const bool boundary = std::min({ix, iy, iz}) == 0 || std::max({ix, iy, iz}) == side - 1;
        usable = !(boundary && !(v < p.isoLevel)) && std::fabs(v - p.isoLevel) >= 1e-4f;
      }
      if (!usable) continue;
      ++fields;
      SCOPED_TRACE(::testing::Message() << "kinds " << kinds << " attempt " << attempt);
      ASSERT_GT(p.mesh.faceCount, 40);
      EXPECT_EQ(expectClosedOrientedSurface(p), 0);
      EXPECT_GT(signedVolume(p.mesh), 0.0);
      for (int32_t i = 0; i < p.mesh.vertexCount; ++i) {  // outward: the field falls along the normal
        const MeshVertex& v = p.mesh.vertices[size_t(i)];
        const Vec3 n = v.normal, q = v.position;
        const float h = 0.05f;
        ASSERT_LT(p.field.value(q.x + h * n.x, q.y + h * n.y, q.z + h * n.z) -
                      p.field.value(q.x - h * n.x, q.y - h * n.y, q.z - h * n.z),
                  0.0f)
            << "vertex " << i;
      }
    }
    EXPECT_EQ(fields, 4) << "too few usable random fields for kinds " << kinds;
  }
}

TEST(MetaballPolygonizer, CellsAreVisitedXOutermostZInnermost) {
  MetaballPolygonizer p;
  p.init(0.1f, 18, 10);
  // Off the grid's corners: a corner at a centre is infinite and its cut edges would give NaN.
  for (const Vec3& spot : {Vec3{41, -39, 1}, Vec3{-41, 21, 31}, Vec3{-39, 19, -29}, Vec3{5, 5, 5}}) {
    p.field.setSourcePosition(p.field.addInverseSquare(3), spot.x, spot.y, spot.z);
  }
  p.polygonize();
  ASSERT_GT(p.mesh.faceCount, 0);
  int64_t previous = -1;
  for (int32_t f = 0; f < p.mesh.faceCount; ++f) {
    int64_t cell = 0;
    for (int a = 0; a < 3; ++a) {
      float c = 0;
      for (int k = 0; k < 3; ++k) c += (&p.mesh.vertices[size_t(3 * f + k)].position.x)[a];
      cell = cell * 18 + int64_t(std::floor((c / 3 + 90.0f) / 10.0f));
    }
    ASSERT_GE(cell, previous) << "face " << f;
    previous = cell;
  }
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

TEST(MarchingCubesTables, EveryCaseClosesUpWithItsNeighbours) {
  // The middle cell of a 3x3x3-cell grid takes each case; every other sample is below the
  // level, so the tables must wrap the blob in a closed, consistently wound surface whatever
  // cases the neighbouring cells fall into. One wrong entry leaves a hole or a flipped face.
  for (int index = 0; index < 255; ++index) {
    MetaballPolygonizer p;
    p.init(0.5f, 3, 10);
    auto source = std::make_unique<CornerClassSource>();
    for (int c = 0; c < 8; ++c) {
      if (!(index >> c & 1)) {
        source->classes[1 + kCubeCornerOffset[c][2]][1 + kCubeCornerOffset[c][1]][1 + kCubeCornerOffset[c][0]] = 1;
      }
    }
    p.field.addSource(std::move(source));
    p.polygonize();
    SCOPED_TRACE(::testing::Message() << "case " << index);
    ASSERT_GT(p.mesh.faceCount, 0);
    EXPECT_EQ(expectClosedOrientedSurface(p), 0);
    EXPECT_GT(signedVolume(p.mesh), 0.0);  // counter-clockwise seen from outside
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

TEST(MetaballPolygonizer, StopsAppendingWhenTheMeshIsFull) {
  // The full surface has 23 328 faces; the default mesh holds 60 000 vertices.
  MetaballPolygonizer p;
  p.init(1.0f, 18, 10);
  p.field.addSource(std::make_unique<EggCrateSource>());
  p.polygonize();
  EXPECT_EQ(p.mesh.faceCount, 20000);
  EXPECT_EQ(p.mesh.vertexCount, 60000);
  EXPECT_EQ(p.mesh.vertices.size(), 60000u);
  p.field.sources.clear();  // the next frame starts afresh
  p.field.count = 0;
  p.polygonize();
  EXPECT_EQ(p.mesh.faceCount, 0);
  p.mesh.allocate(90000, 30000);
  p.field.addSource(std::make_unique<EggCrateSource>());
  p.polygonize();
  EXPECT_EQ(p.mesh.faceCount, 5832 * 4);
}

}  // namespace
}  // namespace tarvola
