// Where the capture renderer's pictures and sound go: PNG files (libpng), a 16-bit stereo
// 44100 Hz WAV written as it streams, and an ffmpeg child process that reads raw frames on its
// standard input and encodes H.264 + AAC. Every failure comes back as a message.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "surface/surface.h"

namespace tarvola {

// The first width x height pixels of `source` repeated `scale` times across and down into
// `scaled` (resized once), as rows of 0x00RRGGBB words.
void scaleNearest(const Surface& source, int32_t scale, std::vector<uint32_t>& scaled);

// Writes width x height 0xAARRGGBB pixels as an 8-bit RGB PNG; false with `error` set.
bool writePng(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
              std::string& error);

class WavWriter {
 public:
  ~WavWriter();
  bool open(const std::string& path, std::string& error);
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

// The directory of PATH that holds an executable `name`, or "" when none does.
std::string findOnPath(const char* name);

class FfmpegPipe {
 public:
  ~FfmpegPipe();
  // Starts ffmpeg reading width x height BGR0 frames at fps from a pipe and the sound from
  // `wavPath`, encoding to `mp4Path`.
  bool start(const std::string& mp4Path, const std::string& wavPath, int32_t width, int32_t height, int fps,
             std::string& error);
  bool writeFrame(const std::vector<uint32_t>& pixels);
  // Closes the pipe and waits; false unless ffmpeg exited with 0.
  bool finish(std::string& error);

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  bool failed_ = false;
};

}  // namespace tarvola
