// The generated module data/kyr.it: it loads in libopenmpt and libxmp, and the sync events the
// renderer reports match a schedule worked out here, independently, from the file's order list,
// patterns, speed and tempo (whole-frame ticks of trunc(44100 * 5 / (2 * tempo)) frames).
#include "music/module_renderer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace tarvola {
namespace {

const std::string kModulePath = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";
constexpr int kRate = 44100;

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
  int notesOnChannel[64] = {}, syncsOnChannel[64] = {};
};

ModuleFacts readModuleFacts(const std::string& text) {
  ModuleFacts facts;
  const auto* file = reinterpret_cast<const uint8_t*>(text.data());
  auto le16 = [&](size_t at) { return at + 2 <= text.size() ? uint32_t(file[at] | file[at + 1] << 8) : 0u; };
  if (text.size() < 0xC0 || text.compare(0, 4, "IMPM") != 0) {
    facts.problem = "no IT header";
    return facts;
  }
  const uint32_t orders = le16(0x20), instruments = le16(0x22), samples = le16(0x24), patterns = le16(0x26);
  int speed = file[0x32], tempo = file[0x33];
  const size_t patternTable = 0xC0 + orders + 4 * (instruments + samples);
  int64_t frame = 0;
  for (uint32_t o = 0; o < orders && file[0xC0 + o] != 255; ++o) {
    const uint8_t pattern = file[0xC0 + o];
    if (pattern == 254) continue;
    if (pattern >= patterns) {
      facts.problem = "order points past the patterns";
      return facts;
    }
    const size_t at = le16(patternTable + 4 * pattern) | le16(patternTable + 4 * pattern + 2) << 16;
    const uint32_t rows = le16(at + 2);
    size_t p = at + 8;
    const size_t end = std::min(text.size(), p + le16(at));
    uint8_t lastMask[64] = {}, lastEffect[64] = {}, lastParameter[64] = {};
    for (uint32_t row = 0; row < rows; ++row, ++facts.songRows) {
      int rowSpeed = speed, rowTempo = tempo;
      for (uint8_t channelByte; p < end && (channelByte = file[p++]) != 0;) {
        const int channel = (channelByte - 1) & 63;
        if (channelByte & 0x80) lastMask[channel] = file[p++];
        const uint8_t mask = lastMask[channel];
        if (mask & 1) ++p, ++facts.notesOnChannel[channel];
        p += (mask & 2 ? 1 : 0) + (mask & 4 ? 1 : 0);
        if (mask & 8) lastEffect[channel] = file[p], lastParameter[channel] = file[p + 1], p += 2;
        if (mask & 0x10) ++facts.notesOnChannel[channel];
        if (!(mask & (8 | 0x80))) continue;
        const uint8_t effect = lastEffect[channel], parameter = lastParameter[channel];
        if (effect == 1 && parameter > 0) rowSpeed = parameter;       // Axx
        if (effect == 20 && parameter >= 0x20) rowTempo = parameter;  // Txx
        if (effect == 2 || effect == 3 || (effect == 20 && parameter < 0x20)) {
          facts.problem = "jumps, breaks or tempo slides are not modelled here";
          return facts;
        }
        if (effect == 19 && (parameter & 0xF0) == 0x20) {  // S2x
          facts.syncs.push_back({frame, parameter & 0x0Fu, facts.songRows});
          ++facts.syncsOnChannel[channel];
        }
      }
      speed = rowSpeed;
      tempo = rowTempo;
      frame += static_cast<int64_t>(speed) * (kRate * 5 / (2 * tempo));
    }
  }
  facts.passFrames = frame;
  facts.ok = true;
  return facts;
}

const ModuleFacts& facts() {
  static const ModuleFacts parsed = readModuleFacts(testing::readFile(kModulePath));
  return parsed;
}

// The pass: 1424 rows, 178 s on the nominal grid of 0.125 s rows (the conductor's tempo 119
// rows keep it there), as read here, by libopenmpt (from fractional tick lengths) and libxmp;
// libopenmpt loads it as Impulse Tracker and logs nothing while loading.
TEST(MusicModule, LoadsInLibopenmptAndLibxmpAsA178SecondPass) {
  ASSERT_TRUE(facts().ok) << facts().problem;
  EXPECT_EQ(facts().songRows, 1424);
  EXPECT_NEAR(static_cast<double>(facts().passFrames), 178.0 * kRate, 64.0);
  ModuleRenderer renderer;
  ASSERT_TRUE(renderer.loadFile(kModulePath.c_str()));
  EXPECT_NEAR(renderer.durationSeconds(), 178.0, 0.2);

  const std::string bytes = testing::readFile(kModulePath);
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

  xmp_context context = xmp_create_context();
  ASSERT_EQ(xmp_load_module(context, const_cast<char*>(kModulePath.c_str())), 0);
  xmp_module_info info{};
  xmp_get_module_info(context, &info);
  EXPECT_EQ(info.mod->chn, 15);
  EXPECT_NEAR(info.seq_data[0].duration, 178000, 200);
  xmp_release_module(context);
  xmp_free_context(context);
}

