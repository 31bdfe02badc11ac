// tarvola-music-report: measures the demo's sound and pictures as a listener and a viewer meet
// them. Reads the whole demo's sound (a WAV written by tarvola-capture --wav), the module (for
// renders with all but one instrument muted) and optionally the frames (tarvola-capture --png at
// 60 fps), and prints one table: loudness (ffmpeg's ebur128 filter), band energy shares, spectral
// centroid, L/R correlation, longest silence, per-instrument loudness, the spectral novelty at
// every scene cut and the share of near-white frames per scene slot.
#include <fftw3.h>
#include <png.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kDemoEnd = 166.0;                          // the sound after it is the fade
constexpr double kCuts[] = {8.5, 44.5, 80.0, 94.0, 124.0};  // where the timeline switches scenes
constexpr int kWindow = 4096;                               // FFT length, Hann window
constexpr int kHop = 1024;                                  // 23 ms between spectra
constexpr int kNoveltyBands = 24;                           // log-spaced, 40 Hz .. 16 kHz
constexpr double kNoveltySpan = 4.0;                        // seconds either side of a time

struct Stereo {
  std::vector<float> left, right;
  size_t frames() const { return left.size(); }
};

bool readWav(const char* path, Stereo& sound) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path, SFM_READ, &info);
  if (!file) return false;
  if (info.samplerate != kRate || info.channels < 1 || info.channels > 2) {
    sf_close(file);
    return false;
  }
  std::vector<float> all(static_cast<size_t>(info.frames) * info.channels);
  const sf_count_t got = sf_readf_float(file, all.data(), info.frames);
  sf_close(file);
  sound.left.resize(static_cast<size_t>(got));
  sound.right.resize(static_cast<size_t>(got));
  for (sf_count_t i = 0; i < got; ++i) {
    sound.left[i] = all[i * info.channels];
    sound.right[i] = all[i * info.channels + info.channels - 1];
  }
  return true;
}

bool writeWav(const std::string& path, const std::vector<float>& interleaved) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  const sf_count_t frames = static_cast<sf_count_t>(interleaved.size() / 2);
  const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
  sf_close(file);
  return ok;
}

// EBU R 128 figures of a file through ffmpeg's ebur128 filter (with true peak).
struct Loudness {
  double integrated = NAN, range = NAN, truePeak = NAN;
};
Loudness measureLoudness(const std::string& wavPath) {
  Loudness result;
  const std::string command =
      "ffmpeg -nostats -hide_banner -i '" + wavPath + "' -filter_complex ebur128=peak=true -f null - 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char line[512];
  bool summary = false;
  while (std::fgets(line, sizeof line, pipe)) {
    if (std::strstr(line, "Summary:")) summary = true;
    if (!summary) continue;
    const char* text = line + std::strspn(line, " \t");
    if (std::strncmp(text, "I:", 2) == 0) result.integrated = std::atof(text + 2);
    if (std::strncmp(text, "LRA:", 4) == 0) result.range = std::atof(text + 4);
    if (std::strncmp(text, "Peak:", 5) == 0) result.truePeak = std::atof(text + 5);
  }
  pclose(pipe);
  return result;
}

// Short-time spectra of the demo's sound (both channels' power summed), reduced to what the
// report needs: the long-term band energies, the power-weighted centroid, and the
// energy of each spectrum in 24 log-spaced bands for the novelty.
struct Spectra {
  double bandEnergy[5] = {};  // < 60, 60-250, 250-2k, 2-6k, > 6k Hz
  double centroidSum = 0.0, centroidWeight = 0.0;
  std::vector<std::array<double, kNoveltyBands>> bands;  // per hop
};

