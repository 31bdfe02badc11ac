// The capture renderer's driver: checks the times against the demo's length, then runs the
// chosen mode; see capture.h.
#include "capture.h"

#include "capture_runs.h"
#include "sync_windows.h"

namespace tarvola {

int runCapture(const CaptureOptions& options, ProgrammeBench* benchOut) {
  const CaptureSetup setup(options);
  // Times are checked against the demo's length before any becomes a frame number.
  if (!options.bench && options.framesAt.empty()) {
    if (options.from >= setup.endSeconds()) return fail(setup.pastTheEnd("--from", options.from), 1);
    if (options.to > setup.endSeconds()) return fail(setup.pastTheEnd("--to", options.to), 1);
  }
  if (options.listSyncs) {
    const int status = runListSyncs(setup);
    if (status != 0 || (options.pngDir.empty() && options.wavPath.empty() && options.mp4Path.empty() &&
                        !options.bench && !options.listSyncWindows))
      return status;
  }
  if (options.listSyncWindows) return printSyncWindows(setup.schedule, setup.modulePath);
  if (options.bench) return runBench(setup, benchOut);
  if (!options.framesAt.empty()) return runFramesAt(setup);
  return runRange(setup);
}

}  // namespace tarvola
