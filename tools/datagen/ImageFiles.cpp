// Picture files: JPEG through libjpeg with fixed settings, 24-bit BMP and 24/32-bit TGA.
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "Bytes.h"
#include "Paint.h"

namespace datagen {
namespace {

uint8_t Byte(float value) {
  return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

void JpegError(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  throw std::runtime_error(std::string("libjpeg: ") + text);
}

}  // namespace

void WriteJpeg(const std::string& path, const Image& image, int quality) {
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  error.error_exit = JpegError;
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.dct_method = JDCT_ISLOW;
  info.optimize_coding = TRUE;
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
  while (info.next_scanline < info.image_height) {
    const float* source = image.At(0, static_cast<int>(info.next_scanline));
    for (size_t i = 0; i < row.size(); ++i) row[i] = Byte(source[i]);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  free(buffer);
  SaveFile(path, bytes);
}

void WriteBmp(const std::string& path, const Image& image) {
  const uint32_t rowBytes = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
  const uint32_t dataBytes = rowBytes * static_cast<uint32_t>(image.height);
  std::vector<uint8_t> out;
  out.reserve(54 + dataBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + dataBytes);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(image.width));
  Put32(out, static_cast<uint32_t>(image.height));  // positive: bottom row first
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);  // uncompressed
  Put32(out, dataBytes);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    const size_t start = out.size();
    for (int x = 0; x < image.width; ++x) {
      const float* p = image.At(x, y);
      out.push_back(Byte(p[2]));
      out.push_back(Byte(p[1]));
      out.push_back(Byte(p[0]));
    }
    while (out.size() - start < rowBytes) out.push_back(0);
  }
  SaveFile(path, out);
}

void WriteTga(const std::string& path, const Image& image, const Mask* alpha, bool runLength) {
  const int depth = alpha ? 4 : 3;
  std::vector<uint8_t> out = {0, 0, static_cast<uint8_t>(runLength ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(out, static_cast<uint32_t>(image.width));
  Put16(out, static_cast<uint32_t>(image.height));
  out.push_back(static_cast<uint8_t>(depth * 8));
  out.push_back(alpha ? 8 : 0);  // alpha bits; origin bits 0: bottom-left
  std::vector<uint8_t> pixel(static_cast<size_t>(image.width) * depth);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const float* p = image.At(x, y);
      uint8_t* q = &pixel[static_cast<size_t>(x) * depth];
      q[0] = Byte(p[2]);
      q[1] = Byte(p[1]);
      q[2] = Byte(p[0]);
      if (alpha) q[3] = Byte(alpha->At(x, y));
    }
    if (!runLength) {
      out.insert(out.end(), pixel.begin(), pixel.end());
      continue;
    }
    // Packets stay within a row, which every TGA reader accepts.
    auto same = [&](int a, int b) { return std::memcmp(&pixel[static_cast<size_t>(a) * depth], &pixel[static_cast<size_t>(b) * depth], depth) == 0; };
    int x = 0;
    while (x < image.width) {
      int run = 1;
      while (x + run < image.width && run < 128 && same(x, x + run)) ++run;
      if (run >= 2) {
        out.push_back(static_cast<uint8_t>(127 + run));
        out.insert(out.end(), pixel.begin() + static_cast<long>(x) * depth, pixel.begin() + static_cast<long>(x + 1) * depth);
        x += run;
        continue;
      }
      int raw = 1;
      while (x + raw < image.width && raw < 128 && !(x + raw + 1 < image.width && same(x + raw, x + raw + 1))) ++raw;
      out.push_back(static_cast<uint8_t>(raw - 1));
      out.insert(out.end(), pixel.begin() + static_cast<long>(x) * depth, pixel.begin() + static_cast<long>(x + raw) * depth);
      x += raw;
    }
  }
  SaveFile(path, out);
}

}  // namespace datagen