Spectra analyse(const Stereo& sound, size_t frames) {
  Spectra result;
  std::vector<float> window(kWindow), input(kWindow);
  for (int i = 0; i < kWindow; ++i) window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / kWindow));
  fftwf_complex* spectrum = fftwf_alloc_complex(kWindow / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(kWindow, input.data(), spectrum, FFTW_ESTIMATE);
  std::vector<double> power(kWindow / 2 + 1);
  int bandOf[kWindow / 2 + 1];
  int noveltyBandOf[kWindow / 2 + 1];
  for (int k = 0; k <= kWindow / 2; ++k) {
    const double hz = static_cast<double>(k) * kRate / kWindow;
    bandOf[k] = hz < 60 ? 0 : hz < 250 ? 1 : hz < 2000 ? 2 : hz < 6000 ? 3 : 4;
    const double position = std::log2(hz / 40.0) / std::log2(16000.0 / 40.0) * kNoveltyBands;
    noveltyBandOf[k] = hz < 40.0 || position >= kNoveltyBands ? -1 : static_cast<int>(position);
  }
  for (size_t start = 0; start + kWindow <= frames; start += kHop) {
    std::fill(power.begin(), power.end(), 0.0);
    for (const std::vector<float>* channel : {&sound.left, &sound.right}) {
      for (int i = 0; i < kWindow; ++i) input[i] = (*channel)[start + i] * window[i];
      fftwf_execute(plan);
      for (int k = 0; k <= kWindow / 2; ++k) {
        const double p = double(spectrum[k][0]) * spectrum[k][0] + double(spectrum[k][1]) * spectrum[k][1];
        power[k] += p;
      }
    }
    std::array<double, kNoveltyBands> novelty{};
    double weighted = 0.0, total = 0.0;
    for (int k = 1; k <= kWindow / 2; ++k) {
      result.bandEnergy[bandOf[k]] += power[k];
      if (noveltyBandOf[k] >= 0) novelty[noveltyBandOf[k]] += power[k];
      weighted += power[k] * k * kRate / kWindow;
      total += power[k];
    }
    result.centroidSum += weighted;  // the centroid of the whole render's power spectrum
    result.centroidWeight += total;
    result.bands.push_back(novelty);
  }
  fftwf_destroy_plan(plan);
  fftwf_free(spectrum);
  return result;
}

// Novelty at hop h: the RMS difference, in dB over the 24 bands, between the mean spectrum of
// the 4 s before and that of the 4 s after.
std::vector<double> novelty(const Spectra& spectra, int& span) {
  span = static_cast<int>(kNoveltySpan * kRate / kHop);
  const size_t count = spectra.bands.size();
  std::vector<std::array<double, kNoveltyBands>> prefix(count + 1);
  for (size_t h = 0; h < count; ++h)
    for (int b = 0; b < kNoveltyBands; ++b) prefix[h + 1][b] = prefix[h][b] + spectra.bands[h][b];
  std::vector<double> result(count, -1.0);
  for (size_t h = span; h + span <= count; ++h) {
    double sum = 0.0;
    for (int b = 0; b < kNoveltyBands; ++b) {
      const double before = (prefix[h][b] - prefix[h - span][b]) / span;
      const double after = (prefix[h + span][b] - prefix[h][b]) / span;
      const double difference = 10.0 * std::log10((after + 1e-6) / (before + 1e-6));
      sum += difference * difference;
    }
    result[h] = std::sqrt(sum / kNoveltyBands);
  }
  return result;
}

// The module rendered with every instrument but the given ones muted, as the player renders it.
std::vector<float> renderSolo(const std::string& moduleBytes, const std::vector<int>& solo, double seconds) {
  openmpt::module_ext module(moduleBytes.data(), moduleBytes.size());
  auto* interactive = static_cast<openmpt::ext::interactive*>(module.get_interface(openmpt::ext::interactive_id));
  const int count = module.get_num_instruments() > 0 ? module.get_num_instruments() : module.get_num_samples();
  for (int i = 0; i < count; ++i)
    interactive->set_instrument_mute_status(i, std::find(solo.begin(), solo.end(), i) == solo.end());
  std::vector<float> out(static_cast<size_t>(seconds * kRate) * 2);
  size_t done = 0;
  while (done < out.size() / 2) {
    const size_t want = std::min<size_t>(4096, out.size() / 2 - done);
    const size_t got = module.read_interleaved_stereo(kRate, want, out.data() + 2 * done);
    if (got == 0) break;
    done += got;
  }
  out.resize(2 * done);
  return out;
}

