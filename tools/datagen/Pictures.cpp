// The show's pictures: splash, loading screen, logo, every scene's backdrops, titles, sprites and
// environment maps, each drawn for the place and size at which its scene shows it.
#include <algorithm>
#include <cmath>

#include "DataGen.h"
#include "Paint.h"

namespace datagen {
namespace {

constexpr float Pi = 3.14159265358979f;
const char* const Bold = "DejaVuSans-Bold.ttf";
const char* const Regular = "DejaVuSans.ttf";
const char* const Light = "DejaVuSans-ExtraLight.ttf";
const char* const SerifItalic = "DejaVuSerif-BoldItalic.ttf";
const char* const Condensed = "DejaVuSansCondensed-Bold.ttf";

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
float SmoothStep(float a, float b, float x) {
  const float t = Clamp01((x - a) / (b - a));
  return t * t * (3 - 2 * t);
}

// A sky for sphere maps: gradient from nadir through the horizon to the zenith, a glowing
// horizon line, a sun and optional bright bands.
struct Sky {
  Colour zenith, horizon, ground, nadir;
  Colour sun;
  float sunX = 0.4f, sunY = 0.5f, sunZ = 0.75f, sunSize = 0.12f;
  Colour horizonGlow;
  float bands = 0;  // number of bright bands around the vertical axis
  Colour band;

  Colour operator()(float x, float y, float z) const {
    Colour c = y >= 0 ? Mix(horizon, zenith, std::pow(y, 0.55f)) : Mix(ground, nadir, std::pow(-y, 0.7f));
    c = c + horizonGlow * std::exp(-(y * y) / 0.004f);
    const float sl = std::sqrt(sunX * sunX + sunY * sunY + sunZ * sunZ);
    const float cosine = (x * sunX + y * sunY + z * sunZ) / sl;
    const float angle = std::acos(std::clamp(cosine, -1.0f, 1.0f));
    c = c + sun * (std::exp(-(angle * angle) / (sunSize * sunSize)) + 0.25f * std::exp(-angle * 2.5f));
    if (bands > 0) {
      const float around = std::atan2(x, z);
      const float wave = std::pow(std::fabs(std::sin(around * bands * 0.5f + y * 3)), 18.0f);
      c = c + band * (wave * (1 - std::fabs(y)));
    }
    return c;
  }
};

Sky MakeSky(Colour zenith, Colour horizon, Colour ground, Colour nadir, Colour sun, Colour horizonGlow) {
  Sky sky;
  sky.zenith = zenith;
  sky.horizon = horizon;
  sky.ground = ground;
  sky.nadir = nadir;
  sky.sun = sun;
  sky.horizonGlow = horizonGlow;
  return sky;
}

Image SphereMap(int size, const Sky& sky) {
  Image image(size, size);
  ShadeSphereMap(image, [&](float x, float y, float z) { return sky(x, y, z); });
  return image;
}

void Stars(Image& image, int count, uint64_t seed, float brightness) {
  Rng rng(seed);
  for (int i = 0; i < count; ++i) {
    const float x = rng.Unit() * image.width, y = rng.Unit() * image.height;
    const float b = brightness * (0.2f + 0.8f * std::pow(rng.Unit(), 3.0f));
    const Colour tint{0.8f + 0.2f * rng.Unit(), 0.85f, 1.0f};
    AddGlow(image, x, y, 0.6f + 0.8f * rng.Unit(), tint * b);
  }
}

// Deep-space backdrop: vertical gradient with coloured nebula clouds.
Image Nebula(int w, int h, Colour low, Colour high, Colour cloudA, Colour cloudB, uint32_t seed) {
  Image image(w, h);
  Shade(image, [&](float u, float v) {
    const float aspect = static_cast<float>(w) / h;
    const float n1 = Fractal(u * 3 * aspect, v * 3, 6, seed);
    const float n2 = Fractal(u * 5 * aspect + 7, v * 5 + 3, 5, seed + 99);
    Colour c = Mix(low, high, v);
    c = c + cloudA * (SmoothStep(0.45f, 0.85f, n1) * 0.8f) + cloudB * (SmoothStep(0.5f, 0.9f, n2) * 0.6f);
    return c;
  });
  return image;
}

void Vignette(Image& image, float strength) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const float dx = (x + 0.5f) / image.width - 0.5f, dy = (y + 0.5f) / image.height - 0.5f;
      const float k = 1 - strength * SmoothStep(0.2f, 0.75f, std::sqrt(dx * dx + dy * dy) * 1.4f);
      float* p = image.At(x, y);
      for (int c = 0; c < 3; ++c) p[c] *= k;
    }
}

