// The demo's music, "kyr.it": the synthesised sample set and the score that arranges it.
#pragma once

#include <vector>

#include "it_writer.h"

namespace tarvola::datagen {

// Sample numbers as the patterns use them (1-based).
enum MusicSample : uint8_t {
  kKick = 1,
  kSnare,
  kClosedHat,
  kOpenHat,
  kCrash,
  kBass,
  kPad,
  kLead,
  kPluck,
  kRiser,
  kSampleCount = kRiser
};

// Pitched samples are tuned so that note n sounds at 261.6256 * 2^((n - 60) / 12) Hz (C-5 is
// middle C); drums play at their recorded pitch on C-5.
constexpr uint8_t kDrumNote = 60;

// Synthesises every sample, in MusicSample order. Deterministic: fixed seeds, no clocks.
std::vector<ItSample> synthesiseMusicSamples();

// One instrument per sample, same numbers: the sustained sounds get volume envelopes (attack,
// sustain until a note-off, release), the plucked ones a decay.
std::vector<ItInstrument> musicInstruments();

// The whole module: instruments, samples, patterns, orders, tempo 120, speed 6.
ItModule composeMusic();

}  // namespace tarvola::datagen
