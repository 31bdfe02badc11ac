// Shared pieces of the picture writers: the list of the sixteen pictures, saving one as a
// TGA, and the lettering styles used on the title, logo and credits pictures.
#pragma once

#include <filesystem>

#include "art.h"

namespace tarvola::datagen {

struct PictureInfo {
  const char* file;  // name under data/
  int width, height;
  bool tiles;  // repeated by its user, so it must be seamless
};
inline constexpr PictureInfo kPictures[] = {
    {"loading.tga", 320, 240, false},       {"wscr.tga", 320, 240, false},          {"vok.tga", 256, 256, true},
    {"fade.tga", 320, 240, false},          {"cred.tga", 320, 240, false},          {"s02_tex6.tga", 256, 256, true},
    {"tex0132.tga", 256, 256, true},        {"tex01b2.tga", 256, 256, true},        {"tomsaenv2.tga", 256, 256, true},
    {"plasma1.tga", 640, 480, false},       {"plasma2.tga", 640, 480, false},       {"plat32.tga", 256, 256, true},
    {"plat_b2.tga", 256, 256, true},        {"s02_lightmap6.tga", 256, 256, false}, {"s02_tex7.tga", 256, 256, false},
    {"s02_lightmap2.tga", 256, 256, false},
};

bool savePicture(const std::filesystem::path& dataDir, const char* file, const Image& image);

// Chrome lettering: a bevelled fill whose colour runs from a pale sky at the top of the
// letters (row top) through a dark horizon to a warm ground at the bottom (row bottom),
// with a dark outline and a soft drop shadow. coverage is the text's anti-aliased mask.
void paintChromeLetters(Image& image, const Mask& coverage, float top, float bottom, bool wrap);

// Adds a soft coloured halo around the covered pixels.
void addGlow(Image& image, const Mask& coverage, int radius, Rgb colour, bool wrap);

// Paints flat lettering of one colour over the picture (mixing by coverage).
void paintLetters(Image& image, const Mask& coverage, Rgb colour);

}  // namespace tarvola::datagen
