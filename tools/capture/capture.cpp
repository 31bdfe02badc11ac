// The capture renderer's command line, schedule, music pass, sync listing, benchmark and driver; see
// capture.h (the offline host is offline_platform.cpp, the outputs capture_outputs.cpp).
#include "capture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>

#include "capture_outputs.h"
#include "host_system.h"
#include "music/music_stream.h"
#include "music/sync_events.h"
#include "offline_platform.h"
#include "runtime/frame_clock.h"
#include "runtime/timeline.h"
#include "sync_windows.h"

namespace tarvola {

namespace {

// The demo's framebuffer, the picture every frame hands over.
constexpr int32_t kScreenWidth = 320;
constexpr int32_t kScreenHeight = 240;

const char* const kSceneNames[kSceneCount] = {"logo opening", "polar interference", "metaballs in the box",
                                              "credits",      "ray-grid tunnel",    "finale"};

bool parseNumber(const char* text, double& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  value = std::strtod(text, &end);
  return *end == '\0' && std::isfinite(value) && value >= 0.0;
}

// Decimal digits only: no sign, exponent, fraction or hexadecimal prefix.
bool parseCount(const char* text, int low, int high, int& value) {
  if (text == nullptr || *text == '\0') return false;
  int64_t v = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || v > high) return false;
    v = v * 10 + (*c - '0');
  }
  if (v < low || v > high) return false;
  value = int(v);
  return true;
}

// The first frame whose time k / fps is at or after `seconds` (a hair of tolerance for
// decimal times such as 0.1 that binary floating point cannot hold). For times within the
// demo only (checked first), so the product always fits.
int64_t frameAtOrAfter(double seconds, int fps) { return int64_t(std::ceil(seconds * fps - 1e-7)); }

}  // namespace

