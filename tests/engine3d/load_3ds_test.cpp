// The 3DS loader: files built chunk by chunk here, a file written by an independent tool
// (assimp), and damaged files (truncations, lengths past their parent, counts that do not fit,
// indices out of range), which must fail with the message and never read outside the file image
// (random corruption is the fuzzer's).
#include "engine3d/load_3ds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine3d/mesh.h"
#include "support/test_support.h"

namespace tarvola {
namespace {

using Bytes = std::vector<uint8_t>;

void putU16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void putU32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
void putF32(Bytes& b, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  putU32(b, bits);
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}
Bytes chunk(uint16_t id, const Bytes& payload) {
  Bytes b;
  putU16(b, id);
  putU32(b, uint32_t(payload.size() + 6));
  return cat({b, payload});
}
Bytes name(const char* text) { return Bytes(text, text + std::strlen(text) + 1); }
// A list chunk: a 16-bit count, then the floats of each entry (faces add their flags word).
Bytes list(uint16_t id, const std::vector<std::vector<float>>& entries, const Bytes& subChunks = {}) {
  Bytes b;
  putU16(b, uint32_t(entries.size()));
  for (const auto& e : entries) {
    for (float f : e) id == 0x4120 ? putU16(b, uint32_t(f)) : putF32(b, f);
    if (id == 0x4120) putU16(b, 7);
  }
  return chunk(id, cat({b, subChunks}));
}
Bytes object(const char* objectName, const Bytes& children) { return chunk(0x4000, cat({name(objectName), children})); }
Bytes trimesh(std::initializer_list<Bytes> parts) { return object("a", chunk(0x4100, cat(parts))); }
Bytes file(const Bytes& editorChildren) {
  Bytes version;
  putU32(version, 3);
  return chunk(0x4D4D, cat({chunk(0x0002, version), chunk(0x3D3D, editorChildren)}));
}
const Bytes kVerts = list(0x4110, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
const Bytes kFace = list(0x4120, {{0, 1, 2}});

// One triangle mesh with a material sub-chunk after its faces.
Bytes triangleObject(const char* objectName, float offset) {
  const Bytes material = chunk(0x4130, cat({name("m"), {1, 0, 0, 0}}));
  return object(objectName, chunk(0x4100, cat({list(0x4110, {{1 + offset, 2, 3}, {4, 5, 6}, {7, 8, 9}, {-1, -2, -3}}),
                                               list(0x4120, {{0, 1, 2}, {2, 3, 0}}, material),
                                               list(0x4140, {{0.25f, 0.5f}, {0, 0}, {1, 1}, {0.5f, -0.25f}})})));
}

struct Parsed {
  bool ok = false;
  std::vector<LoadedVertex> vertices;
  std::vector<LoadedFace> faces;
  int32_t vertexCount = -1, faceCount = -1;
};
// Parses from a buffer of exactly the file's size, so a read past the end is a heap overflow.
Parsed parse(const Bytes& bytes, const char* objectName = nullptr) {
  Parsed p;
  std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + 1]);
  if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
  p.ok = parseMeshChunks(exact.get(), bytes.size(), objectName, p.vertices, p.faces, p.vertexCount, p.faceCount);
  return p;
}

class Load3dsTest : public ::testing::Test {
 protected:
  Mesh load(const Bytes& bytes) {
    std::ofstream(dir / "mesh.3ds", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    Mesh mesh;
    mesh.loadMesh((dir / "mesh.3ds").string().c_str());
    return mesh;
  }
  testing::MessageRecorder recorder;
  testing::ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
};

TEST_F(Load3dsTest, MappingOnlyWhenItFitsAndFirstOrNamedMeshObject) {
  // No mapping, more entries than vertices, or mapping before the vertex list: u stays 0.
  const Bytes tooLong = list(0x4140, {{1, 1}, {1, 1}, {1, 1}, {1, 1}});
  for (const Bytes& f : {file(trimesh({kVerts, kFace})), file(trimesh({kVerts, kFace, tooLong})),
                         file(trimesh({list(0x4140, {{1, 1}}), kVerts, kFace}))}) {
    const Parsed p = parse(f);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.vertices[0].u, 0.0f);
  }
  Parsed p = parse(file(trimesh({kVerts, kFace, list(0x4140, {{0.5f, 0.75f}})})));  // fewer: the first ones
  EXPECT_TRUE(p.ok && p.vertices[0].u == 0.5f && p.vertices[0].v == -0.75f && p.vertices[1].u == 0.0f);