void Save(const std::string& directory, const std::string& name, const Image& image) {
  WriteJpeg(directory + "/" + name, image);
}

// --- start-up pictures ------------------------------------------------------------------------

Image Splash() {
  Image image = Nebula(800, 600, {0.01f, 0.01f, 0.04f}, {0.06f, 0.03f, 0.12f}, {0.35f, 0.1f, 0.45f},
                       {0.05f, 0.25f, 0.4f}, 3);
  Stars(image, 500, 5, 1.0f);
  AddGlow(image, 400, 285, 260, {0.12f, 0.08f, 0.22f});
  // A bright horizon under the title.
  for (int x = 0; x < 800; ++x)
    for (int y = 330; y < 350; ++y) {
      const float fade = std::exp(-std::pow((x - 400) / 260.0f, 2.0f)) * std::exp(-std::pow((y - 340) / 3.0f, 2.0f));
      image.Add(x, y, {0.6f, 0.8f, 1.0f}, fade);
    }
  PaintText(image, Bold, 72, "Vantrel Kelvara", 400, 276, {0.95f, 0.97f, 1.0f}, {0.3f, 0.5f, 1.0f}, 10);
  PaintText(image, Light, 26, "a real-time production in 207 seconds", 400, 385, {0.65f, 0.7f, 0.85f}, {}, 0);
  PaintText(image, Regular, 16, "loading", 400, 540, {0.45f, 0.45f, 0.55f}, {}, 0);
  Vignette(image, 0.6f);
  return image;
}

Image LoadingBackground() {
  Image image = Nebula(800, 600, {0.02f, 0.02f, 0.05f}, {0.04f, 0.04f, 0.1f}, {0.1f, 0.05f, 0.2f},
                       {0.02f, 0.12f, 0.2f}, 8);
  // The six progress icons are drawn at x = 174 + 57.96 i, 280 up from the bottom, 46 x 41:
  // a tray behind the row and a faint frame in each place that an icon will fill.
  const float trayTop = 600 - 321 - 14, trayBottom = 600 - 280 + 14;
  for (int y = static_cast<int>(trayTop); y < trayBottom; ++y)
    for (int x = 158; x < 526; ++x) image.Blend(x, y, {0.0f, 0.0f, 0.02f}, 0.65f);
  DrawLine(image, 158, trayTop, 526, trayTop, 1.2f, {0.35f, 0.45f, 0.7f});
  DrawLine(image, 158, trayBottom, 526, trayBottom, 1.2f, {0.35f, 0.45f, 0.7f});
  for (int i = 0; i < 6; ++i) {
    const float x0 = 174 + 57.96f * i, y0 = 600 - 321.0f, x1 = x0 + 46, y1 = 600 - 280.0f;
    const Colour frame{0.16f, 0.2f, 0.32f};
    DrawLine(image, x0, y0, x1, y0, 1, frame);
    DrawLine(image, x1, y0, x1, y1, 1, frame);
    DrawLine(image, x1, y1, x0, y1, 1, frame);
    DrawLine(image, x0, y1, x0, y0, 1, frame);
  }
  PaintText(image, Light, 30, "l o a d i n g", 342, 228, {0.7f, 0.78f, 0.95f}, {0.2f, 0.3f, 0.6f}, 4);
  PaintText(image, Bold, 22, "Vantrel Kelvara", 660, 560, {0.5f, 0.55f, 0.7f}, {}, 0);
  Vignette(image, 0.5f);
  // The photosensitivity warning, on a dark band so that it reads on any screen while the show loads.
  for (int y = 446; y < 486; ++y)
    for (int x = 0; x < 800; ++x) image.Blend(x, y, {0.0f, 0.0f, 0.0f}, 0.8f);
  PaintText(image, Bold, 17, "Photosensitivity warning: this show flashes. Play it softened with --gentle",
            400, 466, {1.0f, 0.88f, 0.55f}, {}, 0);
  return image;
}