const char* captureUsage() {
  return "usage: tarvola-capture [options]\n"
         "  (reads data/ from the working directory, else beside the program, else PREFIX/share/tarvola)\n"
         "  --png DIR          frames as DIR/frame-NNNNNN.png (NNNNNN: frame number, 0 = demo time 0)\n"
         "  --wav FILE         the sound of the captured range, the fade-out included when it reaches the end\n"
         "  --mp4 FILE         H.264 + AAC video through ffmpeg\n"
         "  --fps N            frames per second of demo time (default 60)\n"
         "  --scale N          integer nearest-neighbour enlargement of the 320x240 pictures\n"
         "  --from SECONDS     first frame of the range (demo time; default 0)\n"
         "  --to SECONDS       end of the range, exclusive (default: the end of the demo)\n"
         "  --frames-at T1,T2  single frames at those demo times, as DIR/frame-at-T.png (needs --png)\n"
         "  --list-syncs       print the music's sync events (time, sample, value, flags, scene); renders nothing\n"
         "  --list-sync-windows  print where each scene shows an effect a sync started; renders nothing\n"
         "  --bench            render the whole demo without output; print frame times per scene\n"
         "  --no-progress      no progress bar even on a terminal\n"
         "  --allow-missing-data  render even when no data/ is found (black scenes, silence)\n"
         "  --version          print the version\n";
}

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error, bool& help) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto needValue = [&]() {
      if (value == nullptr) error = option + " needs a value";
      return value != nullptr;
    };
    if (option == "--help" || option == "-h") {
      help = true;
      return true;
    } else if (option == "--version") {
      options.version = true;
      return true;
    } else if (option == "--allow-missing-data") {
      options.allowMissingData = true;
    } else if (option == "--list-syncs") {
      options.listSyncs = true;
    } else if (option == "--list-sync-windows") {
      options.listSyncWindows = true;
    } else if (option == "--bench") {
      options.bench = true;
    } else if (option == "--no-progress") {
      options.progress = false;
    } else if (option == "--png" || option == "--wav" || option == "--mp4") {
      if (!needValue()) return false;
      (option == "--png" ? options.pngDir : option == "--wav" ? options.wavPath : options.mp4Path) = value;
      ++i;
    } else if (option == "--fps") {
      if (!needValue()) return false;
      if (!parseCount(value, 1, 1000, options.fps)) {
        error = "--fps wants a decimal whole number from 1 to 1000, not '" + std::string(value) + "'";
        return false;
      }
      ++i;
    } else if (option == "--scale") {
      if (!needValue()) return false;
      if (!parseCount(value, 1, 16, options.scale)) {
        error = "--scale wants a decimal whole number from 1 to 16, not '" + std::string(value) + "'";
        return false;
      }
      ++i;
    } else if (option == "--from" || option == "--to") {
      if (!needValue()) return false;
      double seconds = 0;
      if (!parseNumber(value, seconds)) {
        error = option + " wants seconds (a number >= 0), not '" + std::string(value) + "'";
        return false;
      }
      (option == "--from" ? options.from : options.to) = seconds;
      ++i;
    } else if (option == "--frames-at") {
      if (!needValue()) return false;
      std::string list = value;
      size_t begin = 0;
      while (begin <= list.size()) {
        size_t end = list.find(',', begin);
        if (end == std::string::npos) end = list.size();
        const std::string time = list.substr(begin, end - begin);
        double seconds = 0;
        if (!parseNumber(time.c_str(), seconds)) {
          error = "--frames-at wants seconds separated by commas, not '" + time + "'";
          return false;
        }
        options.framesAt.push_back(time);
        begin = end + 1;
      }
      ++i;
    } else {
      error = "unknown option '" + option + "'";
      return false;
    }
  }
  if (!options.framesAt.empty() && options.pngDir.empty()) {
    error = "--frames-at writes PNG files: give --png DIR";
    return false;
  }
  if (!options.framesAt.empty() && (!options.wavPath.empty() || !options.mp4Path.empty())) {
    error = "--frames-at writes single pictures only: leave out --wav and --mp4";
    return false;
  }
  if (options.listSyncWindows &&
      (options.bench || !options.pngDir.empty() || !options.wavPath.empty() || !options.mp4Path.empty())) {
    error = "--list-sync-windows renders nothing: leave out --png, --wav, --mp4 and --bench";
    return false;
  }
  if (options.bench && (!options.pngDir.empty() || !options.wavPath.empty() || !options.mp4Path.empty())) {
    error = "--bench writes nothing: leave out --png, --wav and --mp4";
    return false;
  }
  if (options.to >= 0.0 && options.to <= options.from) {
    error = "--to must be later than --from";
    return false;
  }
  if (!options.listSyncs && !options.listSyncWindows && !options.bench && options.pngDir.empty() &&
      options.wavPath.empty() && options.mp4Path.empty()) {
    error = "nothing to do: give --png, --wav, --mp4, --list-syncs, --list-sync-windows or --bench";
    return false;
  }
  return true;
}

ProgrammeSchedule scheduleProgramme(const DemoProgramme& programme, int fps) {
  // The frame loop's arithmetic, step by step: clock update, float sum of the deltas,
  // hundredths in double rounded once to float, the timeline walked on them.
  ProgrammeSchedule schedule;
  schedule.fps = fps;
  TickCounter counter;
  counter.ticksPerSecond = fps;
  FrameClock clock;
  clock.start(counter);
  Timeline timeline;
  timeline.start(programme.timeline);
  float demoSeconds = 0.0f;
  schedule.sceneAt.push_back(-1);
  schedule.timeAt.push_back(0.0f);
  for (int64_t frame = 1;; ++frame) {
    counter.ticks = frame;
    clock.update(counter);
    demoSeconds += clock.delta;
    const bool ended = timeline.update(float(double(demoSeconds) * 100.0));
    schedule.timeAt.push_back(timeline.time);
    if (ended) {
      schedule.endFrame = frame;
      schedule.sceneAt.push_back(-1);
      return schedule;
    }
    int8_t slot = -1;
    for (int i = 0; i < kSceneCount; ++i) {
      if (timeline.scene != nullptr && programme.scenes[i].render == timeline.scene) slot = int8_t(i);
    }
    schedule.sceneAt.push_back(slot);
  }
}

