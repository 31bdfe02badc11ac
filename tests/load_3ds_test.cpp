// The 3DS loader: files built chunk by chunk here, a file written by an independent tool
// (assimp), and damaged files (every truncation, lengths past their parent, counts that do not
// fit, indices out of range, random corruption), which must fail with the message and never
// read outside the file image.
#include "engine3d/load_3ds.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine3d/mesh.h"
#include "engine3d/pipeline.h"
#include "raster/depth_buffer.h"
#include "runtime/notify.h"

namespace tarvola {
namespace {

using Bytes = std::vector<uint8_t>;

void putU16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void putU32(Bytes& b, uint32_t v) {
  putU16(b, v & 0xFFFF);
  putU16(b, v >> 16);
}
void putF32(Bytes& b, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  putU32(b, bits);
}
Bytes chunk(uint16_t id, const Bytes& payload) {
  Bytes b;
  putU16(b, id);
  putU32(b, uint32_t(payload.size() + 6));
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}
Bytes name(const char* text) { return Bytes(text, text + std::strlen(text) + 1); }

Bytes vertexList(const std::vector<Vec3>& vs) {
  Bytes b;
  putU16(b, uint32_t(vs.size()));
  for (const Vec3& v : vs) {
    putF32(b, v.x);
    putF32(b, v.y);
    putF32(b, v.z);
  }
  return chunk(0x4110, b);
}
Bytes faceList(const std::vector<std::array<uint16_t, 3>>& fs, const Bytes& subChunks = {}) {
  Bytes b;
  putU16(b, uint32_t(fs.size()));
  for (const auto& f : fs) {
    for (uint16_t i : f) putU16(b, i);
    putU16(b, 7);
  }
  b.insert(b.end(), subChunks.begin(), subChunks.end());
  return chunk(0x4120, b);
}
Bytes mapping(const std::vector<std::pair<float, float>>& uvs) {
  Bytes b;
  putU16(b, uint32_t(uvs.size()));
  for (const auto& [u, v] : uvs) {
    putF32(b, u);
    putF32(b, v);
  }
  return chunk(0x4140, b);
}
Bytes object(const char* objectName, const Bytes& children) { return chunk(0x4000, cat({name(objectName), children})); }
Bytes file(const Bytes& editorChildren) {
  Bytes version;
  putU32(version, 3);
  return chunk(0x4D4D, cat({chunk(0x0002, version), chunk(0x3D3D, editorChildren)}));
}

// A small valid file: one triangle mesh with a material sub-chunk after its faces.
Bytes triangleObject(const char* objectName, float offset) {
  return object(objectName,
                chunk(0x4100, cat({vertexList({{1 + offset, 2, 3}, {4, 5, 6}, {7, 8, 9}, {-1, -2, -3}}),
                                   faceList({{0, 1, 2}, {2, 3, 0}}, chunk(0x4130, cat({name("mat"), Bytes{1, 0, 0, 0}}))),
                                   mapping({{0.25f, 0.5f}, {0, 0}, {1, 1}, {0.5f, -0.25f}})})));
}
Bytes validFile() { return file(triangleObject("box", 0)); }

struct Parsed {
  bool ok = false;
  std::vector<LoadedVertex> vertices;
  std::vector<LoadedFace> faces;
  int32_t vertexCount = -1, faceCount = -1;
};
// Parses from a buffer of exactly the file's size, so a read past the end is a heap overflow.
Parsed parse(const Bytes& bytes, const char* objectName = nullptr) {
  Parsed p;
  std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
  if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
  p.ok = parseMeshChunks(exact.get(), bytes.size(), objectName, p.vertices, p.faces, p.vertexCount, p.faceCount);
  return p;
}

std::vector<std::pair<std::string, std::string>> messages;
void recordMessage(const char* text, const char* caption) { messages.emplace_back(text, caption); }

class Load3dsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    messages.clear();
    previous = setMessageHandler(&recordMessage);
    char pattern[] = "/tmp/tarvola_3ds_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    setMessageHandler(previous);
    std::filesystem::remove_all(dir);
  }
  std::string write(const Bytes& bytes, const char* fileName = "mesh.3ds") {
    const std::string path = (dir / fileName).string();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  void expectRejected(const Bytes& bytes) {
    messages.clear();
    Mesh mesh;
    mesh.loadMesh(write(bytes).c_str());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "error reading 3dsfile!");
    EXPECT_EQ(messages[0].second, "hore");
    EXPECT_EQ(mesh.vertexCount, 0);
    EXPECT_EQ(mesh.faceCount, 0);
    EXPECT_TRUE(mesh.vertices.empty());
  }
  MessageHandler previous = nullptr;
  std::filesystem::path dir;
};

