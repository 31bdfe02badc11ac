// The web build stepped offline, in node: the demo's start-up and frame loop on the offline host
// (runtime/offline_host.h), as the capture renderer runs it, with the music's syncs read from a
// list. Either the frames at the wanted times, written as binary PPM, for the tests; or, with
// --bench, the whole programme timed per frame on the wall clock (performance.now), printed per
// scene as the capture renderer's --bench prints the native build's.
//   tarvola-web-stepped FPS SYNCS OUTDIR T1,T2,...   (from the directory that holds data/)
//   tarvola-web-stepped --bench SYNCS
// SYNCS holds "sample value" lines (sample: first sample of the row at 44100 Hz). Exit code 0,
// or 1 for a bad command line or an output that fails.
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "runtime/offline_host.h"

namespace tarvola {
namespace {

struct PpmSink {
  std::multimap<int64_t, std::string> wanted;  // frame -> file name
  std::string outDir;

  static bool writePpm(const std::string& path, const Surface& picture) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
    std::vector<unsigned char> row(size_t(picture.width) * 3);
    bool ok = true;
    for (int32_t y = 0; y < picture.height; ++y) {
      for (int32_t x = 0; x < picture.width; ++x) {
        const uint32_t pixel = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
        row[3 * size_t(x)] = uint8_t(pixel >> 16);
        row[3 * size_t(x) + 1] = uint8_t(pixel >> 8);
        row[3 * size_t(x) + 2] = uint8_t(pixel);
      }
      ok = std::fwrite(row.data(), 1, row.size(), file) == row.size() && ok;
    }
    return std::fclose(file) == 0 && ok;
  }

  // OfflineHost::Emit.
  static bool emit(void* user, int64_t frame, const Surface& picture) {
    const PpmSink& self = *static_cast<const PpmSink*>(user);
    bool ok = true;
    for (auto [it, end] = self.wanted.equal_range(frame); it != end; ++it)
      ok = writePpm(self.outDir + "/" + it->second + ".ppm", picture) && ok;
    return ok;
  }
};

std::vector<SyncHit> readSyncs(const char* path) {
  std::vector<SyncHit> syncs;
  if (std::FILE* file = std::fopen(path, "r")) {
    long long sample = 0;
    unsigned value = 0;
    while (std::fscanf(file, "%lld %u", &sample, &value) == 2) syncs.push_back({int64_t(sample), uint32_t(value)});
    std::fclose(file);
  }
  return syncs;
}

double wallSeconds() { return emscripten_get_now() / 1000.0; }

int runBench(const std::vector<SyncHit>& syncs) {
  const DemoProgramme programme = demoProgramme();
  const ProgrammeSchedule schedule = scheduleProgramme(programme, kDefaultFps);
  OfflineHost host(kDefaultFps, schedule.endFrame, syncs, schedule.endFrame, nullptr, nullptr, &wallSeconds);
  const double began = wallSeconds();
  runDemo(host, programme);
  const double loopSeconds = wallSeconds() - began - host.startupSeconds();
  std::printf("%d fps, %lld frames; wall clock of node's thread\n", schedule.fps,
              static_cast<long long>(schedule.endFrame));
  printSceneFrameTimes(sceneFrameTimes(schedule, host.frameSeconds()));
  std::printf("start-up work (pauses excluded) %8.1f ms\n", host.startupSeconds() * 1e3);
  std::printf("frame loop                      %8.1f ms\n", loopSeconds * 1e3);
  return 0;
}

}  // namespace
}  // namespace tarvola

int main(int argc, char** argv) {
  using namespace tarvola;
  if (argc == 3 && std::string(argv[1]) == "--bench") return runBench(readSyncs(argv[2]));
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: tarvola-web-stepped FPS SYNCS OUTDIR T1,T2,...\n       tarvola-web-stepped --bench SYNCS\n");
    return 1;
  }
  const int fps = std::atoi(argv[1]);
  const std::vector<SyncHit> syncs = readSyncs(argv[2]);
  PpmSink sink;
  sink.outDir = argv[3];
  int64_t last = -1;
  for (std::string times = argv[4]; fps > 0 && !times.empty();) {
    const size_t comma = times.find(',');
    const std::string time = times.substr(0, comma);
    const int64_t frame = frameAtOrAfter(std::strtod(time.c_str(), nullptr), fps);
    sink.wanted.emplace(frame, "frame-at-" + time);
    last = frame > last ? frame : last;
    times = comma == std::string::npos ? "" : times.substr(comma + 1);
  }
  if (fps <= 0 || last < 0) return 1;
  const DemoProgramme programme = demoProgramme();
  OfflineHost host(fps, scheduleProgramme(programme, fps).endFrame, syncs, last + 1, &PpmSink::emit, &sink);
  runDemo(host, programme);
  return host.failed() ? 1 : 0;
}
