// Helpers shared by the test suites: surfaces of random pixels, a recorder for messages, files
// read whole, command output, pictures written in the demo's TGA form, scratch directories.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/notify.h"
#include "surface/surface.h"

namespace tarvola::testing {

inline Surface randomSurface(int32_t width, int32_t height, std::mt19937& random) {
  Surface s;
  s.create(width, height);
  for (uint32_t& p : s.pixels) p = uint32_t(random());
  return s;
}

// A file's bytes, or a command's standard output.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::string runCommand(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// Writes pixels 0xAARRGGBB (row 0 at the top) as an uncompressed 32-bit TGA, bottom row
// first, so tests know a picture's pixels without trusting any TGA reader.
inline bool writeTga(const std::string& path, int width, int height, const std::vector<uint32_t>& topDown) {
  std::string bytes = {
      0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, char(width), char(width >> 8), char(height), char(height >> 8), 32, 8};
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x)
      for (int shift : {0, 8, 16, 24}) bytes += char(topDown[size_t(y) * size_t(width) + size_t(x)] >> shift);
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return bool(out.flush());
}

// A fresh, empty directory for the running test. By default a unique one under the system's
// temporary directory, removed with its contents when this goes; given `keptUnder`, it is
// <keptUnder>/<test name>, emptied first and kept afterwards for a look at what the test wrote.
class ScratchDir {
 public:
  explicit ScratchDir(const std::filesystem::path& keptUnder = {}) : kept_(!keptUnder.empty()) {
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::error_code ignored;
    if (kept_) {
      path_ = keptUnder / test;
      std::filesystem::remove_all(path_, ignored);
      std::filesystem::create_directories(path_, ignored);
      return;
    }
    for (char& c : test) c = c == '/' ? '_' : c;  // parameterised tests are named "Name/N"
    std::string pattern = (std::filesystem::temp_directory_path() / ("tarvola-" + test + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make " << pattern;
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!kept_) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  bool kept_;
  std::filesystem::path path_;
};

// Installs itself as the message handler for its lifetime and keeps every message shown.
class MessageRecorder {
 public:
  struct Message {
    std::string text, caption;
  };
  MessageRecorder();
  ~MessageRecorder();
  const std::vector<Message>& messages() const;

 private:
  MessageHandler previous_;
};

}  // namespace tarvola::testing
