// The capture's picture outputs and progress bar; see capture_sink.h.
#include "capture_sink.h"

#include <cstdio>

namespace tarvola {

void Progress::update(bool last) {
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

// The PNG files of one frame: the range's name, or the single frames' names at this frame.
bool FrameSink::writeFiles(int64_t frame, const Surface& picture) {
  const uint32_t* pixels = picture.pixels.data();
  if (options->scale != 1) {
    scaleNearest(picture, options->scale, scaled.data());
    pixels = scaled.data();
  }
  const int32_t width = picture.width * options->scale, height = picture.height * options->scale;
  if (options->framesAt.empty()) {
    char name[40];
    std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(frame));
    if (!writePng(options->pngDir + name, pixels, width, height, error)) return false;
  }
  for (auto [it, end] = framesAt.equal_range(frame); it != end; ++it) {
    if (!writePng(options->pngDir + "/" + it->second, pixels, width, height, error)) return false;
  }
  return true;
}

bool FrameSink::emit(void* user, int64_t frame, const Surface& picture) {
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
  if (!options.pngDir.empty() && !self.writeFiles(frame, picture)) return false;
  if (self.ffmpeg != nullptr && !self.ffmpeg->queueFrame(frame + 1 == self.endFrame ? 1 + self.holdFrames : 1)) {
    self.error = "ffmpeg stopped reading frames";
    return false;
  }
  ++self.progress.done;
  self.progress.update(false);
  return true;
}

}  // namespace tarvola
