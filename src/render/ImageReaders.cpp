// Picture decoders for BMP, TGA and JPEG. Every size read from a header is checked against the
// bytes actually present and against MaxImageSide/MaxImagePixels before anything is allocated.
#include "render/ImageReaders.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>

#include <jpeglib.h>

#include "render/ByteOrder.h"

namespace {

uint16_t ReadU16(std::span<const uint8_t> bytes, size_t at) { return ReadLE16(&bytes[at]); }
uint32_t ReadU32(std::span<const uint8_t> bytes, size_t at) { return ReadLE32(&bytes[at]); }

ImageReadResult Failure(std::string caption, std::string message) {
  ImageReadResult result;
  result.caption = std::move(caption);
  result.message = std::move(message);
  return result;
}

bool SizeAcceptable(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width <= MaxImageSide && height <= MaxImageSide &&
         width * height <= MaxImagePixels;
}

void FlipRows(DecodedImage& image) {
  const size_t rowBytes = static_cast<size_t>(image.width) * image.channels;
  for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(image.pixels.begin() + top * rowBytes, image.pixels.begin() + (top + 1) * rowBytes,
                     image.pixels.begin() + bottom * rowBytes);
  }
}

void MirrorColumns(DecodedImage& image) {
  const size_t channels = image.channels;
  for (int row = 0; row < image.height; ++row) {
    uint8_t* line = image.pixels.data() + static_cast<size_t>(row) * image.width * channels;
    for (int left = 0, right = image.width - 1; left < right; ++left, --right) {
      std::swap_ranges(line + left * channels, line + (left + 1) * channels, line + right * channels);
    }
  }
}

// ---- BMP ----------------------------------------------------------------------------------

const char* const BmpCaption = "BMP Unit";
constexpr size_t BmpFileHeaderSize = 14;
constexpr size_t BmpInfoHeaderSize = 40;

// ---- TGA ----------------------------------------------------------------------------------

const char* const TgaCaption = "TGA File Error";
constexpr size_t TgaHeaderSize = 18;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

ImageReadResult TgaReadFailure(const std::string& name) {
  return Failure(TgaCaption, "Couldn't read file " + Quoted(name) + ".");
}

// Run-length packets: a header byte below 128 starts a raw packet of header + 1 pixels, one of
// 128 or more repeats the following pixel header - 127 times. Packets may cross row ends; a
// packet longer than the picture is cut off. False when the input ends before the picture.
bool DecodeTgaRunLength(std::span<const uint8_t> packets, size_t bytesPerPixel,
                        std::vector<uint8_t>& out) {
  size_t in = 0;
  size_t written = 0;
  const size_t total = out.size();
  while (written < total) {
    if (in >= packets.size()) return false;
    const uint8_t header = packets[in++];
    const size_t count = (header & 0x7F) + 1;
    if (header < 128) {
      const size_t bytes = count * bytesPerPixel;
      if (packets.size() - in < bytes) return false;
      const size_t copied = std::min(bytes, total - written);
      std::memcpy(out.data() + written, packets.data() + in, copied);
      in += bytes;
      written += copied;
    } else {
      if (packets.size() - in < bytesPerPixel) return false;
      const uint8_t* pixel = packets.data() + in;
      in += bytesPerPixel;
      for (size_t i = 0; i < count && written < total; ++i, written += bytesPerPixel) {
        std::memcpy(out.data() + written, pixel, bytesPerPixel);
      }
    }
  }
  return true;
}

// ---- JPEG ---------------------------------------------------------------------------------

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

// Warnings (corrupt or missing data that libjpeg fills in) are not printed: nothing is logged.
void JpegSilent(j_common_ptr) {}

uint8_t Scale255(unsigned a, unsigned b) { return static_cast<uint8_t>((a * b + 127) / 255); }