namespace {
void collectSync(void* user, const SyncHit& hit) { static_cast<std::vector<SyncHit>*>(user)->push_back(hit); }
}  // namespace

MusicPass renderMusicPass(const char* modulePath, int fps, int64_t lastFrame, int64_t firstFrame, int64_t outputEnd,
                          bool withFade, WavWriter* wav) {
  MusicPass pass;
  ModuleRenderer music;
  if (!music.loadFile(modulePath)) {
    // As in the demo, a module that is missing or damaged leaves the run silent, without syncs.
    std::fprintf(stderr, "tarvola-capture: %s does not load as a module: silence, no syncs\n", modulePath);
  }
  std::vector<float> piece(2 * size_t(kSampleRate / fps + 2));
  for (int64_t frame = 0; frame <= lastFrame; ++frame) {
    const int64_t frames = samplesBeforeFrame(frame + 1, fps) - samplesBeforeFrame(frame, fps);
    music.render(piece.data(), frames, collectSync, &pass.syncs, ModuleRenderer::kExactRowStarts);
    if (wav != nullptr && frame >= firstFrame && frame < outputEnd) wav->write(piece.data(), frames);
  }
  if (withFade) {
    // The player's stream over the module's next samples: at a rate at or below 44100 Hz it
    // never reads more source than output, plus the resampler's pieces of look-ahead.
    const int64_t sourceFrames = kFadeFrames + 2 * 256 + 2;
    std::vector<float> source(2 * size_t(sourceFrames));
    music.render(source.data(), sourceFrames, nullptr, nullptr, ModuleRenderer::kExactRowStarts);
    MusicStream stream;
    stream.loadStream(std::move(source));
    std::vector<float> out(2 * size_t(kFadeFrames));
    const int64_t before = int64_t(kFadeOut.volumeAfterMs) * kSampleRate / 1000;
    stream.slideRate(kFadeOut.rateHz, kFadeOut.rateMs);
    stream.pull(out.data(), int(before));
    stream.slideVolumeToSilenceAndStop(kFadeOut.volumeMs);
    stream.pull(out.data() + 2 * before, int(kFadeFrames - before));
    pass.fadeFrames = kFadeFrames;
    if (wav != nullptr) wav->write(out.data(), kFadeFrames);
  }
  return pass;
}

std::vector<std::string> listSyncs(const ProgrammeSchedule& schedule, const std::vector<SyncHit>& syncs) {
  std::vector<std::string> lines;
  for (const SyncHit& sync : syncs) {
    const int64_t frame = frameReachingSample(sync.sample, schedule.fps);
    if (frame >= schedule.endFrame) break;
    // The flags come from the callback's own table.
    const uint8_t raised = syncFlagsRaisedBy(sync.value);
    std::string flags;
    const std::pair<const char*, uint8_t> all[] = {
        {"sync1", kSync1}, {"sync2", kSync2}, {"sync3", kSync3}, {"sync5", kSync5}, {"syncAny", kSyncAny}};
    for (const auto& [name, bit] : all) {
      if ((raised & bit) == 0) continue;
      if (!flags.empty()) flags.push_back(',');
      flags.append(name);
    }
    if (flags.empty()) flags.push_back('-');
    const int8_t slot = schedule.sceneAt[size_t(frame)];
    char line[200];
    std::snprintf(line, sizeof line, "%9.4f s  sample %8lld  value %u  %-22s scene %d %s",
                  double(sync.sample) / kSampleRate, static_cast<long long>(sync.sample), sync.value, flags.c_str(),
                  slot + 1, slot >= 0 ? kSceneNames[slot] : "-");
    lines.push_back(line);
  }
  return lines;
}

