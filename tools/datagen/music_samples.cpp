// Sample synthesis for the music: drums from shaped noise and swept sines, pitched sounds by
// additive synthesis. Sustained sounds use partials at whole hertz, so a loop of exactly one
// second (44100 frames) is seamless.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

#include "base/fixed_point.h"
#include "music.h"

namespace tarvola::datagen {

namespace {

constexpr int kRate = 44100;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kMiddleC = 261.6256;

// xorshift32: the same noise on every machine.
struct Noise {
  uint32_t state;
  double next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

// Rounds to the nearest integer, halves away from zero.
int32_t roundToInt32(double x) { return truncToInt32(x >= 0.0 ? x + 0.5 : x - 0.5); }

// Scales to the given peak and converts to 16 bits, rounding to nearest.
std::vector<int16_t> toPcm(const std::vector<double>& wave, double peak) {
  double largest = 1e-9;
  for (double v : wave) largest = std::max(largest, std::fabs(v));
  std::vector<int16_t> pcm(wave.size());
  for (size_t i = 0; i < wave.size(); ++i)
    pcm[i] = static_cast<int16_t>(roundToInt32(wave[i] / largest * peak * 32767.0));
  return pcm;
}

ItSample makeSample(const char* name, std::vector<int16_t> data, uint32_t c5Speed, uint8_t globalVolume) {
  ItSample sample;
  sample.name = name;
  sample.data = std::move(data);
  sample.c5Speed = c5Speed;
  sample.globalVolume = globalVolume;
  return sample;
}

ItSample makeLooped(const char* name, std::vector<int16_t> data, double baseHz, int loopStart, uint8_t globalVolume) {
  ItSample sample =
      makeSample(name, std::move(data), static_cast<uint32_t>(roundToInt32(kRate * kMiddleC / baseHz)), globalVolume);
  sample.loop = true;
  sample.loopStart = static_cast<uint32_t>(loopStart);
  sample.loopEnd = static_cast<uint32_t>(loopStart + kRate);
  return sample;
}

// Sum of sine partials of voices at whole-hertz fundamentals; `amplitude(k, f)` weighs the
// k-th harmonic at f Hz, partials stop at maxHz. Phases come from the seed.
std::vector<double> additive(int frames, const std::vector<int>& voicesHz, int maxHz,
                             const std::function<double(int, double)>& amplitude, uint32_t seed) {
  std::vector<double> wave(static_cast<size_t>(frames), 0.0);
  Noise phaseNoise{seed};
  for (int voice : voicesHz) {
    for (int k = 1; k * voice <= maxHz; ++k) {
      const double hz = static_cast<double>(k * voice);
      const double a = amplitude(k, hz);
      const double phase = (phaseNoise.next() + 1.0) * 3.14159;
      const double step = kTwoPi * hz / kRate;
      for (int i = 0; i < frames; ++i) wave[i] += a * std::sin(step * i + phase);
    }
  }
  return wave;
}

// A tight kick: a sine swept from 200 Hz down to 52 Hz, short enough to leave the bass's octave
// (82 Hz and up) to the bass, with a noise click on top.
ItSample kick() {
  const int frames = kRate * 35 / 100;
  std::vector<double> wave(frames);
  double phase = 0.0;
  Noise noise{0x1234567u};
  double previous = 0.0;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hz = 52.0 + 150.0 * std::exp(-t / 0.03);
    phase += kTwoPi * hz / kRate;
    const double body = std::sin(phase) * std::exp(-t / 0.11);
    const double n = noise.next();
    const double click = (n - previous) * std::exp(-t / 0.004) * 0.3;
    previous = n;
    wave[i] = std::tanh(1.8 * (body + click));
    if (t > 0.30) wave[i] *= (0.35 - t) / 0.05;  // no step at the end
  }
  return makeSample("kick", toPcm(wave, 0.95), kRate, 64);
}

// Snare: a 190 Hz body under bright noise that carries into the 2-6 kHz presence band.
ItSample snare() {
  const int frames = kRate * 30 / 100;
  std::vector<double> wave(frames);
  Noise noise{0xBEEF01u};
  double previous = 0.0;
  double phase = 0.0;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double n = noise.next();
    const double bright = n - 0.85 * previous;  // tilt the noise towards the highs
    previous = n;
    phase += kTwoPi * (190.0 + 70.0 * std::exp(-t / 0.02)) / kRate;
    wave[i] = 0.5 * std::sin(phase) * std::exp(-t / 0.04) + 0.75 * bright * std::exp(-t / 0.09);
    if (t > 0.27) wave[i] *= (0.30 - t) / 0.03;
  }
  return makeSample("snare", toPcm(wave, 0.9), kRate, 64);
}

ItSample hat(const char* name, double seconds, double decay, uint32_t seed) {
  const int frames = truncToInt32(kRate * seconds);
  std::vector<double> wave(frames);
  Noise noise{seed};
  double a = 0.0;
  double b = 0.0;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double n = noise.next();
    const double high = n - a;  // first difference twice: a steep high-pass
    a = n;
    const double higher = high - b;
    b = high;
    double metal = 0.0;  // inharmonic square-ish cluster, as in analogue hats
    for (double hz : {3150.0, 4230.0, 5370.0, 6120.0, 7410.0, 8340.0}) metal += std::sin(kTwoPi * hz * t) > 0 ? 1 : -1;
    wave[i] = (higher + 0.3 * metal) * std::exp(-t / decay);
    if (t > seconds - 0.01) wave[i] *= (seconds - t) / 0.01;
  }
  return makeSample(name, toPcm(wave, 0.8), kRate, 64);
}

