// A small Impulse Tracker (.it) writer for the generator: 16-bit signed mono samples stored
// uncompressed, patterns packed with explicit masks, and optionally instruments (one sample
// each, a volume envelope with a sustain point); without instruments the module is in sample mode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvola::datagen {

constexpr uint8_t kNoteOff = 255;  // releases the volume envelope's sustain
constexpr uint8_t kNoteCut = 254;
constexpr uint8_t kEffectD = 4;   // 'D': volume slide
constexpr uint8_t kEffectG = 7;   // 'G': tone portamento
constexpr uint8_t kEffectH = 8;   // 'H': vibrato (speed, depth)
constexpr uint8_t kEffectS = 19;  // 'S' as stored in the file (A = 1): S2x is our sync
constexpr uint8_t kEffectT = 20;  // 'T': set tempo (parameter >= 0x20)

struct ItCell {
  bool hasNote = false;
  uint8_t note = 0;    // 0..119 (C-0 = 0, C-5 = 60), kNoteCut or kNoteOff
  uint8_t sample = 0;  // 1-based sample (or instrument) number, 0 = none
  bool hasVolume = false;
  uint8_t volume = 0;  // 0..64
  uint8_t effect = 0;  // 0 = none, 1 = 'A' ...
  uint8_t parameter = 0;
};

struct ItPattern {
  int rows = 64;
  std::vector<ItCell> cells;  // rows * channels, row-major
};

struct ItSample {
  std::string name;
  std::vector<int16_t> data;
  uint32_t c5Speed = 44100;  // playback rate of note C-5
  uint8_t defaultVolume = 64;
  uint8_t globalVolume = 64;
  bool loop = false;
  uint32_t loopStart = 0;
  uint32_t loopEnd = 0;  // exclusive
};

// Volume envelope node: level 0..64 at a tick counted from the note's start.
struct ItEnvelopeNode {
  uint8_t level;
  uint16_t tick;
};

// An instrument plays one sample on every note, shaped by its volume envelope (none when
// empty; at most 25 nodes). The envelope holds at `sustainNode` until a note-off.
struct ItInstrument {
  std::string name;
  uint8_t sample = 1;         // 1-based
  uint8_t newNoteAction = 0;  // 0 cut, 1 continue, 2 note off, 3 fade
  uint16_t fadeOut = 0;       // 0..128: volume fall per tick after a note-off, 0 = none
  std::vector<ItEnvelopeNode> volumeEnvelope;
  int sustainNode = -1;  // -1: no sustain
};

struct ItModule {
  std::string title;
  int channels = 0;  // 1..64; the rest are disabled
  uint8_t initialSpeed = 6;
  uint8_t initialTempo = 125;
  uint8_t globalVolume = 128;       // 0..128
  uint8_t mixVolume = 48;           // 0..128
  std::vector<uint8_t> channelPan;  // per channel, 0..64 (32 = centre)
  std::vector<uint8_t> orders;      // pattern numbers; the end marker is added by the writer
  std::vector<ItPattern> patterns;
  std::vector<ItSample> samples;
  std::vector<ItInstrument> instruments;  // empty: sample mode
};

// Serialises the module; the result is the whole file.
std::vector<uint8_t> writeIt(const ItModule& module);

}  // namespace tarvola::datagen
