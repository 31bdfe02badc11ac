// The paths the 3D scenes follow, written once for the scenes and for the benchmarks and tests
// that follow them: Scene 3's metaball field, its sources' and eye's paths and its room; Scene 5's
// camera. Same float conventions as the scenes (scenes.h): products in double, rounded once.
#pragma once

#include "base/math3d.h"
#include "metaballs/polygonizer.h"

namespace tarvola {

// Scene 3's polygonizer as its init leaves it: iso level 0.1, 18 cells of 10 units a side, a
// blob (inverse square, 10) at the origin, a ring (16, 30) at (-10, -10, 10) and a rounded cube
// (quartic, 12) at (10, 10, 10).
void setUpMetaballField(MetaballPolygonizer& metaballs);

// Scene 3 at animation clock e: the three sources' positions, the metaballs' rotation (degrees)
// and the eye, which circles the origin at radius 140 and bobs by up to 140 (before any shake).
struct MetaballPose {
  Vec3 sources[3];
  Vec3 rotation;
  Vec3 eye;
};
MetaballPose metaballPose(float e);

// Scene 3's room: placed at (0, 160, 0), turned -90 degrees about x.
inline constexpr Vec3 kBoxPosition{0, 160, 0};
inline constexpr Vec3 kBoxRotation{-90, 0, 0};

// Scene 5 at scene clock u: the ray grid's camera and texture scroll. Early mode drifts slowly
// forward; late mode (after t = 10800) flies backward and swings.
struct TunnelPose {
  Vec3 position;
  Vec3 angles;
  float scrollU;
};
TunnelPose tunnelPose(float u, bool late);

}  // namespace tarvola