ItSample crash() {
  const int frames = kRate * 2;
  std::vector<double> wave(frames);
  Noise noise{0xC0FFEEu};
  double a = 0.0;
  double ring = 0.0;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double n = noise.next();
    const double high = n - 0.8 * a;
    a = n;
    ring = 0.7 * ring + 0.3 * high;  // a little body under the hiss
    const double envelope = std::exp(-t / 0.55) * std::min(1.0, t / 0.004);
    wave[i] = (0.8 * high + 0.5 * ring) * envelope;
    if (t > 1.9) wave[i] *= (2.0 - t) / 0.1;
  }
  return makeSample("crash", toPcm(wave, 0.8), kRate, 64);
}

// A 4 s riser: noise through a low-pass whose cut-off climbs from 300 Hz to 12 kHz, swelling.
ItSample riser() {
  const int frames = kRate * 4;
  std::vector<double> wave(frames);
  Noise noise{0x215Eu};
  double low = 0.0;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double cutoff = 300.0 * std::pow(40.0, t / 4.0);
    const double a = 1.0 - std::exp(-kTwoPi * cutoff / kRate);
    low += a * (noise.next() - low);
    wave[i] = low * (0.15 + 0.85 * t * t / 16.0);
  }
  return makeSample("riser", toPcm(wave, 0.8), kRate, 64);
}

// Saw-like bass at 55 Hz with a sub sine, a plucked start that settles into the loop.
ItSample bass() {
  const int loopStart = kRate * 3 / 10;
  const int frames = loopStart + kRate;
  std::vector<double> wave = additive(
      frames, {55}, 2500,
      [](int k, double hz) {
        const double low = 1.0 / (1.0 + (hz / 900.0) * (hz / 900.0));
        return (k == 1 ? 1.6 : 1.0) / k * low;
      },
      0x55u);
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double fall = std::max(0.0, 1.0 - t / 0.3);
    wave[i] *= std::min(1.0, t / 0.003) * (0.6 + 0.4 * fall * fall * fall);
  }
  return makeLooped("bass", toPcm(wave, 0.9), 55.0, loopStart, 64);
}

// Three detuned saws a hertz apart, softly filtered; the instrument's envelope shapes it.
ItSample pad() {
  const int loopStart = kRate * 4 / 10;
  const int frames = loopStart + kRate;
  std::vector<double> wave = additive(
      frames, {219, 220, 221}, 6000, [](int k, double hz) { return 1.0 / k / (1.0 + (hz / 3500.0) * (hz / 3500.0)); },
      0xA11u);
  for (int i = 0; i < frames; ++i) wave[i] *= std::min(1.0, static_cast<double>(i) / (kRate * 0.01));
  return makeLooped("pad", toPcm(wave, 0.85), 220.0, loopStart, 64);
}

