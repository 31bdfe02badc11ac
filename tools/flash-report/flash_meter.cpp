// The flash meter: the walk of each field's mean, the quarter-area test of its candidates through
// summed-area tables, and the count of each field's transitions in the window; see flash_meter.h.
#include "flash_meter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>

namespace tarvola {

namespace {

constexpr float kLuminanceChange = 0.1f;  // a transition: 10 % of the maximum relative luminance
constexpr float kDarkerBelow = 0.8f;      // ... where the darker state is below 0.8
constexpr float kRedChange = 20.0f;       // a red transition: (R - G - B) x 320 changes by more than 20
constexpr float kSaturatedRed = 0.8f;     // R / (R + G + B) at or above it: a saturated red

// The sRGB channel value linearised: v / 12.92 up to 0.04045 of full scale, else
// ((v + 0.055) / 1.055) ^ 2.4.
const std::array<float, 256>& linearTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double v = i / 255.0;
      t[i] = float(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table;
}

// A summed-area table over the box [x0, x1) x [y0, y1) of a picture `width` pixels wide: entry
// (x, y) of the table (width + 1 entries a row) holds the sum of value(pixel) over [x0, x) x
// [y0, y), so a field inside the box reads its sum in four entries.
template <class Sum, class Value>
void summedArea(std::vector<Sum>& table, int width, int x0, int y0, int x1, int y1, Value value) {
  const size_t stride = size_t(width) + 1;
  std::fill(&table[size_t(y0) * stride + x0], &table[size_t(y0) * stride + x1 + 1], Sum(0));
  for (int y = y0; y < y1; ++y) {
    Sum row = 0;
    const Sum* above = &table[size_t(y) * stride];
    Sum* here = &table[size_t(y + 1) * stride];
    here[x0] = 0;
    for (int x = x0; x < x1; ++x) {
      row += value(size_t(y) * width + x);
      here[x + 1] = above[x + 1] + row;
    }
  }
}

}  // namespace

FlashField tenDegreeField(int pictureWidth, int pictureHeight, int displayWidth, int displayHeight) {
  const double scale = std::min(double(displayWidth) / pictureWidth, double(displayHeight) / pictureHeight);
  FlashField field;
  field.width = std::min(pictureWidth, int(std::lround(341.0 / scale)));
  field.height = std::min(pictureHeight, int(std::lround(256.0 / scale)));
  return field;
}

FlashMeter::FlashMeter(int width, int height, FlashField field, int windowFrames)
    : width_(width), height_(height), windowFrames_(windowFrames), field_(field) {
  assert(windowFrames >= 1 && windowFrames <= 64);
  assert(field.width >= 1 && field.width <= width && field.height >= 1 && field.height <= height && field.step >= 1);
  for (int x = 0; x + field.width <= width; x += field.step) fieldXs_.push_back(x);
  if (fieldXs_.back() != width - field.width) fieldXs_.push_back(width - field.width);
  for (int y = 0; y + field.height <= height; y += field.step) fieldYs_.push_back(y);
  if (fieldYs_.back() != height - field.height) fieldYs_.push_back(height - field.height);
  const size_t pixels = size_t(width) * height;
  luminance_.walks.resize(fieldXs_.size() * fieldYs_.size());
  red_.red = true;
  red_.walks.resize(luminance_.walks.size());
  lum_.resize(kKept * pixels);
  redness_.resize(kKept * pixels);
  saturated_.resize(kKept * pixels);
  sums_.resize(size_t(width + 1) * (height + 1));
  changed_.resize(sums_.size());
}

FlashWindow FlashMeter::add(const uint8_t* rgb) {
  ++frame_;
  const std::array<float, 256>& linear = linearTable();
  const size_t pixels = size_t(width_) * height_, slot = size_t(frame_ % kKept) * pixels;
  for (size_t i = 0; i < pixels; ++i) {
    const float r = linear[rgb[3 * i]], g = linear[rgb[3 * i + 1]], b = linear[rgb[3 * i + 2]];
    lum_[slot + i] = 0.2126f * r + 0.7152f * g + 0.0722f * b;
    redness_[slot + i] = std::max(0.0f, (r - g - b) * 320.0f);
    saturated_[slot + i] = r > 0.0f && r >= kSaturatedRed * (r + g + b);
  }
  FlashWindow window;
  follow(luminance_, window.transitions, window.fieldX, window.fieldY);
  follow(red_, window.redTransitions, window.redFieldX, window.redFieldY);
  return window;
}

void FlashMeter::fieldAt(size_t f, int& x, int& y) const {
  x = fieldXs_[f % fieldXs_.size()], y = fieldYs_[f / fieldXs_.size()];
}

template <class Sum>
Sum FlashMeter::inField(const std::vector<Sum>& table, size_t f) const {
  int x, y;
  fieldAt(f, x, y);
  const size_t stride = size_t(width_) + 1;
  const Sum* top = &table[size_t(y) * stride];
  const Sum* bottom = &table[size_t(y + field_.height) * stride];
  return bottom[x + field_.width] - bottom[x] - top[x + field_.width] + top[x];
}

void FlashMeter::follow(Quantity& quantity, int& worst, int& fieldX, int& fieldY) {
  const size_t pixels = size_t(width_) * height_;
  const std::vector<float>& values = quantity.red ? redness_ : lum_;
  const float* now = &values[size_t(frame_ % kKept) * pixels];
  const int area = field_.width * field_.height;
  const int quarter = (area + 3) / 4;  // at least a quarter: 2140 of a field of 107 x 80
  const double trigger = double(quantity.red ? kRedChange : kLuminanceChange) * quarter / area;
  summedArea(sums_, width_, 0, 0, width_, height_, [&](size_t i) { return double(now[i]); });
  std::vector<Candidate> candidates = findCandidates(quantity, trigger);
  std::vector<uint8_t> made(quantity.walks.size(), 0);
  testArea(quantity, candidates, made);
  countTransitions(quantity, made, worst, fieldX, fieldY);
}

// Moves each field's extremes on with its mean (in sums_) and lists the fields whose mean left
// its extreme by the trigger, against the direction of the field's last transition.
std::vector<FlashMeter::Candidate> FlashMeter::findCandidates(Quantity& quantity, double trigger) const {
  const int area = field_.width * field_.height;
  std::vector<Candidate> candidates;
  for (size_t f = 0; f < quantity.walks.size(); ++f) {
    Walk& walk = quantity.walks[f];
    const double mean = inField(sums_, f) / area;
    if (frame_ == 0) walk.low = walk.high = mean;
    if (mean < walk.low) walk.low = mean, walk.lowFrame = frame_;
    if (mean > walk.high) walk.high = mean, walk.highFrame = frame_;
    if (walk.last <= 0 && mean - walk.low >= trigger) {
      candidates.push_back({walk.lowFrame, 1, f, mean});
    } else if (walk.last >= 0 && walk.high - mean >= trigger) {
      candidates.push_back({walk.highFrame, -1, f, mean});
    }
  }
  return candidates;
}

// The area test, one summed-area table of passing pixels per extreme frame and direction; a
// candidate that passes is a transition: its walk starts again from this frame.
void FlashMeter::testArea(Quantity& quantity, std::vector<Candidate>& candidates, std::vector<uint8_t>& made) {
  const size_t pixels = size_t(width_) * height_;
  const std::vector<float>& values = quantity.red ? redness_ : lum_;
  const float* now = &values[size_t(frame_ % kKept) * pixels];
  const uint8_t* saturatedNow = &saturated_[size_t(frame_ % kKept) * pixels];
  const int quarter = (field_.width * field_.height + 3) / 4;
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return a.from != b.from ? a.from < b.from : a.direction < b.direction;
  });
  for (size_t c = 0, groupEnd = 0; c < candidates.size(); ++c) {
    const Candidate& candidate = candidates[c];
    if (c == groupEnd) {
      // A new group: the table covers just the box around its fields.
      int x0 = width_, y0 = height_, x1 = 0, y1 = 0;
      for (groupEnd = c; groupEnd < candidates.size() && candidates[groupEnd].from == candidate.from &&
                         candidates[groupEnd].direction == candidate.direction;
           ++groupEnd) {
        int x, y;
        fieldAt(candidates[groupEnd].field, x, y);
        x0 = std::min(x0, x), y0 = std::min(y0, y);
        x1 = std::max(x1, x + field_.width), y1 = std::max(y1, y + field_.height);
      }
      const size_t then = size_t(std::max(candidate.from, frame_ - kKept + 1) % kKept) * pixels;
      const uint8_t* saturatedBefore = &saturated_[then];
      // The darker and the brighter end of the change this candidate looks for.
      const float* darker = candidate.direction > 0 ? &values[then] : now;
      const float* brighter = candidate.direction > 0 ? now : &values[then];
      if (quantity.red) {
        summedArea(changed_, width_, x0, y0, x1, y1, [&](size_t i) {
          return int32_t(brighter[i] - darker[i] > kRedChange && (saturatedBefore[i] | saturatedNow[i]));
        });
      } else {
        summedArea(changed_, width_, x0, y0, x1, y1, [&](size_t i) {
          return int32_t(brighter[i] - darker[i] >= kLuminanceChange && darker[i] < kDarkerBelow);
        });
      }
    }
    if (inField(changed_, candidate.field) < quarter) continue;
    Walk& walk = quantity.walks[candidate.field];
    walk = Walk{candidate.mean, candidate.mean, frame_, frame_, int8_t(candidate.direction), walk.history};
    made[candidate.field] = 1;
  }
}

// Transitions in the window; the first field on the grid (left to right, top down) with the most.
void FlashMeter::countTransitions(Quantity& quantity, const std::vector<uint8_t>& made, int& worst, int& fieldX,
                                  int& fieldY) const {
  const uint64_t window = windowFrames_ == 64 ? ~uint64_t(0) : (uint64_t(1) << windowFrames_) - 1;
  worst = 0;
  fieldX = fieldY = -1;
  for (size_t f = 0; f < quantity.walks.size(); ++f) {
    Walk& walk = quantity.walks[f];
    walk.history = walk.history << 1 | made[f];
    const int count = std::popcount(walk.history & window);
    if (count > worst) {
      worst = count;
      fieldAt(f, fieldX, fieldY);
    }
  }
}

}  // namespace tarvola
