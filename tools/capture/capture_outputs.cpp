// PNG, WAV and ffmpeg outputs of the capture renderer; see capture_outputs.h.
#include "capture_outputs.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/fixed_point.h"
#include "music/module_renderer.h"
#include "png_writer.h"

namespace tarvola {

void scaleNearest(const Surface& source, int32_t scale, uint32_t* scaled) {
  const size_t width = size_t(source.width) * size_t(scale);
  for (int32_t y = 0; y < source.height; ++y) {
    const uint32_t* in = source.pixels.data() + size_t(y) * size_t(source.width);
    uint32_t* row = scaled + size_t(y) * size_t(scale) * width;
    for (int32_t x = 0; x < source.width; ++x) {
      const uint32_t pixel = in[x] & 0x00FFFFFFu;
      for (int32_t i = 0; i < scale; ++i) row[x * scale + i] = pixel;
    }
    for (int32_t i = 1; i < scale; ++i) std::copy(row, row + width, row + size_t(i) * width);
  }
}

namespace leftovers {
namespace {
constexpr size_t kPathBytes = 4096;
char paths[kSlots][kPathBytes];
std::atomic<bool> used[kSlots];  // lock-free: a signal handler reads them
bool isDirectory[kSlots];

// Only async-signal-safe calls: the interrupt's clean-up runs this too.
void removeSlots() {
  for (int i = 0; i < kSlots; ++i) {
    if (!used[i]) continue;
    if (isDirectory[i])
      host::removeEmptyDirectory(paths[i]);
    else
      host::removeFile(paths[i]);
    used[i] = false;
  }
}
}  // namespace

bool add(const std::string& path, bool directory, std::string& error) {
  for (int i = 0; i < kSlots; ++i) {
    if (used[i]) continue;
    if (path.size() >= kPathBytes) break;
    std::memcpy(paths[i], path.c_str(), path.size() + 1);
    isDirectory[i] = directory;
    used[i] = true;
    return true;
  }
  error = "cannot keep track of " + path;
  return false;
}

std::FILE* create(const std::string& path, const std::string& shownName, std::string& error) {
  const host::InterruptsHeld hold;
  if (!add(path, false, error)) return nullptr;
  std::FILE* file = host::createFile(path);
  if (file == nullptr) {
    error = "cannot write " + shownName + ": " + std::strerror(errno);
    drop(path);
  }
  return file;
}

void drop(const std::string& path) {
  for (int i = 0; i < kSlots; ++i) {
    if (used[i] && path == paths[i]) used[i] = false;
  }
}

void removeAll() { removeSlots(); }

void removeOnInterrupt() { host::onInterrupt(removeSlots); }
}  // namespace leftovers

bool finishFile(const std::string& from, const std::string& to, std::string& error) {
  // std::filesystem::rename replaces an existing `to` on Windows too (std::rename does not).
  std::error_code code;
  std::filesystem::rename(from, to, code);
  if (!code) {
    leftovers::drop(from);
    return true;
  }
  error = "cannot rename " + from + " to " + to + ": " + code.message();
  std::remove(from.c_str());
  leftovers::drop(from);
  return false;
}

bool writePng(const std::string& finalPath, const uint32_t* pixels, int32_t width, int32_t height, std::string& error) {
  const std::string path = finalPath + ".part";
  std::FILE* file = leftovers::create(path, finalPath, error);
  if (file == nullptr) return false;
  // Fast deflate: a whole demo is ten thousand pictures, and level 6 takes several times as long.
  bool ok = writeRgbPng(file, pixels, width, height, 2);
  if (std::fclose(file) != 0) ok = false;
  if (!ok) {
    error = "cannot write " + finalPath + " (disk full?)";
    std::remove(path.c_str());
    leftovers::drop(path);
    return false;
  }
  return finishFile(path, finalPath, error);
}

namespace {
void putLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}
std::vector<uint8_t> wavHeader(int64_t frames) {
  const uint32_t dataBytes = uint32_t(frames * 4);
  std::vector<uint8_t> h;
  for (char c : std::string("RIFF")) h.push_back(uint8_t(c));
  putLe(h, 36 + dataBytes, 4);
  for (char c : std::string("WAVEfmt ")) h.push_back(uint8_t(c));
  putLe(h, 16, 4);
  putLe(h, 1, 2);                // PCM
  putLe(h, 2, 2);                // stereo
  putLe(h, kSampleRate, 4);      // frames per second
  putLe(h, kSampleRate * 4, 4);  // bytes per second
  putLe(h, 4, 2);                // bytes per frame
  putLe(h, 16, 2);               // bits per sample
  for (char c : std::string("data")) h.push_back(uint8_t(c));
  putLe(h, dataBytes, 4);
  return h;
}
}  // namespace

WavWriter::~WavWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

bool WavWriter::open(const std::string& path, const std::string& shownName, std::string& error) {
  path_ = shownName;
  file_ = leftovers::create(path, shownName, error);
  if (file_ == nullptr) return false;
  const std::vector<uint8_t> header = wavHeader(0);
  failed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size();
  return true;
}

