// Where the capture renderer's pictures and sound go: PNG files (libpng), a 16-bit stereo
// 44100 Hz WAV written as it streams, and an ffmpeg child process that reads raw frames on its
// standard input and encodes H.264 + AAC. Every failure comes back as a message. Each file is
// written under a temporary name (NAME.part) and renamed once complete; until then it is a
// leftover, removed on failure or when an interrupt (SIGINT / SIGTERM, Ctrl-C) ends the run.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host_system.h"
#include "surface/surface.h"

namespace tarvola {

// The first width x height pixels of `source` repeated `scale` times across and down into
// `scaled` (room for width * height * scale * scale pixels), as rows of 0x00RRGGBB words.
void scaleNearest(const Surface& source, int32_t scale, uint32_t* scaled);

// Files and directories of this run that must not outlive a failure: temporary files not yet
// renamed, and directories the run made (removed only while empty). Fixed storage, so that the
// interrupt's clean-up can walk it without allocating.
namespace leftovers {
inline constexpr int kSlots = 8;
// False (with `error`) when all slots are taken or the path is too long.
bool add(const std::string& path, bool directory, std::string& error);
// Creates `path` for binary writing and records it, both before an interrupt can clean up;
// nullptr with `error` (naming `shownName`) when it cannot.
std::FILE* create(const std::string& path, const std::string& shownName, std::string& error);
void drop(const std::string& path);
// Removes the files and the directories that are empty; the slots are emptied.
void removeAll();
// On an interrupt: the child (ffmpeg) is killed, the leftovers removed, then the process ends as
// the interrupt ends it.
void removeOnInterrupt();
}  // namespace leftovers

// Renames the finished temporary `from` to `to` and drops it from the leftovers; on failure
// removes it and sets `error`.
bool finishFile(const std::string& from, const std::string& to, std::string& error);

// Writes width x height 0xAARRGGBB pixels as an 8-bit RGB PNG through PATH.part; false with
// `error` set and no file left.
bool writePng(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height, std::string& error);

// Writes to `path` (callers pass a temporary name and rename it); messages name `shownName`.
class WavWriter {
 public:
  ~WavWriter();
  bool open(const std::string& path, const std::string& shownName, std::string& error);
  // Interleaved stereo float, clamped to [-1, 1] and scaled by 32767 toward zero.
  void write(const float* stereo, int64_t frames);
  // Fills in the lengths; false when any write failed.
  bool close(std::string& error);
  int64_t framesWritten() const { return frames_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  int64_t frames_ = 0;
  bool failed_ = false;
  std::vector<int16_t> buffer_;
};

// Why --mp4 cannot run when there is no ffmpeg on PATH (host::findProgram finds it).
std::string ffmpegMissingMessage();

// ffmpeg encoding raw frames from a pipe. A writer thread feeds the pipe from a few frame
// buffers (allocated by start()) while the caller renders the next frames into the others.
class FfmpegPipe {
 public:
  ~FfmpegPipe();
  // Starts ffmpeg reading width x height BGR0 frames at fps from a pipe and the sound from
  // `wavPath`, encoding MP4 of the frames enlarged `scale` times to `mp4Path` (whatever its
  // name ends with).
  bool start(const std::string& mp4Path, const std::string& wavPath, int32_t width, int32_t height, int32_t scale,
             int fps, std::string& error);
  // A free frame buffer of width x height pixels, waiting for one if need be; nullptr once a
  // write has failed.
  uint32_t* frameToFill();
  // Queues the buffer frameToFill() returned last, to be sent `times` times; false after a failure.
  bool queueFrame(int64_t times = 1);
  // Sends what is queued, closes the pipe and waits; false unless ffmpeg exited with 0.
  bool finish(std::string& error);

 private:
  static constexpr int kBuffers = 4;
  void writeLoop();

  host::ChildProcess ffmpeg_;
  std::vector<uint32_t> buffers_[kBuffers];
  int64_t repeats_[kBuffers] = {};
  int64_t queued_ = 0;  // buffers handed over so far; buffer i % kBuffers
  int64_t sent_ = 0;    // buffers written (and free again)
  bool closing_ = false;
  bool failed_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread writer_;
};

}  // namespace tarvola
