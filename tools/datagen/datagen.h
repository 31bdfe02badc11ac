// The data-set generator's registry: every file of data/ is produced by one writer that
// registers itself at static-initialisation time, so each family of files lives in its own
// source file. Writers must be deterministic: fixed seeds, no clocks, the same bytes everywhere.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvola::datagen {

// Writes one or more files into dataDir; returns false (after printing why) on failure.
using WriterFunction = bool (*)(const std::filesystem::path& dataDir);

struct Writer {
  const char* name;  // what it writes, for messages ("pictures", "box.3ds", "kyr.it")
  WriterFunction write;
};

std::vector<Writer>& writers();

// Use at namespace scope: static const bool registered = registerWriter({"kyr.it", &writeModule});
bool registerWriter(Writer writer);

}  // namespace tarvola::datagen
