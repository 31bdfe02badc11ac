// The capture renderer's command line: the usage text, the options and the combinations it
// refuses; see capture.h.
#include <cmath>
#include <cstdlib>

#include "capture.h"

namespace tarvola {

namespace {

bool parseNumber(const char* text, double& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  value = std::strtod(text, &end);
  return *end == '\0' && std::isfinite(value) && value >= 0.0;
}

// Decimal digits only: no sign, exponent, fraction or hexadecimal prefix.
bool parseCount(const char* text, int low, int high, int& value) {
  if (text == nullptr || *text == '\0') return false;
  int64_t v = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || v > high) return false;
    v = v * 10 + (*c - '0');
  }
  if (v < low || v > high) return false;
  value = int(v);
  return true;
}

// A list "T1,T2,..." of demo times, kept as written.
bool parseTimes(const char* value, std::vector<std::string>& times, std::string& error) {
  const std::string list = value;
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(',', begin);
    if (end == std::string::npos) end = list.size();
    const std::string time = list.substr(begin, end - begin);
    double seconds = 0;
    if (!parseNumber(time.c_str(), seconds)) {
      error = "--frames-at wants seconds separated by commas, not '" + time + "'";
      return false;
    }
    times.push_back(time);
    begin = end + 1;
  }
  return true;
}

// An option that takes a value: stores it, or says what is wrong with it.
bool parseValue(const std::string& option, const char* value, CaptureOptions& options, std::string& error) {
  if (option == "--png" || option == "--wav" || option == "--mp4") {
    (option == "--png" ? options.pngDir : option == "--wav" ? options.wavPath : options.mp4Path) = value;
  } else if (option == "--fps" || option == "--scale") {
    const bool fps = option == "--fps";
    if (!parseCount(value, 1, fps ? 1000 : 16, fps ? options.fps : options.scale)) {
      error = option + " wants a decimal whole number from 1 to " + (fps ? "1000" : "16") + ", not '" + value + "'";
      return false;
    }
  } else if (option == "--from" || option == "--to") {
    double seconds = 0;
    if (!parseNumber(value, seconds)) {
      error = option + " wants seconds (a number >= 0), not '" + std::string(value) + "'";
      return false;
    }
    (option == "--from" ? options.from : options.to) = seconds;
  } else {
    return parseTimes(value, options.framesAt, error);
  }
  return true;
}

// The options that cannot go together, and a command with nothing to do.
bool checkCombination(const CaptureOptions& options, std::string& error) {
  const bool anyOutput = !options.pngDir.empty() || !options.wavPath.empty() || !options.mp4Path.empty();
  if (!options.framesAt.empty() && options.pngDir.empty()) {
    error = "--frames-at writes PNG files: give --png DIR";
  } else if (!options.framesAt.empty() && (!options.wavPath.empty() || !options.mp4Path.empty())) {
    error = "--frames-at writes single pictures only: leave out --wav and --mp4";
  } else if (options.listSyncWindows && (options.bench || anyOutput)) {
    error = "--list-sync-windows renders nothing: leave out --png, --wav, --mp4 and --bench";
  } else if (options.bench && anyOutput) {
    error = "--bench writes nothing: leave out --png, --wav and --mp4";
  } else if (options.to >= 0.0 && options.to <= options.from) {
    error = "--to must be later than --from";
  } else if (!options.listSyncs && !options.listSyncWindows && !options.bench && !anyOutput) {
    error = "nothing to do: give --png, --wav, --mp4, --list-syncs, --list-sync-windows or --bench";
  }
  return error.empty();
}

}  // namespace

const char* captureUsage() {
  return "usage: tarvola-capture [options]\n"
         "  (reads data/ from the working directory, else beside the program, else PREFIX/share/tarvola)\n"
         "  --png DIR          frames as DIR/frame-NNNNNN.png (NNNNNN: frame number, 0 = demo time 0)\n"
         "  --wav FILE         the sound of the captured range, the fade-out included when it reaches the end\n"
         "  --mp4 FILE         H.264 + AAC video through ffmpeg\n"
         "  --fps N            frames per second of demo time (default 60)\n"
         "  --scale N          integer nearest-neighbour enlargement of the 320x240 pictures\n"
         "  --from SECONDS     first frame of the range (demo time; default 0)\n"
         "  --to SECONDS       end of the range, exclusive (default: the end of the demo)\n"
         "  --frames-at T1,T2  single frames at those demo times, as DIR/frame-at-T.png (needs --png)\n"
         "  --list-syncs       print the music's sync events (time, sample, value, flags, scene); renders nothing\n"
         "  --list-sync-windows  print where each scene shows an effect a sync started; renders nothing\n"
         "  --list-scenes      print the scene slots: number, start, end, name, data files\n"
         "  --bench            render the whole demo without output; print frame times per scene\n"
         "  --no-progress      no progress bar even on a terminal\n"
         "  --allow-missing-data  render even when no data/ is found (black scenes, silence)\n"
         "  --version          print the version\n";
}

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error, bool& help) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      help = true;
      return true;
    } else if (option == "--version") {
      options.version = true;
      return true;
    } else if (option == "--list-scenes") {
      options.listScenes = true;
      return true;
    } else if (option == "--allow-missing-data") {
      options.allowMissingData = true;
    } else if (option == "--list-syncs") {
      options.listSyncs = true;
    } else if (option == "--list-sync-windows") {
      options.listSyncWindows = true;
    } else if (option == "--bench") {
      options.bench = true;
    } else if (option == "--no-progress") {
      options.progress = false;
    } else if (option == "--png" || option == "--wav" || option == "--mp4" || option == "--fps" ||
               option == "--scale" || option == "--from" || option == "--to" || option == "--frames-at") {
      if (i + 1 >= argc) {
        error = option + " needs a value";
        return false;
      }
      if (!parseValue(option, argv[++i], options, error)) return false;
    } else {
      error = "unknown option '" + option + "'";
      return false;
    }
  }
  return checkCombination(options, error);
}

}  // namespace tarvola
