// See file_bytes.h.
#include "base/file_bytes.h"

#include <algorithm>
#include <cstdio>

namespace tarvola {

bool readFileBytes(const char* path, std::vector<unsigned char>& bytes, size_t maxBytes) {
  bytes.clear();
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  unsigned char block[65536];
  size_t got = 0;
  while (bytes.size() < maxBytes &&
         (got = std::fread(block, 1, std::min(sizeof block, maxBytes - bytes.size()), file)) > 0) {
    bytes.insert(bytes.end(), block, block + got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) bytes.clear();
  return !failed;
}

}  // namespace tarvola
