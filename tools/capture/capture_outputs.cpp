// PNG, WAV and ffmpeg outputs of the capture renderer; see capture_outputs.h.
#include "capture_outputs.h"

#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "base/fixed_point.h"
#include "music/module_renderer.h"

extern char** environ;

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
volatile sig_atomic_t used[kSlots];
bool isDirectory[kSlots];
volatile pid_t child = 0;

// Only async-signal-safe calls: the signal handler runs this too.
void removeSlots() {
  for (int i = 0; i < kSlots; ++i) {
    if (used[i] == 0) continue;
    if (isDirectory[i])
      ::rmdir(paths[i]);
    else
      ::unlink(paths[i]);
    used[i] = 0;
  }
}

void onSignal(int signal) {
  if (child > 0) ::kill(child, SIGKILL);
  removeSlots();
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  ::sigaction(signal, &defaults, nullptr);
  ::raise(signal);
}
}  // namespace

bool add(const std::string& path, bool directory, std::string& error) {
  for (int i = 0; i < kSlots; ++i) {
    if (used[i] != 0) continue;
    if (path.size() >= kPathBytes) break;
    std::memcpy(paths[i], path.c_str(), path.size() + 1);
    isDirectory[i] = directory;
    used[i] = 1;
    return true;
  }
  error = "cannot keep track of " + path;
  return false;
}

void drop(const std::string& path) {
  for (int i = 0; i < kSlots; ++i) {
    if (used[i] != 0 && path == paths[i]) used[i] = 0;
  }
}

void removeAll() { removeSlots(); }

void setChild(pid_t pid) { child = pid; }

void removeOnSignals() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}
}  // namespace leftovers

bool finishFile(const std::string& from, const std::string& to, std::string& error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) {
    leftovers::drop(from);
    return true;
  }
  error = "cannot rename " + from + " to " + to + ": " + std::strerror(errno);
  std::remove(from.c_str());
  leftovers::drop(from);
  return false;
}

bool writePng(const std::string& finalPath, const uint32_t* pixels, int32_t width, int32_t height, std::string& error) {
  const std::string path = finalPath + ".part";
  if (!leftovers::add(path, false, error)) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot write " + finalPath + ": " + std::strerror(errno);
    leftovers::drop(path);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(size_t(width) * 3);
  volatile bool ok = png != nullptr && info != nullptr;
  // libpng reports its errors by longjmp; nothing with a destructor is created past this point.
  if (ok && setjmp(png_jmpbuf(png)) != 0) ok = false;
  if (ok) {
    png_init_io(png, file);
    // Fast deflate: a whole demo is ten thousand pictures, and level 6 takes several times as long.
    png_set_compression_level(png, 2);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
      const uint32_t* in = pixels + size_t(y) * size_t(width);
      for (int32_t x = 0; x < width; ++x) {
        row[size_t(x) * 3] = png_byte(in[x] >> 16);
        row[size_t(x) * 3 + 1] = png_byte(in[x] >> 8);
        row[size_t(x) * 3 + 2] = png_byte(in[x]);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
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
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    error = "cannot write " + shownName + ": " + std::strerror(errno);
    return false;
  }
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

std::string findOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  std::string all(path);
  size_t begin = 0;
  while (begin <= all.size()) {
    size_t end = all.find(':', begin);
    if (end == std::string::npos) end = all.size();
    const std::string dir = end > begin ? all.substr(begin, end - begin) : std::string(1, '.');
    std::string candidate = dir;
    candidate.push_back('/');
    candidate.append(name);
    if (::access(candidate.c_str(), X_OK) == 0) return dir;
    begin = end + 1;
  }
  return "";
}

FfmpegPipe::~FfmpegPipe() {
  std::string ignored;
  if (pid_ > 0) finish(ignored);
}

bool FfmpegPipe::start(const std::string& mp4Path, const std::string& wavPath, int32_t width, int32_t height,
                       int32_t scale, int fps, std::string& error) {
  const std::string dir = findOnPath("ffmpeg");
  if (dir.empty()) {
    error = "--mp4 needs ffmpeg, and there is no ffmpeg on PATH (install it: apt-get install ffmpeg)";
    return false;
  }
  int fds[2];
  if (::pipe(fds) != 0) {
    error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
    return false;
  }
  const std::string program = dir + "/ffmpeg";
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
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  const int status = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  if (status != 0) {
    ::close(fds[1]);
    pid_ = -1;
    error = "cannot start " + program + ": " + std::strerror(status);
    return false;
  }
  leftovers::setChild(pid_);
  fd_ = fds[1];
  for (std::vector<uint32_t>& buffer : buffers_) buffer.assign(size_t(width) * size_t(height), 0);
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
    const char* bytes = reinterpret_cast<const char*>(buffers_[slot].data());
    for (int64_t copy = 0; copy < times && ok; ++copy) {
      size_t left = buffers_[slot].size() * sizeof(uint32_t);
      for (const char* at = bytes; left > 0 && ok;) {
        const ssize_t wrote = ::write(fd_, at, left);
        if (wrote < 0 && errno == EINTR) continue;
        ok = wrote > 0;  // ffmpeg went away; finish() reports how it ended
        if (ok) at += wrote, left -= size_t(wrote);
      }
    }
    lock.lock();
    if (!ok) failed_ = true;
    ++sent_;
    changed_.notify_all();
  }
}

uint32_t* FfmpegPipe::frameToFill() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queued_ - sent_ < kBuffers || failed_; });
  return failed_ || fd_ < 0 ? nullptr : buffers_[queued_ % kBuffers].data();
}

bool FfmpegPipe::queueFrame(int64_t times) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_ || fd_ < 0) return false;
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
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (pid_ <= 0) return false;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  leftovers::setChild(0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !failed_) return true;
  error = "ffmpeg failed (exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
          "); its messages are above";
  return false;
}

}  // namespace tarvola
