// See data_folder.h.
#include "base/data_folder.h"

#include <system_error>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // libstdc++ for mingw-w64 defines it already
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tarvola {

namespace fs = std::filesystem;

namespace {

// The running executable's full path, or empty where the system cannot tell.
fs::path executablePath() {
#if defined(_WIN32)
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return fs::path(buffer.substr(0, length));
    buffer.resize(buffer.size() * 2);
  }
#elif defined(__linux__)
  std::error_code error;
  fs::path path = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : path;
#else
  return {};
#endif
}

bool holdsData(const fs::path& folder) {
  std::error_code error;
  return fs::is_directory(folder / "data", error);
}

}  // namespace

DataFolderSearch findDataFolder() {
  DataFolderSearch search;
  std::error_code error;
  const fs::path working = fs::current_path(error);
  search.looked.push_back(error ? fs::path(".") : working);
  const fs::path executable = executablePath();
  if (!executable.empty()) {
    const fs::path bin = executable.parent_path();
    search.looked.push_back(bin);
    search.looked.push_back((bin.parent_path() / "share" / "tarvola").lexically_normal());
  }
  for (const fs::path& folder : search.looked) {
    if (holdsData(folder)) {
      search.found = folder;
      break;
    }
  }
  return search;
}

std::string describeLooked(const DataFolderSearch& search) {
  std::string text;
  for (size_t i = 0; i < search.looked.size(); ++i) {
    if (i > 0) text += i + 1 == search.looked.size() ? " or " : ", ";
    text += (search.looked[i] / "data").string();
  }
  return text;
}

bool enterDataFolder(const fs::path& folder, std::string& error) {
  std::error_code code;
  fs::current_path(folder, code);
  if (code) error = "cannot enter " + folder.string() + ": " + code.message();
  return !code;
}

}  // namespace tarvola