// Mean BT.601 luma of the picture area (the letterbox band, rows 30 to 209) of a PNG frame.
double pictureLuma(const std::string& path, bool& ok) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ok = false;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return 0.0;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) || image.height < 210) return 0.0;
  double sum = 0.0;
  for (uint32_t y = 30; y < 210; ++y)
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint8_t* p = &pixels[(y * image.width + x) * 3];
      sum += 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    }
  ok = true;
  return sum / (180.0 * image.width);
}

void row(const char* name, const std::string& value, const char* target = "") {
  std::printf("  %-34s %14s   %s\n", name, value.c_str(), target);
}
std::string fixed(double v, int decimals, const char* unit = "") {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f%s", decimals, v, unit);
  return text;
}

// Every figure of the sound: the WAV holds the demo's sound from time 0 (the fade after 166 s
// is left out); the module is rendered again once per instrument with the others muted.
bool reportSound(const char* wavPath, const char* modulePath) {
  Stereo sound;
  if (!readWav(wavPath, sound)) {
    std::fprintf(stderr, "tarvola-music-report: cannot read %s as 44.1 kHz mono or stereo WAV\n", wavPath);
    return false;
  }
  std::ifstream moduleFile(modulePath, std::ios::binary);
  const std::string moduleBytes((std::istreambuf_iterator<char>(moduleFile)), std::istreambuf_iterator<char>());
  if (moduleBytes.empty()) {
    std::fprintf(stderr, "tarvola-music-report: cannot read %s\n", modulePath);
    return false;
  }
  const size_t frames = std::min(sound.frames(), static_cast<size_t>(kDemoEnd * kRate));
  const std::string tmp = std::filesystem::temp_directory_path() / ("tarvola-music-report-" + std::to_string(getpid()));
  std::filesystem::create_directories(tmp);

  std::printf("Sound of the demo, 0 to %.1f s\n", frames / double(kRate));
  std::vector<float> demo(2 * frames);
  for (size_t i = 0; i < frames; ++i) demo[2 * i] = sound.left[i], demo[2 * i + 1] = sound.right[i];
  writeWav(tmp + "/demo.wav", demo);
  const Loudness whole = measureLoudness(tmp + "/demo.wav");
  row("integrated loudness", fixed(whole.integrated, 1, " LUFS"), "-16 .. -14");
  row("loudness range", fixed(whole.range, 1, " LU"), ">= 5");
  row("true peak", fixed(whole.truePeak, 1, " dBTP"), "<= -1");

  const Spectra spectra = analyse(sound, frames);
  double total = 0.0;
  for (double e : spectra.bandEnergy) total += e;
  const char* bandNames[5] = {"energy < 60 Hz", "energy 60-250 Hz", "energy 250 Hz-2 kHz", "energy 2-6 kHz",
                              "energy > 6 kHz"};
  const char* bandTargets[5] = {"", "", "", ">= 3 %", ""};
  for (int b = 0; b < 5; ++b) row(bandNames[b], fixed(100.0 * spectra.bandEnergy[b] / total, 1, " %"), bandTargets[b]);
  row("energy < 250 Hz", fixed(100.0 * (spectra.bandEnergy[0] + spectra.bandEnergy[1]) / total, 1, " %"), "<= 65 %");
  row("spectral centroid (power)", fixed(spectra.centroidSum / std::max(1e-30, spectra.centroidWeight), 0, " Hz"),
      ">= 800");

  double lr = 0.0, ll = 0.0, rr = 0.0;
  size_t silentRun = 0, longestSilence = 0;
  for (size_t i = 0; i < frames; ++i) {
    const double l = sound.left[i], r = sound.right[i];
    lr += l * r, ll += l * l, rr += r * r;
    silentRun = std::max(std::fabs(l), std::fabs(r)) < 0.001 ? silentRun + 1 : 0;  // -60 dBFS
    longestSilence = std::max(longestSilence, silentRun);
  }
  row("L/R correlation", fixed(lr / std::sqrt(ll * rr + 1e-30), 3), "<= 0.85");
  row("longest silence (< -60 dBFS)", fixed(double(longestSilence) / kRate, 2, " s"));

  std::printf("Novelty at the scene cuts (24 bands, 4 s before against 4 s after)\n");
  int span = 0;
  const std::vector<double> curve = novelty(spectra, span);
  std::vector<double> sorted;
  for (double v : curve)
    if (v >= 0.0) sorted.push_back(v);
  std::sort(sorted.begin(), sorted.end());
  for (double cut : kCuts) {
    const size_t h = static_cast<size_t>(std::lround(cut * kRate / kHop));
    if (h >= curve.size() || curve[h] < 0.0) continue;
    const double below = static_cast<double>(std::lower_bound(sorted.begin(), sorted.end(), curve[h]) - sorted.begin());
    char name[64];
    std::snprintf(name, sizeof name, "cut at %.1f s (%.1f dB)", cut, curve[h]);
    row(name, fixed(100.0 * below / sorted.size(), 0, " th pct"), ">= 85");
  }

  std::printf("Instruments alone (the others muted), integrated loudness\n");
  {
    openmpt::module probe(moduleBytes.data(), moduleBytes.size());
    std::vector<std::string> names =
        probe.get_num_instruments() > 0 ? probe.get_instrument_names() : probe.get_sample_names();
    std::vector<std::pair<std::string, std::vector<int>>> groups;
    std::vector<int> hats;
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
      groups.push_back({names[i], {i}});
      if (names[i].find("hat") != std::string::npos) hats.push_back(i);
    }
    if (hats.size() > 1) groups.push_back({"hats together", hats});
    double kick = NAN;
    for (const auto& [name, members] : groups) {
      const std::string path = tmp + "/solo.wav";
      writeWav(path, renderSolo(moduleBytes, members, kDemoEnd));
      const double level = measureLoudness(path).integrated;
      if (name == "kick") kick = level;
      const std::string relative = std::isnan(kick) ? "" : "  (" + fixed(level - kick, 1, " LU vs kick)");
      row(name.c_str(), fixed(level, 1, " LUFS"), relative.c_str());
    }
  }
  std::filesystem::remove_all(tmp);
  return true;
}

