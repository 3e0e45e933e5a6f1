// The program's icon for desktop menus: a glowing ring with the initials on a round dark ground,
// written as a 256 x 256 PNG with alpha.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "DataGen.h"
#include "Paint.h"

namespace datagen {
namespace {
constexpr int IconSize = 256;

void WriteRgbaPng(const std::string& path, const Image& image, const Mask& alpha) {
  std::vector<uint8_t> rows(static_cast<size_t>(image.width) * image.height * 4);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      uint8_t* out = &rows[(static_cast<size_t>(y) * image.width + x) * 4];
      const float* p = image.At(x, y);
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(std::lround(std::clamp(p[c], 0.0f, 1.0f) * 255));
      out[3] = static_cast<uint8_t>(std::lround(std::clamp(alpha.At(x, y), 0.0f, 1.0f) * 255));
    }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  // volatile: libpng reports errors by longjmp back to the setjmp below.
  volatile bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) png_write_row(png, &rows[static_cast<size_t>(y) * image.width * 4]);
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (std::fclose(file) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}
}  // namespace

void WriteIcon(const std::string& directory) {
  const float centre = IconSize / 2.0f, radius = IconSize / 2.0f - 4;
  Image image(IconSize, IconSize, {0.03f, 0.02f, 0.08f});
  AddGlow(image, centre, centre, radius, {0.25f, 0.08f, 0.4f});
  DrawRing(image, centre, centre, radius - 18, 6, {0.45f, 0.65f, 1.0f}, true);
  AddGlow(image, centre, centre - 70, 50, {0.5f, 0.6f, 1.0f});
  PaintText(image, "DejaVuSans-Bold.ttf", 104, "VK", centre, centre + 4, {0.95f, 0.97f, 1.0f},
            {0.3f, 0.5f, 1.0f}, 8);
  // A round icon: opaque inside the disc, a one-pixel soft edge.
  Mask alpha{IconSize, IconSize, std::vector<float>(static_cast<size_t>(IconSize) * IconSize)};
  for (int y = 0; y < IconSize; ++y)
    for (int x = 0; x < IconSize; ++x)
      alpha.At(x, y) = std::clamp(radius - std::hypot(x + 0.5f - centre, y + 0.5f - centre) + 0.5f, 0.0f, 1.0f);
  WriteRgbaPng(directory + "/vantrel.png", image, alpha);
}

}  // namespace datagen
