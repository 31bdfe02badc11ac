// Mesh set-up, smooth normals and environment coordinates; see mesh.h.
#include "engine3d/mesh.h"

#include <cmath>

namespace tarvola {

void Mesh::allocate(int32_t newVertexCount, int32_t newFaceCount) {
  vertexCount = newVertexCount;
  faceCount = newFaceCount;
  vertices.assign(size_t(newVertexCount > 0 ? newVertexCount : 0), MeshVertex{});
  faces.assign(size_t(newFaceCount > 0 ? newFaceCount : 0), MeshFace{});
  cornerFlags.assign(vertices.size(), 0);
}

void Mesh::computeVertexNormals() {
  for (int32_t i = 0; i < vertexCount; ++i) vertices[size_t(i)].normal = Vec3{};
  for (int32_t f = 0; f < faceCount; ++f) {
    const int32_t* idx = faces[size_t(f)].indices;
    const Vec3 p0 = vertices[size_t(idx[0])].position;
    const Vec3 p1 = vertices[size_t(idx[1])].position;
    const Vec3 p2 = vertices[size_t(idx[2])].position;
    const float ax = p0.x - p1.x, ay = p0.y - p1.y, az = p0.z - p1.z;
    const float bx = p2.x - p1.x, by = p2.y - p1.y, bz = p2.z - p1.z;
    const float nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
    for (int k = 0; k < 3; ++k) {
      Vec3& n = vertices[size_t(idx[k])].normal;
      n.x += nx;
      n.y += ny;
      n.z += nz;
    }
  }
  for (int32_t i = 0; i < vertexCount; ++i) {
    Vec3& n = vertices[size_t(i)].normal;
    const float inverseLength = 1.0f / std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    n.x *= inverseLength;
    n.y *= inverseLength;
    n.z *= inverseLength;
  }
}

void Mesh::environmentCoords(int32_t which) {
  const int slot = which == 0 ? 0 : 1;
  for (int32_t i = 0; i < vertexCount; ++i) {
    MeshVertex& v = vertices[size_t(i)];
    float* uv = slot == 0 ? v.uv1 : v.uv2;
    uv[0] = environmentCoord(v.viewNormal.x);
    uv[1] = environmentCoord(v.viewNormal.y);
  }
}

}  // namespace tarvola
