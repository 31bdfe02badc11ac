// The generated room: assimp, an independent reader, agrees with the loader on its counts, and
// drawn through the project's own loader, placement and untextured filler it covers the
// screen from 100 eye positions along the metaballs scene's camera path, half of them shaken:
// every pixel the fillers reach (all but row 0 and column 319) inside the letterbox's band
// (rows 30 to 209, the only rows shown) is drawn. Outside the band a hole may only sit at a
// screen corner, where a covering face can have all three corners off screen (and is dropped).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine3d/mesh.h"
#include "engine3d/pipeline.h"
#include "raster/depth_buffer.h"
#include "scenes/scene_paths.h"
#include "support/test_support.h"
#include "surface/surface.h"

namespace tarvola {
namespace {

constexpr int kWidth = 320, kHeight = 240;

TEST(DataSetBoxCoverage, RoomCoversEveryReachablePixelAlongTheCameraPath) {
  static Mesh box;  // meshes live for the whole run, as in the demo
  const std::string path = std::string(TARVOLA_BINARY_DIR) + "/data/box.3ds";
  box.loadMesh(path.c_str());
  ASSERT_GE(box.faceCount, 10000);
  // assimp, an independent reader, sees one mesh of the same counts.
  const std::string assimp = testing::runCommand("assimp info '" + path + "' 2>&1");
  for (auto [label, count] : {std::pair{"Meshes:", 1}, {"Vertices:", box.vertexCount}, {"Faces:", box.faceCount}}) {
    const size_t at = assimp.find(label);
    EXPECT_EQ(at == std::string::npos ? -1 : std::atoi(assimp.c_str() + at + std::strlen(label)), count) << assimp;
  }
  box.setRenderFlags(kFillUntextured);
  box.computeVertexNormals();
  DepthBuffer depth;
  depth.create(kWidth, kHeight);
  Surface target;
  target.create(kWidth, kHeight);
  for (int i = 0; i < 100; ++i) {
    // The scene's animation clock e (scene time * 0.9 plus 500 per cut), sampled past the
    // periods of both the circle (about 1200) and the bob (about 1029).
    Vec3 eye = metaballPose(float(4005.0 + i * 97.3)).eye;
    if (i % 2 == 1) eye = shakePosition(eye, 10.0f, float(i % 10) * 0.1f);  // fresh to fading shakes
    Camera camera;
    camera.setLookAt(eye.x, eye.y, eye.z, 0.0f, 0.0f, 0.0f);
    box.setPosition(kBoxPosition.x, kBoxPosition.y, kBoxPosition.z);
    box.setRotation(kBoxRotation.x, kBoxRotation.y, kBoxRotation.z);
    target.clear();
    depth.clear();
    box.draw(target, depth, camera);

    int holesInBand = 0, firstX = -1, firstY = -1, farthest = 0;
    for (int y = 1; y < kHeight; ++y) {
      for (int x = 0; x < kWidth - 1; ++x) {
        if (target.pixels[size_t(y) * kWidth + size_t(x)] == 0xFFFFFFFFu) continue;
        // How far the hole lies from the nearest corner of the reachable area.
        farthest = std::max(farthest, std::max(std::min(x, kWidth - 2 - x), std::min(y - 1, kHeight - 1 - y)));
        if (y >= 30 && y < 210 && holesInBand++ == 0) firstX = x, firstY = y;
      }
    }
    EXPECT_EQ(holesInBand, 0) << "eye " << eye.x << ", " << eye.y << ", " << eye.z << ": first hole at " << firstX
                              << ", " << firstY;
    EXPECT_LT(farthest, 12) << "a hole away from the screen's corners, eye " << eye.x << ", " << eye.y << ", " << eye.z;
  }
}

}  // namespace
}  // namespace tarvola
