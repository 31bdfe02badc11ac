// FreeType text for the pictures; see text.h. The fonts are opened once and kept for the
// generator's short life. Pen positions are whole pixels, so output depends only on the
// FreeType version and the font file, never on the machine.
#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>

#include "base/fixed_point.h"

namespace tarvola::datagen {

namespace {

const char* fontPath(FontFace face) {
  switch (face) {
    case FontFace::Bold:
      return "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    case FontFace::Regular:
      return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    case FontFace::Condensed:
      return "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";
    case FontFace::Mono:
      return "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
  }
  return "";
}

FT_Face openFace(FontFace face) {
  static FT_Library library = nullptr;
  static FT_Face faces[4] = {};
  if (!library && FT_Init_FreeType(&library) != 0) {
    std::fprintf(stderr, "tarvola-datagen: FreeType does not start\n");
    return nullptr;
  }
  FT_Face& slot = faces[int(face)];
  if (!slot && FT_New_Face(library, fontPath(face), 0, &slot) != 0) {
    std::fprintf(stderr, "tarvola-datagen: cannot open font %s (fonts-dejavu-core, fonts-dejavu-extra)\n",
                 fontPath(face));
    slot = nullptr;
  }
  return slot;
}

// Walks the glyphs of text; for each calls visit(bitmap, left, top) with the pen in pixels.
template <typename Visit>
float layout(FontFace faceId, int pixelSize, const std::string& text, float tracking, Visit visit) {
  FT_Face face = openFace(faceId);
  if (!face) return -1.0f;
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
  float pen = 0.0f;
  FT_UInt previous = 0;
  for (unsigned char c : text) {
    const FT_UInt glyph = FT_Get_Char_Index(face, c);
    if (previous && glyph) {
      FT_Vector kern;
      if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kern) == 0) pen += float(kern.x) / 64.0f;
    }
    if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot slot = face->glyph;
    visit(slot->bitmap, truncToInt32(std::floor(pen)) + slot->bitmap_left, slot->bitmap_top);
    pen += float(slot->advance.x) / 64.0f + tracking;
    previous = glyph;
  }
  return pen - (text.empty() ? 0.0f : tracking);
}

}  // namespace

float measureText(FontFace face, int pixelSize, const std::string& text, float tracking) {
  return layout(face, pixelSize, text, tracking, [](const FT_Bitmap&, int, int) {});
}

bool drawText(Mask& mask, FontFace face, int pixelSize, const std::string& text, float x, float baseline,
              float tracking, bool wrap) {
  const int originX = truncToInt32(std::floor(x)), originY = truncToInt32(std::floor(baseline));
  const float width = layout(face, pixelSize, text, tracking, [&](const FT_Bitmap& bitmap, int left, int top) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      for (unsigned col = 0; col < bitmap.width; ++col) {
        int px = originX + left + int(col), py = originY - top + int(row);
        if (wrap) {
          px = ((px % mask.width) + mask.width) % mask.width;
          py = ((py % mask.height) + mask.height) % mask.height;
        } else if (px < 0 || py < 0 || px >= mask.width || py >= mask.height) {
          continue;
        }
        const float coverage = float(bitmap.buffer[size_t(row) * size_t(bitmap.pitch) + col]) / 255.0f;
        float& cell = mask.at(px, py);
        if (coverage > cell) cell = coverage;
      }
    }
  });
  return width >= 0.0f;
}

bool drawTextCentred(Mask& mask, FontFace face, int pixelSize, const std::string& text, float centreX, float baseline,
                     float tracking, bool wrap) {
  const float width = measureText(face, pixelSize, text, tracking);
  if (width < 0.0f) return false;
  return drawText(mask, face, pixelSize, text, std::floor(centreX - width * 0.5f), baseline, tracking, wrap);
}

}  // namespace tarvola::datagen
