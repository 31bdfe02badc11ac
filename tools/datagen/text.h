// Text for the pictures, drawn with FreeType from the DejaVu fonts (fonts-dejavu-core):
// anti-aliased glyph coverage accumulated into a Mask, with kerning.
#pragma once

#include <string>

#include "art.h"

namespace tarvola::datagen {

enum class FontFace { Bold, Regular, Condensed, Mono };

// Width in pixels of text at the given pixel size, with extra tracking between letters.
float measureText(FontFace face, int pixelSize, const std::string& text, float tracking = 0.0f);

// Adds the coverage of text (0..1, combined by max) into mask with its pen starting at x and
// its baseline at y; with wrap the glyphs continue across the mask's edges (seamless tiles).
// Returns false when the font cannot be loaded.
bool drawText(Mask& mask, FontFace face, int pixelSize, const std::string& text, float x, float baseline,
              float tracking = 0.0f, bool wrap = false);

// The same, centred on column centreX.
bool drawTextCentred(Mask& mask, FontFace face, int pixelSize, const std::string& text, float centreX, float baseline,
                     float tracking = 0.0f, bool wrap = false);

}  // namespace tarvola::datagen
