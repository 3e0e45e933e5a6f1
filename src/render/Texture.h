// Textures: BMP, JPEG and TGA pictures turned into mipmapped GL textures through a name cache.
#pragma once
#include <cstdint>
#include <string>

#include "render/Types.h"

// The filtering CreateTexture gives new textures: 0 nearest, 1 linear, 2 trilinear mipmapped.
// Every new texture repeats at its edges.
extern uint8_t TextureFilterMode;

// The cached loader every scene uses: the last cache entry with this exact name wins; a name
// whose load failed is tried again on the next request.
TextureId LoadTexture(const std::string& fileName);
// RGBA texture from two JPEG files: colour from the first, alpha from the blue channel of the
// second. Not cached; NoTexture on failure.
TextureId LoadTextureWithAlpha(const std::string& colourFile, const std::string& alphaFile);
// Dispatches on the upper-cased last four characters (".BMP", ".JPG", ".TGA"); any other
// ending loads nothing and says nothing. id is left untouched on failure.
void LoadTextureFile(const std::string& fileName, TextureId& id, bool fromResource);
bool LoadBmpTexture(const std::string& fileName, TextureId& id, bool fromResource);
bool LoadJpgTexture(const std::string& fileName, TextureId& id, bool fromResource);
bool LoadTgaTexture(const std::string& fileName, TextureId& id, bool fromResource);
// Uploads tightly packed RGB or RGBA rows (bottom row first) as a mipmapped texture; format is
// GL_RGB or GL_RGBA. Leaves the new texture bound.
TextureId CreateTexture(uint16_t width, uint16_t height, uint32_t format, const uint8_t* pixels);
// ResetSurfaceState, texturing on, the texture bound, current colour white.
void BindTexture(TextureId id);
// glBindTexture(GL_TEXTURE_2D, id) alone: no other state changes.
void BindTextureOnly(TextureId id);
// The bound texture's minification filter (its texels smaller than a pixel).
int32_t BoundMinFilter();
// Sets the bound texture's minification filter to filter, or to plain linear filtering of the
// full-size picture when fullSize is true, filter uses mipmaps and the drawing scale is at least
// 1. For surfaces seen no smaller than their picture the two give nearly the same pixels, but the
// software renderer pays for choosing and blending two levels at every pixel.
void SetMinFilter(int32_t filter, bool fullSize);
// Binds texture and does draw() with it sampled from its full-size picture only (SetMinFilter with
// fullSize), then binds it again and gives it its own filter back. For surfaces whose texels are
// never much smaller than a pixel: backdrops, full-frame pictures, a room spread over the frame.
template <typename Draw>
void WithFullSizePicture(TextureId texture, Draw draw) {
  BindTextureOnly(texture);
  const int32_t filter = BoundMinFilter();
  SetMinFilter(filter, true);
  draw();
  BindTextureOnly(texture);
  SetMinFilter(filter, false);
}