namespace {

// What every mode shares: the options, the programme and the frames its timeline shows.
struct CaptureSetup {
  explicit CaptureSetup(const CaptureOptions& chosen)
      : options(chosen), schedule(scheduleProgramme(programme, chosen.fps)) {}
  double endSeconds() const { return double(schedule.endFrame) / options.fps; }
  // "OPTION SECONDS is past the end of the demo (166.00 s)".
  std::string pastTheEnd(const std::string& option, double seconds) const {
    char text[40];
    std::snprintf(text, sizeof text, " %.10g", seconds);
    return pastTheEnd(option + text);
  }
  std::string pastTheEnd(const std::string& what) const {
    char length[40];
    std::snprintf(length, sizeof length, " (%.2f s)", endSeconds());
    return what + " is past the end of the demo" + length;
  }

  const CaptureOptions& options;
  const DemoProgramme programme = demoProgramme();
  const ProgrammeSchedule schedule;
  const char* const modulePath = "data/kyr.it";
};

int fail(const std::string& message, int code) {
  std::fprintf(stderr, "tarvola-capture: %s\n", message.c_str());
  return code;
}

// A failed output: whatever the run left half-made goes, then the message.
int failAndClean(const std::string& message) {
  leftovers::removeAll();
  return fail(message, 2);
}

// Makes `dir` (and its parents); a directory this run made is a leftover until the run succeeds.
bool makeDirectory(const std::string& dir, std::string& error) {
  std::error_code code;
  const bool existed = std::filesystem::exists(dir, code);
  std::filesystem::create_directories(dir, code);
  if (!std::filesystem::is_directory(dir, code)) {
    error = "cannot make the directory " + dir;
    return false;
  }
  if (!host::canWriteIn(dir)) {
    error = "cannot write to the directory " + dir;
    return false;
  }
  return existed || leftovers::add(dir, true, error);
}

// A bar with the frames done, the rate and the time left, on stderr at most ten times a second.
struct Progress {
  bool show = false;
  int64_t total = 0;
  int64_t done = 0;
  std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastShown{};

  void update(bool last) {
    const auto now = std::chrono::steady_clock::now();
    if (!show || (!last && now - lastShown < std::chrono::milliseconds(100))) return;
    lastShown = now;
    const double seconds = std::chrono::duration<double>(now - began).count();
    const double rate = seconds > 0 ? double(done) / seconds : 0.0;
    const int left = rate > 0 ? int(double(total - done) / rate) : 0;
    constexpr int kWidth = 30;
    const int filled = total > 0 ? int(done * kWidth / total) : kWidth;
    std::fprintf(stderr, "\r[%s%s] %lld/%lld frames  %.1f fps  %d:%02d left ", std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(kWidth - filled), '.').c_str(), static_cast<long long>(done),
                 static_cast<long long>(total), rate, left / 60, left % 60);
    if (last) std::fputc('\n', stderr);
    std::fflush(stderr);
  }
};

// Where the wanted pictures go: PNG files (a range's or single frames' names, enlarged here)
// and the ffmpeg pipe (at 320 x 240, copied into one of its frame buffers; ffmpeg enlarges).
struct FrameSink {
  const CaptureOptions* options = nullptr;
  int64_t firstFrame = 0;
  int64_t endFrame = 0;                          // exclusive
  std::multimap<int64_t, std::string> framesAt;  // frame -> file name, for single frames
  FfmpegPipe* ffmpeg = nullptr;
  int64_t holdFrames = 0;        // the last picture's repeats while the music fades
  std::vector<uint32_t> scaled;  // the enlarged picture for PNG alone
  Progress progress;
  std::string error;