Image ProgressIcon() {
  Image image(64, 64);
  AddGlow(image, 32, 32, 14, {0.9f, 0.35f, 0.2f});
  AddGlow(image, 32, 32, 5, {1.0f, 0.9f, 0.7f});
  DrawLine(image, 6, 32, 58, 32, 1.6f, {0.9f, 0.6f, 0.4f}, true);
  DrawLine(image, 32, 6, 32, 58, 1.6f, {0.9f, 0.6f, 0.4f}, true);
  DrawRing(image, 32, 32, 20, 1.5f, {0.8f, 0.3f, 0.25f}, true);
  // Keep the border black: the icon is added to the picture behind it.
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const float d = std::hypot(x + 0.5f - 32, y + 0.5f - 32);
      float* p = image.At(x, y);
      for (int c = 0; c < 3; ++c) p[c] *= 1 - SmoothStep(26, 31, d);
    }
  return image;
}

// The ending draws the logo black with this alpha over the star field: a bold emblem that cuts
// a clear silhouette. Colour and alpha pictures are the same size, as the two-file loader needs.
Mask LogoAlpha() {
  Image shape(512, 512);
  DrawRing(shape, 256, 236, 170, 22, {1, 1, 1});
  DrawRing(shape, 256, 236, 135, 5, {1, 1, 1});
  PaintText(shape, Bold, 170, "VK", 256, 236, {1, 1, 1}, {}, 0);
  PaintText(shape, Bold, 44, "Vantrel Kelvara", 256, 450, {1, 1, 1}, {}, 0);
  return ToMask(shape);
}

Image LogoColour() {
  Image image(512, 512);
  Shade(image, [](float u, float v) {
    return Mix(Colour{0.25f, 0.35f, 0.75f}, Colour{0.85f, 0.9f, 1.0f}, v) * (0.8f + 0.2f * std::sin(u * 9));
  });
  return image;
}

// --- light-cone scene -------------------------------------------------------------------------

Image ConeBackdrop() {
  Image image = Nebula(800, 600, {0.02f, 0.01f, 0.06f}, {0.12f, 0.05f, 0.25f}, {0.15f, 0.05f, 0.35f},
                       {0.02f, 0.18f, 0.35f}, 21);
  // Soft rays fanning down from a light above the top left.
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const float angle = std::atan2(static_cast<float>(y + 200), static_cast<float>(x + 100));
      const float ray = std::pow(std::fabs(std::sin(angle * 23)), 12.0f) * std::exp(-(y / 500.0f));
      image.Add(x, y, {0.15f, 0.2f, 0.35f}, ray);
    }
  Stars(image, 250, 22, 0.7f);
  Vignette(image, 0.5f);
  return image;
}

Mask ConeTitleAlpha() {
  // Shown at (-10, 25), 512 x 512: the bottom left of the screen; the words sit low in it.
  Image shape(512, 512);
  PaintText(shape, Bold, 84, "LIGHT", 220, 330, {1, 1, 1}, {1, 1, 1}, 6);
  PaintText(shape, Light, 34, "c o n e   b a l l e t", 220, 395, {1, 1, 1}, {}, 0);
  DrawLine(shape, 70, 425, 370, 425, 2, {1, 1, 1});
  return ToMask(shape);
}

Image ConeTitleColour() {
  Image image(512, 512);
  Shade(image, [](float u, float v) { return Mix(Colour{0.3f, 0.9f, 1.0f}, Colour{1.0f, 0.85f, 1.0f}, Clamp01(u * 1.3f - v * 0.3f)); });
  return image;
}

Image GlowSprite(int size, Colour inner, Colour outer) {
  Image image(size, size);
  Shade(image, [&](float u, float v) {
    const float d = std::hypot(u - 0.5f, v - 0.5f) * 2;
    const float fade = 1 - SmoothStep(0.6f, 1.0f, d);
    return (inner * std::exp(-d * d * 18) + outer * std::exp(-d * d * 3.5f)) * fade;
  });
  return image;
}

