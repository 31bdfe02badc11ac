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

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    createDepthBuffer(320, 240);
    target.create(320, 240);
  }
  // A mesh with one face per corner triple and assorted attributes, identity rotation, drawn
  // by a forward camera at the origin; returns the number of lit pixels.
  int draw(const std::vector<Vec3>& corners, int32_t flags) {
    clearDepthBuffer();
    target.clear();
    mesh.allocate(int32_t(corners.size()), int32_t(corners.size() / 3));
    for (size_t i = 0; i < corners.size(); ++i) {
      MeshVertex& v = mesh.vertices[i];
      v.position = corners[i];
      v.normal = Vec3{0.0f, 0.6f, -0.8f};
      v.uv1[0] = float(i * 40);
      v.uv1[1] = float(i * 13);
      v.uv2[0] = float(i * 7);
      v.uv2[1] = float(200 - i * 20);
      v.colour[0] = 200;
      v.colour[1] = float(100 + i * 50);
      v.colour[2] = 50;
    }
    for (int32_t f = 0; f < mesh.faceCount; ++f) mesh.faces[size_t(f)] = MeshFace{{3 * f, 3 * f + 1, 3 * f + 2}};
    mesh.setRotation(0, 0, 0);
    mesh.setRenderFlags(flags);
    mesh.draw(target, forwardCamera());
    return int(std::count_if(target.pixels.begin(), target.pixels.end(), [](uint32_t p) { return p != 0; }));
  }
  Surface target;
  Mesh mesh;
};

TEST(Camera, LookAtBuildsARightHandedFrameWithoutRoll) {
  Camera camera;
  camera.setLookAt(1, 2, 3, 4, -2, 15);  // d = (3, -4, 12), |d| = 13
  Vec3 forward, up;
  transformPoint(3, -4, 12, forward, camera.rotation);
  EXPECT_NEAR(forward.x, 0.0f, 1e-5);
  EXPECT_NEAR(forward.y, 0.0f, 1e-5);
  EXPECT_NEAR(forward.z, 13.0f, 1e-5);
  const auto& m = camera.rotation.m;
  EXPECT_NEAR(m[0][0], 12.0f / std::sqrt(153.0f), 1e-6);  // right = (dz, 0, -dx) / |.|
  EXPECT_EQ(m[1][0], 0.0f);                               // no roll
  for (int a = 0; a < 3; ++a) {                           // orthonormal columns
    for (int b = 0; b < 3; ++b) EXPECT_NEAR(m[0][a] * m[0][b] + m[1][a] * m[1][b] + m[2][a] * m[2][b], a == b, 1e-6);
  }
  EXPECT_NEAR(m[1][0] * m[2][1] - m[2][0] * m[1][1], m[0][2], 1e-6);  // right x down = forward
  transformPoint(0, -1, 0, up, camera.rotation);
  EXPECT_LT(up.y, 0.0f);  // world up (-y) shows upward on the screen
}

// The shake's frequencies show in the programme's frames during the metaballs' shakes.
TEST(Camera, ShakeDiesOut) {
  const Vec3 base{1, 2, 3};
  const Vec3 still = shakePosition(base, 5, 1.0f), start = shakePosition(base, 5, 0.0f);
  EXPECT_TRUE(still.x == 1.0f && still.y == 2.0f && still.z == 3.0f);
  EXPECT_EQ(start.y, 2.0f);  // sin(0) = 0
}

TEST_F(PipelineTest, ProjectsWithFocalLength256AfterObjectAndCameraTransforms) {
  EXPECT_EQ(draw({Vec3{10, 20, 256}, Vec3{0, 0, 0}, Vec3{-64, 32, 128}}, 0), 0);  // flags 0: nothing drawn
  const MeshVertex* v = mesh.vertices.data();
  EXPECT_TRUE(v[0].screenX == 170.0f && v[0].screenY == 140.0f && v[0].depth == 256.0f);
  EXPECT_TRUE(v[1].screenX == 160.0f && v[1].depth == 0.0f);  // z exactly 0 divides by -1, keeps depth 0
  EXPECT_TRUE(v[2].screenX == 32.0f && v[2].screenY == 184.0f);
  EXPECT_NEAR(v[0].viewNormal.y, 0.6f, 1e-6);
  // Object turned 90 degrees about y (pi taken as 3.1415) and moved; camera 10 back along -z.
  mesh.setRotation(0, 90, 0);
  mesh.setPosition(2, 3, 20);
  mesh.vertices[0].position = Vec3{1, 0, 0};
  Camera camera;
  camera.setLookAt(0, 0, -10, 0, 0, 0);
  mesh.draw(target, camera);
  EXPECT_NEAR(v[0].viewPosition.x, 2.0f, 1e-3);
  EXPECT_NEAR(v[0].viewPosition.y, 3.0f, 1e-6);
  EXPECT_NEAR(v[0].viewPosition.z, 29.0f, 1e-3);
  EXPECT_EQ(v[1].viewPosition.z, 30.0f);
}

