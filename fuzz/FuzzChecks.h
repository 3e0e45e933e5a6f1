// What every picture decoder promises for any input, checked by the fuzz targets.
#pragma once
#include <cstdio>
#include <cstdlib>

#include "render/ImageReaders.h"

// Aborts (a finding) when a result is neither a well-formed picture nor a message with a caption.
inline void CheckImageResult(const ImageReadResult& result) {
  const DecodedImage& image = result.image;
  bool sound;
  if (result.Ok()) {
    sound = image.width > 0 && image.height > 0 && image.width <= int(MaxImageSide) &&
            image.height <= int(MaxImageSide) && (image.channels == 3 || image.channels == 4) &&
            image.pixels.size() == size_t(image.width) * size_t(image.height) * image.channels;
  } else {
    sound = !result.caption.empty();
  }
  if (!sound) {
    std::fprintf(stderr, "decoder result broken: ok=%d %dx%dx%d, %zu bytes, caption \"%s\"\n",
                 result.Ok(), image.width, image.height, image.channels, image.pixels.size(),
                 result.caption.c_str());
    std::abort();
  }
}