// --- flower scene -----------------------------------------------------------------------------

Image FlowerOverlay() {
  Image image(800, 600);
  // Added at full strength over the flowers: black in the middle so they keep their colours, a
  // faint warm light creeping in at the edges and a few thin streaks near the top and bottom.
  Shade(image, [](float u, float v) {
    const float edge = SmoothStep(0.45f, 0.95f, std::hypot(u - 0.5f, (v - 0.5f) * 0.75f) * 1.6f);
    return Colour{0.16f, 0.07f, 0.12f} * edge + Colour{0.12f, 0.06f, 0.01f} * std::pow(1 - v, 8.0f);
  });
  Rng rng(31);
  for (int i = 0; i < 14; ++i) {
    const float y = i < 7 ? 20 + 50 * rng.Unit() : 530 + 50 * rng.Unit();
    const float x0 = 800 * rng.Unit() - 200, len = 150 + 300 * rng.Unit();
    DrawLine(image, x0, y, x0 + len, y, 1.0f, Colour{0.12f, 0.14f, 0.22f} * (0.5f + rng.Unit()), true);
  }
  PaintText(image, Light, 14, "vantrel kelvara  /  flowers", 130, 585, {0.3f, 0.3f, 0.4f}, {}, 0);
  return image;
}

// A glowing serif title over a spaced-out subtitle and a thin rule, on black (added to the
// picture): `top` is where the title's middle sits.
Image SerifTitle(const char* title, int size, const char* subtitle, int subtitleSize, float cx, float top,
                 Colour colour, Colour glow, Colour rule) {
  Image image(512, 512);
  PaintText(image, SerifItalic, size, title, cx, top, colour, glow, size / 8);
  PaintText(image, Light, subtitleSize, subtitle, cx, top + 62, colour * 0.75f, {}, 0);
  DrawLine(image, cx - 160, top + 89, cx + 160, top + 89, 1.5f, rule, true);
  return image;
}

Image FlowerTitle() {
  // Shown at (288, 235), 512 x 512: only the lower 365 rows are on screen.
  return SerifTitle("engineered", 64, "b l o o m s   o f   l i g h t", 26, 250, 300, {0.9f, 0.75f, 1.0f}, {0.4f, 0.2f, 0.6f},
                    {0.4f, 0.35f, 0.6f});
}

// --- well scene -------------------------------------------------------------------------------

Image ArrowBand() {
  // Four chevrons across, repeated eight times around each ring.
  Image shape(256, 128);
  for (int k = 0; k < 4; ++k) {
    const float x = 20 + 64 * k;
    DrawLine(shape, x, 24, x + 30, 64, 7, {1, 1, 1});
    DrawLine(shape, x + 30, 64, x, 104, 7, {1, 1, 1});
  }
  const Mask arrows = ToMask(shape), halo = BlurMask(arrows, 4);
  Image image(256, 128, {0.01f, 0.02f, 0.04f});
  PaintMask(image, halo, -12, -12, {0.1f, 0.35f, 0.6f}, 1.5f, true);
  PaintMask(image, arrows, 0, 0, {0.35f, 0.85f, 1.0f}, 1, true);
  return image;
}

Image NotForEating() {
  // Shown at (-20, -150), 512 x 512: the top 362 rows are on screen.
  Image image(512, 512);
  DrawRing(image, 150, 200, 70, 10, {1.0f, 0.35f, 0.2f}, true);
  DrawLine(image, 101, 249, 199, 151, 10, {1.0f, 0.35f, 0.2f}, true);
  PaintText(image, Bold, 40, "FORK", 150, 200, {0.9f, 0.8f, 0.6f}, {}, 0);
  PaintText(image, Bold, 38, "not for eating", 250, 310, {1.0f, 0.7f, 0.4f}, {0.6f, 0.2f, 0.05f}, 6);
  return image;
}

Image DotIcon() {
  Image image(64, 64);
  for (int k = 0; k < 8; ++k) {
    const float a = 2 * Pi * k / 8;
    AddGlow(image, 32 + 18 * std::cos(a), 32 + 18 * std::sin(a), 3, {0.3f, 0.8f, 1.0f});
  }
  AddGlow(image, 32, 32, 6, {0.8f, 0.95f, 1.0f});
  return image;
}

