// The camera and the mesh pipeline: look-at frame, shake, projection, the three culling tests
// and the filler chosen by the render flags, checked against direct filler calls.
#include "engine3d/pipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "raster/depth_buffer.h"
#include "raster/fillers.h"

namespace tarvola {
namespace {

Camera forwardCamera() {
  Camera camera;
  camera.setLookAt(0, 0, 0, 0, 0, 1);
  return camera;
}

// Camera-space position whose projection on 320 x 240 is (sx, sy) at depth z.
Vec3 onScreen(float sx, float sy, float z) { return Vec3{(sx - 160.0f) * z / 256.0f, (sy - 120.0f) * z / 256.0f, z}; }

Surface mapOf(uint32_t seed) {
  Surface map;
  map.create(256, 256);
  for (uint32_t i = 0; i < 65536; ++i) map.pixels[i] = (i * 2654435761u) ^ seed;
  return map;
}

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    createDepthBuffer(320, 240);
    target.create(320, 240);
  }
  // A mesh with one face per corner triple, identity rotation, at the origin.
  void buildMesh(const std::vector<Vec3>& corners, int32_t flags) {
    mesh.allocate(int32_t(corners.size()), int32_t(corners.size() / 3));
    for (size_t i = 0; i < corners.size(); ++i) {
      mesh.vertices[i].position = corners[i];
      mesh.vertices[i].normal = Vec3{0.0f, 0.6f, -0.8f};
      mesh.vertices[i].uv1[0] = float(i * 40);
      mesh.vertices[i].uv1[1] = float(i * 13);
      mesh.vertices[i].uv2[0] = float(i * 7);
      mesh.vertices[i].uv2[1] = float(200 - i * 20);
      mesh.vertices[i].colour[0] = 200;
      mesh.vertices[i].colour[1] = float(100 + i * 50);
      mesh.vertices[i].colour[2] = 50;
    }
    for (int32_t f = 0; f < mesh.faceCount; ++f) mesh.faces[size_t(f)] = MeshFace{{3 * f, 3 * f + 1, 3 * f + 2}};
    mesh.setRotation(0, 0, 0);
    mesh.setRenderFlags(flags);
  }
  int lit() const {
    int n = 0;
    for (uint32_t p : target.pixels) n += p != 0;
    return n;
  }
  Surface target;
  Mesh mesh;
};

TEST(Camera, LookAtBuildsARightHandedFrameWithoutRoll) {
  Camera camera = forwardCamera();
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(camera.rotation.m[r][c], r == c ? 1.0f : 0.0f) << r << c;
  }
  camera.setLookAt(1, 2, 3, 4, -2, 15);  // d = (3, -4, 12), |d| = 13
  EXPECT_EQ(camera.position.x, 1.0f);
  Vec3 forward;
  transformPoint(3, -4, 12, forward, camera.rotation);
  EXPECT_NEAR(forward.x, 0.0f, 1e-5);
  EXPECT_NEAR(forward.y, 0.0f, 1e-5);
  EXPECT_NEAR(forward.z, 13.0f, 1e-5);
  const auto& m = camera.rotation.m;
  EXPECT_NEAR(m[0][0], 12.0f / std::sqrt(153.0f), 1e-6);  // right = (dz, 0, -dx) / |.|
  EXPECT_EQ(m[1][0], 0.0f);
  // Columns are orthonormal and right x down = forward.
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      const float dot = m[0][a] * m[0][b] + m[1][a] * m[1][b] + m[2][a] * m[2][b];
      EXPECT_NEAR(dot, a == b ? 1.0f : 0.0f, 1e-6);
    }
  }
  EXPECT_NEAR(m[1][0] * m[2][1] - m[2][0] * m[1][1], m[0][2], 1e-6);
  // World up (-y) shows upward on the screen: camera-space y negative.
  Vec3 up;
  transformPoint(0, -1, 0, up, camera.rotation);
  EXPECT_LT(up.y, 0.0f);
  EXPECT_EQ(m[3][0], 0.0f);
}

