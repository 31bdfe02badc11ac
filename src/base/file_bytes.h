// The loaders' one way to read a file whole: by blocks, so memory grows only as far as the file
// really reaches, whatever size a seek claims (a directory "ends" at LONG_MAX).
#pragma once

#include <vector>

namespace tarvola {

// The file's bytes. False, with bytes empty, when it cannot be opened or a read fails (a
// directory, a file without read permission, an I/O error): the caller's "cannot open" case.
bool readFileBytes(const char* path, std::vector<unsigned char>& bytes);

}  // namespace tarvola