// --- greetings scene --------------------------------------------------------------------------

Image GreetBackground() {
  Image image(800, 600);
  Shade(image, [](float u, float v) {
    const float d = std::hypot((u - 0.5f) * 1.33f, v - 0.55f);
    const float rings = 0.5f + 0.5f * std::sin(d * 60);
    Colour c = Mix(Colour{0.25f, 0.08f, 0.05f}, Colour{0.03f, 0.01f, 0.04f}, SmoothStep(0, 0.8f, d));
    return c + Colour{0.06f, 0.03f, 0.02f} * rings * (1 - SmoothStep(0.1f, 0.8f, d));
  });
  // Halftone dots growing towards the bottom.
  for (int y = 10; y < 600; y += 20)
    for (int x = 10 + (y / 20 % 2) * 10; x < 800; x += 20)
      FillDisc(image, static_cast<float>(x), static_cast<float>(y), 7.0f * y / 600, {0.35f, 0.12f, 0.06f}, 0.35f);
  Vignette(image, 0.6f);
  return image;
}

Image GreetText() {
  // Shown 700 x 250; the picture keeps that shape. Every name here is made up.
  Image image(896, 320);
  PaintText(image, Light, 40, "greetings to", 448, 42, {1.0f, 0.85f, 0.6f}, {0.5f, 0.25f, 0.05f}, 5);
  const char* const lines[] = {"Velvet Modem  *  Quartz Lemming  *  Cobalt Picnic",
                               "Orbital Hamster  *  Lumen Arcade  *  Pixel Orchard",
                               "Saffron Relay  *  Moss & Mortar  *  Tin Kettle Crew"};
  for (int i = 0; i < 3; ++i)
    PaintText(image, Condensed, 31, lines[i], 448, 125 + 70.0f * i, {1.0f, 0.95f, 0.85f}, {0.6f, 0.3f, 0.1f}, 4);
  return image;
}

Image Veil() {
  Image image(256, 256);
  Shade(image, [](float u, float v) {
    const float n = Fractal(u * 4, v * 4, 5, 41);
    return Mix(Colour{0.02f, 0.03f, 0.08f}, Colour{0.45f, 0.5f, 0.7f}, SmoothStep(0.35f, 0.8f, n));
  });
  return image;
}

// --- domino scene -----------------------------------------------------------------------------

Image DominoFace() {
  // Mapped onto both broad faces of the domino (u across, v up); the edges take column 1.
  Image image(128, 256, {0.93f, 0.9f, 0.82f});
  Shade(image, [](float u, float v) {
    const float grain = 0.04f * Fractal(u * 6, v * 12, 3, 51);
    const float border = std::min({u, 1 - u, v * 0.5f, (1 - v) * 0.5f});
    const Colour ivory{0.93f - grain, 0.9f - grain, 0.82f - grain};
    return border < 0.035f ? Colour{0.12f, 0.1f, 0.1f} : ivory;
  });
  DrawLine(image, 14, 128, 114, 128, 3, {0.15f, 0.12f, 0.12f});
  const Colour pip{0.05f, 0.05f, 0.08f};
  const float five[5][2] = {{36, 36}, {92, 36}, {64, 64}, {36, 92}, {92, 92}};
  for (const auto& p : five) FillDisc(image, p[0], p[1], 9, pip);
  const float three[3][2] = {{36, 164}, {64, 192}, {92, 220}};
  for (const auto& p : three) FillDisc(image, p[0], p[1], 9, {0.55f, 0.08f, 0.06f});
  return image;
}

Image FloorTile() {
  // Blended as one, one-minus-source-colour: it brightens the reflections under it, so it is
  // a dim stone with light joints.
  Image image(256, 256);
  Shade(image, [](float u, float v) {
    const float n = Fractal(u * 5, v * 5, 5, 61);
    const float vein = std::pow(1 - std::fabs(std::sin((u + n * 0.8f) * 9)), 10.0f);
    const float joint = 1 - SmoothStep(0.0f, 0.025f, std::min({u, 1 - u, v, 1 - v}));
    return Colour{0.12f, 0.13f, 0.17f} * (0.7f + 0.6f * n) + Colour{0.2f, 0.22f, 0.3f} * vein + Colour{0.5f, 0.55f, 0.6f} * joint;
  });
  return image;
}