  static bool emit(void* user, int64_t frame, const Surface& picture) {
    FrameSink& self = *static_cast<FrameSink*>(user);
    const CaptureOptions& options = *self.options;
    const bool wanted =
        options.framesAt.empty() ? frame >= self.firstFrame && frame < self.endFrame : self.framesAt.count(frame) > 0;
    if (!wanted) return true;
    if (self.progress.done == 0) self.progress.began = std::chrono::steady_clock::now();  // the rate of output frames
    if (self.ffmpeg != nullptr) {
      uint32_t* target = self.ffmpeg->frameToFill();
      if (target == nullptr) {
        self.error = "ffmpeg stopped reading frames";
        return false;
      }
      scaleNearest(picture, 1, target);
    }
    const uint32_t* pixels = picture.pixels.data();
    if (options.scale != 1 && !options.pngDir.empty()) {
      scaleNearest(picture, options.scale, self.scaled.data());
      pixels = self.scaled.data();
    }
    if (!options.pngDir.empty()) {
      const int32_t width = picture.width * options.scale, height = picture.height * options.scale;
      if (options.framesAt.empty()) {
        char name[40];
        std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(frame));
        if (!writePng(options.pngDir + name, pixels, width, height, self.error)) return false;
      }
      for (auto [it, end] = self.framesAt.equal_range(frame); it != end; ++it) {
        if (!writePng(options.pngDir + "/" + it->second, pixels, width, height, self.error)) return false;
      }
    }
    if (self.ffmpeg != nullptr && !self.ffmpeg->queueFrame(frame + 1 == self.endFrame ? 1 + self.holdFrames : 1)) {
      self.error = "ffmpeg stopped reading frames";
      return false;
    }
    ++self.progress.done;
    self.progress.update(false);
    return true;
  }
};

// The demo's start-up and frame loop up to stopFrame, the pictures to `sink` (none when null).
struct RenderRun {
  OfflinePlatform platform;
  double loopSeconds = 0.0;
  double wallSeconds = 0.0;

  RenderRun(const CaptureSetup& setup, const MusicPass& pass, int64_t stopFrame, FrameSink* sink)
      : platform(setup.schedule, pass.syncs, stopFrame, sink != nullptr ? &FrameSink::emit : nullptr, sink,
                 setup.options.bench) {
    const double began = host::threadSeconds();
    const auto wallBegan = std::chrono::steady_clock::now();
    runDemo(platform, setup.programme);
    loopSeconds = host::threadSeconds() - began - platform.startupSeconds();
    wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBegan).count();
  }
};

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

void printBench(const ProgrammeBench& bench) {
  std::printf("%d fps, %lld frames; %s of the rendering thread\n", bench.fps, static_cast<long long>(bench.frames),
              host::threadClockName());
  std::printf("%-24s %7s %10s %10s\n", "scene", "frames", "median ms", "worst ms");
  for (int i = 0; i < kSceneCount; ++i) {
    std::printf("%d %-22s %7lld %10.3f %10.3f\n", i + 1, kSceneNames[i], static_cast<long long>(bench.sceneFrames[i]),
                bench.sceneMedianMs[i], bench.sceneWorstMs[i]);
  }
  std::printf("start-up work (pauses excluded) %8.1f ms\n", bench.startupMs);
  std::printf("music (lock-step, with syncs)   %8.1f ms\n", bench.musicMs);
  std::printf("frame loop                      %8.1f ms\n", bench.loopMs);
  std::printf("total                           %8.1f ms\n", bench.startupMs + bench.musicMs + bench.loopMs);
  std::printf("start-up and frame loop, wall clock %6.1f ms\n", bench.wallMs);
  std::printf("peak RSS                        %8.1f MB\n", bench.peakRssMb);
}

int runListSyncs(const CaptureSetup& setup) {
  const MusicPass pass = renderMusicPass(setup.modulePath, setup.options.fps, setup.schedule.endFrame);
  for (const std::string& line : listSyncs(setup.schedule, pass.syncs)) std::printf("%s\n", line.c_str());
  return 0;
}

