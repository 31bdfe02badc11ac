// The room seen from the metaballs scene's camera path covers the screen: from 100 eye
// positions (with shake offsets) every pixel the fillers can reach (all but row 0 and column
// 319) inside the letterbox's band (rows 30 to 209, the only rows ever shown) is covered by
// some face of data/box.3ds that survives the pipeline's back-face, near and on-screen tests.
// Outside the band, holes may only sit right at the screen's corners, where a face covering
// the corner can have all three corners off screen whatever the tessellation.
// The projection, culling and scan conversion are modelled here with the pipeline's float and
// 16.16 arithmetic, so a face dropped because a corner is too near or none is on screen, or a
// sliver dropped by the set-up, shows as a hole.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine3d/math3d.h"
#include "raster/fixed_point.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

struct LoadedBox {
  std::vector<Vec3> positions;  // as the loader stores them: file (x, y, z) -> (x, -z, y)
  std::vector<int> faces;
};

uint32_t read32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Reads the vertex and face lists of the first triangle mesh (the chunk tree itself is
// checked by the box's own test).
LoadedBox loadBox() {
  LoadedBox box;
  std::ifstream in(fs::path(TARVOLA_BINARY_DIR) / "data" / "box.3ds", std::ios::binary);
  const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  size_t at = 6;
  auto id = [&](size_t p) { return uint16_t(b[p] | b[p + 1] << 8); };
  while (at + 6 <= b.size()) {
    const uint16_t chunk = id(at);
    const uint32_t length = read32(b, at + 2);
    if (chunk == 0x3D3D || chunk == 0x4100) {
      at += 6;  // enter
    } else if (chunk == 0x4000) {
      at += 6;
      while (at < b.size() && b[at] != 0) ++at;
      ++at;
    } else if (chunk == 0x4110) {
      const size_t count = id(at + 6);
      for (size_t i = 0; i < count; ++i) {
        float xyz[3];
        std::memcpy(xyz, &b[at + 8 + i * 12], 12);
        box.positions.push_back({xyz[0], -xyz[2], xyz[1]});
      }
      at += length;
    } else if (chunk == 0x4120) {
      const size_t count = id(at + 6);
      for (size_t i = 0; i < count; ++i)
        for (size_t k = 0; k < 3; ++k) box.faces.push_back(id(at + 8 + i * 8 + k * 2));
      at += length;
    } else {
      if (length < 6) break;
      at += length;
    }
  }
  return box;
}

int32_t toFixed16(float x) {
  if (x > -32768.0f && x < 32768.0f) return truncToInt32(double(x) * 65536.0);
  return 0x7FFF0000;
}
int32_t fixedCeil(int32_t f) { return int32_t(uint32_t(f) + 0xFFFFu) >> 16; }

struct Corner {
  float x, y, depth;
};

constexpr int kWidth = 320, kHeight = 240;

// Coverage of one triangle under the fillers' set-up and row walk.
void coverTriangle(Corner c0, Corner c1, Corner c2, std::vector<uint8_t>& covered) {
  Corner v[3] = {c0, c1, c2};
  int row[3];
  for (int i = 0; i < 3; ++i) row[i] = fixedCeil(toFixed16(v[i].y));
  auto exchange = [&](int a, int b) {
    if (row[a] > row[b]) {
      std::swap(row[a], row[b]);
      std::swap(v[a], v[b]);
    }
  };
  exchange(0, 1);
  exchange(0, 2);
  exchange(1, 2);
  const Corner &t = v[0], &m = v[1], &b = v[2];
  if (std::fabs((b.x - t.x) * (m.y - t.y) - (b.y - t.y) * (m.x - t.x)) < 0.5f || row[0] == row[2]) return;
  const float r = 1.0f / (b.y - t.y);
  const float slopeTB = (b.x - t.x) * r;
  const float xL = t.x + (m.y - t.y) * slopeTB;
  const float dx = m.x - xL;
  if (std::fabs(dx) < 0.1f) return;
  const bool longIsRight = xL > m.x;
  auto walk = [&](int32_t shortX, int32_t shortStep, int32_t longX, int32_t longStep, int first, int count) {
    int32_t left = longIsRight ? shortX : longX, right = longIsRight ? longX : shortX;
    const int32_t leftStep = longIsRight ? shortStep : longStep, rightStep = longIsRight ? longStep : shortStep;
    for (int i = 0; i < count; ++i) {
      const int y = first + i;
      if (y > 0 && y < kHeight) {
        int xs = fixedCeil(left), xe = fixedCeil(right);
        if (xs != xe && xs <= kWidth - 1 && xe >= 0) {
          xe = std::min(xe, kWidth - 1);
          xs = std::max(xs, 0);
          for (int x = xs; x < xe; ++x) covered[size_t(y) * kWidth + size_t(x)] = 1;
        }
      }
      left = int32_t(uint32_t(left) + uint32_t(leftStep));
      right = int32_t(uint32_t(right) + uint32_t(rightStep));
    }
  };
  if (row[1] - row[0] > 0) {
    const float pT = float(row[0]) - t.y;
    const float slopeTM = (m.x - t.x) * (1.0f / (m.y - t.y));
    walk(toFixed16(t.x + pT * slopeTM), toFixed16(slopeTM), toFixed16(t.x + pT * slopeTB), toFixed16(slopeTB), row[0],
         row[1] - row[0]);
  }
  if (row[2] - row[1] > 0) {
    const float pM = float(row[1]) - m.y;
    const float slopeMB = (b.x - m.x) * (1.0f / (b.y - m.y));
    walk(toFixed16(m.x + pM * slopeMB), toFixed16(slopeMB), toFixed16(xL + pM * slopeTB), toFixed16(slopeTB), row[1],
         row[2] - row[1]);
  }
}

// The camera's look-at rotation toward the origin; columns are right, down, forward.
Matrix4 lookAtOrigin(Vec3 eye) {
  const double dx = -eye.x, dy = -eye.y, dz = -eye.z;
  const double h = std::sqrt(dx * dx + dz * dz);
  const double dn = std::sqrt(h * h * h * h + dx * dy * dx * dy + dy * dz * dy * dz);
  const double dl = std::sqrt(dx * dx + dy * dy + dz * dz);
  Matrix4 m;
  setIdentity(m);
  const double right[3] = {dz / h, 0.0, -dx / h};
  const double down[3] = {-dx * dy / dn, h * h / dn, -dy * dz / dn};
  const double forward[3] = {dx / dl, dy / dl, dz / dl};
  for (int i = 0; i < 3; ++i) {
    m.m[i][0] = float(right[i]);
    m.m[i][1] = float(down[i]);
    m.m[i][2] = float(forward[i]);
  }
  return m;
}

// Pixels covered by the room drawn from eye, through projection, culling and scan conversion.
std::vector<uint8_t> drawRoom(const LoadedBox& box, Vec3 eye) {
  Matrix4 objectRotation, camera = lookAtOrigin(eye), combined;
  setRotationDegrees(objectRotation, -90.0f, 0.0f, 0.0f);
  setIdentity(combined);
  multiplyRotation(combined, objectRotation);
  multiplyRotation(combined, camera);
  Vec3 origin;
  transformPoint(0.0f - eye.x, 160.0f - eye.y, 0.0f - eye.z, origin, camera);
  std::vector<Corner> screen(box.positions.size());
  for (size_t i = 0; i < box.positions.size(); ++i) {
    Vec3 p;
    transformPoint(box.positions[i].x, box.positions[i].y, box.positions[i].z, p, combined);
    p = {p.x + origin.x, p.y + origin.y, p.z + origin.z};
    const float d = p.z == 0.0f ? -1.0f : p.z;
    const float k = 256.0f / d;
    screen[i] = {(p.x * k + 160.0f) * 1.0f, (p.y * k + 120.0f) * 1.0f, p.z};
  }
  std::vector<uint8_t> covered(size_t(kWidth) * kHeight, 0);
  for (size_t f = 0; f + 2 < box.faces.size(); f += 3) {
    const Corner c0 = screen[size_t(box.faces[f])], c1 = screen[size_t(box.faces[f + 1])],
                 c2 = screen[size_t(box.faces[f + 2])];
    const float s = (c0.y - c1.y) * (c2.x - c0.x) - (c0.x - c1.x) * (c2.y - c0.y);
    if (!(s < 0.0f)) continue;
    if (!(c0.depth > 1.0f && c1.depth > 1.0f && c2.depth > 1.0f)) continue;
    auto inside = [](const Corner& c) { return c.x > 0.0f && c.x < float(kWidth) && c.y > 0.0f && c.y < float(kHeight); };
    if (!inside(c0) && !inside(c1) && !inside(c2)) continue;
    coverTriangle(c0, c1, c2, covered);
  }
  return covered;
}

TEST(DataSetBoxCoverage, RoomCoversEveryReachablePixelAlongTheCameraPath) {
  const LoadedBox box = loadBox();
  ASSERT_GT(box.faces.size(), 0u);
  for (int i = 0; i < 100; ++i) {
    // The scene's animation clock e (scene time * 0.9 plus 500 per cut), sampled past the
    // periods of both the circle (about 1200) and the bob (about 1029).
    const double e = 4005.0 + i * 97.3;
    const double a = e * 0.0052358333269755045;
    Vec3 eye{float(140.0 * std::sin(a)), float(-140.0 * std::sin(e * 0.006108472214804755)), float(140.0 * std::cos(a))};
    if (i % 2 == 1) {  // a camera shake of up to 10 units per axis
      eye.x += float(10.0 * std::sin(i * 12.9898));
      eye.y += float(10.0 * std::sin(i * 78.233));
      eye.z += float(10.0 * std::sin(i * 37.719));
    }
    const std::vector<uint8_t> covered = drawRoom(box, eye);
    int holesInBand = 0, firstX = -1, firstY = -1, farthest = 0;
    for (int y = 1; y < kHeight; ++y) {
      for (int x = 0; x < kWidth - 1; ++x) {
        if (covered[size_t(y) * kWidth + size_t(x)]) continue;
        const int fromCorner = std::max(std::min(x, kWidth - 2 - x), std::min(y - 1, kHeight - 1 - y));
        farthest = std::max(farthest, fromCorner);
        if (y >= 30 && y < 210 && holesInBand++ == 0) firstX = x, firstY = y;
      }
    }
    EXPECT_EQ(holesInBand, 0) << "eye " << eye.x << ", " << eye.y << ", " << eye.z << ": first hole at " << firstX
                              << ", " << firstY;
    EXPECT_LT(farthest, 12) << "a hole away from the screen's corners, eye " << eye.x << ", " << eye.y << ", " << eye.z;
  }
}

}  // namespace
}  // namespace tarvola