TEST_F(Load3dsTest, LoadsPositionsWithTheAxisSwapUvsAndFaces) {
  Mesh mesh;
  mesh.loadMesh(write(validFile()).c_str());
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(mesh.vertexCount, 4);
  ASSERT_EQ(mesh.faceCount, 2);
  // File (1, 2, 3) becomes (1, -3, 2).
  EXPECT_EQ(mesh.vertices[0].position.x, 1.0f);
  EXPECT_EQ(mesh.vertices[0].position.y, -3.0f);
  EXPECT_EQ(mesh.vertices[0].position.z, 2.0f);
  // Mapping (0.25, 0.5) becomes (191.25, -127.5); (0, 0) becomes (255, 0); (0.5, -0.25) (127.5, 63.75).
  EXPECT_EQ(mesh.vertices[0].uv1[0], 191.25f);
  EXPECT_EQ(mesh.vertices[0].uv1[1], -127.5f);
  EXPECT_EQ(mesh.vertices[1].uv1[0], 255.0f);
  EXPECT_EQ(mesh.vertices[1].uv1[1], 0.0f);
  EXPECT_EQ(mesh.vertices[3].uv1[0], 127.5f);
  EXPECT_EQ(mesh.vertices[3].uv1[1], 63.75f);
  EXPECT_EQ(mesh.faces[1].indices[0], 2);
  EXPECT_EQ(mesh.faces[1].indices[1], 3);
  EXPECT_EQ(mesh.faces[1].indices[2], 0);
  EXPECT_EQ(mesh.vertices[2].normal.x, 0.0f);
  EXPECT_EQ(mesh.vertices[2].uv2[0], 0.0f);
}

TEST_F(Load3dsTest, MappingOnlyWhenItFitsTheVertexList) {
  const Bytes verts = vertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  const Bytes faces = faceList({{0, 1, 2}});
  // No mapping chunk: every vertex gets (255, 0).
  Parsed p = parse(file(object("a", chunk(0x4100, cat({verts, faces})))));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.vertices[2].u, 0.0f);
  // More mapping entries than vertices, or mapping before the vertex list: skipped.
  p = parse(file(object("a", chunk(0x4100, cat({verts, faces, mapping({{1, 1}, {1, 1}, {1, 1}, {1, 1}})})))));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.vertices[0].u, 0.0f);
  p = parse(file(object("a", chunk(0x4100, cat({mapping({{1, 1}}), verts, faces})))));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.vertices[0].u, 0.0f);
  // Fewer entries than vertices: the first ones are mapped.
  p = parse(file(object("a", chunk(0x4100, cat({verts, faces, mapping({{0.5f, 0.75f}})})))));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.vertices[0].u, 0.5f);
  EXPECT_EQ(p.vertices[0].v, -0.75f);
  EXPECT_EQ(p.vertices[1].u, 0.0f);
}

TEST_F(Load3dsTest, OnlyTheFirstTriangleMeshObjectCounts) {
  Parsed p = parse(file(cat({triangleObject("first", 0), triangleObject("second", 100)})));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.vertices[0].x, 1.0f);
  // A light (no triangle mesh) before the mesh is passed over.
  const Bytes light = object("light01", chunk(0x4600, Bytes(12, 0)));
  const Bytes camera = object("camera01", chunk(0x4700, Bytes(32, 0)));
  p = parse(file(cat({light, camera, triangleObject("mesh", 100)})));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.vertices[0].x, 101.0f);
  // Other top-level and editor-level chunks are skipped by their length.
  p = parse(chunk(0x4D4D, cat({chunk(0xB000, Bytes(20, 0xFF)), chunk(0x3D3D, cat({chunk(0xAFFF, Bytes(9, 1)),
                                                                                  triangleObject("m", 0)}))})));
  ASSERT_TRUE(p.ok);
  // Selection by name (the first 64 characters take part).
  p = parse(file(cat({triangleObject("first", 0), triangleObject("second", 100)})), "second");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.vertices[0].x, 101.0f);
  const std::string longName(80, 'n');
  p = parse(file(triangleObject(longName.c_str(), 0)), std::string(64, 'n').c_str());
  EXPECT_TRUE(p.ok);
  p = parse(file(triangleObject("first", 0)), "other");
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.vertexCount, 0);
}

TEST_F(Load3dsTest, MissingPiecesAreRejected) {
  const Bytes verts = vertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  const Bytes faces = faceList({{0, 1, 2}});
  // No main chunk: the file starts with the editor chunk.
  expectRejected(chunk(0x3D3D, triangleObject("box", 0)));
  // Main chunk of 12 bytes or less.
  expectRejected(chunk(0x4D4D, Bytes(6, 0)));
  expectRejected(Bytes{0x4D, 0x4D});
  expectRejected(Bytes{});
  // No triangle mesh, no vertex list, no face list.
  expectRejected(file(object("light", chunk(0x4600, Bytes(12, 0)))));
  expectRejected(file(object("a", chunk(0x4100, faces))));
  expectRejected(file(object("a", chunk(0x4100, verts))));
}

