// The capture renderer as a program: repeatable captures, a range equal to the same frames of a
// capture from the start, frame and sample counts, the fade at the end, single frames and
// scaling, the sync list, MP4 through ffmpeg and the errors without it. Low frame rates and
// short ranges keep it quick.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "capture_outputs.h"
#include "platform/child_process.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

// A fresh scratch directory per test, removed afterwards.
class CaptureRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvola-capture-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  // Runs tarvola-capture from the build directory (which holds data/); its exit status, with
  // its output in `log`.
  int capture(std::vector<std::string> args, const testing::EnvChanges& env = {}) {
    args.insert(args.begin(), {TARVOLA_CAPTURE, "--no-progress"});
    const pid_t pid = testing::spawn(args, env, TARVOLA_BINARY_DIR, dir / "log.txt");
    const std::optional<int> status = testing::waitExit(pid, testing::milliseconds(240000));
    if (!status) testing::stop(pid);
    log = testing::readFile(dir / "log.txt");
    return status.value_or(-1);
  }

  fs::path dir;
  std::string log;
};

std::vector<std::string> filesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

constexpr size_t kWavHeader = 44;

TEST_F(CaptureRun, RangesAreRepeatableAndEqualTheSameFramesFromTheStart) {
  // 5 fps, 44.0 - 46.0 s: the metaballs' first sync2 at 44.5 s lands inside the range.
  ASSERT_EQ(capture({"--fps", "5", "--from", "44", "--to", "46", "--png", (dir / "a").string(), "--wav",
                     (dir / "a.wav").string()}), 0) << log;
  ASSERT_EQ(capture({"--fps", "5", "--from", "44", "--to", "46", "--png", (dir / "b").string(), "--wav",
                     (dir / "b.wav").string()}), 0) << log;
  ASSERT_EQ(capture({"--fps", "5", "--to", "46", "--png", (dir / "full").string(), "--wav",
                     (dir / "full.wav").string()}), 0) << log;

  // Frames 220 to 229: 10 pictures, each 1/5 s.
  const std::vector<std::string> names = filesIn(dir / "a");
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "frame-000220.png");
  EXPECT_EQ(names.back(), "frame-000229.png");
  EXPECT_EQ(filesIn(dir / "full").size(), 230u);
  for (const std::string& name : names) {
    const std::string a = testing::readFile(dir / "a" / name);
    EXPECT_EQ(a, testing::readFile(dir / "b" / name)) << name;
    EXPECT_EQ(a, testing::readFile(dir / "full" / name)) << name;
  }
  // Not all the same picture: the scene moves.
  EXPECT_NE(testing::readFile(dir / "a" / names.front()), testing::readFile(dir / "a" / names.back()));

  // The sound of frames 220..229 is samples [220 * 8820, 230 * 8820) of the whole.
  const std::string a = testing::readFile(dir / "a.wav"), full = testing::readFile(dir / "full.wav");
  EXPECT_EQ(a, testing::readFile(dir / "b.wav"));
  ASSERT_EQ(a.size(), kWavHeader + 10u * 8820u * 4u);
  ASSERT_EQ(full.size(), kWavHeader + 230u * 8820u * 4u);
  EXPECT_EQ(a.substr(kWavHeader), full.substr(kWavHeader + 220u * 8820u * 4u));
  EXPECT_EQ(a.substr(0, 4), "RIFF");
}

