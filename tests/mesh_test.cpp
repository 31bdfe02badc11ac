// Mesh record and set-up: the 24-float vertex layout, allocate, smooth area-weighted normals
// and environment coordinates.
#include "engine3d/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>

namespace tarvola {
namespace {

TEST(MeshVertex, FieldsSitAtTheirFloatIndices) {
  EXPECT_EQ(offsetof(MeshVertex, position), 0 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, viewPosition), 3 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, normal), 6 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, viewNormal), 9 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, uv1), 12 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, uv2), 14 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, colour), 16 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, screenX), 19 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, screenY), 20 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, depth), 21 * sizeof(float));
  EXPECT_EQ(offsetof(MeshVertex, scratch), 22 * sizeof(float));
}

TEST(Mesh, FreshAndAllocated) {
  Mesh mesh;
  EXPECT_EQ(mesh.vertexCount, 0);
  EXPECT_EQ(mesh.faceCount, 0);
  EXPECT_EQ(mesh.renderFlags, 0);
  for (const auto& row : mesh.rotation.m) {
    for (float v : row) EXPECT_EQ(v, 0.0f);
  }
  mesh.computeVertexNormals();  // nothing to do on an empty mesh
  mesh.environmentCoords(0);

  mesh.allocate(5, 3);
  EXPECT_EQ(mesh.vertexCount, 5);
  EXPECT_EQ(mesh.faceCount, 3);
  ASSERT_EQ(mesh.vertices.size(), 5u);
  ASSERT_EQ(mesh.faces.size(), 3u);
  const float* raw = &mesh.vertices[0].position.x;
  for (size_t i = 0; i < 5 * 24; ++i) EXPECT_EQ(raw[i], 0.0f);
  for (const MeshFace& f : mesh.faces) EXPECT_EQ(f.indices[0] | f.indices[1] | f.indices[2], 0);

  mesh.setPosition(1, 2, 3);
  EXPECT_EQ(mesh.position.z, 3.0f);
  mesh.setRotation(0, 0, 0);
  EXPECT_EQ(mesh.rotation.m[0][0], 1.0f);
  EXPECT_EQ(mesh.rotation.m[3][3], 1.0f);
  mesh.setRenderFlags(0x236);
  EXPECT_EQ(mesh.renderFlags, 0x236);
}

TEST(Mesh, NormalsOfOneTrianglePointAwayFromACounterClockwiseViewer) {
  Mesh mesh;
  mesh.allocate(3, 1);
  mesh.vertices[1].position = Vec3{1, 0, 0};
  mesh.vertices[2].position = Vec3{0, 1, 0};
  mesh.faces[0] = MeshFace{{0, 1, 2}};
  mesh.computeVertexNormals();
  for (const MeshVertex& v : mesh.vertices) {
    EXPECT_EQ(v.normal.x, 0.0f);
    EXPECT_EQ(v.normal.y, 0.0f);
    EXPECT_EQ(v.normal.z, -1.0f);
  }
}

TEST(Mesh, SharedVertexGetsTheAreaWeightedDirection) {
  // Vertex 0 is shared by a face in the z = 0 plane (twice-area 1) and one in the x = 0 plane
  // (twice-area 9): its normal is (-9, 0, -1) normalized; an unused vertex turns non-finite.
  Mesh mesh;
  mesh.allocate(6, 2);
  mesh.vertices[1].position = Vec3{1, 0, 0};
  mesh.vertices[2].position = Vec3{0, 1, 0};
  mesh.vertices[3].position = Vec3{0, 3, 0};
  mesh.vertices[4].position = Vec3{0, 0, 3};
  mesh.faces[0] = MeshFace{{0, 1, 2}};
  mesh.faces[1] = MeshFace{{0, 3, 4}};
  mesh.computeVertexNormals();
  const Vec3 n = mesh.vertices[0].normal;
  const float length = std::sqrt(82.0f);
  EXPECT_NEAR(n.x, -9.0f / length, 1e-6);
  EXPECT_NEAR(n.y, 0.0f, 1e-6);
  EXPECT_NEAR(n.z, -1.0f / length, 1e-6);
  EXPECT_NEAR(mesh.vertices[3].normal.x, -1.0f, 1e-6);
  EXPECT_FALSE(std::isfinite(mesh.vertices[5].normal.x));
}

TEST(Mesh, EnvironmentCoordinates) {
  Mesh mesh;
  mesh.allocate(3, 0);
  mesh.vertices[0].viewNormal = Vec3{0, 0, 1};
  mesh.vertices[1].viewNormal = Vec3{1, 0, 0};
  mesh.vertices[2].viewNormal = Vec3{-1, 0.5f, 0};
  mesh.vertices[2].uv2[0] = 7;
  mesh.environmentCoords(0);
  EXPECT_EQ(mesh.vertices[0].uv1[0], 128.0f);
  EXPECT_EQ(mesh.vertices[0].uv1[1], 128.0f);
  EXPECT_EQ(mesh.vertices[1].uv1[0], 255.0f);
  EXPECT_EQ(mesh.vertices[1].uv1[1], 128.0f);
  EXPECT_EQ(mesh.vertices[2].uv1[0], 1.0f);
  EXPECT_EQ(mesh.vertices[2].uv1[1], 191.5f);
  EXPECT_EQ(mesh.vertices[2].uv2[0], 7.0f);  // which = 0 leaves uv2 alone
  mesh.environmentCoords(5);
  EXPECT_EQ(mesh.vertices[1].uv2[0], 255.0f);
  EXPECT_EQ(mesh.vertices[2].uv2[1], 191.5f);
}

}  // namespace
}  // namespace tarvola
