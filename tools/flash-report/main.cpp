// tarvola-flash-report: measures the flashes of a capture against WCAG 2.3.1 (three flashes or
// below threshold). Reads consecutive frames written by `tarvola-capture --png DIR` (frame k shows
// demo time k / fps), runs the flash meter over them and prints, per scene slot (a window belongs
// to the slot showing at its middle), the worst one-second window of any 10-degree field: its
// flashes, when it starts, where the field is, how many whole seconds hold the start of a window
// of more than three, and the worst window of red flashes. With --every-window it first prints
// every window that holds a transition.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "capture.h"
#include "flash_meter.h"
#include "runtime/frame_loop.h"

namespace {

namespace fs = std::filesystem;

const char* const kSlotNames[tarvola::kSceneCount] = {"1 logo",    "2 interference", "3 metaballs",
                                                      "4 credits", "5 tunnel",       "6 finale"};

// The frame numbers of DIR/frame-NNNNNN.png, in order.
std::vector<long> frameNumbers(const fs::path& dir) {
  std::vector<long> numbers;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == 16 && name.rfind("frame-", 0) == 0 && name.substr(12) == ".png")
      numbers.push_back(std::strtol(name.c_str() + 6, nullptr, 10));
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

bool readRgb(const fs::path& path, std::vector<uint8_t>& rgb, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  rgb.resize(PNG_IMAGE_SIZE(image));
  width = int(image.width), height = int(image.height);
  return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

struct SlotFigures {
  tarvola::FlashWindow worst;
  long worstStart = -1;  // first frame of the worst general window
  std::set<long> secondsOver;
  int redWorst = 0;
  long redWorstStart = -1;
  int windows = 0;
};

std::string flashes(int transitions) {
  char text[32];
  std::snprintf(text, sizeof text, transitions % 2 ? "%d.5" : "%d", transitions / 2);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const char* framesDir = nullptr;
  int fps = 60, displayWidth = 1024, displayHeight = 768;
  bool everyWindow = false, bad = false;
  for (int i = 1; i < argc && !bad; ++i) {
    const std::string option = argv[i];
    if (option == "--every-window") {
      everyWindow = true;
    } else if (i + 1 == argc) {
      bad = true;
    } else if (option == "--frames") {
      framesDir = argv[++i];
    } else if (option == "--fps") {
      fps = std::atoi(argv[++i]);
    } else if (option == "--display") {
      bad = std::sscanf(argv[++i], "%dx%d", &displayWidth, &displayHeight) != 2;
    } else {
      bad = true;
    }
  }
  if (bad || !framesDir || fps < 1 || fps > 64 || displayWidth < 1 || displayHeight < 1) {
    std::fprintf(stderr, "usage: %s --frames PNG_DIR [--fps 60 (1..64)] [--display 1024x768] [--every-window]\n",
                 argv[0]);
    return 2;
  }
  const std::vector<long> numbers = frameNumbers(framesDir);
  if (numbers.empty()) {
    std::fprintf(stderr, "tarvola-flash-report: no frame-NNNNNN.png in %s\n", framesDir);
    return 1;
  }

  const tarvola::ProgrammeSchedule schedule = tarvola::scheduleProgramme(tarvola::demoProgramme(), fps);
  SlotFigures slots[tarvola::kSceneCount];
  std::vector<uint8_t> rgb;
  int width = 0, height = 0, firstWidth = 0, firstHeight = 0;
  std::unique_ptr<tarvola::FlashMeter> meter;
  tarvola::FlashField field;
  long last = numbers.front() - 1;
  for (long k : numbers) {
    if (k != last + 1) break;  // the analysis needs consecutive frames: a gap ends it
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06ld.png", k);
    const fs::path path = fs::path(framesDir) / name;
    if (!readRgb(path, rgb, width, height) || (meter && (width != firstWidth || height != firstHeight))) {
      std::fprintf(stderr, "tarvola-flash-report: cannot read %s as a PNG of the first frame's size\n", path.c_str());
      return 1;
    }
    if (!meter) {
      firstWidth = width, firstHeight = height;
      field = tarvola::tenDegreeField(width, height, displayWidth, displayHeight);
      meter = std::make_unique<tarvola::FlashMeter>(width, height, field, fps);
    }
    last = k;
    const tarvola::FlashWindow window = meter->add(rgb.data());
    // The window ending at frame k starts fps - 1 frames before it (or at the first frame read);
    // it belongs to the slot showing at its middle (frame 0, before any scene, to the first).
    const long start = std::max(numbers.front(), k - fps + 1);
    const long middle = std::max(1L, std::min(k, start + fps / 2));
    if (middle >= long(schedule.sceneAt.size()) || schedule.sceneAt[middle] < 0) continue;
    if (everyWindow && (window.transitions > 0 || window.redTransitions > 0)) {
      std::printf("window %.3f s: %s flashes (field %d,%d), %s red (field %d,%d)\n", double(start) / fps,
                  flashes(window.transitions).c_str(), window.fieldX, window.fieldY,
                  flashes(window.redTransitions).c_str(), window.redFieldX, window.redFieldY);
    }
    SlotFigures& slot = slots[schedule.sceneAt[middle]];
    ++slot.windows;
    if (window.transitions > slot.worst.transitions) slot.worst = window, slot.worstStart = start;
    if (window.transitions > 6) slot.secondsOver.insert(start / fps);
    if (window.redTransitions > slot.redWorst) slot.redWorst = window.redTransitions, slot.redWorstStart = start;
  }

  std::printf("Flashes (WCAG 2.3.1) of frames %ld to %ld at %d fps, one-second windows\n", numbers.front(), last, fps);
  std::printf(
      "  10-degree field: %d x %d of the %d x %d picture shown full screen on %d x %d (WCAG's 341 x 256\n"
      "  of 1024 x 768 for a 15-17 inch screen at 22-26 inches), fields every %d pixels; a flash counts\n"
      "  over a quarter of a field; flashes are half the transitions (3.5: seven), over 3 is too many\n",
      field.width, field.height, firstWidth, firstHeight, displayWidth, displayHeight, field.step);
  std::printf("  %-16s %8s %9s %11s %13s %8s %9s\n", "slot", "flashes", "at (s)", "field x,y", "seconds > 3", "red",
              "at (s)");
  for (int s = 0; s < tarvola::kSceneCount; ++s) {
    const SlotFigures& slot = slots[s];
    if (slot.windows == 0) {
      std::printf("  %-16s %8s\n", kSlotNames[s], "no frames");
      continue;
    }
    char at[32] = "-", where[32] = "-", redAt[32] = "-";
    if (slot.worstStart >= 0) std::snprintf(at, sizeof at, "%.2f", double(slot.worstStart) / fps);
    if (slot.worstStart >= 0) std::snprintf(where, sizeof where, "%d,%d", slot.worst.fieldX, slot.worst.fieldY);
    if (slot.redWorstStart >= 0) std::snprintf(redAt, sizeof redAt, "%.2f", double(slot.redWorstStart) / fps);
    std::printf("  %-16s %8s %9s %11s %13zu %8s %9s\n", kSlotNames[s], flashes(slot.worst.transitions).c_str(), at,
                where, slot.secondsOver.size(), flashes(slot.redWorst).c_str(), redAt);
  }
  for (int s = 0; s < tarvola::kSceneCount; ++s) {
    if (slots[s].secondsOver.empty()) continue;
    std::printf("  %s, whole seconds in which a window of more than 3 starts:", kSlotNames[s]);
    for (long second : slots[s].secondsOver) std::printf(" %ld", second);
    std::printf("\n");
  }
  return 0;
}