TEST_F(CaptureRun, TheEndAddsTheFadeOutAndStopsAtTheLastPicture) {
  // 7 fps does not divide 44100 evenly into whole frames: 6300 samples each, exactly; 166 s
  // at 7 fps ends on frame 1162.
  ASSERT_EQ(capture({"--fps", "7", "--from", "165", "--png", (dir / "end").string(), "--wav",
                     (dir / "end.wav").string()}), 0) << log;
  const std::vector<std::string> names = filesIn(dir / "end");
  ASSERT_FALSE(names.empty());
  const int64_t first = frameReachingSample(165 * 44100, 7);
  ASSERT_EQ(names.front(), "frame-00" + std::to_string(first) + ".png");
  const int64_t endFrame = scheduleProgramme(demoProgramme(), 7).endFrame;
  EXPECT_EQ(int64_t(names.size()), endFrame - first);

  const std::string wav = testing::readFile(dir / "end.wav");
  const int64_t frames = samplesBeforeFrame(endFrame, 7) - samplesBeforeFrame(first, 7) + kFadeFrames;
  ASSERT_EQ(int64_t(wav.size()), int64_t(kWavHeader) + frames * 4);
  // Music before the fade; the volume slide leaves about 1 % in the last 100 frames.
  const int16_t* samples = reinterpret_cast<const int16_t*>(wav.data() + kWavHeader);
  int peakBefore = 0, peakAfter = 0;
  for (int64_t i = 0; i < 2 * (frames - kFadeFrames); ++i) peakBefore = std::max(peakBefore, std::abs(int(samples[i])));
  for (int64_t i = 2 * (frames - 100); i < 2 * frames; ++i) peakAfter = std::max(peakAfter, std::abs(int(samples[i])));
  EXPECT_GT(peakBefore, 1000);
  EXPECT_LT(peakAfter, peakBefore / 50);
}

TEST_F(CaptureRun, SingleFramesAtGivenTimesEqualTheRangeFramesAndScaleEnlargesEveryPixel) {
  ASSERT_EQ(capture({"--fps", "10", "--frames-at", "9.05,3", "--png", (dir / "at").string()}), 0) << log;
  ASSERT_EQ(capture({"--fps", "10", "--from", "3", "--to", "3.1", "--png", (dir / "r").string()}), 0) << log;
  ASSERT_EQ(capture({"--fps", "10", "--from", "9.1", "--to", "9.2", "--png", (dir / "r").string()}), 0) << log;
  ASSERT_EQ(capture({"--fps", "10", "--scale", "3", "--frames-at", "3", "--png", (dir / "x3").string()}), 0) << log;
  EXPECT_EQ(filesIn(dir / "at"), (std::vector<std::string>{"frame-at-3.png", "frame-at-9.05.png"}));
  EXPECT_EQ(testing::readFile(dir / "at/frame-at-3.png"), testing::readFile(dir / "r/frame-000030.png"));
  EXPECT_EQ(testing::readFile(dir / "at/frame-at-9.05.png"), testing::readFile(dir / "r/frame-000091.png"));
  // ImageMagick reads both sizes and scales the small one by pixel replication.
  const fs::path big = dir / "x3/frame-at-3.png", small = dir / "at/frame-at-3.png";
  const std::string compare = "convert " + small.string() + " -sample 300% rgb:" + (dir / "a.rgb").string() +
                              " && convert " + big.string() + " rgb:" + (dir / "b.rgb").string() +
                              " && identify -format %wx%h " + big.string() + " > " + (dir / "size").string();
  ASSERT_EQ(std::system(compare.c_str()), 0);
  EXPECT_EQ(testing::readFile(dir / "size"), "960x720");
  EXPECT_EQ(testing::readFile(dir / "a.rgb"), testing::readFile(dir / "b.rgb"));
}

