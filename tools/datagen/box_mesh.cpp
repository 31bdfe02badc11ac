// data/box.3ds: the room around the metaballs scene, a finely tessellated box whose walls
// bulge gently outward, wound to be seen from inside, doubled by a second shell just behind
// it with a shifted tessellation, written as a minimal 3DS chunk tree:
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
constexpr int kSteps = 24;               // quads per wall edge: 18.7 units each
constexpr float kBulge = 36.0f;          // outward bulge at a wall's centre, edges stay straight
constexpr float kBackShell = 2.0f;       // the second shell lies this far behind the first
constexpr int kRepeats = 4;              // plate texture repeats across a wall

struct Vertex {
  float x, y, z, u, v;
};
struct Face {
  uint16_t a, b, c;
};

// Grid positions across a wall, -1..1. The front shell has kSteps equal quads; the back shell
// is shifted by half a quad (half-size quads at both ends), so its triangles never line up
// with the front's.
std::vector<float> gridSteps(bool shifted) {
  std::vector<float> s;
  s.push_back(-1.0f);
  for (int k = 1; k < kSteps; ++k) s.push_back(-1.0f + 2.0f * float(k) / float(kSteps));
  if (shifted) {
    s.clear();
    s.push_back(-1.0f);
    for (int k = 1; k <= kSteps; ++k) s.push_back(-1.0f + float(2 * k - 1) / float(kSteps));
  }
  s.push_back(1.0f);
  return s;
}

// One wall of a shell: the cube face whose outward axis is `axis` (0 x, 1 y, 2 z) with sign
// `side`. Every coordinate is s * halfSize with s from the same list on every wall, so edge
// vertices shared in position with the neighbouring walls are bit-identical, and the bulge
// term vanishes exactly on the edges (s = +-1). Mapping coordinates depend on s and t only,
// so both shells show the plates at the same places.
void addWall(std::vector<Vertex>& vertices, std::vector<Face>& faces, int axis, float side, float halfSize,
             const std::vector<float>& grid) {
  const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
  const int n = int(grid.size());
  const uint16_t base = uint16_t(vertices.size());
  const float uvScale = float(kRepeats) * (256.0f / 255.0f) * 0.5f;  // one repeat = 256 texels exactly
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      const float s = grid[size_t(i)], t = grid[size_t(j)];
      float p[3];
      p[a1] = s * halfSize;
      p[a2] = t * halfSize;
      p[axis] = side * (halfSize + kBulge * (1.0f - s * s) * (1.0f - t * t));
      vertices.push_back({p[0], p[1] + kFileCentreY, p[2], uvScale * (s + 1.0f), uvScale * (t + 1.0f)});
    }
  }
  // (a1, a2, axis) is a right-handed frame, so the corners (i, j), (i+1, j), (i, j+1) turn
  // counter-clockwise about +axis. The pipeline keeps a face whose (p1-p0) x (p2-p0) points at
  // the eye, so for the wall on the +axis side (normal into the room is -axis) the order is
  // reversed.
  const bool reverse = side > 0.0f;
  for (int j = 0; j + 1 < n; ++j) {
    for (int i = 0; i + 1 < n; ++i) {
      const uint16_t v00 = uint16_t(base + j * n + i), v10 = uint16_t(v00 + 1);
      const uint16_t v01 = uint16_t(v00 + n), v11 = uint16_t(v01 + 1);
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
  // The front shell, then a back shell that shows only where the pipeline drops a face of
  // the front one (a sliver, or a face at the screen's corner with no corner on screen).
  for (int shell = 0; shell < 2; ++shell) {
    const std::vector<float> grid = gridSteps(shell == 1);
    const float halfSize = kHalfSize + float(shell) * kBackShell;
    for (int axis = 0; axis < 3; ++axis) {
      addWall(vertices, faces, axis, -1.0f, halfSize, grid);
      addWall(vertices, faces, axis, 1.0f, halfSize, grid);
    }
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
