// The camera and the mesh render pipeline: vertices and normals turned into camera space with
// one combined matrix, projected with a focal length of 256 pixels, faces culled (back-facing,
// too near, wholly off-screen) and handed in face order to the filler the render flags select.
// No clipping, no sorting: the depth buffer settles visibility. Mesh::draw is defined here.
#pragma once

#include "base/math3d.h"
#include "engine3d/mesh.h"
#include "raster/fillers.h"
#include "surface/surface.h"

namespace tarvola {

// Camera space: x right, y down on the screen, z forward. rotation maps world directions into
// it: columns 0, 1, 2 of its 3x3 part are the right, down and forward axes; row 3 is zero.
struct Camera {
  Vec3 position;
  Matrix4 rotation;

  // Eye at (ex, ey, ez) looking at (tx, ty, tz), no roll. Looking straight up or down
  // (target directly above or below the eye) divides by zero: not supported.
  void setLookAt(float ex, float ey, float ez, float tx, float ty, float tz);
};

// base + (1 - t) * amplitude * (sin(t * 269377.96875), sin(t * 75826.6640625), sin(t * 11492387)):
// offsets that jump erratically from frame to frame and die out linearly as t reaches 1.
Vec3 shakePosition(Vec3 base, float amplitude, float t);

// The view of the pipeline's vertex pass: camera = object directions times rotation (the
// combined 3x3), plus origin; a 320 x 240 target's centre and scales; the target's size, which
// bounds the corner flags; which environment passes (Mesh::environmentCoords) to run on the
// turned normals: bit 0 into uv1, bit 1 into uv2.
struct ViewTransform {
  Matrix4 rotation;
  Vec3 origin;
  float halfWidth, halfHeight, scaleX, scaleY;
  float width, height;
  int32_t environmentSlots;
};

// Per vertex, what the face test asks of each corner, written by the vertex pass: beyond
// depth 1, and strictly inside the target (0 < x < width, 0 < y < height).
enum : uint8_t { kBeyondNear = 1, kInsideTarget = 2 };

// Turns and projects count vertices: viewNormal (the turned normal scaled to unit length),
// viewPosition, depth and the screen position, then the environment coordinates the view asks
// for and each vertex's corner flags into cornerFlags[i]; Mesh::draw runs it on every vertex.
// Each stored float is computed in double from floats and rounded once (the environment
// coordinates in float). Four vertices at a time on AVX2 with the same operations in the same
// order; plain:: is the reference.
void projectVertices(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags);
namespace plain {
void projectVertices(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags);
}

// The corner the fillers read for a projected vertex: its floats copied unchanged.
inline RasterCorner toRasterCorner(const MeshVertex& v) {
  return RasterCorner{v.screenX,
                      v.screenY,
                      v.depth,
                      {v.uv1[0], v.uv1[1]},
                      {v.uv2[0], v.uv2[1]},
                      {v.colour[0], v.colour[1], v.colour[2]}};
}

}  // namespace tarvola