TEST_F(CaptureRun, Mp4WithoutFfmpegFailsClearlyWhilePngAndWavStillWork) {
  const testing::EnvChanges noFfmpeg = {{"PATH", (dir / "empty-bin").string()}};
  fs::create_directories(dir / "empty-bin");
  EXPECT_EQ(capture({"--fps", "10", "--to", "1", "--mp4", (dir / "v.mp4").string(), "--png",
                     (dir / "p").string()}, noFfmpeg), 2);
  EXPECT_NE(log.find("ffmpeg"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(dir / "v.mp4"));
  EXPECT_FALSE(fs::exists(dir / "p"));  // nothing is written before the check

  ASSERT_EQ(capture({"--fps", "10", "--to", "1", "--png", (dir / "p").string(), "--wav", (dir / "w.wav").string()},
                    noFfmpeg), 0) << log;
  EXPECT_EQ(filesIn(dir / "p").size(), 10u);
  EXPECT_EQ(fs::file_size(dir / "w.wav"), kWavHeader + 44100u * 4u);
}

TEST_F(CaptureRun, Mp4HoldsH264AndAacOfTheRangesLength) {
  ASSERT_FALSE(findOnPath("ffmpeg").empty() || findOnPath("ffprobe").empty())
      << "no ffmpeg or ffprobe (package ffmpeg; scripts/install-deps.sh installs it)";
  ASSERT_EQ(capture({"--fps", "10", "--from", "9", "--to", "11", "--mp4", (dir / "v.mp4").string()}), 0) << log;
  const std::string probe = "ffprobe -v error -show_entries stream=codec_name,nb_frames -of csv=p=0 " +
                            (dir / "v.mp4").string() + " > " + (dir / "probe").string();
  ASSERT_EQ(std::system(probe.c_str()), 0);
  const std::string streams = testing::readFile(dir / "probe");
  EXPECT_NE(streams.find("h264,20"), std::string::npos) << streams;
  EXPECT_NE(streams.find("aac"), std::string::npos) << streams;
  EXPECT_FALSE(fs::exists(dir / "v.mp4.sound.wav"));  // the temporary sound is gone
}

TEST_F(CaptureRun, BadCommandLinesAndUnwritableOutputsFailWithAMessage) {
  // Status 1 for the command line (each rejected value is checked in process), 2 for outputs.
  EXPECT_EQ(capture({"--frobnicate"}), 1);
  EXPECT_NE(log.find("unknown option '--frobnicate'"), std::string::npos) << log;
  EXPECT_EQ(capture({"--frames-at", "200", "--png", (dir / "p").string()}), 1);
  EXPECT_NE(log.find("past the end"), std::string::npos) << log;
  EXPECT_EQ(capture({"--fps", "10", "--to", "1", "--wav", "/proc/no/such/dir/w.wav"}), 2);
  EXPECT_NE(log.find("cannot write /proc/no/such/dir/w.wav"), std::string::npos) << log;
  EXPECT_EQ(capture({"--fps", "10", "--to", "1", "--png", "/proc/no-such-dir"}), 2);
  EXPECT_NE(log.find("cannot make the directory"), std::string::npos) << log;
}

TEST_F(CaptureRun, ListedSyncsAreTheMusicPassesSyncsWithinTheProgramme) {
  ASSERT_EQ(capture({"--list-syncs"}), 0) << log;
  MusicPass pass;
  std::string error;
  const ProgrammeSchedule schedule = scheduleProgramme(demoProgramme(), 60);
  const std::string module = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";
  ASSERT_TRUE(renderMusicPass(module.c_str(), 60, schedule.endFrame, 0, 0, false, nullptr, pass, error)) << error;
  std::istringstream lines(log);
  std::string line;
  size_t count = 0;
  for (const TimedSync& sync : pass.syncs) {
    if (frameReachingSample(sync.sample, 60) >= schedule.endFrame) break;
    ASSERT_TRUE(std::getline(lines, line));
    double seconds = 0;
    unsigned value = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf s value %u", &seconds, &value), 2) << line;
    EXPECT_NEAR(seconds, double(sync.sample) / 44100.0, 0.00006) << line;
    EXPECT_EQ(value, sync.value) << line;
    ++count;
  }
  EXPECT_FALSE(std::getline(lines, line)) << "extra line: " << line;
  EXPECT_GT(count, 40u);
  // The first is the blur at the polar interference's start; value 2 raises three flags.
  EXPECT_NE(log.find("value 5  sync5"), std::string::npos);
  EXPECT_NE(log.find("value 2  sync1,sync2,syncAny"), std::string::npos);
}

}  // namespace
}  // namespace tarvola
