// Mesh: the one 3D object type: fat 24-float vertices, index triples, three sampled surfaces,
// render flags, a world position and a rotation. Filled by the 3DS loader or, every frame,
// by the metaball polygonizer; drawn by the camera pipeline.
#pragma once

#include <cstdint>
#include <vector>

#include "base/math3d.h"
#include "raster/depth_buffer.h"
#include "raster/fillers.h"
#include "surface/surface.h"

namespace tarvola {

// 24 floats at fixed indices: the fillers receive private copies of whole records.
struct MeshVertex {
  Vec3 position;      // 0-2   object space
  Vec3 viewPosition;  // 3-5   camera space, written by the pipeline every frame
  Vec3 normal;        // 6-8   object space
  Vec3 viewNormal;    // 9-11  camera space, unit length
  float uv1[2];       // 12-13 texel units (0..255 for one repeat)
  float uv2[2];       // 14-15 texel units
  float colour[3];    // 16-18 red, green, blue in 0..255, read by the shaded textured filler
  float screenX;      // 19    projected x in pixels
  float screenY;      // 20    projected y in pixels
  float depth;        // 21    camera-space z
  float scratch[2];   // 22-23 unused; the record stays 24 floats
};
static_assert(sizeof(MeshVertex) == 24 * sizeof(float), "MeshVertex is 24 packed floats");

struct MeshFace {
  int32_t indices[3];  // corners in the order handed to the fillers
};

// Render flags: which filler draws the mesh (priority kFillThreeSurface, kFillTextured,
// kFillUntextured, kDrawPoints) and which environment passes run before filling.
inline constexpr int32_t kDrawPoints = 0x001;
inline constexpr int32_t kFillTextured = 0x002;
inline constexpr int32_t kFillThreeSurface = 0x004;
inline constexpr int32_t kEnvToUv1 = 0x008;
inline constexpr int32_t kEnvToUv2 = 0x010;
inline constexpr int32_t kThreeSurfaceBump = 0x020;
inline constexpr int32_t kFillUntextured = 0x040;
inline constexpr int32_t kShadedTexture = 0x080;
inline constexpr int32_t kThreeSurfaceAdd = 0x100;

// A turned normal's component as an environment-map coordinate: n * 127 + 128 in float.
inline float environmentCoord(float n) { return n * 127.0f + 128.0f; }

struct Camera;  // pipeline.h

struct Mesh {
  int32_t vertexCount = 0;
  std::vector<MeshVertex> vertices;  // capacity fixed by allocate()
  int32_t faceCount = 0;
  std::vector<MeshFace> faces;
  int32_t renderFlags = 0;
  Surface texture;
  Surface lightmap;
  Surface auxMap;
  HeightSlopes auxSlopes;  // of auxMap's red bytes, taken afresh by every draw that reads them
  Vec3 position;
  Matrix4 rotation;                  // all zero until setRotation(); only the 3x3 part is used
  std::vector<uint8_t> cornerFlags;  // per vertex, the draw's corner flags (pipeline.h)

  // Sets both counts and allocates that many zeroed vertices and faces (once per mesh).
  void allocate(int32_t newVertexCount, int32_t newFaceCount);
  void setPosition(float x, float y, float z) { position = Vec3{x, y, z}; }
  void setRotation(float ax, float ay, float az) { setRotationDegrees(rotation, ax, ay, az); }
  void setRenderFlags(int32_t flags) { renderFlags = flags; }

  // Reads the first triangle-mesh object of a 3DS file (load_3ds.cpp). On failure shows a
  // message and leaves the mesh as it was.
  void loadMesh(const char* path);

  // Smooth normals: each face adds (p0 - p1) x (p2 - p1) (area-weighted) to its three
  // vertices, then every normal is scaled by 1 / length. Unused vertices become non-finite.
  void computeVertexNormals();

  // u = viewNormal.x * 127 + 128, v = viewNormal.y * 127 + 128 into uv1 (which == 0) or uv2,
  // in float (environmentCoord). Mesh::draw has its vertex pass do the same.
  void environmentCoords(int32_t which);

  // Transforms, projects and culls the mesh and fills its faces into target and depth, which
  // has target's size (pipeline.cpp). The camera is taken by value: a scene may move it
  // between draws.
  void draw(Surface& target, DepthBuffer& depth, Camera camera);
};

}  // namespace tarvola
