// The capture renderer's modes; see capture_runs.h.
#include "capture_runs.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "capture_outputs.h"
#include "capture_sink.h"
#include "host_system.h"

namespace tarvola {

int fail(const std::string& message, int code) {
  std::fprintf(stderr, "tarvola-capture: %s\n", message.c_str());
  return code;
}

// A failed output: whatever the run left half-made goes, then the message.
int failAndClean(const std::string& message) {
  leftovers::removeAll();
  return fail(message, 2);
}

namespace {

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

// The demo's start-up and frame loop up to stopFrame, the pictures to `sink` (none when null).
struct RenderRun {
  OfflineHost host;
  double loopSeconds = 0.0;
  double wallSeconds = 0.0;

  RenderRun(const CaptureSetup& setup, const MusicPass& pass, int64_t stopFrame, FrameSink* sink)
      : host(setup.options.fps, setup.schedule.endFrame, pass.syncs, stopFrame,
             sink != nullptr ? &FrameSink::emit : nullptr, sink, setup.options.bench ? &host::threadSeconds : nullptr) {
    const double began = host::threadSeconds();
    const auto wallBegan = std::chrono::steady_clock::now();
    runDemo(host, setup.programme);
    loopSeconds = host::threadSeconds() - began - host.startupSeconds();
    wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBegan).count();
  }
};

void printBench(const ProgrammeBench& bench) {
  std::printf("%d fps, %lld frames; %s of the rendering thread\n", bench.fps, static_cast<long long>(bench.frames),
              host::threadClockName());
  printSceneFrameTimes(bench.scenes);
  std::printf("start-up work (pauses excluded) %8.1f ms\n", bench.startupMs);
  std::printf("music (lock-step, with syncs)   %8.1f ms\n", bench.musicMs);
  std::printf("frame loop                      %8.1f ms\n", bench.loopMs);
  std::printf("total                           %8.1f ms\n", bench.startupMs + bench.musicMs + bench.loopMs);
  std::printf("start-up and frame loop, wall clock %6.1f ms\n", bench.wallMs);
  std::printf("peak RSS                        %8.1f MB\n", bench.peakRssMb);
}

}  // namespace

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
  bench.scenes = sceneFrameTimes(schedule, run.host.frameSeconds());
  bench.startupMs = run.host.startupSeconds() * 1e3;
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
  if (run.host.failed()) return failAndClean(sink.error);
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
  if (run.host.failed()) {
    if (mp4) ffmpeg.finish(error);
    return failAndClean(sink.error);
  }
  if (mp4 && !ffmpeg.finish(error)) return failAndClean(error);
  if (withFade && run.host.endFrame() != schedule.endFrame)
    return failAndClean("the demo ended on frame " + std::to_string(run.host.endFrame()) + ", the schedule said " +
                        std::to_string(schedule.endFrame));
  if (!options.wavPath.empty() && !finishFile(soundPath, options.wavPath, error)) return failAndClean(error);
  if (mp4 && !finishFile(mp4Part, options.mp4Path, error)) return failAndClean(error);
  leftovers::removeAll();  // the MP4's temporary sound; a PNG directory in use is not empty
  return 0;
}

}  // namespace tarvola
