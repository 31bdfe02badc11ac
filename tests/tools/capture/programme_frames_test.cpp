// The whole programme as pictures: frames captured offline at fixed times in every scene, with
// the music's own syncs, must keep their pixels. The committed values are ImageMagick's pixel
// signatures (independent of the PNG encoder); any unintended change to any operation of any
// scene shows here. After an intended change, the failure message prints the new values. The
// capture starts in a folder without data/, so it must find the data set beside itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/child_process.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

struct Expected {
  const char* time;
  const char* signature;
};

// Two frames per scene slot at 30 fps: 1 logo, 2 interference (slow, then full speed),
// 3 metaballs (after a cut and in the dimming), 4 credits, 5 tunnel (plasma, late mode),
// 6 finale (two scenes of the cycle).
constexpr Expected kFrames[] = {
    {"4", "2b380e672569b0a63db0667eaee25960cd47b3a3040582d0a164f0d0a0b8891c"},
    {"8.2", "30f2437fb786d5a4aacc1d22a5ca543452b970a24040455509d70a22409abcad"},
    {"12", "34a796a58305c269c790a0ccd16b2742175c88617d505a1190e4c796d7335b5b"},
    {"30", "ff19b0cc6c62ec97a2c5a1b48bdd9d51140c34bbc16019ca7242bba86d0b3e16"},
    {"53", "300826a3f091221ab144119fd9746584e71b3318aacfff55b885749ad2643501"},
    {"79.6", "fe6c3fdb7f7b0a3fbaf79113f9889f6389abfe2fe1e75ae08fd6b5af5a131bff"},
    {"85", "56d52a2c61b1110a211d8570a6bb3df0d3b4a63d67247f204d84c1b5fcf39335"},
    {"100", "2853ce8b4bd17038c16c86f57aecf693e082b40bed9fa829e86d1e43114b571a"},
    {"115", "7ac167dcd126f8ef03aca2a4a4d4fe636fe701620bbcfc72795c6876f9cd8503"},
    {"130", "c14532b97c5e469dca9d9d2601ba2f94ea51dae34928bd66fa7dc32d4979d6b1"},
    {"141", "a0e01a7971591a61690c74cc82d63bbe0c04969472a8137dc0b46ae7c9ef8395"},
};

TEST(ProgrammeFrames, KeepTheirPixels) {
  const testing::ScratchDir scratch;
  const fs::path& dir = scratch.path();
  std::string times;
  for (const Expected& frame : kFrames) times.append(times.empty() ? "" : ",").append(frame.time);
  const pid_t pid =
      testing::spawn({TARVOLA_CAPTURE, "--no-progress", "--fps", "30", "--png", dir.string(), "--frames-at", times}, {},
                     dir, dir / "log.txt");
  ASSERT_EQ(testing::waitExit(pid, testing::milliseconds(240000)), std::optional<int>(0))
      << testing::readFile(dir / "log.txt");

  std::string actual;
  bool allMatch = true;
  for (const Expected& frame : kFrames) {
    const fs::path png = dir / ("frame-at-" + std::string(frame.time) + ".png");
    std::string signature = testing::runCommand("/usr/bin/identify -format '%#' " + png.string());
    allMatch = allMatch && signature == frame.signature;
    actual.append("    {\"").append(frame.time).append("\", \"").append(signature).append("\"},\n");
  }
  EXPECT_TRUE(allMatch) << "frames differ from the committed ones; now:\n" << actual;
}

}  // namespace
}  // namespace tarvola
