// The live mode's pictures, in every format the texture readers serve: JPEG, 24-bit BMP and
// 24/32-bit TGA, raw and run-length.
#include <algorithm>
#include <cmath>

#include "DataGen.h"
#include "Paint.h"

namespace datagen {
namespace {

constexpr float Pi = 3.14159265358979f;

Colour Hue(float h) {
  return {0.5f + 0.5f * std::cos(2 * Pi * h), 0.5f + 0.5f * std::cos(2 * Pi * (h - 0.333f)),
          0.5f + 0.5f * std::cos(2 * Pi * (h - 0.667f))};
}

Image Plasma(int size, float scale, float hueShift, float darkness) {
  Image image(size, size);
  Shade(image, [&](float u, float v) {
    const float x = u * scale, y = v * scale;
    const float p = std::sin(x) + std::sin(y * 1.3f + x * 0.4f) + std::sin(std::hypot(x - scale / 2, y - scale / 2) * 1.7f);
    return Hue(p * 0.15f + hueShift) * (1 - darkness * (0.5f + 0.5f * std::sin(p * 2)));
  });
  return image;
}

Image Target(int size) {
  Image image(size, size);
  Shade(image, [](float u, float v) {
    const float d = std::hypot(u - 0.5f, v - 0.5f);
    const float ring = 0.5f + 0.5f * std::cos(d * 70);
    return Mix(Colour{0.05f, 0.0f, 0.15f}, Hue(d * 1.5f + 0.6f), ring) * (1 - std::min(1.0f, d * 1.2f));
  });
  return image;
}

Image Star(int size) {
  Image image(size, size);
  Shade(image, [](float u, float v) {
    const float x = u - 0.5f, y = v - 0.5f, d = std::hypot(x, y), a = std::atan2(y, x);
    const float petal = 0.28f + 0.12f * std::cos(a * 6);
    const float inside = std::clamp((petal - d) * 60, 0.0f, 1.0f);
    return Mix(Colour{0.9f, 0.3f, 0.6f}, Colour{1.0f, 0.95f, 0.6f}, std::max(0.0f, 1 - d * 4)) * inside +
           Colour{0.1f, 0.2f, 0.4f} * std::exp(-d * 8);
  });
  return image;
}

// A sprite with a real alpha: flat colours on a transparent ground, so run-length coding pays.
void LiveBadge(Image& colour, Mask& alpha) {
  colour = Image(256, 256);
  Image shape(256, 256);
  DrawRing(shape, 128, 128, 100, 18, {1, 1, 1});
  PaintText(shape, "DejaVuSans-Bold.ttf", 64, "LIVE", 128, 128, {1, 1, 1}, {}, 0);
  alpha = ToMask(shape);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const float d = std::hypot(x - 128.0f, y - 128.0f);
      const Colour c = d > 80 ? Colour{1.0f, 0.3f, 0.2f} : Colour{1.0f, 1.0f, 1.0f};
      float* p = colour.At(x, y);
      // Transparent pixels are all black, so they form long runs.
      const float a = alpha.At(x, y);
      p[0] = a > 0 ? c.r : 0;
      p[1] = a > 0 ? c.g : 0;
      p[2] = a > 0 ? c.b : 0;
    }
}

Image Sunburst(int size) {
  Image image(size, size);
  Shade(image, [](float u, float v) {
    const float a = std::atan2(v - 0.5f, u - 0.5f), d = std::hypot(u - 0.5f, v - 0.5f);
    const float ray = std::sin(a * 16) > 0 ? 1.0f : 0.35f;
    return Mix(Colour{1.0f, 0.8f, 0.2f}, Colour{0.8f, 0.1f, 0.3f}, std::min(1.0f, d * 1.6f)) * ray;
  });
  return image;
}

// Posterised bands: few colours in long horizontal runs.
Image Bands(int size) {
  Image image(size, size);
  const Colour palette[5] = {{0.05f, 0.05f, 0.2f}, {0.1f, 0.3f, 0.6f}, {0.2f, 0.7f, 0.8f}, {0.9f, 0.9f, 0.6f}, {0.9f, 0.4f, 0.2f}};
  Shade(image, [&](float u, float v) {
    const float wave = v + 0.08f * std::sin(u * 2 * Pi * 2);
    const int band = static_cast<int>(std::floor(wave * 10)) % 5;
    return palette[(band + 5) % 5];
  });
  return image;
}

Image Checker(int size) {
  Image image(size, size);
  Shade(image, [](float u, float v) {
    const bool on = (static_cast<int>(u * 8) + static_cast<int>(v * 8)) % 2 == 0;
    const Colour tint = Hue(u * 0.5f + v * 0.3f);
    return on ? tint : tint * 0.15f;
  });
  return image;
}

Image LiveSphereMap(int size, Colour a, Colour b) {
  Image image(size, size);
  ShadeSphereMap(image, [&](float x, float y, float z) {
    const float band = std::pow(std::fabs(std::sin(std::atan2(x, z) * 3 + y * 4)), 8.0f);
    return Mix(b * 0.2f, a, 0.5f + 0.5f * y) + b * band;
  });
  return image;
}

Image Stripes(int size) {
  Image image(size, size);
  Shade(image, [](float u, float v) {
    const float stripe = std::pow(std::fabs(std::sin(u * Pi * 12)), 6.0f);
    const float dots = std::pow(std::max(0.0f, std::cos(u * Pi * 48) * std::cos(v * Pi * 6)), 20.0f);
    return Colour{0.2f, 0.5f, 1.0f} * stripe + Colour{1.0f, 0.9f, 0.6f} * dots;
  });
  return image;
}

}  // namespace

void WriteLivePictures(const std::string& directory) {
  const std::string d = directory + "/";
  // The live texture table.
  WriteJpeg(d + "live_pic0.jpg", Plasma(512, 14, 0.1f, 0.3f));
  WriteBmp(d + "live_pic1.bmp", Target(256));
  WriteTga(d + "live_pic2.tga", Star(256), nullptr, false);
  Image badge(1, 1);
  Mask badgeAlpha;
  LiveBadge(badge, badgeAlpha);
  WriteTga(d + "live_pic3.tga", badge, &badgeAlpha, true);
  // Background pictures 1 to 6.
  WriteJpeg(d + "live_back1.jpg", Plasma(256, 9, 0.55f, 0.5f));
  WriteJpeg(d + "live_back2.jpg", Plasma(256, 20, 0.8f, 0.2f));
  WriteJpeg(d + "live_back3.jpg", Checker(256));
  WriteJpeg(d + "live_back4.jpg", Target(256));
  WriteBmp(d + "live_back5.bmp", Sunburst(256));
  WriteTga(d + "live_back6.tga", Bands(256), nullptr, true);
  // Layer pictures.
  WriteJpeg(d + "live_warp.jpg", Checker(256));
  WriteJpeg(d + "live_swarm.jpg", LiveSphereMap(256, {0.2f, 0.9f, 1.0f}, {1.0f, 0.3f, 0.8f}));
  WriteJpeg(d + "live_ring.jpg", Stripes(256));
  WriteTga(d + "live_pillar.tga", LiveSphereMap(256, {0.3f, 1.0f, 0.5f}, {0.9f, 0.9f, 0.3f}), nullptr, false);
  Image glow(128, 128);
  Shade(glow, [](float u, float v) {
    const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
    return Colour{0.6f, 1.0f, 0.7f} * (std::exp(-r * r * 6) * (1 - std::clamp((r - 0.7f) / 0.3f, 0.0f, 1.0f)));
  });
  WriteJpeg(d + "live_glow.jpg", glow);
}

}  // namespace datagen
