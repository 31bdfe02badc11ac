// tarvola-capture: renders the demo offline, frame by frame, to PNG, WAV and MP4, lists the
// music's syncs, and measures the demo's speed. See capture.h and `tarvola-capture --help`.
#include <csignal>
#include <cstdio>
#include <string>

#include "capture.h"
#include "capture_outputs.h"

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
  std::signal(SIGPIPE, SIG_IGN);          // a dead ffmpeg shows as a failed write instead
  tarvola::leftovers::removeOnSignals();  // Ctrl-C leaves no half-written file
  return tarvola::runCapture(options);
}
