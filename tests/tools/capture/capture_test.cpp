// The capture renderer as a program: repeatable captures, a range equal to the same frames of a
// capture from the start, frame and sample counts, the fade at the end, single frames and
// scaling, the sync list, MP4 through ffmpeg and the errors without it, and every failure
// leaving no file behind. Low frame rates and short ranges keep it quick.
#include "capture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "capture_outputs.h"
#include "support/child_process.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

// A fresh scratch directory per test, removed afterwards.
class CaptureRun : public ::testing::Test {
 protected:
  // Runs tarvola-capture from the build directory (which holds data/); its exit status, with
  // its output in `log`.
  // With `interruptOnce`, SIGINT follows a second after that file appears.
  int capture(std::vector<std::string> args, const testing::EnvChanges& env = {}, const fs::path& interruptOnce = {}) {
    args.insert(args.begin(), {TARVOLA_CAPTURE, "--no-progress"});
    const pid_t pid = testing::spawn(args, env, TARVOLA_BINARY_DIR, dir / "log.txt");
    for (int i = 0; !interruptOnce.empty() && i < 6000 && !fs::exists(interruptOnce); ++i)
      std::this_thread::sleep_for(testing::milliseconds(10));
    if (!interruptOnce.empty()) std::this_thread::sleep_for(testing::milliseconds(1000)), kill(pid, SIGINT);
    const std::optional<int> status = testing::waitExit(pid, testing::milliseconds(240000));
    if (!status) testing::stop(pid);
    log = testing::readFile(dir / "log.txt");
    return status.value_or(-1);
  }

  testing::ScratchDir scratch;
  const fs::path& dir = scratch.path();
  std::string log;
};

std::vector<std::string> filesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

constexpr size_t kWavHeader = 44;

TEST_F(CaptureRun, RangesEqualTheSameFramesOfACaptureFromTheStart) {
  // 5 fps, 44.0 - 46.0 s: the metaballs' first sync2 at 44.5 s lands inside the range.
  ASSERT_EQ(capture({"--fps", "5", "--from", "44", "--to", "46", "--png", (dir / "a").string(), "--wav",
                     (dir / "a.wav").string()}),
            0)
      << log;
  ASSERT_EQ(
      capture({"--fps", "5", "--to", "46", "--png", (dir / "full").string(), "--wav", (dir / "full.wav").string()}), 0)
      << log;

  // Frames 220 to 229: 10 pictures, each 1/5 s.
  const std::vector<std::string> names = filesIn(dir / "a");
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "frame-000220.png");
  EXPECT_EQ(names.back(), "frame-000229.png");
  EXPECT_EQ(filesIn(dir / "full").size(), 230u);
  for (const std::string& name : names)
    EXPECT_EQ(testing::readFile(dir / "a" / name), testing::readFile(dir / "full" / name)) << name;

  // The sound of frames 220..229 is samples [220 * 8820, 230 * 8820) of the whole.
  const std::string a = testing::readFile(dir / "a.wav"), full = testing::readFile(dir / "full.wav");
  ASSERT_EQ(a.size(), kWavHeader + 10u * 8820u * 4u);
  ASSERT_EQ(full.size(), kWavHeader + 230u * 8820u * 4u);
  EXPECT_EQ(a.substr(kWavHeader), full.substr(kWavHeader + 220u * 8820u * 4u));
}

