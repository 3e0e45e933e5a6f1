// Glyph bitmaps of a TrueType face, rasterised with SDL2_ttf for the GL bitmap font.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One character as a glBitmap wants it: 1 bit a pixel, rows bottom first, each row padded to a
// whole byte; origin and advance in pixels relative to the pen on the baseline.
struct GlyphBitmap {
  int width = 0;
  int height = 0;
  float originX = 0;
  float originY = 0;
  float advance = 0;
  std::vector<uint8_t> bits;
};

// The font file for a face: "<face>.ttf" (or "<face>-Bold.ttf" when bold) anywhere under
// fontRoot, matched case-insensitively; DejaVu Sans when the face is not installed; empty when
// not even that exists.
std::string FindFontFile(const std::string& faceName, bool bold,
                         const std::string& fontRoot = "/usr/share/fonts");
// Glyphs of character codes 0 to count - 1 (Windows-1252 codes) at height pixels; a character the
// face cannot draw gets an empty bitmap. Empty when no font can be opened.
std::vector<GlyphBitmap> RasteriseGlyphs(const std::string& faceName, int height, bool bold,
                                         int count);
