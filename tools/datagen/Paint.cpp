// Painting operations on in-memory pictures: shading, noise, glows, shapes and text.
#include "Paint.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace datagen {

Image::Image(int w, int h, Colour fill) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3) {
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = fill.r;
    rgb[i + 1] = fill.g;
    rgb[i + 2] = fill.b;
  }
}

void Image::Add(int x, int y, Colour c, float amount) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  float* p = At(x, y);
  p[0] += c.r * amount;
  p[1] += c.g * amount;
  p[2] += c.b * amount;
}

void Image::Blend(int x, int y, Colour c, float alpha) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  float* p = At(x, y);
  p[0] += (c.r - p[0]) * alpha;
  p[1] += (c.g - p[1]) * alpha;
  p[2] += (c.b - p[2]) * alpha;
}

void Shade(Image& image, const std::function<Colour(float u, float v)>& shader) {
  for (int y = 0; y < image.height; ++y) {
    const float v = 1.0f - (y + 0.5f) / image.height;
    for (int x = 0; x < image.width; ++x) {
      const Colour c = shader((x + 0.5f) / image.width, v);
      float* p = image.At(x, y);
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  }
}

namespace {

float Lattice(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777215.0f;
}

float Smooth(float t) { return t * t * (3 - 2 * t); }

// Coverage of a pixel centre at signed distance d from an edge, one pixel of antialiasing.
float Coverage(float d) { return std::clamp(0.5f - d, 0.0f, 1.0f); }

}  // namespace

float Noise(float x, float y, uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const float tx = Smooth(x - fx), ty = Smooth(y - fy);
  const float a = Lattice(ix, iy, seed), b = Lattice(ix + 1, iy, seed);
  const float c = Lattice(ix, iy + 1, seed), d = Lattice(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

float Fractal(float x, float y, int octaves, uint32_t seed) {
  float sum = 0, weight = 0.5f, total = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += Noise(x, y, seed + i * 17u) * weight;
    total += weight;
    x *= 2.03f;
    y *= 2.03f;
    weight *= 0.5f;
  }
  return sum / total;
}

void AddGlow(Image& image, float cx, float cy, float radius, Colour colour) {
  const int reach = static_cast<int>(std::ceil(radius * 3));
  const int x0 = std::max(0, static_cast<int>(cx) - reach), x1 = std::min(image.width - 1, static_cast<int>(cx) + reach);
  const int y0 = std::max(0, static_cast<int>(cy) - reach), y1 = std::min(image.height - 1, static_cast<int>(cy) + reach);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const float dx = (x + 0.5f - cx) / radius, dy = (y + 0.5f - cy) / radius;
      image.Add(x, y, colour, std::exp(-(dx * dx + dy * dy)));
    }
}

void DrawLine(Image& image, float x0, float y0, float x1, float y1, float width, Colour colour,
              bool additive) {
  const float pad = width + 2;
  const int bx0 = std::max(0, static_cast<int>(std::min(x0, x1) - pad));
  const int bx1 = std::min(image.width - 1, static_cast<int>(std::max(x0, x1) + pad));
  const int by0 = std::max(0, static_cast<int>(std::min(y0, y1) - pad));
  const int by1 = std::min(image.height - 1, static_cast<int>(std::max(y0, y1) + pad));
  const float dx = x1 - x0, dy = y1 - y0, len2 = std::max(dx * dx + dy * dy, 1e-6f);
  for (int y = by0; y <= by1; ++y)
    for (int x = bx0; x <= bx1; ++x) {
      const float px = x + 0.5f - x0, py = y + 0.5f - y0;
      const float t = std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f);
      const float ex = px - t * dx, ey = py - t * dy;
      const float cover = Coverage(std::sqrt(ex * ex + ey * ey) - width * 0.5f);
      if (cover <= 0) continue;
      if (additive)
        image.Add(x, y, colour, cover);
      else
        image.Blend(x, y, colour, cover);
    }
}

void DrawRing(Image& image, float cx, float cy, float radius, float width, Colour colour,
              bool additive) {
  const float reach = radius + width + 2;
  const int x0 = std::max(0, static_cast<int>(cx - reach)), x1 = std::min(image.width - 1, static_cast<int>(cx + reach));
  const int y0 = std::max(0, static_cast<int>(cy - reach)), y1 = std::min(image.height - 1, static_cast<int>(cy + reach));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      const float cover = Coverage(std::fabs(d - radius) - width * 0.5f);
      if (cover <= 0) continue;
      if (additive)
        image.Add(x, y, colour, cover);
      else
        image.Blend(x, y, colour, cover);
    }
}