TEST(Camera, ShakeDiesOutAndFollowsTheFormula) {
  const Vec3 base{1, 2, 3};
  const Vec3 still = shakePosition(base, 5, 1.0f);
  EXPECT_EQ(still.x, 1.0f);
  EXPECT_EQ(still.z, 3.0f);
  const Vec3 start = shakePosition(base, 5, 0.0f);  // sin(0) = 0
  EXPECT_EQ(start.y, 2.0f);
  const float t = 0.25f;
  const Vec3 shaken = shakePosition(base, 4, t);
  EXPECT_FLOAT_EQ(shaken.x, 1.0f + 0.75f * 4.0f * float(std::sin(double(t * 269377.96875f))));
  EXPECT_FLOAT_EQ(shaken.y, 2.0f + 0.75f * 4.0f * float(std::sin(double(t * 75826.6640625f))));
  EXPECT_FLOAT_EQ(shaken.z, 3.0f + 0.75f * 4.0f * float(std::sin(double(t * 11492387.0f))));
  for (float s = 0; s < 1; s += 0.01f) {
    const Vec3 p = shakePosition(base, 4, s);
    EXPECT_LE(std::fabs(p.x - 1.0f), 4.0f * (1 - s) + 1e-5f);
  }
}

TEST_F(PipelineTest, ProjectsWithFocalLength256) {
  buildMesh({Vec3{10, 20, 256}, Vec3{0, 0, 0}, Vec3{-64, 32, 128}}, 0);
  mesh.draw(target, forwardCamera());
  EXPECT_EQ(mesh.vertices[0].screenX, 170.0f);
  EXPECT_EQ(mesh.vertices[0].screenY, 140.0f);
  EXPECT_EQ(mesh.vertices[0].depth, 256.0f);
  EXPECT_EQ(mesh.vertices[0].viewPosition.z, 256.0f);
  // z exactly 0 divides by -1 and keeps depth 0.
  EXPECT_EQ(mesh.vertices[1].depth, 0.0f);
  EXPECT_EQ(mesh.vertices[1].screenX, 160.0f);
  EXPECT_EQ(mesh.vertices[2].screenX, 32.0f);
  EXPECT_EQ(mesh.vertices[2].screenY, 184.0f);
  // Flags 0: transformed, nothing drawn.
  EXPECT_EQ(lit(), 0);
  // Normals turned and renormalized.
  EXPECT_NEAR(mesh.vertices[0].viewNormal.y, 0.6f, 1e-6);
}

TEST_F(PipelineTest, ObjectAndCameraTransforms) {
  // Object turned 90 degrees about y and moved; camera 10 units back along -z.
  buildMesh({Vec3{1, 0, 0}, Vec3{0, 0, 0}, Vec3{0, 0, 0}}, 0);
  mesh.setRotation(0, 90, 0);
  mesh.setPosition(2, 3, 20);
  Camera camera;
  camera.setLookAt(0, 0, -10, 0, 0, 0);
  mesh.draw(target, camera);
  // (1, 0, 0) turned about y by 90 degrees (pi taken as 3.1415) is about (0, 0, -1).
  EXPECT_NEAR(mesh.vertices[0].viewPosition.x, 2.0f, 1e-3);
  EXPECT_NEAR(mesh.vertices[0].viewPosition.y, 3.0f, 1e-6);
  EXPECT_NEAR(mesh.vertices[0].viewPosition.z, 29.0f, 1e-3);
  EXPECT_EQ(mesh.vertices[1].viewPosition.z, 30.0f);
}

TEST_F(PipelineTest, BackFacingNearAndOffScreenFacesAreSkipped) {
  // Counter-clockwise on the screen (y down): (10,10), (10,20), (20,10) passes.
  buildMesh({onScreen(10, 10, 100), onScreen(10, 20, 100), onScreen(20, 10, 100)}, kFillUntextured);
  mesh.draw(target, forwardCamera());
  EXPECT_EQ(lit(), 55);
  // The same corners reversed fail.
  clearDepthBuffer();
  target.clear();
  buildMesh({onScreen(10, 10, 100), onScreen(20, 10, 100), onScreen(10, 20, 100)}, kFillUntextured);
  mesh.draw(target, forwardCamera());
  EXPECT_EQ(lit(), 0);
  // Depths 5, 5 and 0.5: skipped, no near-plane clipping.
  buildMesh({onScreen(10, 10, 5), onScreen(10, 60, 5), onScreen(60, 10, 0.5f)}, kFillUntextured);
  mesh.draw(target, forwardCamera());
  EXPECT_EQ(lit(), 0);
  // All three corners outside the target, though the face covers the screen.
  buildMesh({onScreen(-10, -10, 50), onScreen(-10, 1000, 50), onScreen(1000, -10, 50)}, kFillUntextured);
  mesh.draw(target, forwardCamera());
  EXPECT_EQ(lit(), 0);
  // One corner inside is enough.
  buildMesh({onScreen(-10, -10, 50), onScreen(-10, 1000, 50), onScreen(5, 5, 50)}, kFillUntextured);
  mesh.draw(target, forwardCamera());
  EXPECT_GT(lit(), 0);
}