Mask SpinArrowAlpha() {
  Image shape(128, 128);
  for (int k = 0; k <= 60; ++k) {
    const float a0 = (30 + 5.0f * k) * Pi / 180, a1 = (30 + 5.0f * (k + 1)) * Pi / 180;
    if (k < 60)
      DrawLine(shape, 64 + 44 * std::cos(a0), 64 - 44 * std::sin(a0), 64 + 44 * std::cos(a1), 64 - 44 * std::sin(a1), 12, {1, 1, 1});
  }
  // The head at the end of the arc (330 degrees), pointing along the turn.
  const float a = 330 * Pi / 180;
  const float hx = 64 + 44 * std::cos(a), hy = 64 - 44 * std::sin(a);
  for (float t = 0; t <= 1; t += 0.02f) {
    const float w = 26 * (1 - t);
    const float cx = hx + std::sin(a) * 24 * t * -1, cy = hy + std::cos(a) * 24 * t * -1;
    DrawLine(shape, cx - std::cos(a) * w, cy + std::sin(a) * w, cx + std::cos(a) * w, cy - std::sin(a) * w, 2, {1, 1, 1});
  }
  return ToMask(shape);
}

Image SpinArrowColour() {
  Image image(128, 128);
  Shade(image, [](float u, float v) { return Mix(Colour{1.0f, 0.45f, 0.1f}, Colour{1.0f, 0.9f, 0.3f}, Clamp01(u * 0.7f + v * 0.5f)); });
  return image;
}

Image DominoLogo() {
  // Shown at (-100, -100), 512 x 512: the part right of x = 100 and above y = 100 is on screen.
  Image image(512, 512);
  DrawRing(image, 290, 250, 120, 6, {0.9f, 0.5f, 0.15f}, true);
  DrawRing(image, 290, 250, 100, 2, {0.6f, 0.3f, 0.1f}, true);
  PaintText(image, Bold, 64, "TOPPLE", 290, 240, {1.0f, 0.8f, 0.5f}, {0.7f, 0.3f, 0.05f}, 8);
  PaintText(image, Light, 22, "one after another", 290, 300, {0.8f, 0.6f, 0.4f}, {}, 0);
  return image;
}

// --- rail and water scene ---------------------------------------------------------------------

Image Train() {
  Image image(800, 600);
  const float horizon = 330;
  Shade(image, [&](float u, float v) {
    const float y = (1 - v) * 600;
    if (y < horizon) {
      const float t = y / horizon;
      return Mix(Colour{0.05f, 0.06f, 0.2f}, Colour{0.95f, 0.45f, 0.2f}, std::pow(t, 2.2f)) +
             Colour{0.5f, 0.3f, 0.1f} * std::exp(-std::pow((u - 0.5f) * 6, 2.0f) - std::pow((horizon - y) / 40, 2.0f));
    }
    return Mix(Colour{0.15f, 0.08f, 0.08f}, Colour{0.03f, 0.02f, 0.03f}, (y - horizon) / (600 - horizon));
  });
  // Hills on the horizon.
  for (int x = 0; x < 800; ++x) {
    const float top = horizon - 18 - 22 * Fractal(x / 120.0f, 0.5f, 4, 71);
    for (int y = static_cast<int>(top); y < horizon; ++y) image.Blend(x, y, {0.06f, 0.03f, 0.06f}, 1);
  }
  // Rails and sleepers running to the vanishing point.
  const float vx = 400;
  for (float side : {-1.0f, 1.0f}) DrawLine(image, vx + side * 2, horizon, vx + side * 260, 600, 3, {0.85f, 0.7f, 0.6f});
  for (int k = 1; k < 40; ++k) {
    const float t = std::pow(k / 40.0f, 2.0f);
    const float y = horizon + (600 - horizon) * t, half = 4 + 330 * t;
    DrawLine(image, vx - half, y, vx + half, y, 1 + 7 * t, {0.2f, 0.12f, 0.1f});
  }
  AddGlow(image, 400, horizon - 10, 30, {0.9f, 0.6f, 0.3f});
  PaintText(image, Bold, 28, "departure", 400, 80, {1.0f, 0.9f, 0.8f}, {0.4f, 0.2f, 0.1f}, 4);
  return image;
}

