// The capture renderer's parts in process: sample-exact syncs against the plain 1-frame
// renderer, the frame schedule, the frame/sample arithmetic, the command line,
// nearest-neighbour scaling, the WAV header and PNG channels.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "capture.h"
#include "capture_outputs.h"
#include "music/module_renderer.h"
#include "runtime/timeline.h"
#include "support/child_process.h"

namespace tarvola {
namespace {

const std::string kModule = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";

void collectHit(void* user, const SyncHit& hit) { static_cast<std::vector<SyncHit>*>(user)->push_back(hit); }

TEST(ModuleRenderer, ExactRowStartsFindEverySyncOnTheSameSampleAsOneFramePieces) {
  // The plain way: libopenmpt read one frame at a time, every row looked at. 40 s hold the
  // polar interference's syncs (values 3, 4, 5) at several tempo-independent spacings.
  constexpr int64_t kFrames = 40 * 44100;
  ModuleRenderer reference;
  ASSERT_TRUE(reference.loadFile(kModule.c_str()));
  std::vector<float> out(2 * 44100);
  std::vector<SyncHit> expected;
  for (int64_t done = 0; done < kFrames; done += 44100) reference.render(out.data(), 44100, collectHit, &expected, PiecePolicy{1, false});

  // Uneven calls, as the capture's per-frame pieces are.
  ModuleRenderer music;
  ASSERT_TRUE(music.loadFile(kModule.c_str()));
  std::vector<SyncHit> hits;
  std::mt19937 random(7);
  for (int64_t done = 0; done < kFrames;) {
    const int64_t piece = std::min<int64_t>(1 + int64_t(random() % 3000), kFrames - done);
    music.render(out.data(), piece, collectHit, &hits, ModuleRenderer::kExactRowStarts);
    done += piece;
  }
  ASSERT_EQ(hits.size(), expected.size());
  ASSERT_GT(hits.size(), 10u);
  for (size_t i = 0; i < hits.size(); ++i) {
    EXPECT_EQ(hits[i].sample, expected[i].sample) << i;
    EXPECT_EQ(hits[i].value, expected[i].value) << i;
  }
}

TEST(CaptureSchedule, FrameAndSampleArithmetic) {
  EXPECT_EQ(samplesBeforeFrame(1, 60), 735);
  EXPECT_EQ(samplesBeforeFrame(3, 24), 5512);  // 5512.5 rounds down
  EXPECT_EQ(samplesBeforeFrame(9960, 60), 166 * 44100);
  EXPECT_EQ(frameReachingSample(0, 60), 1);  // frame 0 is start-up's black picture
  EXPECT_EQ(frameReachingSample(735, 60), 1);
  EXPECT_EQ(frameReachingSample(736, 60), 2);
  EXPECT_EQ(frameReachingSample(5512, 24), 3);
  EXPECT_EQ(frameReachingSample(5513, 24), 4);
}

TEST(CaptureSchedule, FollowsTheTimelineToTheEnd) {
  const ProgrammeSchedule at60 = scheduleProgramme(demoProgramme(), 60);
  EXPECT_EQ(at60.endFrame, 9960);  // 166 s
  ASSERT_EQ(at60.sceneAt.size(), size_t(at60.endFrame) + 1);
  EXPECT_EQ(at60.sceneAt[0], -1);
  EXPECT_EQ(at60.sceneAt[1], 0);
  EXPECT_EQ(at60.sceneAt[9959], 5);
  EXPECT_EQ(at60.sceneAt[9960], -1);
  // Every slot in order, each change within a frame of its time in the table.
  const int64_t starts[] = {0, 510, 2670, 4800, 5640, 7440};
  for (int slot = 1; slot < kSceneCount; ++slot) {
    int64_t first = 0;
    while (at60.sceneAt[size_t(first)] != slot) ++first;
    EXPECT_LE(std::abs(first - starts[slot]), 1) << slot;
    EXPECT_EQ(at60.sceneAt[size_t(first) - 1], slot - 1);
  }
  EXPECT_EQ(scheduleProgramme(demoProgramme(), 1).endFrame, 166);
}

bool parse(std::vector<const char*> args, CaptureOptions& options, std::string& error) {
  args.insert(args.begin(), "tarvola-capture");
  bool help = false;
  return parseCaptureOptions(int(args.size()), args.data(), options, error, help);
}

TEST(CaptureOptions, ParsesEveryOptionAndRejectsBadValues) {
  CaptureOptions options;
  std::string error;
  ASSERT_TRUE(parse({"--png", "d", "--wav", "w.wav", "--mp4", "v.mp4", "--fps", "30", "--scale", "2", "--from",
                     "1.5", "--to", "9"}, options, error)) << error;
  EXPECT_EQ(options.pngDir, "d");
  EXPECT_EQ(options.wavPath, "w.wav");
  EXPECT_EQ(options.mp4Path, "v.mp4");
  EXPECT_EQ(options.fps, 30);
  EXPECT_EQ(options.scale, 2);
  EXPECT_EQ(options.from, 1.5);
  EXPECT_EQ(options.to, 9.0);

  CaptureOptions at;
  ASSERT_TRUE(parse({"--frames-at", "1,2.25,100", "--png", "d"}, at, error)) << error;
  EXPECT_EQ(at.framesAt, (std::vector<std::string>{"1", "2.25", "100"}));

  const std::vector<std::vector<const char*>> bad = {
      {"--fps", "0", "--bench"},    {"--fps", "2.5", "--bench"},  {"--fps", "x", "--bench"},
      {"--scale", "0", "--bench"},  {"--from", "-1", "--bench"},  {"--to", "nan", "--bench"},
      {"--frames-at", "1,,2", "--png", "d"}, {"--frames-at", "1"},  {"--from", "5", "--to", "5", "--bench"},
      {"--png"},                     {"--what"},                    {},
      {"--bench", "--png", "d"},     {"--frames-at", "1", "--png", "d", "--wav", "w.wav"}};
  for (const auto& args : bad) {
    CaptureOptions o;
    error.clear();
    EXPECT_FALSE(parse(args, o, error)) << (args.empty() ? "(none)" : args[0]);
    EXPECT_FALSE(error.empty());
  }
}

TEST(CaptureOutputs, ScaleNearestRepeatsPixelsAndDropsAlpha) {
  Surface small;
  small.create(3, 2);
  small.pixels = {0xFF000001, 0x00000002, 0x12000003, 0x00000004, 0x00000005, 0xAB000006};
  std::vector<uint32_t> out;
  scaleNearest(small, 2, out);
  const std::vector<uint32_t> expected = {1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 4, 4, 5, 5, 6, 6};
  EXPECT_EQ(out, expected);
}

class ScratchDir : public ::testing::Test {
 protected:
  testing::ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
};

TEST_F(ScratchDir, PngKeepsRedGreenBlueInPlace) {
  // An odd-sized picture of distinct channels, read back by ImageMagick.
  const uint32_t pixels[3 * 2] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x80123456, 0x00ABCDEF, 0x00010203};
  std::string error;
  ASSERT_TRUE(writePng((dir / "p.png").string(), pixels, 3, 2, error)) << error;
  const std::string command = "convert " + (dir / "p.png").string() + " rgb:" + (dir / "p.rgb").string();
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string rgb = testing::readFile(dir / "p.rgb");
  const std::string expected("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\x12\x34\x56\xAB\xCD\xEF\x01\x02\x03", 18);
  EXPECT_EQ(rgb, expected);
  EXPECT_FALSE(writePng((dir / "missing/p.png").string(), pixels, 3, 2, error));
  EXPECT_NE(error.find("cannot write"), std::string::npos);
}

TEST_F(ScratchDir, WavIsSixteenBitStereoAndClampsTowardZero) {
  WavWriter wav;
  std::string error;
  ASSERT_TRUE(wav.open((dir / "w.wav").string(), error)) << error;
  const float samples[8] = {0.0f, 1.0f, -1.0f, 2.0f, -3.0f, 0.5f, -0.5f, 0.99999f};
  wav.write(samples, 4);
  ASSERT_TRUE(wav.close(error)) << error;
  const std::string bytes = testing::readFile(dir / "w.wav");
  ASSERT_EQ(bytes.size(), 44u + 16u);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(bytes.substr(36, 4), "data");
  const int16_t* data = reinterpret_cast<const int16_t*>(bytes.data() + 44);
  // 32767 * x toward zero: 0.5 -> 16383, 0.99999 -> 32766; beyond +-1 clamps.
  const int16_t expected[8] = {0, 32767, -32767, 32767, -32767, 16383, -16383, 32766};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(data[i], expected[i]) << i;
  // Lengths: RIFF = 36 + data, data = 16 bytes.
  EXPECT_EQ(uint8_t(bytes[4]), 52);
  EXPECT_EQ(uint8_t(bytes[40]), 16);
  // Read independently.
  const std::string command = "soxi -s " + (dir / "w.wav").string() + " > " + (dir / "n").string();
  if (std::system(command.c_str()) == 0) {
    EXPECT_EQ(testing::readFile(dir / "n"), "4\n");
  }
}

}  // namespace
}  // namespace tarvola