TEST_F(Load3dsTest, DamagedFilesAreRejectedWithoutReadingOutside) {
  const Bytes good = validFile();
  ASSERT_TRUE(parse(good).ok);
  // Truncated at every byte: the main chunk then runs past the bytes read.
  for (size_t n = 0; n < good.size(); ++n) {
    const Parsed p = parse(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)));
    ASSERT_FALSE(p.ok) << n;
    ASSERT_TRUE(p.vertices.empty() && p.faces.empty() && p.vertexCount == 0 && p.faceCount == 0);
  }
  expectRejected(Bytes(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)));

  // Every chunk's length set past its parent's end, and under the header size.
  for (size_t offset = 0; offset + 6 <= good.size(); ++offset) {
    const uint16_t id = uint16_t(good[offset] | good[offset + 1] << 8);
    if (id != 0x4D4D && id != 0x3D3D && id != 0x4000 && id != 0x4100 && id != 0x4110 && id != 0x4120 &&
        id != 0x4140 && id != 0x0002 && id != 0x4130) {
      continue;
    }
    for (uint32_t length : {uint32_t(good.size() + 1 - offset), 0xFFFFFFFFu, 5u, 0u}) {
      Bytes bad = good;
      for (int k = 0; k < 4; ++k) bad[offset + 2 + size_t(k)] = uint8_t(length >> (8 * k));
      const Parsed p = parse(bad);
      (void)p;  // some offsets are not chunk starts; the walk must only stay inside the image
    }
  }
  Bytes bad = good;
  bad[2] = uint8_t(good.size() + 1);  // main length one past the file
  expectRejected(bad);
  // An inner chunk's length past its parent: the vertex list claims 1000 bytes.
  const Bytes verts = vertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  Bytes longVerts = verts;
  longVerts[2] = 0xE8;
  longVerts[3] = 0x03;
  expectRejected(file(object("a", chunk(0x4100, cat({longVerts, faceList({{0, 1, 2}})})))));
  // A length under the header size.
  Bytes shortChunk = chunk(0x1234, {});
  shortChunk[2] = 5;
  expectRejected(file(cat({object("a", chunk(0x4100, cat({shortChunk, verts, faceList({{0, 1, 2}})})))})));
}

TEST_F(Load3dsTest, CountsAndIndicesMustFit) {
  const Bytes verts = vertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  const Bytes faces = faceList({{0, 1, 2}});
  auto withCount = [](Bytes list, uint16_t count) {
    list[6] = uint8_t(count);
    list[7] = uint8_t(count >> 8);
    return list;
  };
  expectRejected(file(object("a", chunk(0x4100, cat({withCount(verts, 4), faces})))));
  expectRejected(file(object("a", chunk(0x4100, cat({verts, withCount(faces, 2)})))));
  expectRejected(file(object("a", chunk(0x4100, cat({verts, faces, withCount(mapping({{1, 1}, {1, 1}}), 3)})))));
  expectRejected(file(object("a", chunk(0x4100, cat({verts, faces, chunk(0x4140, Bytes{})})))));
  expectRejected(file(object("a", chunk(0x4100, cat({chunk(0x4110, Bytes{1}), faces})))));
  // A face index equal to the vertex count.
  expectRejected(file(object("a", chunk(0x4100, cat({verts, faceList({{0, 1, 3}})})))));
  // A face list read before its vertex list is checked against the final count.
  EXPECT_TRUE(parse(file(object("a", chunk(0x4100, cat({faceList({{0, 1, 2}}), verts}))))).ok);
  // An object name without its NUL.
  expectRejected(file(chunk(0x4000, Bytes{'a', 'b', 'c'})));
}

TEST_F(Load3dsTest, RandomCorruptionNeverReadsOutside) {
  const Bytes good = file(cat({object("light", chunk(0x4600, Bytes(12, 0))), triangleObject("box", 0)}));
  std::mt19937 rng(5);
  int loaded = 0;
  for (int i = 0; i < 20000; ++i) {
    Bytes bad = good;
    const int flips = 1 + int(rng() % 4);
    for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] = uint8_t(rng());
    const Parsed p = parse(bad);
    if (!p.ok) continue;
    ++loaded;
    ASSERT_EQ(size_t(p.vertexCount), p.vertices.size());
    ASSERT_EQ(size_t(p.faceCount), p.faces.size());
    for (const LoadedFace& f : p.faces) {
      for (int32_t index : f.indices) ASSERT_TRUE(index >= 0 && index < p.vertexCount);
    }
  }
  EXPECT_GT(loaded, 0);
}

