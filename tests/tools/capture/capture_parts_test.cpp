// The capture renderer's parts in process: the frame schedule, the frame/sample arithmetic, the
// command line and the WAV writer.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "capture.h"
#include "capture_outputs.h"
#include "runtime/timeline.h"
#include "support/child_process.h"

namespace tarvola {
namespace {

TEST(CaptureSchedule, FrameSampleArithmeticAndTheProgrammesEnd) {
  EXPECT_EQ(samplesBeforeFrame(3, 24), 5512);  // 5512.5 rounds down
  // (sample, fps, first frame reaching it); frame 0 is start-up's black picture.
  const int64_t reaching[][3] = {{0, 60, 1}, {735, 60, 1}, {736, 60, 2}, {5512, 24, 3}, {5513, 24, 4}};
  for (const auto& [sample, fps, frame] : reaching) EXPECT_EQ(frameReachingSample(sample, int(fps)), frame) << sample;
  const ProgrammeSchedule at60 = scheduleProgramme(demoProgramme(), 60);
  EXPECT_EQ(at60.endFrame, 9960);  // 166 s
  ASSERT_EQ(at60.sceneAt.size(), size_t(at60.endFrame) + 1);
  EXPECT_TRUE(at60.sceneAt[0] == -1 && at60.sceneAt[1] == 0 && at60.sceneAt[9959] == 5 && at60.sceneAt[9960] == -1);
  EXPECT_EQ(scheduleProgramme(demoProgramme(), 1).endFrame, 166);
}

// The slots' times come from the timeline table; every file of the data set but the loading
// picture is listed with a slot (scripts/damaged-data.sh compares the other slots' frames).
TEST(CaptureSchedule, SceneListHasTheSlotTimesAndEveryDataFile) {
  const std::vector<std::string> lines = listScenes(demoProgramme());
  ASSERT_EQ(lines.size(), 6u);
  const std::string first = "1\t0.00\t8.50\tlogo opening\t", last = "6\t124.00\t166.00\tfinale\t";
  EXPECT_EQ(lines[0].substr(0, first.size()), first);
  EXPECT_EQ(lines[5].substr(0, last.size()), last);
  for (const auto& entry : std::filesystem::directory_iterator(std::string(TARVOLA_BINARY_DIR) + "/data")) {
    const std::string name = entry.path().filename().string();
    if (name == ".stamp" || name == "loading.tga") continue;
    const bool listed = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      std::string files(1, ' ');
      files.append(line, line.rfind('\t') + 1).push_back(' ');
      return files.find(' ' + name + ' ') != std::string::npos;
    });
    EXPECT_TRUE(listed) << name;
  }
}

bool parse(std::vector<const char*> args, CaptureOptions& options, std::string& error) {
  args.insert(args.begin(), "tarvola-capture");
  bool help = false;
  return parseCaptureOptions(int(args.size()), args.data(), options, error, help);
}

// Every option is used by the whole-program runs; here the values they refuse.
TEST(CaptureOptions, RejectsBadValues) {
  std::string error;
  // clang-format off
  const std::vector<std::vector<const char*>> bad = {
      {"--fps", "0", "--bench"},    {"--fps", "2.5", "--bench"},  {"--fps", "x", "--bench"},
      {"--scale", "0", "--bench"},  {"--from", "-1", "--bench"},  {"--to", "nan", "--bench"},
      {"--frames-at", "1,,2", "--png", "d"}, {"--frames-at", "1"},  {"--from", "5", "--to", "5", "--bench"},
      {"--png"},                     {"--what"},                    {},
      {"--bench", "--png", "d"},     {"--frames-at", "1", "--png", "d", "--wav", "w.wav"},
      {"--list-sync-windows", "--png", "d"}};
  // clang-format on
  for (const auto& args : bad) {
    CaptureOptions o;
    EXPECT_TRUE(!parse(args, o, error) && !error.empty()) << (args.empty() ? "(none)" : args[0]);
    error.clear();
  }
}

TEST(WavWriter, SixteenBitStereoClampedTowardZeroAsSoxReadsIt) {
  const testing::ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
  WavWriter wav;
  std::string error;
  ASSERT_TRUE(wav.open((dir / "w.wav").string(), "w.wav", error)) << error;
  const float samples[8] = {0.0f, 1.0f, -1.0f, 2.0f, -3.0f, 0.5f, -0.5f, 0.99999f};
  wav.write(samples, 4);
  ASSERT_TRUE(wav.close(error)) << error;
  const std::string bytes = testing::readFile(dir / "w.wav");
  ASSERT_EQ(bytes.size(), 44u + 16u);
  const int16_t* data = reinterpret_cast<const int16_t*>(bytes.data() + 44);
  // 32767 * x toward zero: 0.5 -> 16383, 0.99999 -> 32766; beyond +-1 clamps.
  const int16_t expected[8] = {0, 32767, -32767, 32767, -32767, 16383, -16383, 32766};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(data[i], expected[i]) << i;
  // The header read independently: 2 channels, 44100 Hz, 16 bits, 4 frames.
  const std::string soxi = "for o in c r b s; do soxi -$o '" + (dir / "w.wav").string() + "'; done 2>&1";
  EXPECT_EQ(testing::runCommand(soxi), "2\n44100\n16\n4\n");
}

}  // namespace
}  // namespace tarvola
