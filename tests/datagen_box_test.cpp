// The generated room data/box.3ds: chunk tree as the 3DS loader walks it, counts confirmed by
// independent readers (assimp, lib3ds), closed surfaces wound toward the inside (a front shell and
// a back shell just behind it that fills what the pipeline drops from the front), fine enough
// tessellation, and every eye position of the metaballs scene inside with room to spare.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine3d/math3d.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

struct Point {
  double x, y, z;
};
Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point cross(Point a, Point b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(Point a) { return std::sqrt(dot(a, a)); }

// The mesh as read from the file by this test's own chunk walker.
struct BoxFile {
  std::vector<float> xyz;  // file coordinates
  std::vector<float> uv;
  std::vector<uint16_t> faces;  // a, b, c per face (flags checked and dropped)
  std::string objectName;
  std::vector<std::string> problems;
};

uint16_t read16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
uint32_t read32(const std::vector<uint8_t>& b, size_t at) { return read16(b, at) | uint32_t(read16(b, at + 2)) << 16; }
float readFloat(const std::vector<uint8_t>& b, size_t at) {
  const uint32_t bits = read32(b, at);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

BoxFile readBox() {
  BoxFile box;
  std::ifstream in(fs::path(TARVOLA_BINARY_DIR) / "data" / "box.3ds", std::ios::binary);
  const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  auto fail = [&](const std::string& why) { box.problems.push_back(why); };
  if (b.size() < 6 || read16(b, 0) != 0x4D4D || read32(b, 2) != b.size()) {
    fail("main chunk 0x4D4D must span the whole file");
    return box;
  }
  // Walks the children of [begin, end), checking that each child fits its parent exactly.
  auto children = [&](size_t begin, size_t end) {
    std::vector<std::tuple<uint16_t, size_t, size_t>> list;  // id, data start, chunk end
    size_t at = begin;
    while (at < end) {
      if (at + 6 > end || read32(b, at + 2) < 6 || at + read32(b, at + 2) > end) {
        fail("chunk overruns its parent");
        break;
      }
      list.emplace_back(read16(b, at), at + 6, at + read32(b, at + 2));
      at += read32(b, at + 2);
    }
    return list;
  };
  int editors = 0, objects = 0, meshes = 0;
  for (auto [id, start, end] : children(6, b.size())) {
    if (id != 0x3D3D) continue;
    ++editors;
    for (auto [objectId, objectStart, objectEnd] : children(start, end)) {
      if (objectId != 0x4000) continue;
      ++objects;
      size_t at = objectStart;
      while (at < objectEnd && b[at] != 0) box.objectName += char(b[at++]);
      for (auto [meshId, meshStart, meshEnd] : children(at + 1, objectEnd)) {
        if (meshId != 0x4100) continue;
        ++meshes;
        for (auto [part, data, partEnd] : children(meshStart, meshEnd)) {
          const size_t count = read16(b, data);
          if (part == 0x4110) {
            if (data + 2 + count * 12 != partEnd) fail("vertex list size");
            for (size_t i = 0; i < count * 3; ++i) box.xyz.push_back(readFloat(b, data + 2 + i * 4));
          } else if (part == 0x4120) {
            if (data + 2 + count * 8 != partEnd) fail("face list size");
            for (size_t i = 0; i < count; ++i) {
              for (size_t k = 0; k < 3; ++k) box.faces.push_back(read16(b, data + 2 + i * 8 + k * 2));
            }
          } else if (part == 0x4140) {
            if (data + 2 + count * 8 != partEnd) fail("mapping list size");
            for (size_t i = 0; i < count * 2; ++i) box.uv.push_back(readFloat(b, data + 2 + i * 4));
          }
        }
      }
    }
  }
  if (editors != 1 || objects != 1 || meshes != 1) fail("expected one 0x3D3D > 0x4000 > 0x4100");
  return box;
}

// World position of file vertex i, through the loader's axis swap (x, y, z) -> (x, -z, y),
// the scene's rotation setRotation(-90, 0, 0) and position (0, 160, 0).
std::vector<Point> worldPositions(const BoxFile& box) {
  Matrix4 rotation;
  setRotationDegrees(rotation, -90.0f, 0.0f, 0.0f);
  std::vector<Point> out;
  for (size_t i = 0; i + 2 < box.xyz.size(); i += 3) {
    Vec3 p;
    transformPoint(box.xyz[i], -box.xyz[i + 2], box.xyz[i + 1], p, rotation);
    out.push_back({p.x, p.y + 160.0, p.z});
  }
  return out;
}

// Eye positions of the metaballs scene: its animation clock e over a long stretch.
std::vector<Point> eyePath(int samples) {
  std::vector<Point> eyes;
  for (int i = 0; i < samples; ++i) {
    const double e = i * 37.0;  // beyond a full period of both the circle and the bob
    const double a = e * 0.0052358333269755045;
    eyes.push_back({140.0 * std::sin(a), -140.0 * std::sin(e * 0.006108472214804755), 140.0 * std::cos(a)});
  }
  return eyes;
}

TEST(DataSetBox, ChunkTreeCountsAndMapping) {
  const BoxFile box = readBox();
  for (const std::string& problem : box.problems) ADD_FAILURE() << problem;
  const size_t vertices = box.xyz.size() / 3, faces = box.faces.size() / 3;
  EXPECT_EQ(box.objectName, "box");
  EXPECT_GE(faces, 10000u);
  EXPECT_LE(faces, 15000u);
  EXPECT_EQ(box.uv.size(), vertices * 2);  // one mapping pair per vertex
  for (uint16_t index : box.faces) ASSERT_LT(index, vertices);
  // Several plate repeats per wall.
  float uMax = 0, vMax = 0;
  for (size_t i = 0; i < box.uv.size(); i += 2) {
    uMax = std::max(uMax, box.uv[i]);
    vMax = std::max(vMax, box.uv[i + 1]);
  }
  EXPECT_GE(uMax, 3.0f);
  EXPECT_GE(vMax, 3.0f);
}

std::string runCommand(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// The number after label in text, or -1.
long numberAfter(const std::string& text, const char* label) {
  const size_t at = text.find(label);
  return at == std::string::npos ? -1L : std::strtol(text.c_str() + at + std::strlen(label), nullptr, 10);
}

TEST(DataSetBox, IndependentReadersSeeTheCountsWritten) {
  const BoxFile box = readBox();
  const long vertices = long(box.xyz.size() / 3), faces = long(box.faces.size() / 3);
  const std::string path = (fs::path(TARVOLA_BINARY_DIR) / "data" / "box.3ds").string();
  const std::string assimp = runCommand("assimp info '" + path + "' 2>&1");
  EXPECT_EQ(numberAfter(assimp, "Meshes:"), 1);
  EXPECT_EQ(numberAfter(assimp, "Vertices:"), vertices) << assimp;
  EXPECT_EQ(numberAfter(assimp, "Faces:"), faces) << assimp;
  const std::string lib3ds = runCommand("3dsdump -t '" + path + "' 2>&1 | head -3");
  EXPECT_NE(lib3ds.find("box vertices="), std::string::npos) << lib3ds;
  EXPECT_EQ(numberAfter(lib3ds, "vertices="), vertices) << lib3ds;
  EXPECT_EQ(numberAfter(lib3ds, "faces="), faces) << lib3ds;
}

// Closed and consistently wound: with vertices welded by position, every directed edge is
// used once and its reverse once. Wound toward the inside: each face's (p1 - p0) x (p2 - p0),
// the direction the pipeline's back-face test keeps toward the eye, points at the room's
// centre.
TEST(DataSetBox, ClosedAndWoundTowardTheInside) {
  const BoxFile box = readBox();
  const std::vector<Point> world = worldPositions(box);
  ASSERT_FALSE(world.empty());
  std::map<std::tuple<float, float, float>, int> weld;
  std::vector<int> id(box.xyz.size() / 3);
  for (size_t i = 0; i < id.size(); ++i) {
    const auto key = std::make_tuple(box.xyz[i * 3], box.xyz[i * 3 + 1], box.xyz[i * 3 + 2]);
    id[i] = weld.emplace(key, int(weld.size())).first->second;
  }
  std::map<std::pair<int, int>, int> edges;
  double longestEdge = 0;
  size_t outward = 0;
  Point centre{0, 0, 0};
  for (const Point& p : world) centre = {centre.x + p.x, centre.y + p.y, centre.z + p.z};
  centre = {centre.x / double(world.size()), centre.y / double(world.size()), centre.z / double(world.size())};
  EXPECT_LT(length(centre), 1.0);  // the room is centred on the world origin
  for (size_t f = 0; f < box.faces.size(); f += 3) {
    for (int k = 0; k < 3; ++k) {
      const int a = id[box.faces[f + size_t(k)]], b = id[box.faces[f + size_t((k + 1) % 3)]];
      ++edges[{a, b}];
      longestEdge = std::max(longestEdge, length(world[box.faces[f + size_t(k)]] - world[box.faces[f + size_t((k + 1) % 3)]]));
    }
    const Point p0 = world[box.faces[f]], p1 = world[box.faces[f + 1]], p2 = world[box.faces[f + 2]];
    outward += dot(cross(p1 - p0, p2 - p0), centre - p0) <= 0.0;
  }
  size_t unmatched = 0;
  for (const auto& [edge, count] : edges) unmatched += count != 1 || edges.count({edge.second, edge.first}) != 1;
  EXPECT_EQ(unmatched, 0u);
  EXPECT_EQ(outward, 0u);
  EXPECT_LE(longestEdge, 34.0);  // quads of at most about 24 units (plus their diagonal)
}

// Generalised winding number of the surfaces around a point (solid angles / 4 pi): -1 inside
// each closed surface wound toward its inside, 0 outside; -2 inside both shells.
double windingNumber(const BoxFile& box, const std::vector<Point>& world, Point eye) {
  double total = 0;
  for (size_t f = 0; f < box.faces.size(); f += 3) {
    const Point a = world[box.faces[f]] - eye, b = world[box.faces[f + 1]] - eye, c = world[box.faces[f + 2]] - eye;
    const double la = length(a), lb = length(b), lc = length(c);
    total += 2.0 * std::atan2(dot(a, cross(b, c)), la * lb * lc + dot(a, b) * lc + dot(a, c) * lb + dot(b, c) * la);
  }
  return total / (4.0 * 3.141592653589793);
}

TEST(DataSetBox, EnclosesEveryEyePositionWithRoomToSpare) {
  const BoxFile box = readBox();
  const std::vector<Point> world = worldPositions(box);
  ASSERT_FALSE(world.empty());
  double longestEdge = 0;
  for (size_t f = 0; f < box.faces.size(); f += 3)
    for (int k = 0; k < 3; ++k)
      longestEdge = std::max(longestEdge, length(world[box.faces[f + size_t(k)]] - world[box.faces[f + size_t((k + 1) % 3)]]));
  for (const Point& eye : eyePath(120)) {
    // Any surface point lies within longestEdge / sqrt(3) of a vertex of its triangle.
    double nearest = 1e30;
    for (const Point& p : world) nearest = std::min(nearest, length(p - eye));
    EXPECT_GE(nearest - longestEdge / std::sqrt(3.0), 60.0 + 10.0 * std::sqrt(3.0));  // shake up to 10 per axis
    EXPECT_NEAR(windingNumber(box, world, eye), -2.0, 1e-6);
  }
  EXPECT_NEAR(windingNumber(box, world, {1000, 0, 0}), 0.0, 1e-6);
}

}  // namespace
}  // namespace tarvola
