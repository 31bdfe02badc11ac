// Impulse Tracker serialisation: header, order list, offset tables, instrument and sample
// headers, packed patterns, then the sample data.
#include "it_writer.h"

#include <algorithm>
#include <cstring>

namespace tarvola::datagen {

namespace {

void put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
void put16(std::vector<uint8_t>& out, uint32_t v) {
  put8(out, v & 0xFF);
  put8(out, (v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void poke32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void putMagic(std::vector<uint8_t>& out, const char (&magic)[5]) {
  for (int i = 0; i < 4; ++i) put8(out, static_cast<uint8_t>(magic[i]));
}
void putText(std::vector<uint8_t>& out, const std::string& text, size_t length) {
  for (size_t i = 0; i < length; ++i) put8(out, i < text.size() && i + 1 < length ? text[i] : 0);
}

// Packs one pattern: every non-empty cell as channel byte | 0x80, an explicit mask, its fields.
std::vector<uint8_t> packPattern(const ItPattern& pattern, int channels) {
  std::vector<uint8_t> packed;
  for (int row = 0; row < pattern.rows; ++row) {
    for (int channel = 0; channel < channels; ++channel) {
      const ItCell& cell = pattern.cells[static_cast<size_t>(row) * channels + channel];
      uint8_t mask = 0;
      if (cell.hasNote) mask |= 1;
      if (cell.sample != 0) mask |= 2;
      if (cell.hasVolume) mask |= 4;
      if (cell.effect != 0) mask |= 8;
      if (mask == 0) continue;
      put8(packed, static_cast<uint32_t>(channel + 1) | 0x80);
      put8(packed, mask);
      if (mask & 1) put8(packed, cell.note);
      if (mask & 2) put8(packed, cell.sample);
      if (mask & 4) put8(packed, cell.volume);
      if (mask & 8) {
        put8(packed, cell.effect);
        put8(packed, cell.parameter);
      }
    }
    put8(packed, 0);
  }
  return packed;
}

// The song header: sizes, flags, volumes, speed and tempo, channel pans and volumes, the orders.
void putSongHeader(std::vector<uint8_t>& out, const ItModule& module) {
  putMagic(out, "IMPM");
  putText(out, module.title, 26);
  put8(out, 4);   // row highlight: beat
  put8(out, 16);  // row highlight: bar
  const size_t orderCount = module.orders.size() + 1;
  put16(out, static_cast<uint32_t>(orderCount));
  put16(out, static_cast<uint32_t>(module.instruments.size()));
  put16(out, static_cast<uint32_t>(module.samples.size()));
  put16(out, static_cast<uint32_t>(module.patterns.size()));
  put16(out, 0x0214);                                                       // created with
  put16(out, 0x0214);                                                       // compatible with
  put16(out, 0x0001 | 0x0008 | (module.instruments.empty() ? 0 : 0x0004));  // stereo, linear slides, instruments
  put16(out, 0);                                                            // no message
  put8(out, module.globalVolume);
  put8(out, module.mixVolume);
  put8(out, module.initialSpeed);
  put8(out, module.initialTempo);
  put8(out, 128);  // panning separation
  put8(out, 0);    // pitch wheel depth
  put16(out, 0);   // message length
  put32(out, 0);   // message offset
  put32(out, 0);   // reserved
  for (int channel = 0; channel < 64; ++channel) {
    const bool used = channel < module.channels;
    const uint8_t pan =
        used && static_cast<size_t>(channel) < module.channelPan.size() ? module.channelPan[channel] : 32;
    put8(out, used ? pan : 32 | 128);  // +128: channel disabled
  }
  for (int channel = 0; channel < 64; ++channel) put8(out, 64);
  for (uint8_t order : module.orders) put8(out, order);
  put8(out, 255);  // end of song
}

// An instrument in the 554-byte format of Impulse Tracker 2.
void putInstrument(std::vector<uint8_t>& out, const ItInstrument& instrument) {
  putMagic(out, "IMPI");
  putText(out, "", 12);  // DOS file name
  put8(out, 0);
  put8(out, instrument.newNoteAction);
  put8(out, 0);  // duplicate check off
  put8(out, 0);
  put16(out, instrument.fadeOut);
  put8(out, 0);         // pitch-pan separation
  put8(out, 60);        // pitch-pan centre
  put8(out, 128);       // global volume
  put8(out, 32 | 128);  // default pan, not used: the channel's pan applies
  put8(out, 0);         // random volume, random pan
  put8(out, 0);
  put16(out, 0x0214);  // tracker version
  put8(out, 1);        // number of samples
  put8(out, 0);
  putText(out, instrument.name, 26);
  put8(out, 0);  // filter cutoff and resonance unused
  put8(out, 0);
  put8(out, 0);  // MIDI channel, program, bank
  put8(out, 0);
  put16(out, 0);
  for (int note = 0; note < 120; ++note) {
    put8(out, static_cast<uint32_t>(note));
    put8(out, instrument.sample);
  }
  const std::vector<ItEnvelopeNode>& nodes = instrument.volumeEnvelope;
  const size_t count = std::min<size_t>(nodes.size(), 25);
  uint8_t flags = count > 0 ? 0x01 : 0;
  if (count > 0 && instrument.sustainNode >= 0) flags |= 0x04;
  put8(out, flags);
  put8(out, static_cast<uint32_t>(count));
  put8(out, 0);  // loop
  put8(out, 0);
  put8(out, static_cast<uint32_t>(std::max(0, instrument.sustainNode)));  // sustain loop on one node
  put8(out, static_cast<uint32_t>(std::max(0, instrument.sustainNode)));
  for (size_t n = 0; n < 25; ++n) {
    put8(out, n < count ? nodes[n].level : 0);
    put16(out, n < count ? nodes[n].tick : 0);
  }
  put8(out, 0);
  for (int envelope = 0; envelope < 2; ++envelope) {  // pan and pitch envelopes: off
    for (int b = 0; b < 6 + 75 + 1; ++b) put8(out, 0);
  }
  for (int b = 0; b < 4; ++b) put8(out, 0);
}

// A sample header; returns where its data offset is to be filled in.
size_t putSampleHeader(std::vector<uint8_t>& out, const ItSample& sample) {
  putMagic(out, "IMPS");
  putText(out, "", 12);  // DOS file name
  put8(out, 0);
  put8(out, sample.globalVolume);
  uint8_t flags = 0x01 | 0x02;  // has data, 16-bit
  if (sample.loop) flags |= 0x10;
  put8(out, flags);
  put8(out, sample.defaultVolume);
  putText(out, sample.name, 26);
  put8(out, 0x01);  // signed samples
  put8(out, 32);    // default pan (not used: bit 7 clear)
  put32(out, static_cast<uint32_t>(sample.data.size()));
  put32(out, sample.loop ? sample.loopStart : 0);
  put32(out, sample.loop ? sample.loopEnd : 0);
  put32(out, sample.c5Speed);
  put32(out, 0);  // sustain loop
  put32(out, 0);
  const size_t dataPointerAt = out.size();
  put32(out, 0);  // sample data offset, filled in later
  put8(out, 0);   // vibrato speed, depth, rate, type
  put8(out, 0);
  put8(out, 0);
  put8(out, 0);
  return dataPointerAt;
}

}  // namespace

std::vector<uint8_t> writeIt(const ItModule& module) {
  std::vector<uint8_t> out;
  putSongHeader(out, module);
  const size_t instrumentTable = out.size();
  for (size_t i = 0; i < module.instruments.size(); ++i) put32(out, 0);
  const size_t sampleTable = out.size();
  for (size_t i = 0; i < module.samples.size(); ++i) put32(out, 0);
  const size_t patternTable = out.size();
  for (size_t i = 0; i < module.patterns.size(); ++i) put32(out, 0);

  for (size_t i = 0; i < module.instruments.size(); ++i) {
    poke32(out, instrumentTable + 4 * i, static_cast<uint32_t>(out.size()));
    putInstrument(out, module.instruments[i]);
  }
  std::vector<size_t> samplePointerAt;
  for (size_t i = 0; i < module.samples.size(); ++i) {
    poke32(out, sampleTable + 4 * i, static_cast<uint32_t>(out.size()));
    samplePointerAt.push_back(putSampleHeader(out, module.samples[i]));
  }

  for (size_t i = 0; i < module.patterns.size(); ++i) {
    const ItPattern& pattern = module.patterns[i];
    const std::vector<uint8_t> packed = packPattern(pattern, module.channels);
    poke32(out, patternTable + 4 * i, static_cast<uint32_t>(out.size()));
    put16(out, static_cast<uint32_t>(packed.size()));
    put16(out, static_cast<uint32_t>(pattern.rows));
    put32(out, 0);
    out.insert(out.end(), packed.begin(), packed.end());
  }

  for (size_t i = 0; i < module.samples.size(); ++i) {
    poke32(out, samplePointerAt[i], static_cast<uint32_t>(out.size()));
    for (int16_t v : module.samples[i].data) put16(out, static_cast<uint16_t>(v));
  }
  return out;
}

}  // namespace tarvola::datagen
