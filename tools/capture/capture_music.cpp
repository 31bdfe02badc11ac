// The capture renderer's music pass (the sound in lock-step with the frames, and its syncs),
// the sync list and the scene list; see capture.h.
#include <cstdio>
#include <cstring>

#include "capture.h"
#include "capture_outputs.h"
#include "music/music_stream.h"
#include "music/sync_events.h"
#include "scenes/scene_files.h"

namespace tarvola {

namespace {
void collectSync(void* user, const SyncHit& hit) { static_cast<std::vector<SyncHit>*>(user)->push_back(hit); }
}  // namespace

MusicPass renderMusicPass(const char* modulePath, int fps, int64_t lastFrame, int64_t firstFrame, int64_t outputEnd,
                          bool withFade, WavWriter* wav) {
  MusicPass pass;
  ModuleRenderer music;
  if (!music.loadFile(modulePath)) {
    // As in the demo, a module that is missing or damaged leaves the run silent, without syncs.
    std::fprintf(stderr, "tarvola-capture: %s does not load as a module: silence, no syncs\n", modulePath);
  }
  std::vector<float> piece(2 * size_t(kSampleRate / fps + 2));
  for (int64_t frame = 0; frame <= lastFrame; ++frame) {
    const int64_t frames = samplesBeforeFrame(frame + 1, fps) - samplesBeforeFrame(frame, fps);
    music.render(piece.data(), frames, collectSync, &pass.syncs, ModuleRenderer::kExactRowStarts);
    if (wav != nullptr && frame >= firstFrame && frame < outputEnd) wav->write(piece.data(), frames);
  }
  if (withFade) {
    // The player's stream over the module's next samples.
    std::vector<float> source(2 * size_t(kFadeSourceFrames));
    music.render(source.data(), kFadeSourceFrames, nullptr, nullptr, ModuleRenderer::kExactRowStarts);
    MusicStream stream;
    stream.loadStream(std::move(source));
    std::vector<float> out(2 * size_t(kFadeFrames));
    stream.slideRate(kFadeOut.rateHz, kFadeOut.rateMs);
    stream.pull(out.data(), int(kFadeVolumeFrame));
    stream.slideVolumeToSilenceAndStop(kFadeOut.volumeMs);
    stream.pull(out.data() + 2 * kFadeVolumeFrame, int(kFadeFrames - kFadeVolumeFrame));
    pass.fadeFrames = kFadeFrames;
    if (wav != nullptr) wav->write(out.data(), kFadeFrames);
  }
  return pass;
}

std::vector<std::string> listSyncs(const ProgrammeSchedule& schedule, const std::vector<SyncHit>& syncs) {
  std::vector<std::string> lines;
  for (const SyncHit& sync : syncs) {
    const int64_t frame = frameReachingSample(sync.sample, schedule.fps);
    if (frame >= schedule.endFrame) break;
    // The flags come from the callback's own table.
    const uint8_t raised = syncFlagsRaisedBy(sync.value);
    std::string flags;
    const std::pair<const char*, uint8_t> all[] = {
        {"sync1", kSync1}, {"sync2", kSync2}, {"sync3", kSync3}, {"sync5", kSync5}, {"syncAny", kSyncAny}};
    for (const auto& [name, bit] : all) {
      if ((raised & bit) == 0) continue;
      if (!flags.empty()) flags.push_back(',');
      flags.append(name);
    }
    if (flags.empty()) flags.push_back('-');
    const int8_t slot = schedule.sceneAt[size_t(frame)];
    char line[200];
    std::snprintf(line, sizeof line, "%9.4f s  sample %8lld  value %u  %-22s scene %d %s",
                  double(sync.sample) / kSampleRate, static_cast<long long>(sync.sample), sync.value, flags.c_str(),
                  slot + 1, slot >= 0 ? kSceneNames[slot] : "-");
    lines.push_back(line);
  }
  return lines;
}

namespace {
// "NAME " for "data/NAME".
std::string fileEntry(const char* path) { return std::string(path).substr(std::strlen("data/")) + " "; }
}  // namespace

std::vector<std::string> listScenes(const DemoProgramme& programme) {
  std::vector<std::string> lines;
  int32_t from = 0;  // hundredths: the wait before a set-scene command
  for (const TimelineCommand* command = programme.timeline; command->opcode == kSetScene || command->opcode == kWait;
       ++command) {
    if (command->opcode == kWait) {
      from = command->waitUntil;
      continue;
    }
    int slot = 0;
    while (slot + 1 < kSceneCount && programme.scenes[slot].render != command->scene) ++slot;
    const int32_t to = command[1].opcode == kWait ? command[1].waitUntil : from;
    std::string files = fileEntry(kLetterboxFile) + fileEntry(kMusicFile);
    for (int shown = 0; shown < kSceneCount; ++shown) {
      const bool replayed =
          slot == 5 && (shown == kFinaleCycle[0] || shown == kFinaleCycle[1] || shown == kFinaleCycle[2]);
      if (shown != slot && !replayed) continue;
      for (const char* const* file = kSceneFiles[shown]; *file != nullptr; ++file) files += fileEntry(*file);
    }
    char times[48];
    std::snprintf(times, sizeof times, "%d\t%.2f\t%.2f\t", slot + 1, from / 100.0, to / 100.0);
    lines.push_back(times + std::string(kSceneNames[slot]) + "\t" + files.substr(0, files.size() - 1));
  }
  return lines;
}

}  // namespace tarvola