// The whole demo without output: time per frame (host::threadSeconds), per scene and in total.
int runBench(const CaptureSetup& setup, ProgrammeBench* benchOut) {
  const ProgrammeSchedule& schedule = setup.schedule;
  const double musicBegan = host::threadSeconds();
  const MusicPass pass = renderMusicPass(setup.modulePath, schedule.fps, schedule.endFrame - 1);
  const double musicSeconds = host::threadSeconds() - musicBegan;
  const RenderRun run(setup, pass, schedule.endFrame, nullptr);
  ProgrammeBench bench;
  bench.fps = schedule.fps;
  bench.frames = schedule.endFrame;
  std::vector<double> perScene[kSceneCount];
  const std::vector<double>& times = run.platform.frameSeconds();
  for (int64_t frame = 1; frame < schedule.endFrame; ++frame) {
    const int8_t slot = schedule.sceneAt[size_t(frame)];
    if (slot >= 0) perScene[slot].push_back(times[size_t(frame)]);
  }
  for (int i = 0; i < kSceneCount; ++i) {
    bench.sceneFrames[i] = int64_t(perScene[i].size());
    bench.sceneMedianMs[i] = median(perScene[i]) * 1e3;
    bench.sceneWorstMs[i] = perScene[i].empty() ? 0.0 : *std::max_element(perScene[i].begin(), perScene[i].end()) * 1e3;
  }
  bench.startupMs = run.platform.startupSeconds() * 1e3;
  bench.musicMs = musicSeconds * 1e3;
  bench.loopMs = run.loopSeconds * 1e3;
  bench.wallMs = run.wallSeconds * 1e3;
  bench.peakRssMb = host::peakMemoryMb();
  if (benchOut != nullptr)
    *benchOut = bench;
  else
    printBench(bench);
  return 0;
}

// Single pictures at the given demo times, as DIR/frame-at-T.png.
int runFramesAt(const CaptureSetup& setup) {
  const CaptureOptions& options = setup.options;
  FrameSink sink;
  sink.options = &options;
  int64_t stopFrame = 0;
  for (const std::string& time : options.framesAt) {
    const double seconds = std::strtod(time.c_str(), nullptr);
    const int64_t frame = seconds < setup.endSeconds() ? frameAtOrAfter(seconds, options.fps) : setup.schedule.endFrame;
    if (frame >= setup.schedule.endFrame) return fail(setup.pastTheEnd("--frames-at " + time), 1);
    sink.framesAt.emplace(frame, "frame-at-" + time + ".png");
    stopFrame = std::max(stopFrame, frame + 1);
  }
  sink.progress.total = int64_t(sink.framesAt.size());
  sink.progress.show = options.progress && host::stderrIsTerminal();
  sink.scaled.resize(size_t(kScreenWidth) * kScreenHeight * size_t(options.scale) * size_t(options.scale));
  std::string error;
  if (!makeDirectory(options.pngDir, error)) return failAndClean(error);
  const MusicPass pass = renderMusicPass(setup.modulePath, options.fps, stopFrame - 1);
  const RenderRun run(setup, pass, stopFrame, &sink);
  sink.progress.update(true);
  if (run.platform.failed()) return failAndClean(sink.error);
  leftovers::drop(options.pngDir);
  return 0;
}

