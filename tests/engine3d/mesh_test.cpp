// Mesh set-up: the 24-float vertex record, smooth area-weighted normals and environment
// coordinates.
#include "engine3d/mesh.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvola {
namespace {

static_assert(sizeof(MeshVertex) == 24 * sizeof(float), "a vertex is a record of 24 floats");

TEST(Mesh, NormalsAreAreaWeightedAndFaceAwayFromACounterClockwiseViewer) {
  // Vertex 0 is shared by a face in the z = 0 plane (twice-area 1, normal -z) and one in the
  // x = 0 plane (twice-area 9, normal -x): its normal is (-9, 0, -1) normalized; an unused
  // vertex turns non-finite.
  Mesh mesh;
  mesh.computeVertexNormals();  // nothing to do on an empty mesh
  mesh.allocate(6, 2);
  mesh.vertices[1].position = Vec3{1, 0, 0};
  mesh.vertices[2].position = Vec3{0, 1, 0};
  mesh.vertices[3].position = Vec3{0, 3, 0};
  mesh.vertices[4].position = Vec3{0, 0, 3};
  mesh.faces[0] = MeshFace{{0, 1, 2}};
  mesh.faces[1] = MeshFace{{0, 3, 4}};
  mesh.computeVertexNormals();
  const Vec3 n = mesh.vertices[0].normal, n1 = mesh.vertices[1].normal, n3 = mesh.vertices[3].normal;
  EXPECT_NEAR(n.x, -9.0f / std::sqrt(82.0f), 1e-6);
  EXPECT_NEAR(n.y, 0.0f, 1e-6);
  EXPECT_NEAR(n.z, -1.0f / std::sqrt(82.0f), 1e-6);
  EXPECT_TRUE(n1.x == 0.0f && n1.y == 0.0f && n1.z == -1.0f);
  EXPECT_NEAR(n3.x, -1.0f, 1e-6);
  EXPECT_FALSE(std::isfinite(mesh.vertices[5].normal.x));
}

TEST(Mesh, EnvironmentCoordinates) {
  Mesh mesh;
  mesh.allocate(3, 0);
  mesh.vertices[0].viewNormal = Vec3{0, 0, 1};
  mesh.vertices[1].viewNormal = Vec3{1, 0, 0};
  mesh.vertices[2].viewNormal = Vec3{-1, 0.5f, 0};
  mesh.vertices[2].uv2[0] = 7;
  mesh.environmentCoords(0);  // (128 + 127 nx, 128 + 127 ny) into uv1
  const float expected[3][2] = {{128, 128}, {255, 128}, {1, 191.5f}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(mesh.vertices[size_t(i)].uv1[0] == expected[i][0] && mesh.vertices[size_t(i)].uv1[1] == expected[i][1]) << i;
  }
  EXPECT_EQ(mesh.vertices[2].uv2[0], 7.0f);  // which = 0 leaves uv2 alone
  mesh.environmentCoords(5);
  EXPECT_TRUE(mesh.vertices[1].uv2[0] == 255.0f && mesh.vertices[2].uv2[1] == 191.5f);
}

}  // namespace
}  // namespace tarvola