TEST_F(PipelineTest, BackFacingNearAndOffScreenFacesAreSkipped) {
  // Counter-clockwise on the screen (y down) passes; reversed fails.
  EXPECT_EQ(draw({onScreen(10, 10, 100), onScreen(10, 20, 100), onScreen(20, 10, 100)}, kFillUntextured), 55);
  EXPECT_EQ(draw({onScreen(10, 10, 100), onScreen(20, 10, 100), onScreen(10, 20, 100)}, kFillUntextured), 0);
  // A corner nearer than depth 1 skips the face: no near-plane clipping.
  EXPECT_EQ(draw({onScreen(10, 10, 5), onScreen(10, 60, 5), onScreen(60, 10, 0.5f)}, kFillUntextured), 0);
  // All three corners outside the target, though the face covers the screen; one inside is enough.
  EXPECT_EQ(draw({onScreen(-10, -10, 50), onScreen(-10, 1000, 50), onScreen(1000, -10, 50)}, kFillUntextured), 0);
  EXPECT_GT(draw({onScreen(-10, -10, 50), onScreen(-10, 1000, 50), onScreen(5, 5, 50)}, kFillUntextured), 0);
  // A damaged mesh's face naming a vertex it lacks is skipped, in every build.
  mesh.faces[0].indices[2] = 3;
  target.clear();
  mesh.draw(target, forwardCamera());
  EXPECT_EQ(std::count(target.pixels.begin(), target.pixels.end(), 0u), 320 * 240);
}

TEST_F(PipelineTest, FlagsSelectTheFillerByPriority) {
  for (Surface* map : {&mesh.texture, &mesh.lightmap, &mesh.auxMap}) {
    map->create(256, 256);
    for (uint32_t i = 0; i < 65536; ++i) map->pixels[i] = (i * 2654435761u) ^ uint32_t(map - &mesh.texture);
  }
  // Draws with the flags, then the transformed corners through the expected filler.
  auto check = [&](int32_t flags, auto expected) {
    SCOPED_TRACE(flags);
    const int lit = draw({onScreen(30, 20, 40), onScreen(50, 200, 60), onScreen(290, 60, 80)}, flags);
    const std::vector<uint32_t> drawn = target.pixels;
    clearDepthBuffer();
    target.clear();
    expected(mesh.vertices[0], mesh.vertices[1], mesh.vertices[2]);
    EXPECT_EQ(drawn, target.pixels);
    return lit;
  };
  using V = const MeshVertex&;
  auto three = [&](int32_t modeA, int32_t modeB) {
    return [&, modeA, modeB](V a, V b, V c) {
      fillThreeSurfaceTriangle(target, mesh.texture, mesh.lightmap, mesh.auxMap, a, b, c, modeA, modeB);
    };
  };
  EXPECT_GT(check(0x236, three(32, 512)), 1000);
  // 0x236 writes environment coordinates into uv2 only; 0x11E into both pairs.
  EXPECT_TRUE(mesh.vertices[1].uv1[0] == 40.0f && mesh.vertices[1].uv2[0] == 128.0f);
  EXPECT_NEAR(mesh.vertices[1].uv2[1], 0.6f * 127 + 128, 1e-4);
  EXPECT_GT(check(0x11E, three(2, 256)), 1000);
  EXPECT_TRUE(mesh.vertices[1].uv1[0] == 128.0f && mesh.vertices[1].uv2[0] == 128.0f);
  EXPECT_GT(check(0x124, three(32, 256)), 1000);
  EXPECT_GT(check(0x004 | 0x002 | 0x040 | 0x001, three(2, 512)), 1000);
  EXPECT_GT(check(0x002 | 0x040 | 0x001, [&](V a, V b, V c) { fillTexturedTriangle(target, mesh.texture, a, b, c); }), 1000);
  EXPECT_GT(check(0x082, [&](V a, V b, V c) { fillShadedTexturedTriangle(target, mesh.texture, a, b, c); }), 1000);
  EXPECT_GT(check(0x041, [&](V a, V b, V c) { fillUntexturedTriangle(target, a, b, c); }), 1000);
  EXPECT_EQ(check(0x001, [&](V a, V b, V c) { plotTrianglePoints(target, a, b, c); }), 3);
  EXPECT_EQ(check(0x200, [](V, V, V) {}), 0);
  EXPECT_EQ(check(0x018, [](V, V, V) {}), 0);
}

}  // namespace
}  // namespace tarvola
