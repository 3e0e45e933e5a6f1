// Pictures in memory, the painting operations the generator composes them from, and their files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace datagen {

struct Colour {
  float r = 0, g = 0, b = 0;
};
inline Colour operator*(Colour c, float k) { return {c.r * k, c.g * k, c.b * k}; }
inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour Mix(Colour a, Colour b, float t) { return a * (1 - t) + b * t; }

// Linear RGB pixels, top row first; values outside 0..1 are clamped when written.
struct Image {
  Image(int w, int h, Colour fill = {});
  int width, height;
  std::vector<float> rgb;
  float* At(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  const float* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  void Add(int x, int y, Colour c, float amount);
  void Blend(int x, int y, Colour c, float alpha);
};

// One coverage value per pixel, top row first: text, shapes and alpha channels.
struct Mask {
  int width = 0, height = 0;
  std::vector<float> alpha;
  float& At(int x, int y) { return alpha[static_cast<size_t>(y) * width + x]; }
  float At(int x, int y) const { return alpha[static_cast<size_t>(y) * width + x]; }
};

// Runs shader for every pixel with u rightwards and v upwards, both 0..1 at pixel centres.
void Shade(Image& image, const std::function<Colour(float u, float v)>& shader);
// Smooth value noise in 0..1 and its fractal sum (octaves halve in size and weight).
float Noise(float x, float y, uint32_t seed);
float Fractal(float x, float y, int octaves, uint32_t seed);
// A soft round glow added at pixel (cx, cy), falling off as exp(-(d/radius)^2).
void AddGlow(Image& image, float cx, float cy, float radius, Colour colour);
// Antialiased line and ring, added (additive) or blended over.
void DrawLine(Image& image, float x0, float y0, float x1, float y1, float width, Colour colour,
              bool additive = false);
void DrawRing(Image& image, float cx, float cy, float radius, float width, Colour colour,
              bool additive = false);
void FillDisc(Image& image, float cx, float cy, float radius, Colour colour, float alpha = 1);
// A sphere map of an environment: sky(direction) gives the colour seen along a unit reflection.
void ShadeSphereMap(Image& image, const std::function<Colour(float x, float y, float z)>& sky);

// Text set with a DejaVu face of the given file name ("DejaVuSans-Bold.ttf") at a pixel size.
Mask RenderText(const std::string& fontFile, int pixelSize, const std::string& text);
Mask BlurMask(const Mask& mask, int radius);
// Resamples the mask to a new size (bilinear), e.g. to pre-squeeze text for a stretched picture.
Mask ResizeMask(const Mask& mask, int width, int height);
// Paints the mask with its top-left corner at (left, top).
void PaintMask(Image& image, const Mask& mask, int left, int top, Colour colour, float strength,
               bool additive);
// Paints text centred on (cx, cy) with an optional glow (glowRadius 0 for none); xScale squeezes
// or widens the letters for pictures that are shown stretched.
void PaintText(Image& image, const std::string& fontFile, int pixelSize, const std::string& text,
               float cx, float cy, Colour colour, Colour glow, int glowRadius, float xScale = 1);

// File writers. JPEG with fixed libjpeg settings; BMP 24-bit bottom-up with padded rows; TGA
// with bottom-left origin and an empty image-ID field, 24-bit or 32-bit (alpha from the mask),
// raw or run-length.
void WriteJpeg(const std::string& path, const Image& image, int quality = 92);
void WriteBmp(const std::string& path, const Image& image);
void WriteTga(const std::string& path, const Image& image, const Mask* alpha, bool runLength);
// The red channel of a white-on-black drawing as a mask.
Mask ToMask(const Image& shape);
// The grey picture of a mask, for alpha JPEGs whose blue channel carries the alpha.
Image MaskPicture(const Mask& mask);

}  // namespace datagen
