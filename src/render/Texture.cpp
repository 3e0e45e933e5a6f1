// Textures: reads picture files through the decoders, uploads them as mipmapped GL textures and
// caches them by file name so that each picture loads once.
#include "render/Texture.h"

#include <cctype>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "platform/DataFiles.h"
#include "platform/GL.h"
#include "platform/Messages.h"
#include "platform/ShowFrame.h"
#include "platform/Window.h"
#include "render/ImageReaders.h"
#include "render/RenderState.h"

uint8_t TextureFilterMode = 2;

namespace {
// Wrapping of the textures CreateTexture makes: false repeats, true clamps. Nothing clamps.
constexpr bool TextureClamp = false;

std::vector<std::pair<std::string, TextureId>> TextureCache;

// The whole data file, or nothing when it cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadDataFile(const std::string& fileName) {
  return ReadWholeFile(DataFilePath(fileName));
}

// The program carries no picture resources, so a resource request always finds nothing.
bool ResourceMissing(const std::string& fileName, const char* caption) {
  ShowMessage(caption, "File not found in resource - " + fileName);
  return false;
}

bool Report(const ImageReadResult& result) {
  if (result.Ok()) return true;
  ShowMessage(result.caption, result.message);
  return false;
}

TextureId Upload(const DecodedImage& image) {
  return CreateTexture(static_cast<uint16_t>(image.width), static_cast<uint16_t>(image.height),
                       image.channels == 4 ? GL_RGBA : GL_RGB, image.pixels.data());
}

// Reads, decodes and uploads a BMP or TGA file; an unreadable file gives the reader's own
// caption and text.
bool LoadDecoded(const std::string& fileName, TextureId& id,
                 ImageReadResult (*decode)(std::span<const uint8_t>, const std::string&),
                 const char* missingCaption, const std::string& missingText) {
  const auto bytes = ReadDataFile(fileName);
  if (!bytes) {
    ShowMessage(missingCaption, missingText);
    return false;
  }
  const ImageReadResult result = decode(*bytes, fileName);
  if (!Report(result)) return false;
  id = Upload(result.image);
  return true;
}

std::optional<DecodedImage> ReadJpeg(const std::string& fileName) {
  const std::string message = "Couldn't load JPG - \"" + fileName + "\"";
  const auto bytes = ReadDataFile(fileName);
  if (!bytes) {
    ShowMessage("BMP Unit", message);
    return std::nullopt;
  }
  ImageReadResult result = DecodeJpeg(*bytes, fileName);
  if (!Report(result)) return std::nullopt;
  return std::move(result.image);
}

}  // namespace

TextureId CreateTexture(uint16_t width, uint16_t height, uint32_t format, const uint8_t* pixels) {
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  const GLint wrap = TextureClamp ? GL_CLAMP : GL_REPEAT;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  switch (TextureFilterMode) {
    case 0:
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      break;
    case 1:
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      break;
    case 2:
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
      break;
    default:
      break;
  }
  // Rows are tightly packed: with the default 4-byte alignment an RGB picture whose width is not
  // a multiple of 4 would be read sheared and past the end of its buffer.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (format == GL_RGBA) {
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  } else {
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
  return id;
}

void BindTexture(TextureId id) {
  ResetSurfaceState();
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, id);
  glColor4f(1, 1, 1, 1);
}

void BindTextureOnly(TextureId id) { glBindTexture(GL_TEXTURE_2D, id); }

int32_t BoundMinFilter() {
  GLint filter = GL_LINEAR;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  return filter;
}

void SetMinFilter(int32_t filter, bool fullSize) {
  const bool mipmapped = filter != GL_NEAREST && filter != GL_LINEAR;
  // Drawn below the design size, a picture seen at its full size in the 800 x 600 frame shrinks:
  // it keeps its mipmaps there, or its fine lines would break into stray pixels.
  const bool shrunk = DrawingScale() < 1.0f;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                  fullSize && mipmapped && !shrunk ? GL_LINEAR : filter);
}

bool LoadBmpTexture(const std::string& fileName, TextureId& id, bool fromResource) {
  if (fromResource) return ResourceMissing(fileName, "BMP Texture");
  return LoadDecoded(fileName, id, DecodeBmp, "BMP Unit", "Error opening " + fileName);
}

bool LoadTgaTexture(const std::string& fileName, TextureId& id, bool fromResource) {
  if (fromResource) return ResourceMissing(fileName, "TGA Texture");
  return LoadDecoded(fileName, id, DecodeTga, "TGA Texture", "File not found  - " + fileName);
}

bool LoadJpgTexture(const std::string& fileName, TextureId& id, bool fromResource) {
  if (fromResource) return ResourceMissing(fileName, "JPG Texture");
  const auto image = ReadJpeg(fileName);
  if (!image) return false;
  const size_t pixelCount = static_cast<size_t>(image->width) * image->height;
  std::vector<uint8_t> rgba(pixelCount * 4);
  for (size_t i = 0; i < pixelCount; ++i) {
    rgba[i * 4 + 0] = image->pixels[i * 3 + 0];
    rgba[i * 4 + 1] = image->pixels[i * 3 + 1];
    rgba[i * 4 + 2] = image->pixels[i * 3 + 2];
    rgba[i * 4 + 3] = 255;
  }
  id = CreateTexture(static_cast<uint16_t>(image->width), static_cast<uint16_t>(image->height),
                     GL_RGBA, rgba.data());
  return true;
}

void LoadTextureFile(const std::string& fileName, TextureId& id, bool fromResource) {
  if (fileName.size() < 4) return;
  std::string ending = fileName.substr(fileName.size() - 4);
  for (char& c : ending) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ending == ".BMP") {
    LoadBmpTexture(fileName, id, fromResource);
  } else if (ending == ".JPG") {
    LoadJpgTexture(fileName, id, fromResource);
  } else if (ending == ".TGA") {
    LoadTgaTexture(fileName, id, fromResource);
  }
}

TextureId LoadTexture(const std::string& fileName) {
  QuitCheckpoint();
  TextureId found = NoTexture;
  for (const auto& [name, id] : TextureCache) {
    if (name == fileName) found = id;
  }
  if (found != NoTexture) return found;
  TextureId loaded = NoTexture;
  LoadTextureFile(fileName, loaded, false);
  TextureCache.emplace_back(fileName, loaded);
  return loaded;
}

TextureId LoadTextureWithAlpha(const std::string& colourFile, const std::string& alphaFile) {
  QuitCheckpoint();
  const auto colour = ReadJpeg(colourFile);
  if (!colour) return NoTexture;
  const auto alpha = ReadJpeg(alphaFile);
  if (!alpha) return NoTexture;
  const size_t width = colour->width;
  const size_t height = colour->height;
  std::vector<uint8_t> rgba(width * height * 4);
  // An alpha picture of another size is stretched over the colour picture (nearest sample)
  // rather than read past its end.
  for (size_t y = 0; y < height; ++y) {
    const size_t alphaRow = y * alpha->height / height;
    for (size_t x = 0; x < width; ++x) {
      const size_t alphaColumn = x * alpha->width / width;
      const uint8_t* source = colour->pixels.data() + (y * width + x) * 3;
      uint8_t* target = rgba.data() + (y * width + x) * 4;
      target[0] = source[0];
      target[1] = source[1];
      target[2] = source[2];
      target[3] = alpha->pixels[(alphaRow * alpha->width + alphaColumn) * 3 + 2];
    }
  }
  return CreateTexture(static_cast<uint16_t>(width), static_cast<uint16_t>(height), GL_RGBA,
                       rgba.data());
}