Image Wheel() {
  Image image(256, 256);
  const Colour steel{0.6f, 0.75f, 1.0f};
  DrawRing(image, 128, 128, 110, 10, steel, true);
  DrawRing(image, 128, 128, 96, 3, steel * 0.6f, true);
  FillDisc(image, 128, 128, 18, steel * 0.9f);
  for (int k = 0; k < 8; ++k) {
    const float a = 2 * Pi * k / 8;
    DrawLine(image, 128 + 18 * std::cos(a), 128 + 18 * std::sin(a), 128 + 96 * std::cos(a), 128 + 96 * std::sin(a), 5, steel * 0.8f, true);
  }
  for (int k = 0; k < 24; ++k) {
    const float a = 2 * Pi * k / 24;
    FillDisc(image, 128 + 110 * std::cos(a), 128 + 110 * std::sin(a), 3, {0.1f, 0.15f, 0.3f});
  }
  return image;
}

Image Ripples() {
  // Shown at (300, 230), 512 x 512: the lower-left 500 x 370 is on screen, centred on (250, 327).
  Image image(512, 512);
  const float cx = 250, cy = 327;
  for (int k = 1; k <= 9; ++k) {
    const float r = 22.0f * k;
    DrawRing(image, cx, cy, r, 2.5f, Colour{0.25f, 0.6f, 1.0f} * (1.1f - k / 10.0f), true);
  }
  AddGlow(image, cx, cy, 40, {0.3f, 0.5f, 0.9f});
  PaintText(image, Light, 26, "n o t   w a t e r", cx, cy - 120, {0.7f, 0.85f, 1.0f}, {}, 0);
  return image;
}

// --- cloth scene ------------------------------------------------------------------------------

Image Tartan() {
  Image image(256, 256);
  auto stripe = [](float t) {
    const float k = std::fmod(t * 8, 1.0f);
    if (k < 0.12f) return Colour{0.08f, 0.08f, 0.1f};
    if (k < 0.16f) return Colour{0.95f, 0.8f, 0.25f};
    if (k < 0.5f) return Colour{0.55f, 0.08f, 0.1f};
    if (k < 0.56f) return Colour{0.08f, 0.08f, 0.1f};
    return Colour{0.08f, 0.28f, 0.2f};
  };
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const Colour a = stripe(x / 256.0f), b = stripe(y / 256.0f);
      // Twill: alternate which thread lies on top along the diagonals.
      const bool warp = ((x + y) / 2) % 2 == 0;
      const Colour c = Mix(a, b, warp ? 0.3f : 0.7f) * (0.85f + 0.15f * Noise(x * 0.7f, y * 0.7f, 81));
      float* p = image.At(x, y);
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  return image;
}

Image ClothLogo() {
  // Shown at (20, -175), 512 x 512: the top 337 rows are on screen.
  return SerifTitle("Kelvara", 72, "d r a p e r y   d e p a r t m e n t", 22, 256, 190, {1.0f, 0.85f, 0.95f},
                    {0.55f, 0.15f, 0.45f}, {0.6f, 0.3f, 0.5f});
}

}  // namespace