TEST_F(CaptureRun, TheEndAddsTheFadeOutAndStopsAtTheLastPicture) {
  // 7 fps does not divide 44100 evenly into whole frames: 6300 samples each, exactly; 166 s
  // at 7 fps ends on frame 1162.
  ASSERT_EQ(
      capture({"--fps", "7", "--from", "165", "--png", (dir / "end").string(), "--wav", (dir / "end.wav").string()}), 0)
      << log;
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
  EXPECT_EQ(
      capture({"--fps", "10", "--to", "1", "--mp4", (dir / "v.mp4").string(), "--png", (dir / "p").string()}, noFfmpeg),
      2);
  EXPECT_NE(log.find("ffmpeg"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(dir / "v.mp4"));
  EXPECT_FALSE(fs::exists(dir / "p"));  // nothing is written before the check

  ASSERT_EQ(
      capture({"--fps", "10", "--to", "1", "--png", (dir / "p").string(), "--wav", (dir / "w.wav").string()}, noFfmpeg),
      0)
      << log;
  EXPECT_EQ(filesIn(dir / "p").size(), 10u);
  EXPECT_EQ(fs::file_size(dir / "w.wav"), kWavHeader + 44100u * 4u);
}

TEST_F(CaptureRun, Mp4HoldsH264AndAacOfTheRangesLength) {
  ASSERT_FALSE(host::findProgram("ffmpeg").empty() || host::findProgram("ffprobe").empty())
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

TEST_F(CaptureRun, EveryFailureEndsWithItsMessageAndStatusAndLeavesNoFile) {
  // Status 1 for the command line and times outside the demo, 2 for outputs, 130 for Ctrl-C.
  // As root a 8 KiB tmpfs stands for a full disk.
  const fs::path full = dir / "full";
  fs::create_directory(full);
  const bool mounted = std::system(("mount -t tmpfs -o size=8k tmpfs " + full.string() + " 2>/dev/null").c_str()) == 0;
  const std::string d = dir.string();
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{"--frobnicate"}, 1, "unknown option '--frobnicate'"},
      {{"--fps", "0x10", "--bench"}, 1, "decimal whole number"},
      {{"--from", "inf", "--wav", d + "/w.wav"}, 1, "wants seconds"},
      {{"--frames-at", "200", "--png", d + "/p"}, 1, "past the end"},
      {{"--frames-at", "1e308", "--png", d + "/p"}, 1, "past the end"},
      {{"--from", "1e308", "--wav", d + "/w.wav"}, 1, "--from 1e+308 is past the end of the demo (166.00 s)"},
      {{"--from", "5e18", "--fps", "2", "--wav", d + "/w.wav"}, 1, "past the end"},
      {{"--to", "1e308", "--wav", d + "/w.wav"}, 1, "past the end"},
      {{"--to", "1", "--png", d + "/p", "--wav", "/proc/no/such/dir/w.wav"}, 2, "cannot write /proc/no/such/dir/w.wav"},
      {{"--to", "1", "--png", "/proc/no-such-dir"}, 2, "cannot make the directory"},
      {{"--from", "30", "--to", "31", "--png", d + "/full/p"}, 2, "cannot write"},
      {{"--to", "20", "--wav", d + "/full/w.wav"}, 2, "disk full"},
      {{"--scale", "3", "--mp4", d + "/v.mp4"}, 130, ""}};  // interrupted once its sound is written
  for (const Case& c : cases) {
    if (!mounted && c.args.back().find("/full/") != std::string::npos) continue;
    std::vector<std::string> args = {"--fps", "10"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(capture(args, {}, c.status == 130 ? dir / "v.mp4.sound.wav" : fs::path()), c.status) << c.args[1];
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
      EXPECT_TRUE(entry.path() == dir / "log.txt" || entry.path() == full) << entry.path();
  }
  if (mounted) {
    EXPECT_EQ(std::system(("umount " + full.string()).c_str()), 0);
  }
}

// One line per sync of the programme, in time order; the times are the lock-step renderer's,
// which the music's tests hold to the exact sample.
TEST_F(CaptureRun, ListedSyncsAreThoseWithinTheProgrammeInOrder) {
  ASSERT_EQ(capture({"--list-syncs"}), 0) << log;
  std::istringstream lines(log);
  std::string line;
  size_t count = 0;
  for (double seconds = 0, previous = 0; std::getline(lines, line); previous = seconds, ++count) {
    unsigned value = 0;
    long long sample = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf s sample %lld value %u", &seconds, &sample, &value), 3) << line;
    EXPECT_TRUE(seconds >= previous && seconds < 166.0 && value >= 1 && value <= 5) << line;
    // The time is the sample's, rounded to the printed 0.1 ms.
    EXPECT_LT(std::abs(double(sample) / 44100.0 - seconds), 0.00005 + 1e-9) << line;
  }
  EXPECT_GT(count, 40u);
  // The first is the blur at the polar interference's start; value 2 raises three flags.
  EXPECT_NE(log.substr(0, log.find('\n')).find("value 5  sync5"), std::string::npos);
  EXPECT_NE(log.find("value 2  sync1,sync2,syncAny"), std::string::npos);
}

}  // namespace
}  // namespace tarvola