// Decodes into image; kept apart from DecodeJpeg so that no object with a destructor lives in
// the frame that longjmp returns to. Returns false on any libjpeg error.
bool DecodeJpegInto(std::span<const uint8_t> bytes, DecodedImage& image,
                    std::vector<uint8_t>& scanline) {
  jpeg_decompress_struct info;
  JpegErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JpegErrorExit;
  errors.base.output_message = JpegSilent;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  // Bounds what a hostile header can make libjpeg allocate (whole-image buffers of
  // progressive files) beyond the picture itself.
  info.mem->max_memory_to_use = 512L * 1024 * 1024;
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (!SizeAcceptable(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // libjpeg converts greyscale and YCbCr to RGB itself; CMYK and YCCK come out as CMYK and are
  // converted below.
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  info.scale_num = 1;
  info.scale_denom = 1;
  jpeg_start_decompress(&info);
  const unsigned width = info.output_width;
  const unsigned height = info.output_height;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.channels = 3;
  image.pixels.assign(static_cast<size_t>(width) * height * 3, 0);
  scanline.assign(static_cast<size_t>(width) * info.output_components, 0);
  // Adobe writers store CMYK inverted (0 = full ink).
  const bool inverted = info.saw_Adobe_marker;
  while (info.output_scanline < height) {
    JSAMPROW row = scanline.data();
    const unsigned line = info.output_scanline;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
    // The decoder delivers the top row first; the picture is stored bottom row first.
    uint8_t* target = image.pixels.data() + static_cast<size_t>(height - 1 - line) * width * 3;
    if (!cmyk) {
      std::memcpy(target, scanline.data(), static_cast<size_t>(width) * 3);
      continue;
    }
    for (unsigned x = 0; x < width; ++x) {
      const uint8_t* ink = scanline.data() + x * 4;
      for (int c = 0; c < 3; ++c) {
        target[x * 3 + c] = inverted ? Scale255(ink[c], ink[3]) : Scale255(255 - ink[c], 255 - ink[3]);
      }
    }
  }
  // A file cut short still decodes: libjpeg fills what is missing with grey, as viewers show it.
  if (info.output_scanline < height) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

ImageReadResult DecodeBmp(std::span<const uint8_t> bytes, const std::string& name) {
  const std::string unsupported = "Only uncompressed 24 bit BMP files supported - " + name;
  if (bytes.size() < BmpFileHeaderSize + 4) return Failure(BmpCaption, "Error reading bitmap data");
  const uint32_t infoSize = ReadU32(bytes, BmpFileHeaderSize);
  // Older 12-byte core headers lay their fields out differently.
  if (infoSize < BmpInfoHeaderSize) return Failure(BmpCaption, unsupported);
  if (bytes.size() < BmpFileHeaderSize + BmpInfoHeaderSize) {
    return Failure(BmpCaption, "Error reading bitmap data");
  }
  const uint32_t pixelOffset = ReadU32(bytes, 10);
  const int32_t width = static_cast<int32_t>(ReadU32(bytes, 18));
  const int32_t rawHeight = static_cast<int32_t>(ReadU32(bytes, 22));
  const uint16_t bitCount = ReadU16(bytes, 28);
  const uint32_t compression = ReadU32(bytes, 30);
  const uint32_t coloursUsed = ReadU32(bytes, 46);
  if (bitCount != 24 || compression != 0) return Failure(BmpCaption, unsupported);

  const uint64_t headerEnd = BmpFileHeaderSize + static_cast<uint64_t>(infoSize);
  const uint64_t paletteEnd = headerEnd + static_cast<uint64_t>(coloursUsed) * 4;
  if (paletteEnd > bytes.size()) return Failure(BmpCaption, "Error reading palette");

  const bool topDown = rawHeight < 0;
  const int64_t height = topDown ? -static_cast<int64_t>(rawHeight) : rawHeight;
  if (width <= 0 || height <= 0) return Failure(BmpCaption, "Error reading bitmap data");
  if (!SizeAcceptable(static_cast<uint64_t>(width), static_cast<uint64_t>(height))) {
    return Failure(BmpCaption, "Bitmap too large - " + name);
  }
  // Rows are padded to whole 4-byte words; the image-size field is often wrong and not needed.
  const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t{3};
  // The offset field locates the pixels past larger headers and palettes; a file whose offset
  // points nowhere sensible gets the pixels right after its palette.
  const uint64_t dataStart =
      (pixelOffset >= headerEnd && pixelOffset <= bytes.size()) ? pixelOffset : paletteEnd;
  if (dataStart + stride * height > bytes.size()) return Failure(BmpCaption, "Error reading bitmap data");

  ImageReadResult result;
  DecodedImage& image = result.image;
  image.width = width;
  image.height = static_cast<int>(height);
  image.channels = 3;
  image.pixels.resize(static_cast<size_t>(width) * height * 3);
  for (int64_t row = 0; row < height; ++row) {
    const uint8_t* source = bytes.data() + dataStart + row * stride;
    const int64_t targetRow = topDown ? height - 1 - row : row;
    uint8_t* target = image.pixels.data() + targetRow * width * 3;
    for (int32_t x = 0; x < width; ++x) {
      target[x * 3 + 0] = source[x * 3 + 2];
      target[x * 3 + 1] = source[x * 3 + 1];
      target[x * 3 + 2] = source[x * 3 + 0];
    }
  }
  return result;
}

ImageReadResult DecodeTga(std::span<const uint8_t> bytes, const std::string& name) {
  if (bytes.size() < TgaHeaderSize) return TgaReadFailure(name);
  const uint8_t idLength = bytes[0];
  const uint8_t colourMapType = bytes[1];
  const uint8_t imageType = bytes[2];
  const uint16_t width = ReadU16(bytes, 12);
  const uint16_t height = ReadU16(bytes, 14);
  const uint8_t depth = bytes[16];
  const uint8_t descriptor = bytes[17];
  const std::string prefix = "Couldn't load " + Quoted(name);
  if (imageType != 2 && imageType != 10) {
    return Failure(TgaCaption, prefix + ". Only 24 and 32bit TGA supported.");
  }
  if (colourMapType != 0) return Failure(TgaCaption, prefix + ". Colormapped TGA files not supported.");
  // Depths other than exactly 24 or 32 would be read with the wrong pixel stride.
  if (depth != 24 && depth != 32) {
    return Failure(TgaCaption, prefix + ". Only 24 and 32 bit TGA files supported.");
  }
  if (!SizeAcceptable(width, height)) return TgaReadFailure(name);

  const size_t bytesPerPixel = depth / 8;
  const size_t pixelCount = static_cast<size_t>(width) * height;
  const size_t imageBytes = pixelCount * bytesPerPixel;
  // The image-ID field sits between the header and the pixels.
  const size_t dataStart = TgaHeaderSize + idLength;
  if (dataStart > bytes.size()) return TgaReadFailure(name);
  const std::span<const uint8_t> data = bytes.subspan(dataStart);

  ImageReadResult result;
  DecodedImage& image = result.image;
  image.width = width;
  image.height = height;
  image.channels = static_cast<int>(bytesPerPixel);
  if (imageType == 2) {
    if (data.size() < imageBytes) return TgaReadFailure(name);
    image.pixels.assign(data.begin(), data.begin() + imageBytes);
  } else {
    // Each packet covers at most 128 pixels, so a file too short for the picture is refused
    // before the output is allocated.
    const size_t fewestBytes = (pixelCount + 127) / 128 * (1 + bytesPerPixel);
    if (data.size() < fewestBytes) return TgaReadFailure(name);
    image.pixels.resize(imageBytes);
    if (!DecodeTgaRunLength(data, bytesPerPixel, image.pixels)) return TgaReadFailure(name);
  }
  for (size_t at = 0; at < imageBytes; at += bytesPerPixel) std::swap(image.pixels[at], image.pixels[at + 2]);
  // Descriptor bit 5: rows run top to bottom; bit 4: pixels run right to left.
  if (descriptor & 0x20) FlipRows(image);
  if (descriptor & 0x10) MirrorColumns(image);
  return result;
}

ImageReadResult DecodeJpeg(std::span<const uint8_t> bytes, const std::string& name) {
  ImageReadResult result;
  std::vector<uint8_t> scanline;
  if (bytes.empty() || !DecodeJpegInto(bytes, result.image, scanline)) {
    return Failure("BMP Unit", "Couldn't load JPG - " + Quoted(name));
  }
  return result;
}
