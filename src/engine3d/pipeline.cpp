// Camera set-up, camera shake and the mesh render pipeline; see pipeline.h.
// Arithmetic: each stored float is computed in double from floats and rounded once; a float
// read again in double (the normal's and view position's components) through roundToFloat.
#include "engine3d/pipeline.h"
#include "engine3d/pipeline_wide.h"

#include <cmath>

#include "base/cpu_path.h"
#include "base/fixed_point.h"

namespace tarvola {

void Camera::setLookAt(float ex, float ey, float ez, float tx, float ty, float tz) {
  position = Vec3{ex, ey, ez};
  const float dx = tx - ex, dy = ty - ey, dz = tz - ez;
  const double horizontal = double(dx) * dx + double(dz) * dz;
  // right = (dz, 0, -dx), down = d x right, forward = d; each normalized.
  const double rightScale = 1.0 / std::sqrt(horizontal);
  const double downScale = 1.0 / std::sqrt(horizontal * horizontal + (double(dx) * dy) * (double(dx) * dy) +
                                           (double(dy) * dz) * (double(dy) * dz));
  const double forwardScale = 1.0 / std::sqrt(horizontal + double(dy) * dy);
  setIdentity(rotation);
  float(&m)[4][4] = rotation.m;
  m[0][0] = float(dz * rightScale);
  m[1][0] = 0.0f;
  m[2][0] = float(-dx * rightScale);
  m[0][1] = float(-double(dx) * dy * downScale);
  m[1][1] = float(horizontal * downScale);
  m[2][1] = float(-double(dy) * dz * downScale);
  m[0][2] = float(dx * forwardScale);
  m[1][2] = float(dy * forwardScale);
  m[2][2] = float(dz * forwardScale);
}

Vec3 shakePosition(Vec3 base, float amplitude, float t) {
  const double weight = double(1.0f - t) * amplitude;
  return Vec3{float(base.x + weight * angleSin(t * 269377.96875f)),
              float(base.y + weight * angleSin(t * 75826.6640625f)),
              float(base.z + weight * angleSin(t * 11492387.0f))};
}

namespace {

// Hands every face that is front-facing (counter-clockwise on the screen, y down), entirely
// beyond depth 1 and with at least one corner strictly inside the target to fill(c0, c1, c2),
// as the fillers' corners copied from its vertices, in the face's order. The corner tests come
// first: they are cheap and drop most faces.
// A face whose indices do not all name a vertex (a fault of whoever built the mesh) is
// skipped rather than read outside the vertex array.
template <class Fill>
void drawFaces(Mesh& mesh, int32_t vertexCount, int32_t faceCount, const uint8_t* cornerFlags, Fill fill) {
  for (int32_t f = 0; f < faceCount; ++f) {
    const int32_t* idx = mesh.faces[size_t(f)].indices;
    const bool valid = uint32_t(idx[0]) < uint32_t(vertexCount) && uint32_t(idx[1]) < uint32_t(vertexCount) &&
                       uint32_t(idx[2]) < uint32_t(vertexCount);
    if (!valid) continue;
    const uint32_t f0 = cornerFlags[idx[0]], f1 = cornerFlags[idx[1]], f2 = cornerFlags[idx[2]];
    if (!((f0 & f1 & f2 & kBeyondNear) && ((f0 | f1 | f2) & kInsideTarget))) continue;
    // Read in place: only a face that is drawn has its corners copied.
    const MeshVertex& c0 = mesh.vertices[size_t(idx[0])];
    const MeshVertex& c1 = mesh.vertices[size_t(idx[1])];
    const MeshVertex& c2 = mesh.vertices[size_t(idx[2])];
    const double s = (double(c0.screenY) - c1.screenY) * (double(c2.screenX) - c0.screenX) -
                     (double(c0.screenX) - c1.screenX) * (double(c2.screenY) - c0.screenY);
    if (!(s < 0.0)) continue;
    fill(toRasterCorner(c0), toRasterCorner(c1), toRasterCorner(c2));
  }
}

}  // namespace

namespace plain {

void projectVertices(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags) {
  const float(&r)[4][4] = view.rotation.m;
  for (int32_t i = 0; i < count; ++i) {
    MeshVertex& v = vertices[i];
    const double nx = v.normal.x, ny = v.normal.y, nz = v.normal.z;
    const float rx = roundToFloat(nx * r[0][0] + ny * r[1][0] + nz * r[2][0]);
    const float ry = roundToFloat(nx * r[0][1] + ny * r[1][1] + nz * r[2][1]);
    const float rz = roundToFloat(nx * r[0][2] + ny * r[1][2] + nz * r[2][2]);
    const float inverseLength = float(1.0 / std::sqrt(double(rx) * rx + double(ry) * ry + double(rz) * rz));
    v.viewNormal = Vec3{rx * inverseLength, ry * inverseLength, rz * inverseLength};

    const double px = v.position.x, py = v.position.y, pz = v.position.z;
    // The projection reads the stored floats, never the unrounded sums.
    v.viewPosition.x = roundToFloat(px * r[0][0] + py * r[1][0] + pz * r[2][0] + view.origin.x);
    v.viewPosition.y = roundToFloat(px * r[0][1] + py * r[1][1] + pz * r[2][1] + view.origin.y);
    v.viewPosition.z = roundToFloat(px * r[0][2] + py * r[1][2] + pz * r[2][2] + view.origin.z);

    // Focal length 256; z exactly 0 divides by -1 instead, and its depth 0 fails the near test.
    const float z = v.viewPosition.z;
    const float k = 256.0f / (z == 0.0f ? -1.0f : z);
    v.depth = z;
    v.screenX = float((double(v.viewPosition.x) * k + view.halfWidth) * view.scaleX);
    v.screenY = float((double(v.viewPosition.y) * k + view.halfHeight) * view.scaleY);

    if (view.environmentSlots & 1)
      v.uv1[0] = environmentCoord(v.viewNormal.x), v.uv1[1] = environmentCoord(v.viewNormal.y);
    if (view.environmentSlots & 2)
      v.uv2[0] = environmentCoord(v.viewNormal.x), v.uv2[1] = environmentCoord(v.viewNormal.y);
    const bool inside = v.screenX > 0.0f && v.screenX < view.width && v.screenY > 0.0f && v.screenY < view.height;
    cornerFlags[i] = uint8_t((v.depth > 1.0f ? kBeyondNear : 0) | (inside ? kInsideTarget : 0));
  }
}

}  // namespace plain

void storeProjectedFour(MeshVertex* const (&v)[4], const ProjectedFour& four, int32_t environmentSlots,
                        uint8_t* cornerFlags) {
  for (int lane = 0; lane < 4; ++lane) {
    MeshVertex& out = *v[lane];
    out.viewNormal = Vec3{four.normal[0][lane], four.normal[1][lane], four.normal[2][lane]};
    out.viewPosition = Vec3{four.position[0][lane], four.position[1][lane], four.position[2][lane]};
    out.depth = four.position[2][lane];
    out.screenX = four.position[3][lane];
    out.screenY = four.position[4][lane];
    if (environmentSlots & 1) out.uv1[0] = four.environment[0][lane], out.uv1[1] = four.environment[1][lane];
    if (environmentSlots & 2) out.uv2[0] = four.environment[0][lane], out.uv2[1] = four.environment[1][lane];
    cornerFlags[lane] =
        uint8_t((four.beyondNear >> lane & 1 ? kBeyondNear : 0) | (four.inside >> lane & 1 ? kInsideTarget : 0));
  }
}

void projectVertices(MeshVertex* vertices, int32_t count, const ViewTransform& view, uint8_t* cornerFlags) {
  const SimdPath path = activeSimdPath();
  const int32_t done = path >= SimdPath::Avx2      ? projectVerticesAvx2(vertices, count, view, cornerFlags)
                       : path == SimdPath::Simd128 ? projectVerticesSimd128(vertices, count, view, cornerFlags)
                                                   : 0;
  plain::projectVertices(vertices + done, count - done, view, cornerFlags + done);
}

void Mesh::draw(Surface& target, DepthBuffer& depth, Camera camera) {
  // The counts never exceed the arrays; clamped all the same, so a bad count cannot read past them.
  const int32_t liveVertices = vertexCount < int32_t(vertices.size()) ? vertexCount : int32_t(vertices.size());
  const int32_t liveFaces = faceCount < int32_t(faces.size()) ? faceCount : int32_t(faces.size());
  const float width = float(target.width), height = float(target.height);
  // On a 320 x 240 target both scales are exactly 1 and the centre is (160, 120).
  const float halfW = width * 0.5f, halfH = height * 0.5f;
  const float scaleX = width * 0.003125f, scaleY = height * 0.004166667f;

  // identity * object rotation * camera rotation: object-space directions to camera space.
  Matrix4 m;
  setIdentity(m);
  multiplyRotation(m, rotation);
  multiplyRotation(m, camera.rotation);
  Vec3 origin;
  transformPoint(position.x - camera.position.x, position.y - camera.position.y, position.z - camera.position.z, origin,
                 camera.rotation);
  const int32_t environmentSlots = (renderFlags & kEnvToUv1 ? 1 : 0) | (renderFlags & kEnvToUv2 ? 2 : 0);
  const ViewTransform view{m, origin, halfW, halfH, scaleX, scaleY, width, height, environmentSlots};
  if (cornerFlags.size() < size_t(liveVertices)) cornerFlags.resize(size_t(liveVertices));
  projectVertices(vertices.data(), liveVertices, view, cornerFlags.data());

  // The filler is chosen once per draw, by priority: three-surface, textured (shaded or
  // not), untextured, points.
  using V = const RasterCorner&;
  auto eachFace = [&](auto fill) { drawFaces(*this, liveVertices, liveFaces, cornerFlags.data(), fill); };
  if (renderFlags & kFillThreeSurface) {
    const LightmapLookup lookup = renderFlags & kThreeSurfaceBump ? LightmapLookup::kDisplaced : LightmapLookup::kPlain;
    const LightmapCombine combine = renderFlags & kThreeSurfaceAdd ? LightmapCombine::kAdd : LightmapCombine::kMultiply;
    if (lookup == LightmapLookup::kDisplaced) auxSlopes.take(auxMap);
    eachFace([&](V c0, V c1, V c2) {
      fillThreeSurfaceTriangle(target, depth, texture, lightmap, auxSlopes, c0, c1, c2, lookup, combine);
    });
  } else if (renderFlags & kFillTextured) {
    if (renderFlags & kShadedTexture) {
      eachFace([&](V c0, V c1, V c2) { fillShadedTexturedTriangle(target, depth, texture, c0, c1, c2); });
    } else {
      eachFace([&](V c0, V c1, V c2) { fillTexturedTriangle(target, depth, texture, c0, c1, c2); });
    }
  } else if (renderFlags & kFillUntextured) {
    eachFace([&](V c0, V c1, V c2) { fillUntexturedTriangle(target, depth, c0, c1, c2); });
  } else if (renderFlags & kDrawPoints) {
    eachFace([&](V c0, V c1, V c2) { plotTrianglePoints(target, c0, c1, c2); });
  }
}

}  // namespace tarvola