  // A light and a camera (no triangle mesh) are passed over; then the first mesh counts.
  const Bytes light = object("light01", chunk(0x4600, Bytes(12, 0))),
              camera = object("cam", chunk(0x4700, Bytes(32, 0)));
  p = parse(file(cat({light, camera, triangleObject("first", 100), triangleObject("second", 0)})));
  EXPECT_TRUE(p.ok && p.vertexCount == 4 && p.faceCount == 2 && p.vertices[0].x == 101.0f &&
              p.faces[1].indices[1] == 3);
  EXPECT_TRUE(p.vertices[3].u == 0.5f && p.vertices[3].v == 0.25f);  // after the faces' material sub-chunk
  // Other top-level and editor-level chunks are skipped by their length.
  const Bytes editor = chunk(0x3D3D, cat({chunk(0xAFFF, Bytes(9, 1)), triangleObject("m", 0)}));
  EXPECT_TRUE(parse(chunk(0x4D4D, cat({chunk(0xB000, Bytes(20, 0xFF)), editor}))).ok);
  // Selection by name; the first 64 characters take part.
  p = parse(file(cat({triangleObject("first", 0), triangleObject("second", 100)})), "second");
  EXPECT_TRUE(p.ok && p.vertices[0].x == 101.0f);
  EXPECT_TRUE(parse(file(triangleObject(std::string(80, 'n').c_str(), 0)), std::string(64, 'n').c_str()).ok);
  p = parse(file(triangleObject("first", 0)), "other");
  EXPECT_TRUE(!p.ok && p.vertexCount == 0);
}

TEST_F(Load3dsTest, DamagedFilesAreRejectedWithTheMessage) {
  auto setU16 = [](Bytes b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
    return b;
  };
  Bytes shortChunk = chunk(0x1234, {});
  shortChunk[2] = 5;  // a length under the header size
  const Bytes good = file(triangleObject("box", 0));
  const Bytes cases[] = {
      chunk(0x3D3D, triangleObject("box", 0)),  // no main chunk
      chunk(0x4D4D, Bytes(6, 0)),               // main chunk of 12 bytes or less
      Bytes{0x4D, 0x4D},
      Bytes{},
      file(object("light", chunk(0x4600, Bytes(12, 0)))),  // no triangle mesh
      file(trimesh({kFace})),                              // no vertex list
      file(trimesh({kVerts})),                             // no face list
      Bytes(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)),
      setU16(good, 2, uint16_t(good.size() + 1)),       // main length one past the file
      file(trimesh({setU16(kVerts, 2, 1000), kFace})),  // inner length past its parent
      file(trimesh({shortChunk, kVerts, kFace})),
      file(trimesh({setU16(kVerts, 6, 4), kFace})),  // counts that do not fit
      file(trimesh({kVerts, setU16(kFace, 6, 2)})),
      file(trimesh({kVerts, kFace, setU16(list(0x4140, {{1, 1}, {1, 1}}), 6, 3)})),
      file(trimesh({kVerts, kFace, chunk(0x4140, Bytes{})})),
      file(trimesh({chunk(0x4110, Bytes{1}), kFace})),
      file(trimesh({kVerts, list(0x4120, {{0, 1, 3}})})),  // a face index equal to the vertex count
      file(chunk(0x4000, Bytes{'a', 'b', 'c'})),           // an object name without its NUL
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const size_t before = recorder.messages().size();
    const Mesh mesh = load(cases[i]);
    ASSERT_EQ(recorder.messages().size(), before + 1) << "case " << i;
    EXPECT_EQ(recorder.messages().back().text, "error reading 3dsfile!");
    EXPECT_EQ(recorder.messages().back().caption, "hore");
    EXPECT_TRUE(mesh.vertexCount == 0 && mesh.faceCount == 0 && mesh.vertices.empty()) << "case " << i;
  }
  // A face list read before its vertex list is checked against the final count.
  EXPECT_TRUE(parse(file(trimesh({kFace, kVerts}))).ok);
  // Truncated at every byte: the main chunk then runs past the bytes read.
  for (size_t n = 0; n < good.size(); ++n) {
    const Parsed p = parse(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)));
    ASSERT_TRUE(!p.ok && p.vertices.empty() && p.faces.empty() && p.vertexCount == 0 && p.faceCount == 0) << n;
  }
  // Absent, then a directory in its place (whose seek claims LONG_MAX bytes): never opened as a file.
  std::filesystem::remove(dir / "mesh.3ds");
  for (int directory = 0; directory < 2; ++directory) {
    if (directory) std::filesystem::create_directory(dir / "mesh.3ds");
    Mesh absent;
    absent.loadMesh((dir / "mesh.3ds").string().c_str());
    EXPECT_EQ(recorder.messages().back().text, "Cant open " + (dir / "mesh.3ds").string());
    EXPECT_EQ(recorder.messages().back().caption, "ERROR!");
    EXPECT_EQ(absent.vertexCount, 0);
  }
  std::filesystem::remove(dir / "mesh.3ds");
}

