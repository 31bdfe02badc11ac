// The frame clock's start and busy-waiting update; see frame_clock.h.
#include "runtime/frame_clock.h"

#include <chrono>

namespace tarvola {

int64_t SteadyCounter::frequency() { return 1000000000; }

int64_t SteadyCounter::read() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {
// Ticks since start as a signed 64-bit difference, taken with wrap-around rather than
// overflow (the run is far too short for it to matter).
int64_t ticksSince(int64_t startCount, int64_t value) { return int64_t(uint64_t(value) - uint64_t(startCount)); }
}  // namespace

void FrameClock::start(Counter& counter) {
  period = 1.0 / double(counter.frequency());
  startCount = counter.read();
  time = float(double(ticksSince(startCount, counter.read())) * period);
  delta = 0.0f;
}

void FrameClock::update(Counter& counter) {
  double t;
  do {
    t = double(ticksSince(startCount, counter.read())) * period;
    sample = float(t);
  } while (t == double(time));
  delta = float(t - double(time));
  time = float(t);
  rate = 1.0f / delta;
}

}  // namespace tarvola
