// The offline capture renderer: the demo's own start-up and frame loop on a host whose clock
// advances exactly 1/fps per frame, with the music rendered in lock-step before the run and
// its syncs raised before the first frame whose time reaches them; frames and sound go to
// PNG, WAV and MP4. Frame k shows demo clock time k/fps and is paired with the music's
// samples [k * 44100 / fps, (k + 1) * 44100 / fps) (integer division); frame 0 is the black
// picture start-up leaves on screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "music/module_renderer.h"
#include "music/music_stream.h"
#include "runtime/frame_loop.h"

namespace tarvola {

struct CaptureOptions {
  std::string pngDir;
  std::string wavPath;
  std::string mp4Path;
  int fps = 60;
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
};

// False with a message for a bad command line; `help` set for --help.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error, bool& help);
const char* captureUsage();

// The samples before frame k: k * 44100 / fps, rounded down.
inline int64_t samplesBeforeFrame(int64_t frame, int fps) { return frame * kSampleRate / fps; }
// The first frame (>= 1) whose time k / fps reaches the sample.
inline int64_t frameReachingSample(int64_t sample, int fps) {
  const int64_t k = (sample * fps + kSampleRate - 1) / kSampleRate;
  return k < 1 ? 1 : k;
}

// Which scene slot the timeline renders on each frame, and the frame on which it ends, worked
// out with the frame loop's own clock and timeline arithmetic.
struct ProgrammeSchedule {
  int fps = 60;
  int64_t endFrame = 0;         // the frame whose update reaches the end; frames 0..endFrame-1 are pictures
  std::vector<int8_t> sceneAt;  // [frame]: slot 0..5, -1 for none (frame 0, the end frame)
  std::vector<float> timeAt;    // [frame]: the demo time t (hundredths) its render is given
};
ProgrammeSchedule scheduleProgramme(const DemoProgramme& programme, int fps);

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

// The sound of the player's fade-out (kFadeOut) after the end.
inline constexpr int64_t kFadeFrames = int64_t(kFadeOut.rateMs) * kSampleRate / 1000;

// One line per sync of the programme: "time sample value flags scene", the sample exact.
std::vector<std::string> listSyncs(const ProgrammeSchedule& schedule, const std::vector<SyncHit>& syncs);

// What --bench measures: time of the rendering thread (host::threadSeconds: CPU time on Linux),
// per scene per frame and in total.
struct ProgrammeBench {
  int fps = 0;
  int64_t frames = 0;
  int64_t sceneFrames[kSceneCount] = {};
  double sceneMedianMs[kSceneCount] = {};
  double sceneWorstMs[kSceneCount] = {};
  double startupMs = 0.0;  // start-up work, the fixed pauses excluded
  double musicMs = 0.0;    // the lock-step music pass
  double loopMs = 0.0;     // the frame loop
  double wallMs = 0.0;     // start-up and frame loop on the wall clock
  double peakRssMb = 0.0;
};

// The whole command: 0 on success, 1 for a bad command line, 2 when an output fails. With
// --bench the figures go to `bench` when given, else to stdout. Runs the demo once: the
// scenes' state is process-wide and never reset, so a process runs one capture.
int runCapture(const CaptureOptions& options, ProgrammeBench* bench = nullptr);

}  // namespace tarvola