void WritePictures(const std::string& directory) {
  Save(directory, "load.jpg", Splash());
  Save(directory, "loading.jpg", LoadingBackground());
  Save(directory, "sex.jpg", ProgressIcon());
  Save(directory, "vantrel_a.jpg", LogoColour());
  Save(directory, "vantrel.jpg", MaskPicture(LogoAlpha()));

  Sky chrome = MakeSky({0.55f, 0.7f, 1.0f}, {0.95f, 0.97f, 1.0f}, {0.25f, 0.22f, 0.2f}, {0.05f, 0.05f, 0.06f}, {1.0f, 1.0f, 0.95f}, {0.3f, 0.3f, 0.3f});
  Save(directory, "Lightcrome.jpg", SphereMap(256, chrome));
  Save(directory, "particle.jpg", GlowSprite(128, {1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.55f}));
  Save(directory, "tivalen.jpg", ConeBackdrop());
  Save(directory, "tivalen_ih.jpg", ConeTitleColour());
  Save(directory, "tivalen_ah.jpg", MaskPicture(ConeTitleAlpha()));

  Sky laser = MakeSky({0.05f, 0.0f, 0.15f}, {0.3f, 0.05f, 0.4f}, {0.1f, 0.0f, 0.2f}, {0.0f, 0.0f, 0.02f}, {0.4f, 0.9f, 1.0f}, {1.0f, 0.3f, 0.7f});
  laser.sunSize = 0.08f;
  laser.bands = 7;
  laser.band = {0.3f, 0.9f, 1.0f};
  Save(directory, "lazer.jpg", SphereMap(256, laser));

  Sky sunset = MakeSky({0.08f, 0.12f, 0.35f}, {1.0f, 0.55f, 0.3f}, {0.3f, 0.12f, 0.2f}, {0.04f, 0.02f, 0.08f}, {1.0f, 0.8f, 0.5f}, {0.6f, 0.35f, 0.2f});
  sunset.sunY = 0.15f;
  Save(directory, "3.jpg", SphereMap(256, sunset));

  Sky lagoon = MakeSky({0.0f, 0.2f, 0.25f}, {0.5f, 0.95f, 0.8f}, {0.02f, 0.15f, 0.12f}, sunset.nadir, {0.8f, 1.0f, 0.9f}, {0.2f, 0.5f, 0.4f});
  lagoon.sunY = sunset.sunY;
  Save(directory, "6.jpg", SphereMap(256, lagoon));

  Save(directory, "us_b.jpg", FlowerOverlay());
  Save(directory, "engineering.jpg", FlowerTitle());
  Save(directory, "arrow.jpg", ArrowBand());
  Save(directory, "notforeating.jpg", NotForEating());
  Save(directory, "prikk_c.jpg", DotIcon());

  Sky amber = MakeSky({1.0f, 0.85f, 0.3f}, {1.0f, 0.55f, 0.05f}, {0.45f, 0.15f, 0.0f}, {0.1f, 0.02f, 0.0f}, {1.0f, 1.0f, 0.7f}, {0.5f, 0.3f, 0.0f});
  Save(directory, "yellglow.jpg", SphereMap(256, amber));

  Save(directory, "_greet_background.jpg", GreetBackground());
  Save(directory, "_greet_text.jpg", GreetText());
  Save(directory, "fitte.jpg", Veil());
  Save(directory, "testb.jpg", DominoFace());
  Save(directory, "gloors.jpg", FloorTile());
  Save(directory, "spinarrow_b.jpg", SpinArrowColour());
  Save(directory, "spinarrow_a.jpg", MaskPicture(SpinArrowAlpha()));
  Save(directory, "pwned.jpg", DominoLogo());
  Save(directory, "tog.jpg", Train());
  Save(directory, "wheel.jpg", Wheel());
  Save(directory, "notwater.jpg", Ripples());

  Sky studio = MakeSky({0.9f, 0.9f, 0.95f}, {0.4f, 0.42f, 0.48f}, {0.15f, 0.15f, 0.17f}, {0.05f, 0.05f, 0.06f}, {1.0f, 0.95f, 0.9f}, {0.2f, 0.2f, 0.25f});
  studio.sunSize = 0.25f;
  studio.bands = 4;
  studio.band = {0.6f, 0.6f, 0.65f};
  Save(directory, "realityenv.jpg", SphereMap(256, studio));
  Save(directory, "hore1.jpg", Tartan());

  Sky metal = MakeSky({0.7f, 0.75f, 0.85f}, {1.0f, 1.0f, 1.0f}, {0.3f, 0.3f, 0.35f}, studio.nadir, studio.sun, studio.horizonGlow);
  metal.sunSize = studio.sunSize;
  metal.bands = 12;
  metal.band = {0.5f, 0.5f, 0.55f};
  Save(directory, "conemetal.jpg", SphereMap(256, metal));
  Save(directory, "brasquel.jpg", ClothLogo());
}

}  // namespace datagen
