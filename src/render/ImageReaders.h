// Picture decoders: BMP, TGA and JPEG bytes to tightly packed pixels, bottom row first, no GL.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Largest side and pixel count a reader accepts before allocating anything.
inline constexpr uint32_t MaxImageSide = 16384;
inline constexpr uint64_t MaxImagePixels = 64ull * 1024 * 1024;

// A decoded picture: channels 3 (R, G, B) or 4 (R, G, B, A), the first row is the bottom one.
struct DecodedImage {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<uint8_t> pixels;
};

// Either a picture or the message box (caption and text) that explains why there is none.
struct ImageReadResult {
  DecodedImage image;
  std::string caption;
  std::string message;
  bool Ok() const { return message.empty(); }
};

// Uncompressed 24-bit BMP (bottom-up or top-down, any header version); anything else is refused
// with a "BMP Unit" message. name is only used in message texts.
ImageReadResult DecodeBmp(std::span<const uint8_t> bytes, const std::string& name);
// 24- and 32-bit true-colour TGA, raw or run-length coded, any origin; others are refused with a
// "TGA File Error" message.
ImageReadResult DecodeTga(std::span<const uint8_t> bytes, const std::string& name);
// Any 8-bit JPEG libjpeg reads (greyscale and CMYK converted) as 3-channel RGB; failure gives
// "Couldn't load JPG - \"name\"" with caption "BMP Unit".
ImageReadResult DecodeJpeg(std::span<const uint8_t> bytes, const std::string& name);
