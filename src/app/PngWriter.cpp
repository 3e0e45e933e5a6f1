// The PNG writer for --frames: libpng, RGBA, a light compression level for speed.
#include "app/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/Terminate.h"

namespace {
bool WritePngFile(const std::string& path, const std::vector<uint8_t>& rgbaTopDown, int width, int height,
                  std::string& error) {
  errno = 0;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    for (int row = 0; row < height; ++row)
      png_write_row(png, const_cast<png_bytep>(&rgbaTopDown[static_cast<size_t>(row) * width * 4]));
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  // libpng's own message names no reason; errno still holds the failed write's.
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  if (!ok || !closed) error = std::strerror(closed ? writeError : errno);
  return ok && closed;
}
}  // namespace

bool WritePng(const std::string& path, const std::vector<uint8_t>& rgbaTopDown, int width, int height,
              std::string& error) {
  // A screenshot is written whole even when a terminate request's deadline passes meanwhile.
  const TerminateDeadlineHold whole;
  if (width <= 0 || height <= 0 || rgbaTopDown.size() < static_cast<size_t>(width) * height * 4) {
    error = "the picture is smaller than its size";
    return false;
  }
  return WritePngFile(path, rgbaTopDown, width, height, error);
}

std::string UnfinishedPath(const std::string& path) {
  const std::filesystem::path named(path);
  std::filesystem::path partial = named;
  partial.replace_filename(named.stem().string() + ".partial" + named.extension().string());
  return partial.string();
}
