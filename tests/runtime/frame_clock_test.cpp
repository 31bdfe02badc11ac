// FrameClock on scripted counters: float roundings worked out by hand, no zero delta where the
// float time cannot move.
#include "runtime/frame_clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tarvola {
namespace {

// Returns the scripted readings in turn, then one tick more per read.
struct ScriptedCounter final : Counter {
  ScriptedCounter(int64_t f, std::vector<int64_t> r) : hertz(f), readings(std::move(r)) {}
  int64_t frequency() override { return hertz; }
  int64_t read() override {
    ++reads;
    return last = next < readings.size() ? readings[next++] : int64_t(uint64_t(last) + 1);
  }
  int64_t hertz;
  std::vector<int64_t> readings;
  size_t next = 0;
  int64_t last = 0;
  int reads = 0;
};

TEST(FrameClock, StartAndUpdateRoundToFloatAsDocumented) {
  // A period of 1/3 s is inexact in binary, so every rounding step shows.
  ScriptedCounter counter(3, {0, 1, 2});
  FrameClock clock;
  clock.start(counter);
  EXPECT_EQ(clock.period, 1.0 / 3.0);
  EXPECT_TRUE(clock.time == 0x1.555556p-2f && clock.delta == 0.0f && clock.rate == 0.0f);  // from start's second read
  clock.update(counter);
  // t = 2/3 in double; delta = float(2/3 - double(float(1/3))), one step below float(1/3).
  EXPECT_EQ(clock.delta, 0x1.555554p-2f);
  EXPECT_TRUE(clock.time == 0x1.555556p-1f && clock.sample == 0x1.555556p-1f);
  EXPECT_EQ(clock.rate, 0x1.800002p+1f);  // 1 / delta in float: 3.0000002
}

TEST(FrameClock, NoZeroDeltaWhenTheFloatTimeCannotMove) {
  // Period 1/1000 s: a stuck reading differs from the float time by that float's rounding,
  // so update returns at once with that difference.
  ScriptedCounter stuck(1000, {0, 50, 50, 50});
  FrameClock clock;
  clock.start(stuck);
  clock.update(stuck);
  EXPECT_EQ(stuck.reads, 3);
  EXPECT_EQ(clock.delta, float(0.05 - double(0.05f)));  // not 0
  // At 2^20 s a float's step is 1/8 s, far coarser than a 2^-30 s tick: the delta is tiny but
  // not 0, and the next one is measured from the float time, which stayed put.
  const int64_t at = int64_t(1) << 50;
  ScriptedCounter fine(int64_t(1) << 30, {0, at, at + 1, at + 2});
  clock.start(fine);
  clock.update(fine);
  EXPECT_TRUE(clock.delta == 0x1p-30f && clock.time == 1048576.0f);
  clock.update(fine);
  EXPECT_EQ(clock.delta, 0x1p-29f);
}

}  // namespace
}  // namespace tarvola
