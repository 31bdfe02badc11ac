// tarvola-capture: renders the demo offline, frame by frame, to PNG, WAV and MP4, lists the
// music's syncs, and measures the demo's speed. See capture.h and `tarvola-capture --help`.
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/data_folder.h"
#include "capture.h"
#include "capture_outputs.h"

namespace {

// Output paths are the user's, relative to where the command was given: they are made absolute
// before the data folder becomes the working directory.
void anchorOutputs(tarvola::CaptureOptions& options) {
  for (std::string* path : {&options.pngDir, &options.wavPath, &options.mp4Path}) {
    if (!path->empty()) *path = std::filesystem::absolute(*path).string();
  }
}

}  // namespace

int main(int argc, char** argv) {
  tarvola::CaptureOptions options;
  std::string error;
  bool help = false;
  if (!tarvola::parseCaptureOptions(argc, argv, options, error, help)) {
    std::fprintf(stderr, "tarvola-capture: %s\n%s", error.c_str(), tarvola::captureUsage());
    return 1;
  }
  if (help) {
    std::fputs(tarvola::captureUsage(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts("tarvola-capture " TARVOLA_VERSION);
    return 0;
  }
  if (options.listScenes) {
    for (const std::string& line : tarvola::listScenes(tarvola::demoProgramme())) std::puts(line.c_str());
    return 0;
  }

  // A capture without its data set would be black pictures and silence with exit 0: refused
  // unless asked for.
  const tarvola::DataFolderSearch data = tarvola::findDataFolder();
  if (data.found.empty() && !options.allowMissingData) {
    std::fprintf(stderr, "tarvola-capture: no data set: looked for %s (give --allow-missing-data to render without)\n",
                 tarvola::describeLooked(data).c_str());
    return 2;
  }
  if (!data.found.empty() && data.found != data.looked.front()) {
    anchorOutputs(options);
    if (!tarvola::enterDataFolder(data.found, error)) {
      std::fprintf(stderr, "tarvola-capture: %s\n", error.c_str());
      return 2;
    }
  }

  tarvola::leftovers::removeOnInterrupt();  // Ctrl-C leaves no half-written file
  return tarvola::runCapture(options);
}