TEST_F(Load3dsTest, MissingFileShowsItsPath) {
  Mesh mesh;
  const std::string path = (dir / "absent.3ds").string();
  mesh.loadMesh(path.c_str());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "Cant open " + path);
  EXPECT_EQ(messages[0].second, "ERROR!");
  EXPECT_EQ(mesh.vertexCount, 0);
}

// An OBJ model exported to 3DS by assimp: counts, positions (axis swap) and UVs survive.
TEST_F(Load3dsTest, FileWrittenByAssimpLoadsAndDraws) {
  ASSERT_EQ(std::system("command -v assimp > /dev/null 2>&1"), 0) << "assimp (package assimp-utils) is required";
  // An octahedron-like solid: six distinct positions, each with its own texture coordinate.
  const float pos[6][3] = {{30, 0, 0}, {0, 30, 0}, {-30, 0, 0}, {0, -30, 0}, {0, 0, 30}, {0, 0, -30}};
  const float uv[6][2] = {{0, 0}, {0.25f, 0.125f}, {0.5f, 0.25f}, {0.75f, 0.375f}, {1, 0.5f}, {0.125f, 1}};
  const int tri[8][3] = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {1, 0, 5}, {2, 1, 5}, {3, 2, 5}, {0, 3, 5}};
  {
    std::ofstream obj(dir / "model.obj");
    for (const auto& p : pos) obj << "v " << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
    for (const auto& t : uv) obj << "vt " << t[0] << ' ' << t[1] << '\n';
    for (const auto& f : tri) {
      obj << 'f';
      for (int k : f) obj << ' ' << k + 1 << '/' << k + 1;
      obj << '\n';
    }
  }
  const std::string command = "cd '" + dir.string() + "' && assimp export model.obj model.3ds > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);

  Mesh mesh;
  mesh.loadMesh((dir / "model.3ds").string().c_str());
  ASSERT_TRUE(messages.empty());
  ASSERT_EQ(mesh.faceCount, 8);
  ASSERT_GE(mesh.vertexCount, 6);
  // Every loaded corner is some model vertex, axes swapped, with that vertex's mapping.
  auto modelVertexOf = [&](const MeshVertex& v) {
    for (int i = 0; i < 6; ++i) {
      if (v.position.x == pos[i][0] && v.position.y == -pos[i][2] && v.position.z == pos[i][1]) return i;
    }
    return -1;
  };
  std::vector<std::array<int, 3>> found;
  for (int32_t f = 0; f < mesh.faceCount; ++f) {
    std::array<int, 3> corners{};
    for (int k = 0; k < 3; ++k) {
      const MeshVertex& v = mesh.vertices[size_t(mesh.faces[size_t(f)].indices[k])];
      corners[size_t(k)] = modelVertexOf(v);
      ASSERT_GE(corners[size_t(k)], 0);
      EXPECT_EQ(v.uv1[0], 255.0f - 255.0f * uv[corners[size_t(k)]][0]);
      EXPECT_EQ(v.uv1[1], -255.0f * uv[corners[size_t(k)]][1]);
    }
    found.push_back(corners);
  }
  // Each model triangle is present with its corners in order (up to rotation).
  for (const auto& t : tri) {
    bool present = false;
    for (const auto& c : found) {
      for (int r = 0; r < 3; ++r) present |= c[0] == t[r] && c[1] == t[(r + 1) % 3] && c[2] == t[(r + 2) % 3];
    }
    EXPECT_TRUE(present) << t[0] << t[1] << t[2];
  }

  // It draws through the camera: seen from -z the solid covers the centre of the target.
  createDepthBuffer(320, 240);
  Surface target;
  target.create(320, 240);
  mesh.texture.create(256, 256);
  for (uint32_t i = 0; i < 65536; ++i) mesh.texture.pixels[i] = 0xFF000000u | i * 97u;
  mesh.setRenderFlags(kFillTextured);
  mesh.computeVertexNormals();
  mesh.setRotation(20, 30, 0);
  mesh.setPosition(0, 0, 0);
  Camera camera;
  camera.setLookAt(0, 0, -100, 0, 0, 0);
  mesh.draw(target, camera);
  int lit = 0;
  for (uint32_t p : target.pixels) lit += p != 0;
  EXPECT_GT(lit, 5000);
  EXPECT_NE(target.pixels[120 * 320 + 160], 0u);
  EXPECT_EQ(target.pixels[5 * 320 + 5], 0u);
}

}  // namespace
}  // namespace tarvola