void FillDisc(Image& image, float cx, float cy, float radius, Colour colour, float alpha) {
  const int x0 = std::max(0, static_cast<int>(cx - radius - 2)), x1 = std::min(image.width - 1, static_cast<int>(cx + radius + 2));
  const int y0 = std::max(0, static_cast<int>(cy - radius - 2)), y1 = std::min(image.height - 1, static_cast<int>(cy + radius + 2));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const float cover = Coverage(std::hypot(x + 0.5f - cx, y + 0.5f - cy) - radius);
      if (cover > 0) image.Blend(x, y, colour, cover * alpha);
    }
}

void ShadeSphereMap(Image& image, const std::function<Colour(float x, float y, float z)>& sky) {
  // GL's sphere map: texel (s, t) shows the environment along the reflection of the view ray
  // off a sphere whose normal is (2s - 1, 2t - 1, nz); outside the unit disc we continue with
  // the rim's colour so mipmaps do not bleed black into the edge.
  Shade(image, [&](float s, float t) {
    float nx = 2 * s - 1, ny = 2 * t - 1;
    const float r2 = nx * nx + ny * ny;
    if (r2 > 0.999f) {
      const float k = std::sqrt(0.999f / r2);
      nx *= k;
      ny *= k;
    }
    const float nz = std::sqrt(std::max(0.0f, 1 - nx * nx - ny * ny));
    return sky(2 * nz * nx, 2 * nz * ny, 2 * nz * nz - 1);
  });
}

namespace {

// Fonts stay open for the whole run and are closed at exit, when the cache goes away.
struct FontCache {
  std::map<std::pair<std::string, int>, TTF_Font*> fonts;
  ~FontCache() {
    for (auto& entry : fonts) TTF_CloseFont(entry.second);
    if (TTF_WasInit()) TTF_Quit();
  }
};

TTF_Font* Font(const std::string& file, int size) {
  static FontCache cache;
  auto& fonts = cache.fonts;
  auto found = fonts.find({file, size});
  if (found != fonts.end()) return found->second;
  if (!TTF_WasInit() && TTF_Init() != 0) throw std::runtime_error("TTF_Init failed");
  const std::string path = "/usr/share/fonts/truetype/dejavu/" + file;
  TTF_Font* font = TTF_OpenFont(path.c_str(), size);
  if (!font) throw std::runtime_error("cannot open font " + path);
  fonts[{file, size}] = font;
  return font;
}

}  // namespace

Mask RenderText(const std::string& fontFile, int pixelSize, const std::string& text) {
  SDL_Surface* rendered = TTF_RenderUTF8_Blended(Font(fontFile, pixelSize), text.c_str(), SDL_Color{255, 255, 255, 255});
  if (!rendered) throw std::runtime_error("cannot render text " + text);
  SDL_Surface* surface = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(rendered);
  if (!surface) throw std::runtime_error("cannot convert text surface");
  Mask mask;
  mask.width = surface->w;
  mask.height = surface->h;
  mask.alpha.resize(static_cast<size_t>(mask.width) * mask.height);
  SDL_LockSurface(surface);
  for (int y = 0; y < mask.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch);
    for (int x = 0; x < mask.width; ++x) mask.At(x, y) = (row[x] >> 24) / 255.0f;
  }
  SDL_UnlockSurface(surface);
  SDL_FreeSurface(surface);
  return mask;
}

Mask BlurMask(const Mask& mask, int radius) {
  // Three box passes each way approximate a Gaussian; the result grows by the blur's reach.
  const int pad = radius * 3;
  Mask out;
  out.width = mask.width + 2 * pad;
  out.height = mask.height + 2 * pad;
  out.alpha.assign(static_cast<size_t>(out.width) * out.height, 0.0f);
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) out.At(x + pad, y + pad) = mask.At(x, y);
  // One box pass along every line: count lines of length `length`, `step` apart within a line.
  std::vector<float> line;
  auto pass = [&](int count, int length, size_t lineStride, size_t step) {
    for (int l = 0; l < count; ++l) {
      float* start = &out.alpha[l * lineStride];
      line.resize(length);
      for (int i = 0; i < length; ++i) line[i] = start[i * step];
      for (int i = 0; i < length; ++i) {
        float sum = 0;
        for (int k = std::max(0, i - radius); k <= std::min(length - 1, i + radius); ++k) sum += line[k];
        start[i * step] = sum / (2 * radius + 1);
      }
    }
  };
  for (int round = 0; round < 3; ++round) {
    pass(out.height, out.width, out.width, 1);
    pass(out.width, out.height, 1, out.width);
  }
  return out;
}

