// The offline capture renderer: the demo's own start-up and frame loop on the offline host
// (runtime/offline_host.h), with the music rendered in lock-step before the run and its syncs
// raised before the first frame whose time reaches them; frames and sound go to PNG, WAV and
// MP4.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "music/module_renderer.h"
#include "music/music_stream.h"
#include "runtime/frame_loop.h"
#include "runtime/offline_host.h"

namespace tarvola {

struct CaptureOptions {
  std::string pngDir;
  std::string wavPath;
  std::string mp4Path;
  int fps = kDefaultFps;
  int scale = 1;
  double from = 0.0;
  double to = -1.0;                   // < 0: to the end
  std::vector<std::string> framesAt;  // demo times as written, for the file names
  bool listSyncs = false;
  bool listSyncWindows = false;
  bool bench = false;
  bool progress = true;           // only shown on a terminal
  bool allowMissingData = false;  // render black scenes and silence when no data/ is found
  bool version = false;           // --version: print the version, do nothing else
  bool listScenes = false;        // --list-scenes: print the scene slots, do nothing else
};

// False with a message for a bad command line; `help` set for --help.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error, bool& help);
const char* captureUsage();

// The music's part of a capture: renders frames [0, lastFrame] in per-frame pieces (and, when
// `withFade`, the slow-down and fade-out that follow the end frame), collects every sync, and
// writes the samples of frames [firstFrame, outputEnd) (plus the fade) to `wav` when given.
// A module that does not load gives silence and no syncs (a line on stderr says so), as the
// demo plays on without its music. It cannot fail: a failed write to `wav` shows when the writer
// is closed.
class WavWriter;
struct MusicPass {
  std::vector<SyncHit> syncs;
  int64_t fadeFrames = 0;
};
MusicPass renderMusicPass(const char* modulePath, int fps, int64_t lastFrame, int64_t firstFrame = 0,
                          int64_t outputEnd = 0, bool withFade = false, WavWriter* wav = nullptr);

// One line per sync of the programme: "time sample value flags scene", the sample exact.
std::vector<std::string> listSyncs(const ProgrammeSchedule& schedule, const std::vector<SyncHit>& syncs);

// One line per scene slot, tab-separated: number, start and end (demo seconds, from the timeline
// table), name, and the data files (names within data/) its pictures depend on: the letterbox,
// the music, its own and, for the finale, those of the scenes it replays.
std::vector<std::string> listScenes(const DemoProgramme& programme);

// What --bench measures: time of the rendering thread (host::threadSeconds: CPU time on Linux),
// per scene per frame and in total.
struct ProgrammeBench {
  int fps = 0;
  int64_t frames = 0;
  SceneFrameTimes scenes;  // per scene: frames, median and worst seconds
  double startupMs = 0.0;  // start-up work, the fixed pauses excluded
  double musicMs = 0.0;    // the lock-step music pass
  double loopMs = 0.0;     // the frame loop
  double wallMs = 0.0;     // start-up and frame loop on the wall clock
  double peakRssMb = 0.0;
};

// The whole command: 0 on success, 1 for a bad command line, 2 when an output fails. With
// --bench the figures go to `bench` when given, else to stdout. Each call is a run of its own
// (data/ is read from the working directory), so captures in one process give the same bytes.
int runCapture(const CaptureOptions& options, ProgrammeBench* bench = nullptr);

}  // namespace tarvola
