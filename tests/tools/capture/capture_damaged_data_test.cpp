// The capture renderer on a damaged data set: with no loadable music it renders the programme
// silent and without syncs, as the demo plays on, instead of refusing; every other file's
// damage is the loaders' business (scripts/damaged-data.sh runs the whole matrix). With no
// data set anywhere it refuses to start, unless told to render without.
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

TEST(CaptureDamagedData, NoDataSetAnywhereIsRefusedUnlessAllowed) {
  // A copy of the program in a folder of its own, started from another: neither the working
  // directory, the program's folder nor ../share/tarvola holds data/.
  const testing::ScratchDir scratch;
  const fs::path& dir = scratch.path();
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "work");
  fs::copy_file(TARVOLA_CAPTURE, dir / "bin/tarvola-capture");
  const auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {
        (dir / "bin/tarvola-capture").string(), "--no-progress", "--fps", "1", "--to", "1", "--png", "shots"};
    args.insert(args.end(), extra.begin(), extra.end());
    const std::optional<int> status =
        testing::waitExit(testing::spawn(args, {}, dir / "work", dir / "log.txt"), testing::milliseconds(60000));
    return status.value_or(-1);
  };

  EXPECT_EQ(run({}), 2);
  const std::string log = testing::readFile(dir / "log.txt");
  for (const fs::path& looked : {dir / "work/data", dir / "bin/data", dir / "share/tarvola/data"})
    EXPECT_NE(log.find(looked.string()), std::string::npos) << "does not name " << looked << ": " << log;
  EXPECT_FALSE(fs::exists(dir / "work/shots"));

  EXPECT_EQ(run({"--allow-missing-data"}), 0) << testing::readFile(dir / "log.txt");
  EXPECT_TRUE(fs::exists(dir / "work/shots/frame-000000.png"));
}

}  // namespace
}  // namespace tarvola
