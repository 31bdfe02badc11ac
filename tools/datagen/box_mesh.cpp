// data/box.3ds: the room around the metaballs scene, a finely tessellated box whose walls
// bulge gently outward, wound to be seen from inside, written as a minimal 3DS chunk tree:
// 0x4D4D { 0x0002, 0x3D3D { 0x3D3E, 0x4000 "box" { 0x4100 { 0x4110, 0x4120, 0x4140 } } } }.
//
// Placement: the scene draws the mesh at position (0, 160, 0) rotated by -90 degrees about
// x; with the loader's axis swap (file (x, y, z) loads as (x, -z, y)) a file point lands in
// the world at file + (0, 160, 0). The room is centred on the world origin, so in the file
// it is centred on (0, -160, 0). The eye circles the origin at radius 140 and bobs by 140
// (plus a shake of 10); walls 224 away leave at least 74 units around every eye position.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "datagen.h"

namespace tarvola::datagen {

namespace {

constexpr float kHalfSize = 224.0f;      // half the room's edge, world units
constexpr float kFileCentreY = -160.0f;  // room centre in file coordinates
constexpr int kSteps = 32;               // quads per wall edge: 14 units each
constexpr float kBulge = 36.0f;          // outward bulge at a wall's centre, edges stay straight
constexpr int kRepeats = 4;              // plate texture repeats across a wall

struct Vertex {
  float x, y, z, u, v;
};
struct Face {
  uint16_t a, b, c;
};

// One wall: the cube face whose outward axis is `axis` (0 x, 1 y, 2 z) with sign `side`.
// Grid coordinates are exact multiples of 14, so edge vertices shared in position with the
// neighbouring walls are bit-identical, and the bulge term vanishes exactly on the edges.
void addWall(std::vector<Vertex>& vertices, std::vector<Face>& faces, int axis, float side) {
  const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
  const uint16_t base = uint16_t(vertices.size());
  const float step = 2.0f * kHalfSize / float(kSteps);
  const float uvScale = float(kRepeats) * (256.0f / 255.0f);  // one repeat = 256 texels exactly
  for (int j = 0; j <= kSteps; ++j) {
    for (int i = 0; i <= kSteps; ++i) {
      const float s = float(2 * i - kSteps) / float(kSteps), t = float(2 * j - kSteps) / float(kSteps);
      float p[3];
      p[a1] = -kHalfSize + float(i) * step;
      p[a2] = -kHalfSize + float(j) * step;
      p[axis] = side * (kHalfSize + kBulge * (1.0f - s * s) * (1.0f - t * t));
      vertices.push_back({p[0], p[1] + kFileCentreY, p[2], uvScale * float(i) / float(kSteps),
                          uvScale * float(j) / float(kSteps)});
    }
  }
  // (a1, a2, axis) is a right-handed frame, so the corners (i, j), (i+1, j), (i, j+1) turn
  // counter-clockwise about +axis. The pipeline keeps a face whose (p1-p0) x (p2-p0) points at
  // the eye, so for the wall on the +axis side (normal into the room is -axis) the order is
  // reversed.
  const bool reverse = side > 0.0f;
  for (int j = 0; j < kSteps; ++j) {
    for (int i = 0; i < kSteps; ++i) {
      const uint16_t v00 = uint16_t(base + j * (kSteps + 1) + i), v10 = uint16_t(v00 + 1);
      const uint16_t v01 = uint16_t(v00 + kSteps + 1), v11 = uint16_t(v01 + 1);
      if (reverse) {
        faces.push_back({v00, v01, v10});
        faces.push_back({v10, v01, v11});
      } else {
        faces.push_back({v00, v10, v01});
        faces.push_back({v10, v11, v01});
      }
    }
  }
}

struct ChunkWriter {
  std::vector<uint8_t> bytes;
  std::vector<size_t> open;

  void u8(uint8_t v) { bytes.push_back(v); }
  void u16(uint16_t v) {
    u8(uint8_t(v));
    u8(uint8_t(v >> 8));
  }
  void u32(uint32_t v) {
    u16(uint16_t(v));
    u16(uint16_t(v >> 16));
  }
  void f32(float v) {
    uint32_t bits;
    static_assert(sizeof bits == sizeof v);
    std::memcpy(&bits, &v, sizeof bits);
    u32(bits);
  }
  // A chunk's length counts its 6-byte header and everything nested in it.
  void begin(uint16_t id) {
    open.push_back(bytes.size());
    u16(id);
    u32(0);
  }
  void end() {
    const size_t start = open.back();
    open.pop_back();
    const uint32_t length = uint32_t(bytes.size() - start);
    for (int i = 0; i < 4; ++i) bytes[start + 2 + size_t(i)] = uint8_t(length >> (8 * i));
  }
};

bool writeBox(const std::filesystem::path& dataDir) {
  std::vector<Vertex> vertices;
  std::vector<Face> faces;
  for (int axis = 0; axis < 3; ++axis) {
    addWall(vertices, faces, axis, -1.0f);
    addWall(vertices, faces, axis, 1.0f);
  }
  ChunkWriter out;
  out.begin(0x4D4D);
  out.begin(0x0002);  // format version
  out.u32(3);
  out.end();
  out.begin(0x3D3D);
  out.begin(0x3D3E);  // mesh data version
  out.u32(3);
  out.end();
  out.begin(0x4000);
  for (const char* c = "box"; *c; ++c) out.u8(uint8_t(*c));
  out.u8(0);
  out.begin(0x4100);
  out.begin(0x4110);
  out.u16(uint16_t(vertices.size()));
  for (const Vertex& v : vertices) {
    out.f32(v.x);
    out.f32(v.y);
    out.f32(v.z);
  }
  out.end();
  out.begin(0x4120);
  out.u16(uint16_t(faces.size()));
  for (const Face& f : faces) {
    out.u16(f.a);
    out.u16(f.b);
    out.u16(f.c);
    out.u16(0x0007);  // all three edges visible
  }
  out.end();
  out.begin(0x4140);
  out.u16(uint16_t(vertices.size()));
  for (const Vertex& v : vertices) {
    out.f32(v.u);
    out.f32(v.v);
  }
  out.end();
  out.end();  // 0x4100
  out.end();  // 0x4000
  out.end();  // 0x3D3D
  out.end();  // 0x4D4D

  const std::filesystem::path path = dataDir / "box.3ds";
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.bytes.data()), std::streamsize(out.bytes.size()));
  if (!file) {
    std::fprintf(stderr, "tarvola-datagen: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

const bool registered = registerWriter({"box.3ds", &writeBox});

}  // namespace

}  // namespace tarvola::datagen