TEST_F(PipelineTest, FlagsSelectTheFillerByPriority) {
  mesh.texture = mapOf(1);
  mesh.lightmap = mapOf(2);
  mesh.auxMap = mapOf(3);
  const std::vector<Vec3> corners = {onScreen(30, 20, 40), onScreen(50, 200, 60), onScreen(290, 60, 80)};

  // Draws the mesh with the flags, then the same copies through the expected filler into a
  // second image; both must match.
  auto check = [&](int32_t flags, auto expected) {
    SCOPED_TRACE(flags);
    buildMesh(corners, flags);
    clearDepthBuffer();
    target.clear();
    mesh.draw(target, forwardCamera());
    Surface drawn;
    drawn.create(320, 240);
    drawn.pixels = target.pixels;
    const MeshVertex c0 = mesh.vertices[0], c1 = mesh.vertices[1], c2 = mesh.vertices[2];
    clearDepthBuffer();
    target.clear();
    expected(c0, c1, c2);
    EXPECT_EQ(drawn.pixels, target.pixels);
    int n = 0;
    for (uint32_t p : drawn.pixels) n += p != 0;
    return n;
  };
  using V = const MeshVertex&;
  auto three = [&](int32_t modeA, int32_t modeB) {
    return [&, modeA, modeB](V a, V b, V c) {
      fillThreeSurfaceTriangle(target, mesh.texture, mesh.lightmap, mesh.auxMap, a, b, c, modeA, modeB);
    };
  };
  EXPECT_GT(check(0x236, three(32, 512)), 1000);
  // 0x236 writes environment coordinates into uv2 only.
  EXPECT_EQ(mesh.vertices[1].uv1[0], 40.0f);
  EXPECT_EQ(mesh.vertices[1].uv2[0], 128.0f);
  EXPECT_NEAR(mesh.vertices[1].uv2[1], 0.6f * 127 + 128, 1e-4);
  EXPECT_GT(check(0x11E, three(2, 256)), 1000);
  EXPECT_EQ(mesh.vertices[1].uv1[0], 128.0f);  // 0x11E: both pairs
  EXPECT_EQ(mesh.vertices[1].uv2[0], 128.0f);
  EXPECT_GT(check(0x124, three(32, 256)), 1000);
  EXPECT_GT(check(0x004 | 0x002 | 0x040 | 0x001, three(2, 512)), 1000);
  EXPECT_GT(check(0x002 | 0x040 | 0x001, [&](V a, V b, V c) { fillTexturedTriangle(target, mesh.texture, a, b, c); }),
            1000);
  EXPECT_GT(check(0x082, [&](V a, V b, V c) { fillShadedTexturedTriangle(target, mesh.texture, a, b, c); }), 1000);
  EXPECT_GT(check(0x041, [&](V a, V b, V c) { fillUntexturedTriangle(target, a, b, c); }), 1000);
  EXPECT_EQ(check(0x001, [&](V a, V b, V c) { plotTrianglePoints(target, a, b, c); }), 3);
  EXPECT_EQ(check(0x200, [](V, V, V) {}), 0);
  EXPECT_EQ(check(0x018, [](V, V, V) {}), 0);
}

TEST_F(PipelineTest, MeshesShareTheDepthBufferWithinAFrame) {
  // A far white triangle drawn after a near one stays hidden where they overlap.
  buildMesh({onScreen(20, 20, 10), onScreen(20, 200, 10), onScreen(300, 20, 10)}, kFillTextured);
  mesh.texture.create(256, 256);
  mesh.texture.fill(0xFF102030u);
  mesh.draw(target, forwardCamera());
  Mesh far;
  far.allocate(3, 1);
  const Vec3 p[3] = {onScreen(10, 10, 30), onScreen(10, 230, 30), onScreen(310, 10, 30)};
  for (int i = 0; i < 3; ++i) far.vertices[size_t(i)].position = p[i];
  far.faces[0] = MeshFace{{0, 1, 2}};
  far.setRotation(0, 0, 0);
  far.setRenderFlags(kFillUntextured);
  far.draw(target, forwardCamera());
  EXPECT_EQ(target.pixels[50 * 320 + 50], 0xFF102030u);
  EXPECT_EQ(target.pixels[12 * 320 + 12], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tarvola
