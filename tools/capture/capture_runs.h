// The capture renderer's modes, each a whole run of the demo on the offline host: the sync
// list, the bench, single frames and a range; and what they share. Internal to tools/capture.
#pragma once

#include <cstdio>
#include <string>

#include "capture.h"
#include "scenes/scene_files.h"

namespace tarvola {

// What every mode shares: the options, the programme and the frames its timeline shows.
struct CaptureSetup {
  explicit CaptureSetup(const CaptureOptions& chosen)
      : options(chosen), schedule(scheduleProgramme(programme, chosen.fps)) {}
  double endSeconds() const { return double(schedule.endFrame) / options.fps; }
  // "OPTION SECONDS is past the end of the demo (166.00 s)".
  std::string pastTheEnd(const std::string& option, double seconds) const {
    char text[40];
    std::snprintf(text, sizeof text, " %.10g", seconds);
    return pastTheEnd(option + text);
  }
  std::string pastTheEnd(const std::string& what) const {
    char length[40];
    std::snprintf(length, sizeof length, " (%.2f s)", endSeconds());
    return what + " is past the end of the demo" + length;
  }

  const CaptureOptions& options;
  const DemoProgramme programme = demoProgramme();
  const ProgrammeSchedule schedule;
  const char* const modulePath = kMusicFile;
};

// The message on stderr, then `code`.
int fail(const std::string& message, int code);
// A failed output: whatever the run left half-made goes, then the message; 2.
int failAndClean(const std::string& message);

// The modes, each 0 on success, else the code fail returned.
int runListSyncs(const CaptureSetup& setup);
// The figures go to benchOut when given, else to stdout.
int runBench(const CaptureSetup& setup, ProgrammeBench* benchOut);
int runFramesAt(const CaptureSetup& setup);
int runRange(const CaptureSetup& setup);

}  // namespace tarvola
