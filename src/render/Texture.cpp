// Placeholder texture module: nothing is loaded yet.
#include "render/Texture.h"

uint8_t TextureFilterMode = 2;
bool TextureClamp = false;

TextureId LoadTexture(const std::string&) { return NoTexture; }
TextureId LoadTextureWithAlpha(const std::string&, const std::string&) { return NoTexture; }
void LoadTextureFile(const std::string&, TextureId&, bool) {}
bool LoadBmpTexture(const std::string&, TextureId&, bool) { return false; }
bool LoadJpgTexture(const std::string&, TextureId&, bool) { return false; }
bool LoadTgaTexture(const std::string&, TextureId&, bool) { return false; }
TextureId CreateTexture(uint16_t, uint16_t, uint32_t, const uint8_t*) { return NoTexture; }
void BindTexture(TextureId) {}
