// The pipeline's culling, which no picture of the programme crosses: a face must wind
// counter-clockwise, have every corner beyond depth 1 and one corner inside the target.
#include "engine3d/pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "raster/depth_buffer.h"
#include "surface/compositing.h"

namespace tarvola {
namespace {

// Lit pixels of one untextured face whose corners project to (x, y) at depth z, seen by a
// camera at the origin looking along +z; its last index may name a vertex the mesh lacks.
int drawn(const float (&corners)[3][3], int32_t lastIndex = 2) {
  DepthBuffer depth;
  depth.create(320, 240);
  Surface target;
  target.create(320, 240);
  Mesh mesh;
  mesh.allocate(3, 1);
  for (int i = 0; i < 3; ++i) {
    const auto [x, y, z] = corners[i];
    mesh.vertices[size_t(i)].position = Vec3{(x - 160.0f) * z / 256.0f, (y - 120.0f) * z / 256.0f, z};
  }
  mesh.faces[0] = MeshFace{{0, 1, lastIndex}};
  mesh.setRotation(0, 0, 0);
  mesh.setRenderFlags(kFillUntextured);
  Camera camera;
  camera.setLookAt(0, 0, 0, 0, 0, 1);
  mesh.draw(target, depth, camera);
  return int(std::count(target.pixels.begin(), target.pixels.end(), 0xFFFFFFFFu));
}

TEST(Pipeline, BackFacingNearAndOffScreenFacesAreSkipped) {
  EXPECT_EQ(drawn({{10, 10, 100}, {10, 20, 100}, {20, 10, 100}}), 55);    // counter-clockwise (y down)
  EXPECT_EQ(drawn({{10, 10, 100}, {20, 10, 100}, {10, 20, 100}}), 0);     // clockwise
  EXPECT_EQ(drawn({{10, 10, 100}, {10, 20, 100}, {20, 10, 100}}, 3), 0);  // a damaged face, in every build
  EXPECT_EQ(drawn({{10, 10, 5}, {10, 60, 5}, {60, 10, 1.0f}}), 0);        // a corner at depth 1
  EXPECT_GT(drawn({{10, 10, 5}, {10, 60, 5}, {60, 10, 1.01f}}), 0);
  EXPECT_EQ(drawn({{-10, -10, 50}, {-10, 1000, 50}, {1000, -10, 50}}), 0);  // covers the screen, no corner inside
  EXPECT_GT(drawn({{-10, -10, 50}, {-10, 1000, 50}, {5, 5, 50}}), 0);
}

// The vertex pass on every vector path against the plain one, environment coordinates and
// corner flags included: random positions, normals (zero ones
// too), rotations and origins, a vertex on the camera plane, odd counts. Every float bit-equal.
TEST(Pipeline, VectorVertexPassEqualsThePlainOne) {
  std::mt19937 random(12);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int trial = 0; trial < 200; ++trial) {
    ViewTransform view{};
    setRotationDegrees(view.rotation, 360 * unit(random), 360 * unit(random), 360 * unit(random));
    view.origin = Vec3{300 * unit(random), 300 * unit(random), 300 * unit(random)};
    view.halfWidth = 160, view.halfHeight = 120, view.scaleX = 1, view.scaleY = 1;
    view.width = 320, view.height = 240, view.environmentSlots = trial % 4;
    std::vector<MeshVertex> expected(size_t(1 + trial % 11));
    for (MeshVertex& v : expected) {
      for (float& f : reinterpret_cast<float(&)[24]>(v)) f = unit(random);  // what the pass must keep, too
      v.position = Vec3{400 * unit(random), 400 * unit(random), 400 * unit(random)};
      v.normal = trial % 5 == 0 ? Vec3{} : Vec3{unit(random), unit(random), unit(random)};
    }
    expected[0].position = Vec3{};  // lands on the camera plane when the origin's z is 0
    if (trial % 3 == 0) view.origin.z = 0;
    const std::vector<MeshVertex> before = expected;
    std::vector<uint8_t> expectedFlags(expected.size()), flags(expected.size());
    plain::projectVertices(expected.data(), int32_t(expected.size()), view, expectedFlags.data());
    for (SimdPath path : availableSimdPaths()) {  // every vector path this processor runs
      const ScopedSimdPath onPath(path);
      ASSERT_TRUE(onPath.active());
      std::vector<MeshVertex> actual = before;
      projectVertices(actual.data(), int32_t(actual.size()), view, flags.data());
      ASSERT_EQ(std::memcmp(expected.data(), actual.data(), expected.size() * sizeof(MeshVertex)), 0)
          << trial << " path " << int(path);
      ASSERT_EQ(flags, expectedFlags) << trial << " path " << int(path);
    }
  }
}

}  // namespace
}  // namespace tarvola