void WavWriter::write(const float* stereo, int64_t frames) {
  if (file_ == nullptr || frames <= 0) return;
  buffer_.resize(size_t(frames) * 2);
  for (size_t i = 0; i < buffer_.size(); ++i) {
    const float s = std::clamp(stereo[i], -1.0f, 1.0f);  // NaN stays NaN and becomes INT32_MIN below
    const int32_t v = truncToInt32(double(s) * 32767.0);
    buffer_[i] = int16_t(v == INT32_MIN ? 0 : v);
  }
  // The samples go out little-endian, as WAV wants; this is a little-endian host.
  if (std::fwrite(buffer_.data(), 4, size_t(frames), file_) != size_t(frames)) failed_ = true;
  frames_ += frames;
}

bool WavWriter::close(std::string& error) {
  if (file_ == nullptr) return true;
  const std::vector<uint8_t> header = wavHeader(frames_);
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header.data(), 1, header.size(), file_) != header.size())
    failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  if (failed_) error = "cannot write " + path_ + " (disk full?)";
  return !failed_;
}

std::string ffmpegMissingMessage() {
  return std::string("--mp4 needs ffmpeg, and there is no ffmpeg on PATH (") + host::ffmpegMissingHint() + ")";
}

FfmpegPipe::~FfmpegPipe() {
  std::string ignored;
  if (ffmpeg_.running()) finish(ignored);
}

bool FfmpegPipe::start(const std::string& mp4Path, const std::string& wavPath, int32_t width, int32_t height,
                       int32_t scale, int fps, std::string& error) {
  const std::string program = host::findProgram("ffmpeg");
  if (program.empty()) {
    error = ffmpegMissingMessage();
    return false;
  }
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  const std::string rate = std::to_string(fps);
  // ffmpeg enlarges by pixel repetition as it converts to YUV: the pipe carries a ninth of the
  // bytes at --scale 3 and no enlarged copy is made here.
  const std::string enlarge =
      "scale=" + std::to_string(width * scale) + ":" + std::to_string(height * scale) + ":flags=neighbor";
  // x264 "superfast" with the animation tuning (flat areas, sharp edges, repeated pictures) at
  // CRF 18: on these pictures a higher PSNR and SSIM than "medium" at CRF 18 for a sixth of the
  // encoder's time (the files are about a third larger); x264's frame threads use every core.
  std::vector<std::string> args = {
      "ffmpeg", "-hide_banner", "-loglevel",  "error", "-y",       "-f",      "rawvideo", "-pix_fmt", "bgr0",
      "-s",     size,           "-r",         rate,    "-i",       "pipe:0",  "-i",       wavPath,    "-map",
      "0:v",    "-map",         "1:a",        "-vf",   enlarge,    "-c:v",    "libx264",  "-preset",  "superfast",
      "-tune",  "animation",    "-crf",       "18",    "-pix_fmt", "yuv420p", "-c:a",     "aac",      "-b:a",
      "192k",   "-movflags",    "+faststart", "-f",    "mp4",      mp4Path};
  if (!ffmpeg_.start(program, args, error)) return false;
  for (std::vector<uint32_t>& buffer : buffers_) buffer.assign(size_t(width) * size_t(height), 0);
  // Started while interrupts are held, the writer thread never runs a POSIX signal handler.
  const host::InterruptsHeld hold;
  writer_ = std::thread(&FfmpegPipe::writeLoop, this);
  return true;
}

void FfmpegPipe::writeLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return sent_ < queued_ || closing_; });
    if (sent_ == queued_) return;  // closing, all sent
    const int slot = int(sent_ % kBuffers);
    const int64_t times = repeats_[slot];
    bool ok = !failed_;
    lock.unlock();
    // A failed write means ffmpeg went away; finish() reports how it ended.
    for (int64_t copy = 0; copy < times && ok; ++copy)
      ok = ffmpeg_.write(buffers_[slot].data(), buffers_[slot].size() * sizeof(uint32_t));
    lock.lock();
    if (!ok) failed_ = true;
    ++sent_;
    changed_.notify_all();
  }
}

uint32_t* FfmpegPipe::frameToFill() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queued_ - sent_ < kBuffers || failed_; });
  return failed_ || !ffmpeg_.running() ? nullptr : buffers_[queued_ % kBuffers].data();
}

bool FfmpegPipe::queueFrame(int64_t times) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_ || !ffmpeg_.running()) return false;
  repeats_[queued_ % kBuffers] = times;
  ++queued_;
  changed_.notify_all();
  return true;
}

bool FfmpegPipe::finish(std::string& error) {
  if (writer_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
      changed_.notify_all();
    }
    writer_.join();
  }
  if (!ffmpeg_.running()) return false;
  const int status = ffmpeg_.finish();
  if (status == 0 && !failed_) return true;
  error = "ffmpeg failed (exit status " + std::to_string(status) + "); its messages are above";
  return false;
}

}  // namespace tarvola
