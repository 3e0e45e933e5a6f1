// Finds a TrueType face on disk and rasterises its glyphs into 1-bit bitmaps with SDL2_ttf.
#include "platform/Glyphs.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string FindByName(const std::string& root, const std::string& wantedName) {
  namespace fs = std::filesystem;
  const std::string wanted = Lower(wantedName);
  std::error_code error;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (Lower(it->path().filename().string()) == wanted) return it->path().string();
  }
  return {};
}

// Code points of Windows-1252 characters 0x80 to 0x9F; the rest of the code page equals Unicode.
const uint16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string SearchFontFile(const std::string& faceName, bool bold, const std::string& fontRoot);

uint16_t CodePoint(int code) {
  return (code >= 0x80 && code < 0xA0) ? Windows1252High[code - 0x80] : static_cast<uint16_t>(code);
}

GlyphBitmap Rasterise(TTF_Font* font, uint16_t codePoint) {
  GlyphBitmap glyph;
  if (codePoint < 0x20 || !TTF_GlyphIsProvided(font, codePoint)) return glyph;
  int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
  if (TTF_GlyphMetrics(font, codePoint, &minX, &maxX, &minY, &maxY, &advance) != 0) return glyph;
  glyph.advance = static_cast<float>(advance);
  SDL_Color white = {255, 255, 255, 255};
  SDL_Surface* surface = TTF_RenderGlyph_Solid(font, codePoint, white);
  if (!surface) return glyph;
  // Solid rendering gives an 8-bit surface whose index 0 is the background.
  if (surface->format->BytesPerPixel == 1 && surface->w > 0 && surface->h > 0) {
    glyph.width = surface->w;
    glyph.height = surface->h;
    glyph.originY = static_cast<float>(surface->h - TTF_FontAscent(font));
    const int rowBytes = (surface->w + 7) / 8;
    glyph.bits.assign(static_cast<size_t>(rowBytes) * surface->h, 0);
    SDL_LockSurface(surface);
    const auto* pixels = static_cast<const uint8_t*>(surface->pixels);
    for (int row = 0; row < surface->h; ++row) {
      const uint8_t* source = pixels + static_cast<size_t>(row) * surface->pitch;
      uint8_t* target = glyph.bits.data() + static_cast<size_t>(surface->h - 1 - row) * rowBytes;
      for (int column = 0; column < surface->w; ++column) {
        if (source[column] != 0) target[column / 8] |= static_cast<uint8_t>(0x80 >> (column % 8));
      }
    }
    SDL_UnlockSurface(surface);
  }
  SDL_FreeSurface(surface);
  return glyph;
}

}  // namespace

std::string FindFontFile(const std::string& faceName, bool bold, const std::string& fontRoot) {
  // The on-screen display rasterises its font again whenever the picture's height changes, and a
  // face that is not installed costs a walk of the whole font tree: each answer is kept.
  static std::map<std::tuple<std::string, bool, std::string>, std::string> found;
  const auto key = std::make_tuple(faceName, bold, fontRoot);
  if (const auto known = found.find(key); known != found.end()) return known->second;
  return found[key] = SearchFontFile(faceName, bold, fontRoot);
}

namespace {
std::string SearchFontFile(const std::string& faceName, bool bold, const std::string& fontRoot) {
  if (!faceName.empty()) {
    if (bold) {
      std::string path = FindByName(fontRoot, faceName + "-Bold.ttf");
      if (!path.empty()) return path;
    }
    std::string path = FindByName(fontRoot, faceName + ".ttf");
    if (!path.empty()) return path;
  }
  const std::string fallback = bold ? "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
                                    : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  std::error_code error;
  if (std::filesystem::exists(fallback, error)) return fallback;
  return FindByName(fontRoot, bold ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf");
}
}  // namespace

std::vector<GlyphBitmap> RasteriseGlyphs(const std::string& faceName, int height, bool bold,
                                         int count) {
  std::vector<GlyphBitmap> glyphs;
  const std::string path = FindFontFile(faceName, bold);
  if (path.empty() || height <= 0 || count <= 0) return glyphs;
  if (TTF_Init() != 0) return glyphs;
  if (TTF_Font* font = TTF_OpenFont(path.c_str(), height)) {
    // A regular file standing in for a bold request is emboldened by the rasteriser.
    if (bold && Lower(path).find("bold") == std::string::npos) TTF_SetFontStyle(font, TTF_STYLE_BOLD);
    glyphs.reserve(count);
    for (int code = 0; code < count; ++code) glyphs.push_back(Rasterise(font, CodePoint(code)));
    TTF_CloseFont(font);
  }
  TTF_Quit();
  return glyphs;
}
