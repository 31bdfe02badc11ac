// The generated module data/kyr.it: it loads in libopenmpt and libxmp, and the sync events the
// renderer reports match a schedule worked out here, independently, from the file's order list,
// patterns, speed and tempo (whole-frame ticks of trunc(44100 * 5 / (2 * tempo)) frames).
#include "runtime/module_renderer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tarvola {
namespace {

const std::string kModulePath = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";
constexpr int kRate = 44100;

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct ScheduledSync {
  int64_t frame;
  uint32_t value;
  int songRow;  // rows from the start of the song
};

// What a plain reading of the file says: the sync schedule of one pass, the pass length, and
// per channel how many notes and how many sync effects it holds.
struct ModuleFacts {
  bool ok = false;
  std::string problem;
  std::vector<ScheduledSync> syncs;
  int64_t passFrames = 0;
  int songRows = 0;
  std::vector<int> notesOnChannel = std::vector<int>(64, 0);
  std::vector<int> syncsOnChannel = std::vector<int>(64, 0);
};

uint32_t le16(const std::vector<uint8_t>& b, size_t at) {
  return at + 2 <= b.size() ? b[at] | (b[at + 1] << 8) : 0;
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return le16(b, at) | (le16(b, at + 2) << 16);
}

ModuleFacts readModuleFacts(const std::vector<uint8_t>& file) {
  ModuleFacts facts;
  if (file.size() < 0xC0 || std::string(file.begin(), file.begin() + 4) != "IMPM") {
    facts.problem = "no IT header";
    return facts;
  }
  const uint32_t orders = le16(file, 0x20), instruments = le16(file, 0x22),
                 samples = le16(file, 0x24), patterns = le16(file, 0x26);
  int speed = file[0x32];
  int tempo = file[0x33];
  const size_t patternTable = 0xC0 + orders + 4 * (instruments + samples);
  int64_t frame = 0;
  for (uint32_t o = 0; o < orders; ++o) {
    const uint8_t pattern = file[0xC0 + o];
    if (pattern == 255) break;
    if (pattern == 254) continue;
    if (pattern >= patterns) {
      facts.problem = "order points past the patterns";
      return facts;
    }
    const size_t at = le32(file, patternTable + 4 * pattern);
    const uint32_t length = le16(file, at), rows = le16(file, at + 2);
    size_t p = at + 8;
    const size_t end = std::min(file.size(), p + length);
    uint8_t lastMask[64] = {};
    uint8_t lastEffect[64] = {}, lastParameter[64] = {};
    for (uint32_t row = 0; row < rows; ++row) {
      int rowSpeed = speed, rowTempo = tempo;
      std::vector<std::pair<int, uint32_t>> rowSyncs;
      while (p < end) {
        const uint8_t channelByte = file[p++];
        if (channelByte == 0) break;
        const int channel = (channelByte - 1) & 63;
        if (channelByte & 0x80) lastMask[channel] = file[p++];
        const uint8_t mask = lastMask[channel];
        if (mask & 1) {
          ++p;
          ++facts.notesOnChannel[channel];
        }
        if (mask & 2) ++p;
        if (mask & 4) ++p;
        if (mask & 8) {
          lastEffect[channel] = file[p];
          lastParameter[channel] = file[p + 1];
          p += 2;
        }
        if (mask & 0x10) ++facts.notesOnChannel[channel];
        if (mask & (8 | 0x80)) {
          const uint8_t effect = lastEffect[channel], parameter = lastParameter[channel];
          if (effect == 1 && parameter > 0) rowSpeed = parameter;               // Axx
          if (effect == 20 && parameter >= 0x20) rowTempo = parameter;          // Txx
          if (effect == 2 || effect == 3 || (effect == 20 && parameter < 0x20)) {
            facts.problem = "jumps, breaks or tempo slides are not modelled here";
            return facts;
          }
          if (effect == 19 && (parameter & 0xF0) == 0x20) {                     // S2x
            rowSyncs.push_back({channel, parameter & 0x0Fu});
            ++facts.syncsOnChannel[channel];
          }
        }
      }
      speed = rowSpeed;
      tempo = rowTempo;
      for (const auto& [channel, value] : rowSyncs)
        facts.syncs.push_back({frame, value, facts.songRows});
      frame += static_cast<int64_t>(speed) * (kRate * 5 / (2 * tempo));
      ++facts.songRows;
    }
  }
  facts.passFrames = frame;
  facts.ok = true;
  return facts;
}

const ModuleFacts& facts() {
  static const ModuleFacts parsed = readModuleFacts(readFile(kModulePath));
  return parsed;
}

// Two passes and two seconds more rendered once through the renderer, as the audio thread
// does it (256-frame pieces): every hit, the peak level, the longest silence before 166 s.
struct Rendered {
  std::vector<SyncHit> hits;
  float peak = 0.0f;
  int64_t longestSilenceBefore166 = 0;
};

const Rendered& rendered() {
  static const Rendered result = [] {
    Rendered r;
    ModuleRenderer renderer;
    if (!renderer.loadFile(kModulePath.c_str())) return r;
    const int64_t total = 2 * facts().passFrames + 2 * kRate;
    std::vector<float> block(2 * 4096);
    int64_t silentRun = 0;
    for (int64_t done = 0; done < total; done += 4096) {
      renderer.render(block.data(), 4096, [](void* user, const SyncHit& hit) {
        static_cast<Rendered*>(user)->hits.push_back(hit);
      }, &r);
      for (int i = 0; i < 4096; ++i) {
        const float level = std::max(std::fabs(block[2 * i]), std::fabs(block[2 * i + 1]));
        r.peak = std::max(r.peak, level);
        if (done + i >= 166 * kRate) continue;
        silentRun = level < 0.001f ? silentRun + 1 : 0;  // below -60 dBFS
        r.longestSilenceBefore166 = std::max(r.longestSilenceBefore166, silentRun);
      }
    }
    return r;
  }();
  return result;
}

TEST(MusicModule, ParsesAndLastsAtLeast176Seconds) {
  ASSERT_TRUE(facts().ok) << facts().problem;
  EXPECT_EQ(facts().songRows, 1424);
  // The conductor's tempo 119 rows keep the pass on the nominal grid of 0.125 s rows.
  EXPECT_NEAR(static_cast<double>(facts().passFrames), 178.0 * kRate, 64.0);
}

TEST(MusicModule, LoadsInLibopenmptAndLibxmp) {
  ModuleRenderer renderer;
  ASSERT_TRUE(renderer.loadFile(kModulePath.c_str()));
  // libopenmpt estimates the length from fractional tick lengths; it renders whole-frame ticks.
  EXPECT_NEAR(renderer.durationSeconds(), 178.0, 0.2);

  xmp_context context = xmp_create_context();
  ASSERT_EQ(xmp_load_module(context, const_cast<char*>(kModulePath.c_str())), 0);
  xmp_module_info info{};
  xmp_get_module_info(context, &info);
  EXPECT_EQ(info.mod->chn, 15);
  EXPECT_EQ(info.mod->smp, 9);
  EXPECT_EQ(info.mod->spd, 6);
  EXPECT_EQ(info.mod->bpm, 120);
  EXPECT_NEAR(info.seq_data[0].duration, 178000, 200);
  xmp_release_module(context);
  xmp_free_context(context);
}

// openmpt123 prints what libopenmpt logs while loading; the module must give no such message.
TEST(MusicModule, LibopenmptLoadsItAsImpulseTrackerWithoutMessages) {
  const std::vector<uint8_t> bytes = readFile(kModulePath);
  std::string log;
  openmpt_module* module = openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(),
      [](const char* message, void* user) { *static_cast<std::string*>(user) += std::string(message) + "\n"; },
      &log, openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(module, nullptr);
  const char* type = openmpt_module_get_metadata(module, "type");
  EXPECT_STREQ(type, "it");
  openmpt_free_string(type);
  EXPECT_EQ(openmpt_module_get_num_channels(module), 15);
  EXPECT_EQ(log, "");
  openmpt_module_destroy(module);
}

TEST(MusicModule, SyncEffectsStandAloneOnAChannelWithoutNotes) {
  ASSERT_TRUE(facts().ok) << facts().problem;
  int syncChannels = 0;
  for (int channel = 0; channel < 64; ++channel) {
    if (facts().syncsOnChannel[channel] == 0) continue;
    ++syncChannels;
    EXPECT_EQ(facts().notesOnChannel[channel], 0) << "channel " << channel;
  }
  EXPECT_EQ(syncChannels, 1);
}

// Where the events stand against the scenes: on the beat grid, none under the credits, only 3
// under the tunnel, 1 and 2 under the metaballs with 2 on four-bar phrase starts, and a 5 every
// two to four bars in the finale.
TEST(MusicModule, SyncsSitOnTheBeatsOfTheirScenes) {
  ASSERT_TRUE(facts().ok) << facts().problem;
  std::vector<int> finaleFives;
  for (const ScheduledSync& s : facts().syncs) {
    const double seconds = s.songRow * 0.125;
    EXPECT_EQ(s.songRow % 4, 0) << "off the beat at " << seconds;
    EXPECT_NEAR(static_cast<double>(s.frame), s.songRow * 5512.5, 64.0) << seconds;
    EXPECT_GE(s.value, 1u);
    EXPECT_LE(s.value, 5u);
    if (seconds < 8.5) ADD_FAILURE() << "sync during the logo at " << seconds;
    if (seconds >= 80.0 && seconds < 94.0) ADD_FAILURE() << "sync during the credits at " << seconds;
    if (seconds >= 94.0 && seconds < 124.0) {
      EXPECT_EQ(s.value, 3u) << seconds;
    }
    if (seconds >= 44.5 && seconds < 80.0) {
      EXPECT_TRUE(s.value == 1 || s.value == 2) << seconds;
      if (s.value == 2) {
        EXPECT_EQ((s.songRow - 356) % 64, 0) << seconds;
      }
    }
    if (seconds >= 124.0 && seconds < 166.0 && s.value == 5) finaleFives.push_back(s.songRow);
    if (seconds >= 166.0) ADD_FAILURE() << "sync in the outro at " << seconds;
  }
  ASSERT_GE(finaleFives.size(), 5u);
  EXPECT_LE(finaleFives.front() - 992, 64);
  for (size_t i = 1; i < finaleFives.size(); ++i) {
    EXPECT_GE(finaleFives[i] - finaleFives[i - 1], 32);
    EXPECT_LE(finaleFives[i] - finaleFives[i - 1], 64);
  }
}

TEST(MusicModule, FrameByFrameRenderingGivesEachSyncItsExactFrame) {
  ASSERT_TRUE(facts().ok) << facts().problem;
  ModuleRenderer renderer;
  ASSERT_TRUE(renderer.loadFile(kModulePath.c_str()));
  std::vector<SyncHit> hits;
  std::vector<float> block(2 * 4410);
  while (renderer.framesRendered() < facts().passFrames) {
    renderer.render(block.data(), 4410, [](void* user, const SyncHit& hit) {
      static_cast<std::vector<SyncHit>*>(user)->push_back(hit);
    }, &hits, 1);
  }
  ASSERT_EQ(hits.size(), facts().syncs.size());
  for (size_t i = 0; i < hits.size(); ++i) {
    EXPECT_EQ(hits[i].frame, facts().syncs[i].frame) << "sync " << i;
    EXPECT_EQ(hits[i].value, facts().syncs[i].value) << "sync " << i;
  }
}

TEST(MusicModule, EventsArriveWithinOnePieceOnBothPassesAndNothingAtTheLoop) {
  ASSERT_TRUE(facts().ok) << facts().problem;
  const std::vector<SyncHit>& hits = rendered().hits;
  const std::vector<ScheduledSync>& once = facts().syncs;
  ASSERT_EQ(hits.size(), 2 * once.size());  // the extra 2 s after the loop hold no sync
  for (size_t i = 0; i < hits.size(); ++i) {
    const ScheduledSync& s = once[i % once.size()];
    const int64_t expected = s.frame + (i < once.size() ? 0 : facts().passFrames);
    EXPECT_EQ(hits[i].value, s.value) << "sync " << i;
    // The hit names the piece in which the row began.
    EXPECT_LE(hits[i].frame, expected) << "sync " << i;
    EXPECT_GT(hits[i].frame + ModuleRenderer::kMaxPieceFrames, expected) << "sync " << i;
  }
}

TEST(MusicModule, PeakBelowMinusOneDbfsAndNoSilenceBeforeTheEnd) {
  const Rendered& r = rendered();
  EXPECT_GT(r.peak, 0.3f);                          // it is audible at all
  EXPECT_LE(r.peak, std::pow(10.0f, -1.0f / 20.0f));  // -1 dBFS
  EXPECT_LE(r.longestSilenceBefore166, kRate);
  std::printf("peak %.2f dBFS, longest silence before 166 s %lld frames\n",
              20.0 * std::log10(r.peak), static_cast<long long>(r.longestSilenceBefore166));
}

}  // namespace
}  // namespace tarvola