// A range of frames to PNG, its sound to WAV, both to MP4. Every output is opened (under its
// temporary name) before anything is written, and the files get their names only when the
// whole run has succeeded.
int runRange(const CaptureSetup& setup) {
  const CaptureOptions& options = setup.options;
  const ProgrammeSchedule& schedule = setup.schedule;
  FrameSink sink;
  sink.options = &options;
  sink.firstFrame = frameAtOrAfter(options.from, options.fps);
  sink.endFrame =
      options.to < 0.0 ? schedule.endFrame : std::min(frameAtOrAfter(options.to, options.fps), schedule.endFrame);
  if (sink.firstFrame >= sink.endFrame) {
    return fail("the range holds no frame (the demo ends at frame " + std::to_string(schedule.endFrame) + ")", 1);
  }
  const bool withFade = sink.endFrame == schedule.endFrame;
  const bool mp4 = !options.mp4Path.empty();
  if (mp4 && host::findProgram("ffmpeg").empty()) return fail(ffmpegMissingMessage(), 2);

  // The sound goes to --wav, or for an MP4 alone to a temporary WAV that ffmpeg reads once the
  // music pass has finished it (the sound does not depend on the pictures).
  std::string error;
  const std::string soundPath = !options.wavPath.empty() ? options.wavPath + ".part"
                                : mp4                    ? options.mp4Path + ".sound.wav"
                                                         : std::string();
  WavWriter wav;
  if (!soundPath.empty() && !wav.open(soundPath, options.wavPath.empty() ? soundPath : options.wavPath, error))
    return failAndClean(error);
  const std::string mp4Part = options.mp4Path + ".part";
  if (mp4) {
    std::FILE* file = leftovers::create(mp4Part, options.mp4Path, error);
    if (file == nullptr) return failAndClean(error);
    std::fclose(file);
  }
  if (!options.pngDir.empty() && !makeDirectory(options.pngDir, error)) return failAndClean(error);

  const MusicPass pass = renderMusicPass(setup.modulePath, options.fps, sink.endFrame - 1, sink.firstFrame,
                                         sink.endFrame, withFade, soundPath.empty() ? nullptr : &wav);
  if (!wav.close(error)) return failAndClean(error);

  FfmpegPipe ffmpeg;
  if (mp4) {
    if (!ffmpeg.start(mp4Part, soundPath, kScreenWidth, kScreenHeight, options.scale, options.fps, error))
      return failAndClean(error);
    sink.ffmpeg = &ffmpeg;
    // The display keeps the last picture while the music fades out.
    if (withFade) sink.holdFrames = (pass.fadeFrames * options.fps + kSampleRate - 1) / kSampleRate;
  }
  if (options.scale != 1 && !options.pngDir.empty())
    sink.scaled.resize(size_t(kScreenWidth) * kScreenHeight * size_t(options.scale) * size_t(options.scale));
  sink.progress.total = sink.endFrame - sink.firstFrame;
  sink.progress.show = options.progress && host::stderrIsTerminal();
  const bool pictures = !options.pngDir.empty() || mp4;
  const RenderRun run(setup, pass, sink.endFrame, pictures ? &sink : nullptr);
  sink.progress.update(true);
  if (run.platform.failed()) {
    if (mp4) ffmpeg.finish(error);
    return failAndClean(sink.error);
  }
  if (mp4 && !ffmpeg.finish(error)) return failAndClean(error);
  if (withFade && run.platform.endFrame() != schedule.endFrame)
    return failAndClean("the demo ended on frame " + std::to_string(run.platform.endFrame()) + ", the schedule said " +
                        std::to_string(schedule.endFrame));
  if (!options.wavPath.empty() && !finishFile(soundPath, options.wavPath, error)) return failAndClean(error);
  if (mp4 && !finishFile(mp4Part, options.mp4Path, error)) return failAndClean(error);
  leftovers::removeAll();  // the MP4's temporary sound; a PNG directory in use is not empty
  return 0;
}

}  // namespace

int runCapture(const CaptureOptions& options, ProgrammeBench* benchOut) {
  const CaptureSetup setup(options);
  // Times are checked against the demo's length before any becomes a frame number.
  if (!options.bench && options.framesAt.empty()) {
    if (options.from >= setup.endSeconds()) return fail(setup.pastTheEnd("--from", options.from), 1);
    if (options.to > setup.endSeconds()) return fail(setup.pastTheEnd("--to", options.to), 1);
  }
  if (options.listSyncs) {
    const int status = runListSyncs(setup);
    if (status != 0 || (options.pngDir.empty() && options.wavPath.empty() && options.mp4Path.empty() &&
                        !options.bench && !options.listSyncWindows))
      return status;
  }
  if (options.listSyncWindows) return printSyncWindows(setup.schedule, setup.modulePath);
  if (options.bench) return runBench(setup, benchOut);
  if (!options.framesAt.empty()) return runFramesAt(setup);
  return runRange(setup);
}

}  // namespace tarvola
