// The loaders' one way to read a file: by blocks of 64 KiB up to the file's end or a limit, so
// memory grows only with the bytes really read. No size is asked of the file beforehand (a seek
// to a directory's end may claim LONG_MAX), and a limit bounds what an endless file can cost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvola {

// The file's bytes, at most maxBytes of them (a longer file's first maxBytes). False, with bytes
// empty, when it cannot be opened or a read fails (a directory, a file without read permission,
// an I/O error): the caller's "cannot open" case. An empty file gives true and no bytes.
bool readFileBytes(const char* path, std::vector<unsigned char>& bytes, size_t maxBytes = SIZE_MAX);

}  // namespace tarvola