// An OBJ model exported to 3DS by assimp: counts, positions (axis swap), UVs and windings survive.
TEST_F(Load3dsTest, FileWrittenByAssimpLoads) {
  const float pos[6][3] = {{30, 0, 0}, {0, 30, 0}, {-30, 0, 0}, {0, -30, 0}, {0, 0, 30}, {0, 0, -30}};
  const float uv[6][2] = {{0, 0}, {0.25f, 0.125f}, {0.5f, 0.25f}, {0.75f, 0.375f}, {1, 0.5f}, {0.125f, 1}};
  const int tri[8][3] = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {1, 0, 5}, {2, 1, 5}, {3, 2, 5}, {0, 3, 5}};
  {
    std::ofstream obj(dir / "model.obj");
    for (int i = 0; i < 6; ++i)
      obj << "v " << pos[i][0] << ' ' << pos[i][1] << ' ' << pos[i][2] << "\nvt " << uv[i][0] << ' ' << uv[i][1]
          << '\n';
    auto corner = [](int i) { return std::to_string(i + 1) + "/" + std::to_string(i + 1); };
    for (const auto& f : tri) obj << "f " << corner(f[0]) << ' ' << corner(f[1]) << ' ' << corner(f[2]) << '\n';
  }
  ASSERT_EQ(std::system(("cd '" + dir.string() + "' && assimp export model.obj model.3ds > /dev/null 2>&1").c_str()), 0)
      << "assimp (package assimp-utils) is required";
  Mesh mesh;
  mesh.loadMesh((dir / "model.3ds").string().c_str());
  ASSERT_TRUE(recorder.messages().empty());
  ASSERT_EQ(mesh.faceCount, 8);
  std::set<std::array<int, 3>> found;  // each face's model corners, rotated to start at the smallest
  for (int32_t f = 0; f < mesh.faceCount; ++f) {
    std::array<int, 3> c{-1, -1, -1};
    for (int k = 0; k < 3; ++k) {  // each loaded corner is a model vertex, axes swapped, with its mapping
      const MeshVertex& v = mesh.vertices[size_t(mesh.faces[size_t(f)].indices[k])];
      for (int i = 0; i < 6; ++i)
        if (v.position.x == pos[i][0] && v.position.y == -pos[i][2] && v.position.z == pos[i][1]) c[size_t(k)] = i;
      ASSERT_GE(c[size_t(k)], 0);
      EXPECT_TRUE(v.uv1[0] == 255.0f - 255.0f * uv[c[size_t(k)]][0] && v.uv1[1] == -255.0f * uv[c[size_t(k)]][1]);
    }
    std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
    found.insert(c);
  }
  for (const auto& t : tri) {
    std::array<int, 3> c{t[0], t[1], t[2]};
    std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
    EXPECT_EQ(found.count(c), 1u) << t[0] << t[1] << t[2];
  }
}

}  // namespace
}  // namespace tarvola
