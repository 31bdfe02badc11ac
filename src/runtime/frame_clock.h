// FrameClock: real time for the frame loop from a monotonic high-resolution counter,
// as seconds since start and the seconds between the last two updates (never 0).
#pragma once

#include <cstdint>

namespace tarvola {

// A monotonic tick counter. The demo reads steady_clock; tests and the offline capture
// renderer supply counters of their own.
class Counter {
 public:
  virtual int64_t frequency() = 0;  // ticks per second, > 0
  virtual int64_t read() = 0;

 protected:
  ~Counter() = default;
};

// std::chrono::steady_clock in nanoseconds.
class SteadyCounter final : public Counter {
 public:
  int64_t frequency() override;
  int64_t read() override;
};

struct FrameClock {
  int64_t startCount = 0;  // counter value taken at start
  float rate = 0.0f;       // 1 / delta, frames per second; set by update only
  float time = 0.0f;       // seconds from start to the last update
  float sample = 0.0f;     // the most recent reading, seconds from start
  float delta = 0.0f;      // seconds between the last two updates; 0 after start
  double period = 0.0;     // seconds per tick

  // period = 1 / frequency (double); startCount = a reading; time = a second reading's
  // distance from it (double ticks * period, rounded to float); delta = 0.
  void start(Counter& counter);
  // Reads until t = ticks since start * period (double) differs from the float `time`
  // (a busy wait: the delta is never 0), then delta = float(t - time), time = float(t),
  // rate = 1 / delta in float.
  void update(Counter& counter);
};

}  // namespace tarvola