// The share of frames of each scene slot (Scene 2 split where it goes to full speed at 23 s)
// whose picture area averages a luma above 200: the picture reads as white.
void reportFrames(const char* framesDir) {
  std::printf("Near-white frames (mean luma of the picture area > 200), per scene slot\n");
  const double edges[] = {0.0, 8.5, 23.0, 44.5, 80.0, 94.0, 124.0, 166.0};
  const char* slots[] = {
      "1 logo", "2 interference, slow", "2 interference, fast", "3 metaballs", "4 credits", "5 tunnel", "6 finale"};
  for (int s = 0; s < 7; ++s) {
    int white = 0, count = 0;
    for (int k = static_cast<int>(std::ceil(edges[s] * 60)); k < edges[s + 1] * 60; ++k) {
      char file[64];
      std::snprintf(file, sizeof file, "/frame-%06d.png", k);
      bool ok = false;
      const double luma = pictureLuma(framesDir + std::string(file), ok);
      if (!ok) continue;
      ++count;
      white += luma > 200.0;
    }
    row(slots[s], count ? fixed(100.0 * white / count, 1, " %") + " of " + std::to_string(count) : "no frames",
        s == 1 || s == 2 ? "<= 10 %" : "");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* wavPath = nullptr;
  const char* modulePath = nullptr;
  const char* framesDir = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--wav") == 0)
      wavPath = argv[i + 1];
    else if (std::strcmp(argv[i], "--module") == 0)
      modulePath = argv[i + 1];
    else if (std::strcmp(argv[i], "--frames") == 0)
      framesDir = argv[i + 1];
  }
  if ((!wavPath || !modulePath) && !framesDir) {
    std::fprintf(stderr, "usage: %s [--wav DEMO.wav --module kyr.it] [--frames PNG_DIR_AT_60_FPS]\n", argv[0]);
    return 2;
  }
  if (wavPath && modulePath && !reportSound(wavPath, modulePath)) return 1;
  if (framesDir) reportFrames(framesDir);
  return 0;
}
