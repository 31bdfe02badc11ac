// The 3D scenes' paths; see scene_paths.h.
#include "scenes/scene_paths.h"

#include <cmath>

#include "surface/generators.h"

namespace tarvola {

namespace {
float at(double value) { return float(value); }
}  // namespace

void setUpMetaballField(MetaballPolygonizer& metaballs) {
  metaballs.init(0.1f, 18, 10);
  metaballs.field.addInverseSquare(10);
  metaballs.field.setSourcePosition(0, 0, 0, 0);
  metaballs.field.addRing(16, 30);
  metaballs.field.setSourcePosition(1, -10, -10, 10);
  metaballs.field.addQuartic(12);
  metaballs.field.setSourcePosition(2, 10, 10, 10);
}

MetaballPose metaballPose(float e) {
  const double a = e * kAngle03D;
  const float b = float(-double(e) * 0.034905557);
  MetaballPose pose;
  pose.sources[0] = {at(45 * std::sin(e * 0.0017452777756585018)), at(45 * std::sin(-e * kAngle02D)),
                     at(45 * std::sin(a))};
  pose.sources[1] = {at(45 * std::sin(double(b))), at(45 * std::sin(a)), at(45 * std::sin(-e * kAngle04D))};
  pose.sources[2] = {at(45 * std::cos(double(b))), at(45 * std::sin(a)), at(45 * std::cos(e * kAngle04D))};
  pose.rotation = {at(0.3 * e), at(0.4 * e), at(0.5 * e)};
  pose.eye = {at(140 * std::sin(a)), at(-140 * std::sin(e * 0.006108472214804755)), at(140 * std::cos(a))};
  return pose;
}

TunnelPose tunnelPose(float u, bool late) {
  const double du = u;
  TunnelPose pose;
  pose.position = {at(20 * std::sin(du * kAngle04D)), at(20 * std::sin(du * kAngle05D)), 0};
  if (late) {
    pose.position.z = at(-0.6 * du);
    pose.angles = {at(40 * std::sin(du * kAngle03D)), at(40 * std::sin(du * kAngle02D)), at(0.02 * du)};
  } else {
    pose.position.z = at(0.4 * du);
    pose.angles = {at(0.08 * du), at(0.2 * du), at(0.3 * du)};
  }
  pose.scrollU = float(du * 0.7);
  return pose;
}

}  // namespace tarvola
