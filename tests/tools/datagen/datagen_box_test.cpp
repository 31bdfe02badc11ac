// The generated room data/box.3ds: chunk tree as the 3DS loader walks it, counts confirmed by an
// independent reader (assimp), closed surfaces wound toward the inside (a front shell and a back
// shell just behind it that fills what the pipeline drops from the front), fine tessellation,
// and every eye position of the metaballs scene inside with room to spare.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/math3d.h"
#include "support/test_support.h"

namespace tarvola {
namespace {

const std::string kBoxPath = std::string(TARVOLA_BINARY_DIR) + "/data/box.3ds";

struct Point {
  double x, y, z;
};
Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point cross(Point a, Point b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(Point a) { return std::sqrt(dot(a, a)); }

// The mesh as this test's own chunk walker reads it from the file.
struct BoxFile {
  std::vector<float> xyz, uv;   // file coordinates, mapping pairs
  std::vector<uint16_t> faces;  // a, b, c per face (flags dropped)
  std::string objectName;
  int meshes = 0;
  std::vector<std::string> problems;
  std::vector<Point> world;  // through the loader's axis swap and the scene's placement
};

BoxFile readBox() {
  BoxFile box;
  const std::string b = testing::readFile(kBoxPath);
  auto u16 = [&](size_t at) { return uint32_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  auto f32 = [&](size_t at) { const uint32_t bits = u32(at); float f; std::memcpy(&f, &bits, 4); return f; };
  if (b.size() < 6 || u16(0) != 0x4D4D || u32(2) != b.size()) {
    box.problems.push_back("main chunk 0x4D4D must span the whole file");
    return box;
  }
  // The children of [begin, end) as (id, data start, chunk end); each must fit its parent.
  auto children = [&](size_t begin, size_t end) {
    std::vector<std::tuple<uint32_t, size_t, size_t>> list;
    for (size_t at = begin; at < end; at += u32(at + 2)) {
      if (at + 6 > end || u32(at + 2) < 6 || at + u32(at + 2) > end) {
        box.problems.push_back("chunk overruns its parent");
        break;
      }
      list.emplace_back(u16(at), at + 6, at + u32(at + 2));
    }
    return list;
  };
  for (auto [id, start, end] : children(6, b.size())) {
    if (id != 0x3D3D) continue;
    for (auto [objectId, objectStart, objectEnd] : children(start, end)) {
      if (objectId != 0x4000) continue;
      size_t at = objectStart;
      while (at < objectEnd && b[at] != 0) box.objectName += b[at++];
      for (auto [meshId, meshStart, meshEnd] : children(at + 1, objectEnd)) {
        if (meshId != 0x4100) continue;
        ++box.meshes;
        for (auto [part, data, partEnd] : children(meshStart, meshEnd)) {
          const size_t count = u16(data), itemSize = part == 0x4110 ? 12 : 8;
          if ((part == 0x4110 || part == 0x4120 || part == 0x4140) && data + 2 + count * itemSize != partEnd)
            box.problems.push_back("list size of chunk " + std::to_string(part));
          for (size_t i = 0; part == 0x4110 && i < count * 3; ++i) box.xyz.push_back(f32(data + 2 + i * 4));
          for (size_t i = 0; part == 0x4140 && i < count * 2; ++i) box.uv.push_back(f32(data + 2 + i * 4));
          for (size_t i = 0; part == 0x4120 && i < count * 4; ++i)
            if (i % 4 != 3) box.faces.push_back(uint16_t(u16(data + 2 + i * 2)));
        }
      }
    }
  }
  // World positions: the loader's swap (x, y, z) -> (x, -z, y), then the scene's rotation
  // (-90, 0, 0) and position (0, 160, 0).
  Matrix4 rotation;
  setRotationDegrees(rotation, -90.0f, 0.0f, 0.0f);
  for (size_t i = 0; i + 2 < box.xyz.size(); i += 3) {
    Vec3 p;
    transformPoint(box.xyz[i], -box.xyz[i + 2], box.xyz[i + 1], p, rotation);
    box.world.push_back({p.x, p.y + 160.0, p.z});
  }
  return box;
}

const BoxFile& box() {
  static const BoxFile parsed = readBox();
  return parsed;
}

// The number after label in text, or -1.
long numberAfter(const std::string& text, const char* label) {
  const size_t at = text.find(label);
  return at == std::string::npos ? -1L : std::strtol(text.c_str() + at + std::strlen(label), nullptr, 10);
}

TEST(DataSetBox, ChunkTreeCountsAndMappingAsAssimpSeesThem) {
  for (const std::string& problem : box().problems) ADD_FAILURE() << problem;
  const size_t vertices = box().xyz.size() / 3, faces = box().faces.size() / 3;
  EXPECT_EQ(box().objectName, "box");
  EXPECT_EQ(box().meshes, 1);
  EXPECT_GE(faces, 10000u);
  EXPECT_LE(faces, 15000u);
  EXPECT_EQ(box().uv.size(), vertices * 2);  // one mapping pair per vertex
  for (uint16_t index : box().faces) ASSERT_LT(index, vertices);
  float uMax = 0, vMax = 0;  // several plate repeats per wall
  for (size_t i = 0; i < box().uv.size(); i += 2) uMax = std::max(uMax, box().uv[i]), vMax = std::max(vMax, box().uv[i + 1]);
  EXPECT_GE(std::min(uMax, vMax), 3.0f);
  const std::string assimp = testing::runCommand("assimp info '" + kBoxPath + "' 2>&1");
  EXPECT_EQ(numberAfter(assimp, "Meshes:"), 1);
  EXPECT_EQ(numberAfter(assimp, "Vertices:"), long(vertices)) << assimp;
  EXPECT_EQ(numberAfter(assimp, "Faces:"), long(faces)) << assimp;
}

// Closed and consistently wound: with vertices welded by position, every directed edge is used
// once and its reverse once. Wound inward: each face's (p1 - p0) x (p2 - p0), the side the
// back-face test keeps toward the eye, points at the room's centre. Every eye position of the
// scene (its clock e over both periods) lies inside both shells (generalised winding number
// -2, 0 far outside), at least 60 + 10 sqrt(3) from any wall (the near plane and the shake).
TEST(DataSetBox, ClosedWoundInwardAndEnclosesEveryEyePosition) {
  const BoxFile& b = box();
  ASSERT_FALSE(b.world.empty());
  std::map<std::tuple<float, float, float>, int> weld;
  std::vector<int> id(b.world.size());
  Point centre{0, 0, 0};
  for (size_t i = 0; i < id.size(); ++i) {
    id[i] = weld.emplace(std::make_tuple(b.xyz[i * 3], b.xyz[i * 3 + 1], b.xyz[i * 3 + 2]), int(weld.size())).first->second;
    centre = {centre.x + b.world[i].x / double(id.size()), centre.y + b.world[i].y / double(id.size()),
              centre.z + b.world[i].z / double(id.size())};
  }
  EXPECT_LT(length(centre), 1.0);  // centred on the world origin
  std::map<std::pair<int, int>, int> edges;
  double longestEdge = 0;
  size_t outward = 0;
  for (size_t f = 0; f < b.faces.size(); f += 3) {
    for (size_t k = 0; k < 3; ++k) {
      const uint16_t v0 = b.faces[f + k], v1 = b.faces[f + (k + 1) % 3];
      ++edges[{id[v0], id[v1]}];
      longestEdge = std::max(longestEdge, length(b.world[v0] - b.world[v1]));
    }
    const Point p0 = b.world[b.faces[f]], p1 = b.world[b.faces[f + 1]], p2 = b.world[b.faces[f + 2]];
    outward += dot(cross(p1 - p0, p2 - p0), centre - p0) <= 0.0;
  }
  size_t unmatched = 0;
  for (const auto& [edge, count] : edges) unmatched += count != 1 || edges.count({edge.second, edge.first}) != 1;
  EXPECT_EQ(unmatched, 0u);
  EXPECT_EQ(outward, 0u);
  EXPECT_LE(longestEdge, 34.0);  // quads of at most about 24 units, plus their diagonal

  auto winding = [&](Point eye) {  // solid angles / 4 pi
    double total = 0;
    for (size_t f = 0; f < b.faces.size(); f += 3) {
      const Point p = b.world[b.faces[f]] - eye, q = b.world[b.faces[f + 1]] - eye, r = b.world[b.faces[f + 2]] - eye;
      const double lp = length(p), lq = length(q), lr = length(r);
      total += 2.0 * std::atan2(dot(p, cross(q, r)), lp * lq * lr + dot(p, q) * lr + dot(p, r) * lq + dot(q, r) * lp);
    }
    return total / (4.0 * 3.141592653589793);
  };
  for (int i = 0; i < 120; ++i) {
    const double e = i * 37.0, a = e * 0.0052358333269755045;
    const Point eye{140.0 * std::sin(a), -140.0 * std::sin(e * 0.006108472214804755), 140.0 * std::cos(a)};
    double nearest = 1e30;  // any surface point is within longestEdge / sqrt(3) of a vertex
    for (const Point& p : b.world) nearest = std::min(nearest, length(p - eye));
    EXPECT_GE(nearest - longestEdge / std::sqrt(3.0), 60.0 + 10.0 * std::sqrt(3.0)) << "e " << e;
    EXPECT_NEAR(winding(eye), -2.0, 1e-6) << "e " << e;
  }
  EXPECT_NEAR(winding({1000, 0, 0}), 0.0, 1e-6);
}

}  // namespace
}  // namespace tarvola
