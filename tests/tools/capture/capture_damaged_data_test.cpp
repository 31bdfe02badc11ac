// The capture renderer on a damaged data set: with no loadable music it renders the programme
// silent and without syncs, as the demo plays on, instead of refusing; every other file's
// damage is the loaders' business (scripts/damaged-data.sh runs the whole matrix).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

TEST(CaptureDamagedData, MissingOrBrokenMusicGivesASilentCaptureWithExitZero) {
  const testing::ScratchDir scratch;
  const fs::path& dir = scratch.path();
  fs::create_directories(dir / "data");
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(TARVOLA_BINARY_DIR) / "data")) {
    if (entry.path().filename() != "kyr.it") fs::create_symlink(entry.path(), dir / "data" / entry.path().filename());
  }
  for (const bool present : {false, true}) {
    if (present) std::ofstream(dir / "data/kyr.it", std::ios::binary) << "IMPM not really a module";
    const pid_t pid = testing::spawn({TARVOLA_CAPTURE, "--no-progress", "--fps", "1", "--from", "40", "--to", "42",
                                      "--png", (dir / "png").string(), "--wav", (dir / "sound.wav").string()},
                                     {}, dir, dir / "log.txt");
    const std::optional<int> status = testing::waitExit(pid, testing::milliseconds(120000));
    if (!status) testing::stop(pid);
    const std::string log = testing::readFile(dir / "log.txt");
    EXPECT_EQ(status, std::optional<int>(0)) << log;
    EXPECT_NE(log.find("data/kyr.it does not load as a module: silence, no syncs"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(dir / "png/frame-000040.png")) << log;
    EXPECT_TRUE(fs::exists(dir / "png/frame-000041.png")) << log;
    const std::string wav = testing::readFile(dir / "sound.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.find_first_not_of('\0', 44), std::string::npos) << "the sound is not silent";
  }
}

}  // namespace
}  // namespace tarvola
