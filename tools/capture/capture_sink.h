// Where a capture's wanted pictures go: PNG files (a range's or single frames' names, enlarged
// here) and the ffmpeg pipe, with a progress bar on stderr. Internal to tools/capture.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "capture.h"
#include "capture_outputs.h"

namespace tarvola {

// A bar with the frames done, the rate and the time left, on stderr at most ten times a second.
struct Progress {
  bool show = false;
  int64_t total = 0;
  int64_t done = 0;
  std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastShown{};

  void update(bool last);
};

// The ffmpeg pipe gets each picture at 320 x 240, copied into one of its frame buffers (ffmpeg
// enlarges); PNG files get it enlarged here.
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

  // OfflineHost::Emit with user = the sink: false (and `error` set) when an output fails.
  static bool emit(void* user, int64_t frame, const Surface& picture);

 private:
  bool writeFiles(int64_t frame, const Surface& picture);
};

}  // namespace tarvola