// A bright square-ish lead: odd harmonics strong, even ones fainter, two voices 1 Hz apart,
// open up to 7 kHz so it cuts through.
ItSample lead() {
  const int loopStart = kRate / 10;
  const int frames = loopStart + kRate;
  std::vector<double> wave = additive(
      frames, {440, 441}, 12000,
      [](int k, double hz) {
        const double weight = (k % 2 == 1) ? 1.0 : 0.5;
        return weight / std::pow(k, 0.8) / (1.0 + (hz / 7000.0) * (hz / 7000.0));
      },
      0x1EADu);
  for (int i = 0; i < frames; ++i) wave[i] *= std::min(1.0, static_cast<double>(i) / (kRate * 0.008));
  return makeLooped("lead", toPcm(wave, 0.85), 440.0, loopStart, 64);
}

// A plucked string: every partial decays, the high ones faster.
ItSample pluck() {
  const int frames = kRate / 2;
  std::vector<double> wave(frames, 0.0);
  Noise phaseNoise{0x9u};
  for (int k = 1; k * 440 <= 12000; ++k) {
    const double hz = 440.0 * k;
    const double a = 1.0 / std::pow(k, 0.7);
    const double decay = 3.0 + 0.8 * k;
    const double phase = (phaseNoise.next() + 1.0) * 3.14159;
    for (int i = 0; i < frames; ++i) {
      const double t = static_cast<double>(i) / kRate;
      wave[i] += a * std::exp(-t * decay) * std::sin(kTwoPi * hz * t + phase);
    }
  }
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    wave[i] *= std::min(1.0, t / 0.002);
    if (t > 0.45) wave[i] *= (0.5 - t) / 0.05;
  }
  return makeSample("pluck", toPcm(wave, 0.85), static_cast<uint32_t>(roundToInt32(kRate * kMiddleC / 440.0)), 64);
}

}  // namespace

std::vector<ItSample> synthesiseMusicSamples() {
  return {kick(),
          snare(),
          hat("closed hat", 0.07, 0.018, 0x4A7u),
          hat("open hat", 0.4, 0.11, 0x0A7u),
          crash(),
          bass(),
          pad(),
          lead(),
          pluck(),
          riser()};
}

// Envelope ticks are 1/50 s at tempo 125 and 1/48 s at the score's tempo 120.
std::vector<ItInstrument> musicInstruments() {
  const char* names[kSampleCount] = {"kick", "snare", "closed hat", "open hat", "crash",
                                     "bass", "pad",   "lead",       "pluck",    "riser"};
  std::vector<ItInstrument> instruments(kSampleCount);
  for (int i = 0; i < kSampleCount; ++i) {
    instruments[i].name = names[i];
    instruments[i].sample = static_cast<uint8_t>(i + 1);
  }
  // Bass: a plucked accent settling to a held level; short release.
  instruments[kBass - 1].volumeEnvelope = {{64, 0}, {46, 12}, {40, 30}, {0, 36}};
  instruments[kBass - 1].sustainNode = 2;
  // Pad: a 0.5 s swell, a slight sag, and a 1.25 s release that overlaps the next chord.
  instruments[kPad - 1].volumeEnvelope = {{0, 0}, {64, 24}, {54, 60}, {0, 120}};
  instruments[kPad - 1].sustainNode = 2;
  // Lead: a quick attack, a small decay to the held level, a quarter-second release.
  instruments[kLead - 1].volumeEnvelope = {{0, 0}, {64, 2}, {50, 16}, {46, 40}, {0, 52}};
  instruments[kLead - 1].sustainNode = 3;
  // Pluck: falls away within 1.2 s whatever the sample does.
  instruments[kPluck - 1].volumeEnvelope = {{64, 0}, {44, 10}, {18, 36}, {0, 60}};
  return instruments;
}

}  // namespace tarvola::datagen