Mask ResizeMask(const Mask& mask, int width, int height) {
  Mask out;
  out.width = std::max(1, width);
  out.height = std::max(1, height);
  out.alpha.resize(static_cast<size_t>(out.width) * out.height);
  const float sx = static_cast<float>(mask.width) / out.width, sy = static_cast<float>(mask.height) / out.height;
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      // Average over the source footprint when shrinking, bilinear when growing.
      const float fx0 = x * sx, fx1 = (x + 1) * sx, fy0 = y * sy, fy1 = (y + 1) * sy;
      if (sx >= 1 && sy >= 1) {
        float sum = 0;
        int count = 0;
        for (int j = static_cast<int>(fy0); j < std::min(mask.height, static_cast<int>(std::ceil(fy1))); ++j)
          for (int i = static_cast<int>(fx0); i < std::min(mask.width, static_cast<int>(std::ceil(fx1))); ++i) {
            sum += mask.At(i, j);
            ++count;
          }
        out.At(x, y) = count ? sum / count : 0;
      } else {
        const float u = std::clamp((x + 0.5f) * sx - 0.5f, 0.0f, mask.width - 1.0f);
        const float v = std::clamp((y + 0.5f) * sy - 0.5f, 0.0f, mask.height - 1.0f);
        const int i = static_cast<int>(u), j = static_cast<int>(v);
        const int i1 = std::min(i + 1, mask.width - 1), j1 = std::min(j + 1, mask.height - 1);
        const float a = u - i, b = v - j;
        out.At(x, y) = (mask.At(i, j) * (1 - a) + mask.At(i1, j) * a) * (1 - b) +
                       (mask.At(i, j1) * (1 - a) + mask.At(i1, j1) * a) * b;
      }
    }
  return out;
}

void PaintMask(Image& image, const Mask& mask, int left, int top, Colour colour, float strength,
               bool additive) {
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) {
      const float a = mask.At(x, y) * strength;
      if (a <= 0) continue;
      if (additive)
        image.Add(left + x, top + y, colour, a);
      else
        image.Blend(left + x, top + y, colour, std::min(a, 1.0f));
    }
}

void PaintText(Image& image, const std::string& fontFile, int pixelSize, const std::string& text,
               float cx, float cy, Colour colour, Colour glow, int glowRadius, float xScale) {
  Mask mask = RenderText(fontFile, pixelSize, text);
  if (xScale != 1) mask = ResizeMask(mask, static_cast<int>(std::lround(mask.width * xScale)), mask.height);
  if (glowRadius > 0) {
    const Mask halo = BlurMask(mask, glowRadius);
    PaintMask(image, halo, static_cast<int>(std::lround(cx - halo.width / 2.0f)),
              static_cast<int>(std::lround(cy - halo.height / 2.0f)), glow, 1.6f, true);
  }
  PaintMask(image, mask, static_cast<int>(std::lround(cx - mask.width / 2.0f)),
            static_cast<int>(std::lround(cy - mask.height / 2.0f)), colour, 1, false);
}

Mask ToMask(const Image& shape) {
  Mask mask;
  mask.width = shape.width;
  mask.height = shape.height;
  mask.alpha.resize(static_cast<size_t>(shape.width) * shape.height);
  for (int y = 0; y < shape.height; ++y)
    for (int x = 0; x < shape.width; ++x) mask.At(x, y) = std::clamp(shape.At(x, y)[0], 0.0f, 1.0f);
  return mask;
}

Image MaskPicture(const Mask& mask) {
  Image image(mask.width, mask.height);
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) {
      const float a = mask.At(x, y);
      float* p = image.At(x, y);
      p[0] = p[1] = p[2] = a;
    }
  return image;
}

}  // namespace datagen
