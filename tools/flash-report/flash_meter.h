// The flash meter of tarvola-flash-report: counts, frame by frame, the general flashes and red
// flashes of WCAG 2.3.1 (three flashes or below threshold) in every 10-degree field of a picture
// sequence, and gives the worst field of the one-second window ending at each frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvola {

// One 10-degree field of view in picture pixels, and the grid its top-left corners stand on.
struct FlashField {
  int width = 0, height = 0;
  int step = 8;  // fields start every `step` pixels, plus one flush with the right and bottom edges
};

// WCAG's estimate of a 10-degree field: 341 x 256 pixels of a 1024 x 768 display (a 15-17 inch
// screen seen from 22-26 inches). A picture of pictureWidth x pictureHeight shown as large as
// the display allows, aspect kept, is enlarged by the smaller of the two ratios; the field is
// that rectangle in picture pixels, rounded to the nearest (320 x 240 on 1024 x 768: 3.2 times,
// 106.6 x 80 -> 107 x 80), at most the whole picture.
FlashField tenDegreeField(int pictureWidth, int pictureHeight, int displayWidth = 1024, int displayHeight = 768);

// The worst field of one window: the most transitions some field made in the window, and that
// field's top-left corner (-1 when no field made any). A flash is a pair of opposing
// transitions, so the window holds transitions / 2 flashes; more than three flashes is seven
// transitions or more.
struct FlashWindow {
  int transitions = 0;
  int fieldX = -1, fieldY = -1;
  int redTransitions = 0;  // the same for the transitions involving a saturated red
  int redFieldX = -1, redFieldY = -1;
};

// The method, for pictures in sRGB with 8-bit channels:
// - A pixel's relative luminance L (0 black .. 1 white: the sRGB channels linearised, then
//   0.2126 R + 0.7152 G + 0.0722 B, as WCAG 2.2 defines it) and its redness, (R - G - B) x 320
//   of the linear channels with negative values set to 0.
// - WCAG calls a transition the change between adjacent peak and valley of the luminance plotted
//   against time. Each field follows its mean luminance: it keeps the extreme the mean has reached
//   since the field's last transition (the running maximum after a rise, the minimum after a
//   fall, both before the first) and the frame of that extreme. A change of the mean away from
//   the extreme by a quarter of 0.1 (the least a change of 0.1 over a quarter of the field moves
//   it) makes a candidate; a slow ramp is a candidate as soon as its total change is.
// - The candidate is a transition when at least a quarter of the field's pixels each changed
//   the same way by 0.1 or more between the extreme's frame and this one, the darker of the two
//   states below 0.8: flashes over a quarter of the field, as WCAG's area rule asks. Otherwise
//   the extreme stays and the next frames try again. Motion that only moves light around the
//   field leaves its mean nearly still and makes no candidate.
// - Red: the same on the redness, with a change of more than 20 (a quarter of it for the mean)
//   where the pixel is a saturated red, R / (R + G + B) >= 0.8, at either end (WCAG 2.x's working
//   definition after Harding and Binnie).
// - Each field counts its transitions in the last windowFrames frames (one second: the frame
//   rate); a transition belongs to the frame that completes it. Pixels are kept for 64 frames:
//   an extreme older than that is compared through the oldest picture kept.
class FlashMeter {
 public:
  // windowFrames: frames in one second, 1 to 64.
  FlashMeter(int width, int height, FlashField field, int windowFrames);

  // Takes the next picture (width x height pixels, rows top down, 3 bytes R G B a pixel) and
  // returns the worst fields of the window ending at it.
  FlashWindow add(const uint8_t* rgb);

 private:
  static constexpr int kKept = 64;  // pictures kept for the area test

  // One field's mean against time, for one quantity.
  struct Walk {
    double low = 0, high = 0;
    int64_t lowFrame = 0, highFrame = 0;
    int8_t last = 0;       // +1 rose, -1 fell, 0 none yet
    uint64_t history = 0;  // bit i: a transition i frames ago
  };
  struct Quantity {
    bool red = false;
    std::vector<Walk> walks;  // one per field
  };
  // A field whose mean left its extreme by the trigger, with the extreme's frame.
  struct Candidate {
    int64_t from;
    int direction;  // +1 a rise, -1 a fall
    size_t field;
    double mean;
  };
  // One frame of a quantity: its walks, its candidates' area test, the worst field's count.
  void follow(Quantity& quantity, int& worst, int& fieldX, int& fieldY);
  std::vector<Candidate> findCandidates(Quantity& quantity, double trigger) const;
  void testArea(Quantity& quantity, std::vector<Candidate>& candidates, std::vector<uint8_t>& made);
  void countTransitions(Quantity& quantity, const std::vector<uint8_t>& made, int& worst, int& fieldX,
                        int& fieldY) const;
  // Field f's corner, and its sum in a summed-area table.
  void fieldAt(size_t f, int& x, int& y) const;
  template <class Sum>
  Sum inField(const std::vector<Sum>& table, size_t f) const;

  int width_, height_, windowFrames_;
  FlashField field_;
  std::vector<int> fieldXs_, fieldYs_;
  int64_t frame_ = -1;
  Quantity luminance_, red_;
  std::vector<float> lum_, redness_;  // kKept pictures, frame k at slot k % kKept
  std::vector<uint8_t> saturated_;
  std::vector<double> sums_;      // summed-area table of the quantity, (width + 1) x (height + 1)
  std::vector<int32_t> changed_;  // summed-area table of the pixels passing the area test
};

}  // namespace tarvola
