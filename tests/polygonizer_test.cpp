// Marching-cubes polygonizer: the tables checked through what they produce (exact edge
// coverage, consistently oriented cells), closed outward-facing surfaces for a sphere and for
// random fields of the three source kinds, the snapping rule, the visiting order and the
// mesh's capacity bound.
#include "metaballs/polygonizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <utility>

#include "metaballs/marching_cubes_tables.h"

namespace tarvola {
namespace {

// Cube edge e's two corners, derived from the geometry: they differ in exactly one coordinate.
bool edgeJoins(int e, int a, int b) {
  const int p = kCubeEdgeCorners[e][0], q = kCubeEdgeCorners[e][1];
  return (p == a && q == b) || (p == b && q == a);
}

TEST(MarchingCubesTables, EdgeCornersAreTheCubesTwelveEdges) {
  std::set<std::pair<int, int>> seen;
  for (int e = 0; e < 12; ++e) {
    const int a = kCubeEdgeCorners[e][0], b = kCubeEdgeCorners[e][1];
    int differing = 0;
    for (int axis = 0; axis < 3; ++axis) differing += kCubeCornerOffset[a][axis] != kCubeCornerOffset[b][axis];
    EXPECT_EQ(differing, 1) << "edge " << e;
    seen.insert({std::min(a, b), std::max(a, b)});
  }
  EXPECT_EQ(seen.size(), 12u);
  EXPECT_TRUE(edgeJoins(3, 3, 0));
  EXPECT_TRUE(edgeJoins(11, 3, 7));
}

TEST(MarchingCubesTables, TrianglesUseExactlyTheCutEdgesOfEveryCase) {
  for (int index = 0; index < 256; ++index) {
    // The cut edges from the corner classification alone.
    uint32_t cut = 0;
    for (int e = 0; e < 12; ++e) {
      const bool belowA = index >> kCubeEdgeCorners[e][0] & 1, belowB = index >> kCubeEdgeCorners[e][1] & 1;
      if (belowA != belowB) cut |= 1u << e;
    }
    EXPECT_EQ(kCubeEdgeTable[index], cut) << "case " << index;

    uint32_t used = 0;
    int entries = 0;
    while (entries < 16 && kCubeTriangleTable[index][entries] != -1) {
      const int e = kCubeTriangleTable[index][entries];
      ASSERT_TRUE(e >= 0 && e < 12) << "case " << index;
      used |= 1u << e;
      ++entries;
    }
    EXPECT_EQ(used, cut) << "case " << index;
    EXPECT_EQ(entries % 3, 0) << "case " << index;
    EXPECT_LE(entries, 15) << "case " << index;
    for (int t = 0; t < entries; t += 3) {
      const int8_t* tri = &kCubeTriangleTable[index][t];
      EXPECT_TRUE(tri[0] != tri[1] && tri[1] != tri[2] && tri[0] != tri[2]) << "case " << index;
    }
    for (int rest = entries; rest < 16; ++rest) EXPECT_EQ(kCubeTriangleTable[index][rest], -1);
  }
}

Vec3 sub(Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 cross(Vec3 a, Vec3 b) { return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Vec3 a, Vec3 b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }

// The facing of a triangle: (p1 - p0) x (p2 - p0).
Vec3 faceNormal(Vec3 p0, Vec3 p1, Vec3 p2) { return cross(sub(p1, p0), sub(p2, p0)); }

TEST(MetaballPolygonizer, InitAllocatesGridTablesAndEmptyMesh) {
  MetaballPolygonizer p;
  p.init(0.1f, 18, 10);
  EXPECT_EQ(p.isoLevel, 0.1f);
  EXPECT_EQ(p.gridSize, 18);
  EXPECT_EQ(p.cellSize, 10.0f);
  EXPECT_EQ(p.samples.size(), 6859u);
  ASSERT_EQ(p.rowOffset.size(), 19u);
  ASSERT_EQ(p.sliceOffset.size(), 19u);
  EXPECT_EQ(p.rowOffset[18], 342);
  EXPECT_EQ(p.sliceOffset[18], 6498);
  EXPECT_EQ(p.sliceOffset[1], 361);
  EXPECT_EQ(p.cubeTriangles.size() * sizeof(float), 73728u);
  EXPECT_EQ(p.mesh.vertices.size(), 60000u);
  EXPECT_EQ(p.mesh.faces.size(), 60000u);
  EXPECT_EQ(p.mesh.vertexCount, 0);
  EXPECT_EQ(p.mesh.faceCount, 0);
  for (const GridSample& s : p.samples) ASSERT_EQ(s.value, 0.0f);
}

TEST(MetaballPolygonizer, EmptyFieldGivesEmptyMesh) {
  MetaballPolygonizer p;
  p.polygonize();  // before init: nothing to sample, nothing written
  EXPECT_EQ(p.mesh.faceCount, 0);
  p.init(0.1f, 18, 10);
  p.polygonize();
  EXPECT_EQ(p.mesh.vertexCount, 0);
  EXPECT_EQ(p.mesh.faceCount, 0);
  for (const GridSample& s : p.samples) ASSERT_EQ(s.value, 0.0f);
}

// Identifies a vertex by the grid edge it lies on (two coordinates on grid lines, the third
// between two), or by the grid corner it snapped to, and welds the copies of each.
struct Weld {
  const MetaballPolygonizer& p;
  std::map<int64_t, int32_t> ids;
  std::map<int64_t, Vec3> first;
  double worstGap = 0;
  bool lastWasCorner = false;

  int32_t id(Vec3 pos) {
    const double half = p.gridSize * double(p.cellSize) * 0.5;
    const double g[3] = {(pos.x + half) / p.cellSize, (pos.y + half) / p.cellSize, (pos.z + half) / p.cellSize};
    int64_t key = 0;
    int axis = 3;
    for (int a = 0; a < 3; ++a) {
      const double f = std::floor(g[a]);
      if (f != g[a]) axis = a;
      key = key * 64 + int64_t(f);
    }
    key = key * 4 + axis;
    lastWasCorner = axis == 3;
    auto [it, inserted] = ids.emplace(key, int32_t(ids.size()));
    if (inserted) {
      first[key] = pos;
    } else {
      const Vec3 d = sub(pos, first[key]);
      worstGap = std::max(worstGap, std::sqrt(dot(d, d)));
    }
    return it->second;
  }
};

// Every welded edge is used by exactly two faces, once in each direction: a closed,
// consistently oriented surface. A face with two corners welded together can only come from
// vertices snapped onto one grid corner; its edges cancel out, so it is left out of the count.
// Returns the number of such collapsed faces.
int expectClosedOrientedSurface(const MetaballPolygonizer& p) {
  const Mesh& mesh = p.mesh;
  EXPECT_EQ(mesh.vertexCount, 3 * mesh.faceCount);
  Weld weld{p, {}, {}, 0};
  std::map<std::pair<int32_t, int32_t>, int> directed;
  int collapsed = 0;
  for (int32_t f = 0; f < mesh.faceCount; ++f) {
    const MeshFace& face = mesh.faces[size_t(f)];
    int32_t id[3];
    bool onCorner[3];
    for (int v = 0; v < 3; ++v) {
      EXPECT_EQ(face.indices[v], 3 * f + v);  // three fresh vertices per face
      id[v] = weld.id(mesh.vertices[size_t(face.indices[v])].position);
      onCorner[v] = weld.lastWasCorner;
    }
    if (id[0] == id[1] || id[1] == id[2] || id[0] == id[2]) {
      const int repeated = id[0] == id[1] || id[0] == id[2] ? 0 : 1;
      EXPECT_TRUE(onCorner[repeated]) << "collapsed face " << f << " off the grid's corners";
      ++collapsed;
      continue;
    }
    for (int v = 0; v < 3; ++v) ++directed[{id[v], id[(v + 1) % 3]}];
  }
  EXPECT_LT(weld.worstGap, 1e-4);  // the copies of one vertex agree to float rounding
  int open = 0, doubled = 0;
  for (const auto& [edge, uses] : directed) {
    if (uses != 1) ++doubled;
    if (directed.find({edge.second, edge.first}) == directed.end()) ++open;
  }
  EXPECT_EQ(open, 0) << "edges without a partner";
  EXPECT_EQ(doubled, 0) << "edges walked twice in one direction";
  return collapsed;
}

// Faces whose winding disagrees with their vertex normals: ((p1 - p0) x (p2 - p0)) . n > 0
// when the corners run counter-clockwise seen from the side the normals point to.
// Collapsed faces and slivers carry no reliable facing and are skipped.
int windingDisagreements(const Mesh& mesh) {
  int disagreements = 0;
  for (int32_t f = 0; f < mesh.faceCount; ++f) {
    const MeshVertex* v = &mesh.vertices[size_t(3 * f)];
    const Vec3 n = faceNormal(v[0].position, v[1].position, v[2].position);
    if (dot(n, n) < 1e-8) continue;
    const Vec3 sum{v[0].normal.x + v[1].normal.x + v[2].normal.x, v[0].normal.y + v[1].normal.y + v[2].normal.y,
                   v[0].normal.z + v[1].normal.z + v[2].normal.z};
    if (!(dot(n, sum) > 0.0)) ++disagreements;
  }
  return disagreements;
}

// Signed volume enclosed by the faces, by the divergence theorem: positive when they are
// wound counter-clockwise seen from outside.
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
  p.init(0.1f, 18, 10);
  p.field.addInverseSquare(10);
  p.field.setSourcePosition(0, 0, 0, 0);
  p.polygonize();

  // Sample (10, 9, 9) sits at (10, 0, 0): value 100 / 100, normal straight out along x.
  const GridSample& s = p.samples[size_t(10 + p.rowOffset[9] + p.sliceOffset[9])];
  EXPECT_EQ(s.value, 1.0f);
  EXPECT_EQ(s.normal.x, 1.0f);
  EXPECT_EQ(s.normal.y, 0.0f);
  EXPECT_EQ(s.normal.z, 0.0f);
  EXPECT_TRUE(std::isinf(p.samples[size_t(9 + p.rowOffset[9] + p.sliceOffset[9])].value));

  ASSERT_GT(p.mesh.faceCount, 300);
  // Corners such as (30, 10, 0) lie exactly on the sphere (100 / 1000 == 0.1f) and collapse
  // the faces around them.
  EXPECT_GT(expectClosedOrientedSurface(p), 0);
  EXPECT_EQ(windingDisagreements(p.mesh), 0);
  const double radius = std::sqrt(100.0 / 0.1);  // 31.62...
  const double sphereVolume = 4.0 / 3.0 * 3.14159265358979 * radius * radius * radius;
  EXPECT_NEAR(signedVolume(p.mesh), sphereVolume, 0.05 * sphereVolume);
  for (int32_t i = 0; i < p.mesh.vertexCount; ++i) {
    const MeshVertex& v = p.mesh.vertices[size_t(i)];
    const double r = std::sqrt(dot(v.position, v.position));
    ASSERT_NEAR(r, radius, 1.0) << "vertex " << i;
    const double nLength = std::sqrt(dot(v.normal, v.normal));
    ASSERT_GT(dot(v.normal, v.position) / (r * nLength), 0.99) << "vertex " << i;  // radial, outward
  }
}

// Deterministic draws, independent of the standard library's distributions.
struct Draw {
  std::mt19937 engine;
  float uniform(float lo, float hi) { return lo + (hi - lo) * float(engine() >> 8) * (1.0f / 16777216.0f); }
};

enum class Kinds { kInverseSquare, kQuartic, kRing, kMixed };

void addRandomSource(ImplicitField& field, Draw& draw, int kind) {
  int32_t index = 0;
  if (kind == 0) index = field.addInverseSquare(draw.uniform(4, 9));
  if (kind == 1) index = field.addQuartic(draw.uniform(5, 10));
  if (kind == 2) {
    const float tube = draw.uniform(12, 16);
    index = field.addRing(tube, draw.uniform(tube + 4, 30));
  }
  field.setSourcePosition(index, draw.uniform(-25, 25), draw.uniform(-25, 25), draw.uniform(-25, 25));
}

// A field is usable for the closed-surface check when its surface stays inside the grid and no
// sample lies so near the iso level that a vertex lands within float rounding of a corner.
bool usableField(const MetaballPolygonizer& p) {
  const int32_t side = p.gridSize + 1;
  for (int32_t iz = 0; iz < side; ++iz) {
    for (int32_t iy = 0; iy < side; ++iy) {
      for (int32_t ix = 0; ix < side; ++ix) {
        const float v = p.samples[size_t(ix + p.rowOffset[size_t(iy)] + p.sliceOffset[size_t(iz)])].value;
        const bool boundary = ix == 0 || iy == 0 || iz == 0 || ix == side - 1 || iy == side - 1 || iz == side - 1;
        if (boundary && !(v < p.isoLevel)) return false;
        if (std::fabs(v - p.isoLevel) < 1e-4f) return false;
      }
    }
  }
  return true;
}

TEST(MetaballPolygonizer, RandomFieldsOfEachKindAreClosedWithOutwardNormals) {
  Draw draw{std::mt19937(20261206)};
  for (Kinds kinds : {Kinds::kInverseSquare, Kinds::kQuartic, Kinds::kRing, Kinds::kMixed}) {
    int fields = 0;
    for (int attempt = 0; attempt < 100 && fields < 4; ++attempt) {
      MetaballPolygonizer p;
      p.init(0.1f, 18, 10);
      const int count = kinds == Kinds::kMixed ? 3 : 1 + int(draw.engine() % 3);
      for (int s = 0; s < count; ++s) addRandomSource(p.field, draw, kinds == Kinds::kMixed ? s : int(kinds));
      p.polygonize();
      if (!usableField(p)) continue;
      ++fields;
      SCOPED_TRACE(testing::Message() << "kinds " << int(kinds) << " attempt " << attempt);
      ASSERT_GT(p.mesh.faceCount, 40);
      EXPECT_EQ(expectClosedOrientedSurface(p), 0);
      EXPECT_GT(signedVolume(p.mesh), 0.0);
      // Where a thin ring folds the surface inside one cell a face can lean past its normals.
      EXPECT_LE(windingDisagreements(p.mesh), p.mesh.faceCount / 50);
      // Outward: the field falls along every vertex normal.
      for (int32_t i = 0; i < p.mesh.vertexCount; ++i) {
        const MeshVertex& v = p.mesh.vertices[size_t(i)];
        const float h = 0.05f;
        const Vec3 gradient{p.field.value(v.position.x + h, v.position.y, v.position.z) -
                                p.field.value(v.position.x - h, v.position.y, v.position.z),
                            p.field.value(v.position.x, v.position.y + h, v.position.z) -
                                p.field.value(v.position.x, v.position.y - h, v.position.z),
                            p.field.value(v.position.x, v.position.y, v.position.z + h) -
                                p.field.value(v.position.x, v.position.y, v.position.z - h)};
        ASSERT_LT(dot(gradient, v.normal), 0.0) << "vertex " << i;
      }
    }
    EXPECT_EQ(fields, 4) << "too few usable random fields for kinds " << int(kinds);
  }
}

TEST(MetaballPolygonizer, CornerAtTheIsoLevelTakesTheVertexOfEveryCutEdge) {
  // A blob of radius 10 at the origin has value 100/900 at (30, 0, 0): make that the level.
  // The corner is not below (strict), its outer neighbour is, and the vertex snaps to it.
  ImplicitField probe;
  probe.addInverseSquare(10);
  const float level = probe.value(30, 0, 0);
  MetaballPolygonizer p;
  p.init(level, 18, 10);
  p.field.addInverseSquare(10);
  p.polygonize();
  const GridSample& corner = p.samples[size_t(12 + p.rowOffset[9] + p.sliceOffset[9])];
  ASSERT_EQ(corner.value, level);
  int snapped = 0;
  for (int32_t i = 0; i < p.mesh.vertexCount; ++i) {
    const MeshVertex& v = p.mesh.vertices[size_t(i)];
    if (v.position.y == 0 && v.position.z == 0 && v.position.x > 20) {
      EXPECT_EQ(v.position.x, 30.0f);  // never between 30 and 40
      EXPECT_EQ(v.normal.x, corner.normal.x);
      EXPECT_EQ(v.normal.y, corner.normal.y);
      EXPECT_EQ(v.normal.z, corner.normal.z);
      ++snapped;
    }
  }
  EXPECT_GT(snapped, 0);
}

TEST(MetaballPolygonizer, CellsAreVisitedXOutermostZInnermost) {
  MetaballPolygonizer p;
  p.init(0.1f, 18, 10);
  // Off the grid's corners: a corner at a centre is infinite and its cut edges would give NaN.
  const float spots[4][3] = {{41, -39, 1}, {-41, 21, 31}, {-39, 19, -29}, {5, 5, 5}};
  for (const auto& spot : spots) {
    const int32_t index = p.field.addInverseSquare(3);
    p.field.setSourcePosition(index, spot[0], spot[1], spot[2]);
  }
  p.polygonize();
  ASSERT_GT(p.mesh.faceCount, 0);
  int64_t previous = -1;
  for (int32_t f = 0; f < p.mesh.faceCount; ++f) {
    const MeshVertex* v = &p.mesh.vertices[size_t(3 * f)];
    int64_t cell = 0;
    const float centroid[3] = {(v[0].position.x + v[1].position.x + v[2].position.x) / 3,
                               (v[0].position.y + v[1].position.y + v[2].position.y) / 3,
                               (v[0].position.z + v[1].position.z + v[2].position.z) / 3};
    for (float c : centroid) cell = cell * 18 + int64_t(std::floor((c + 90.0f) / 10.0f));
    ASSERT_GE(cell, previous) << "face " << f;
    previous = cell;
  }
}

// Reads 1 (not below) or 0 (below) from a 4x4x4 table of classes at the nearest sample of a
// 3-cell grid spanning -15..15; the normals come out undefined, the positions are midpoints.
struct CornerClassSource : FieldSource {
  float classes[4][4][4] = {};  // [iz][iy][ix]
  float value(float x, float y, float z) const override {
    auto cell = [](float c) { return std::clamp(int(std::lround((c + 15.0f) / 10.0f)), 0, 3); };
    return classes[cell(z)][cell(y)][cell(x)];
  }
  void setPosition(float, float, float) override {}
};

TEST(MarchingCubesTables, EveryCaseClosesUpWithItsNeighbours) {
  // The middle cell of a 3x3x3-cell grid takes each of the 256 cases; every other sample is
  // below the level, so the corners above it form a blob that the tables must wrap in a
  // closed surface, consistently wound, whatever cases its neighbouring cells fall into.
  // A single wrong table entry leaves a hole or a flipped triangle here.
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
    SCOPED_TRACE(testing::Message() << "case " << index);
    ASSERT_GT(p.mesh.faceCount, 0);
    EXPECT_EQ(expectClosedOrientedSurface(p), 0);
    // The tables wind each face counter-clockwise seen from outside the blob: positive volume.
    EXPECT_GT(signedVolume(p.mesh), 0.0);
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
  MetaballPolygonizer roomy;
  roomy.init(1.0f, 18, 10);
  roomy.mesh.allocate(90000, 30000);  // room for the whole surface
  roomy.field.addSource(std::make_unique<EggCrateSource>());
  roomy.polygonize();
  EXPECT_EQ(roomy.mesh.faceCount, 5832 * 4);

  MetaballPolygonizer p;
  p.init(1.0f, 18, 10);
  p.field.addSource(std::make_unique<EggCrateSource>());
  p.polygonize();
  EXPECT_EQ(p.mesh.faceCount, 20000);
  EXPECT_EQ(p.mesh.vertexCount, 60000);
  EXPECT_EQ(p.mesh.vertices.size(), 60000u);
  EXPECT_EQ(p.mesh.faces.size(), 60000u);
  // What was kept is the start of the full surface, in the same order.
  for (int32_t i = 0; i < p.mesh.vertexCount; ++i) {
    const MeshVertex& a = p.mesh.vertices[size_t(i)];
    const MeshVertex& b = roomy.mesh.vertices[size_t(i)];
    ASSERT_TRUE(a.position.x == b.position.x && a.position.y == b.position.y && a.position.z == b.position.z)
        << "vertex " << i;
  }
  // The next frame starts afresh.
  p.field.sources.clear();
  p.field.count = 0;
  p.polygonize();
  EXPECT_EQ(p.mesh.faceCount, 0);
}

}  // namespace
}  // namespace tarvola