// Where the events stand against the scenes: all on one channel without notes, on the beat
// grid, none under the credits, only 3 under the tunnel, 1 and 2 under the metaballs with 2 on
// four-bar phrase starts, and a 5 every two to four bars in the finale.
TEST(MusicModule, SyncsStandAloneOnTheBeatsOfTheirScenes) {
  ASSERT_TRUE(facts().ok) << facts().problem;
  int syncChannels = 0;
  for (int channel = 0; channel < 64; ++channel) {
    syncChannels += facts().syncsOnChannel[channel] > 0;
    EXPECT_TRUE(facts().syncsOnChannel[channel] == 0 || facts().notesOnChannel[channel] == 0) << "channel " << channel;
  }
  EXPECT_EQ(syncChannels, 1);
  std::vector<int> finaleFives;
  for (const ScheduledSync& s : facts().syncs) {
    const double seconds = s.songRow * 0.125;
    EXPECT_EQ(s.songRow % 4, 0) << "off the beat at " << seconds;
    EXPECT_NEAR(static_cast<double>(s.frame), s.songRow * 5512.5, 64.0) << seconds;
    EXPECT_TRUE(s.value >= 1 && s.value <= 5) << seconds;
    EXPECT_FALSE(seconds < 8.5 || (seconds >= 80.0 && seconds < 94.0) || seconds >= 166.0)
        << "sync under the logo, the credits or the outro at " << seconds;
    EXPECT_TRUE(seconds < 94.0 || seconds >= 124.0 || s.value == 3) << seconds;
    EXPECT_TRUE(seconds < 44.5 || seconds >= 80.0 || s.value == 1 || (s.value == 2 && (s.songRow - 356) % 64 == 0)) << seconds;
    if (seconds >= 124.0 && seconds < 166.0 && s.value == 5) finaleFives.push_back(s.songRow);
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
    }, &hits, PiecePolicy{1, false});
  }
  ASSERT_EQ(hits.size(), facts().syncs.size());
  for (size_t i = 0; i < hits.size(); ++i) {
    EXPECT_EQ(hits[i].sample, facts().syncs[i].frame) << "sync " << i;
    EXPECT_EQ(hits[i].value, facts().syncs[i].value) << "sync " << i;
  }
}

// Two passes and two seconds more rendered as the audio thread does it (256-frame pieces):
// each hit names the piece in which its row began, on both passes, with nothing at the loop;
// the peak is audible but below -1 dBFS, and no second before 166 s is silent (below -60 dBFS).
TEST(MusicModule, PiecesGetTheirSyncsOnBothPassesAtAFairLevel) {
  ASSERT_TRUE(facts().ok) << facts().problem;
  ModuleRenderer renderer;
  ASSERT_TRUE(renderer.loadFile(kModulePath.c_str()));
  std::vector<SyncHit> hits;
  std::vector<float> block(2 * 4096);
  float peak = 0.0f;
  int64_t silentRun = 0, longestSilence = 0;
  for (int64_t done = 0; done < 2 * facts().passFrames + 2 * kRate; done += 4096) {
    renderer.render(block.data(), 4096, [](void* user, const SyncHit& hit) {
      static_cast<std::vector<SyncHit>*>(user)->push_back(hit);
    }, &hits);
    for (int i = 0; i < 4096; ++i) {
      const float level = std::max(std::fabs(block[2 * i]), std::fabs(block[2 * i + 1]));
      peak = std::max(peak, level);
      silentRun = level < 0.001f && done + i < 166 * kRate ? silentRun + 1 : 0;
      longestSilence = std::max(longestSilence, silentRun);
    }
  }
  const std::vector<ScheduledSync>& once = facts().syncs;
  ASSERT_EQ(hits.size(), 2 * once.size());
  for (size_t i = 0; i < hits.size(); ++i) {
    const ScheduledSync& s = once[i % once.size()];
    const int64_t expected = s.frame + (i < once.size() ? 0 : facts().passFrames);
    EXPECT_EQ(hits[i].value, s.value) << "sync " << i;
    EXPECT_LE(hits[i].sample, expected) << "sync " << i;
    EXPECT_GT(hits[i].sample + ModuleRenderer::kMaxPieceFrames, expected) << "sync " << i;
  }
  EXPECT_GT(peak, 0.3f);
  EXPECT_LE(peak, std::pow(10.0f, -1.0f / 20.0f));
  EXPECT_LE(longestSilence, kRate);
}

}  // namespace
}  // namespace tarvola
