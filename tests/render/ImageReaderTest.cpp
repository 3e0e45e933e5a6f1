// Picture decoders on real files from other tools (checked against ImageMagick's decoding) and on
// broken files made here: every file either decodes correctly or gives its message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/ImageReaders.h"
#include "support/TestSupport.h"

namespace {

ImageReadResult Decode(const std::string& relative) {
  const std::vector<uint8_t> bytes = ReadFile(TestDataPath(relative));
  EXPECT_FALSE(bytes.empty()) << relative;
  const std::string ext = relative.substr(relative.size() - 3);
  if (ext == "bmp") return DecodeBmp(bytes, relative);
  if (ext == "tga") return DecodeTga(bytes, relative);
  return DecodeJpeg(bytes, relative);
}

// ImageMagick's decoding of a file, top row first, as 8-bit RGB or RGBA.
std::vector<uint8_t> Reference(const std::string& relative, int channels) {
  TempDir dir;
  const std::string out = dir.File("reference.raw");
  // ImageMagick keeps a TGA's rows in file order and only records the origin; -auto-orient
  // applies it.
  const std::string orient = relative.ends_with(".tga") ? " -auto-orient" : "";
  const std::string command = "convert '" + TestDataPath(relative) + "'" + orient + " -depth 8 " +
                              (channels == 4 ? "rgba:" : "rgb:") + "'" + out + "' 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return ReadFile(out);
}

// Compares the decoded picture with ImageMagick's, row for row (ours is bottom row first).
void ExpectMatchesReference(const std::string& relative, int tolerance) {
  SCOPED_TRACE(relative);
  const ImageReadResult result = Decode(relative);
  ASSERT_TRUE(result.Ok()) << result.caption << ": " << result.message;
  const DecodedImage& image = result.image;
  ASSERT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * image.height * image.channels);
  const std::vector<uint8_t> reference = Reference(relative, image.channels);
  ASSERT_EQ(reference.size(), image.pixels.size());
  const size_t rowBytes = static_cast<size_t>(image.width) * image.channels;
  int worst = 0;
  for (int row = 0; row < image.height; ++row) {
    const uint8_t* ours = image.pixels.data() + (image.height - 1 - row) * rowBytes;
    const uint8_t* theirs = reference.data() + row * rowBytes;
    for (size_t i = 0; i < rowBytes; ++i) worst = std::max(worst, std::abs(ours[i] - theirs[i]));
  }
  EXPECT_LE(worst, tolerance);
}

struct Refusal {
  const char* file;
  const char* caption;
  const char* message;
};

void ExpectRefused(const Refusal& refusal) {
  SCOPED_TRACE(refusal.file);
  const ImageReadResult result = Decode(refusal.file);
  EXPECT_FALSE(result.Ok());
  EXPECT_EQ(result.caption, refusal.caption);
  EXPECT_EQ(result.message, refusal.message);
  EXPECT_TRUE(result.image.pixels.empty());
}

std::vector<uint8_t> TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth,
                               uint8_t descriptor = 0) {
  std::vector<uint8_t> bytes(18, 0);
  bytes[2] = type;
  bytes[12] = static_cast<uint8_t>(width);
  bytes[13] = static_cast<uint8_t>(width >> 8);
  bytes[14] = static_cast<uint8_t>(height);
  bytes[15] = static_cast<uint8_t>(height >> 8);
  bytes[16] = depth;
  bytes[17] = descriptor;
  return bytes;
}

const std::string TgaRead = "Couldn't read file \"t.tga\".";

}  // namespace

TEST(ImageReaders, RealBmpFilesDecodeLikeImageMagick) {
  SKIP_WITHOUT_TESTDATA();
  for (const char* file :
       {"bmp/rgb24.bmp", "bmp/rgb24pal.bmp", "bmp/rgb24largepal.bmp", "bmp/rgb24prof.bmp",
        "bmp/rgb24lprof.bmp", "bmp/vgl_6434_0018a.bmp", "bmp/vgl_6548_0026a.bmp",
        "bmp/shira_bird8.bmp", "bmp/mp5sil.bmp", "bmp/m_rifl.bmp", "bmp/white.bmp",
        "bmp/Info_R8_G8_B8.bmp", "bmp/Info_R8_G8_B8_Top_Down.bmp", "bmp/hopper.bmp"}) {
    ExpectMatchesReference(file, 0);
  }
}

TEST(ImageReaders, UnsupportedBmpKindsAreRefusedByName) {
  SKIP_WITHOUT_TESTDATA();
  for (const char* file : {"bmp/rgb24jpeg.bmp", "bmp/rgb24png.bmp", "bmp/rgb24rle24.bmp",
                           "bmp/pal8.bmp", "bmp/rgb16.bmp", "bmp/rgb32.bmp", "bmp/pal8os2.bmp"}) {
    const std::string message = std::string("Only uncompressed 24 bit BMP files supported - ") + file;
    ExpectRefused({file, "BMP Unit", message.c_str()});
  }
  ExpectRefused({"bmp/reallybig.bmp", "BMP Unit", "Bitmap too large - bmp/reallybig.bmp"});
}

TEST(ImageReaders, BrokenBmpHeadersGiveMessagesWithoutReadingPastTheFile) {
  SKIP_WITHOUT_TESTDATA();
  // 6 x 6 pixels, rows padded to 20 bytes: every truncation is a short header or short data.
  const std::vector<uint8_t> file = ReadFile(TestDataPath("bmp/Info_R8_G8_B8.bmp"));
  for (size_t length = 0; length < 54 + 6 * 20; ++length) {
    EXPECT_EQ(DecodeBmp(std::span<const uint8_t>(file.data(), length), "b.bmp").message,
              "Error reading bitmap data")
        << length;
  }
  auto patched = [&](size_t at, std::vector<uint8_t> values) {
    std::vector<uint8_t> bytes = file;
    std::copy(values.begin(), values.end(), bytes.begin() + at);
    return DecodeBmp(bytes, "b.bmp").message;
  };
  EXPECT_EQ(patched(46, {0xFF, 0xFF, 0xFF, 0xFF}), "Error reading palette");
  EXPECT_EQ(patched(18, {0xFF, 0xFF, 0xFF, 0x7F}), "Bitmap too large - b.bmp");
  EXPECT_EQ(patched(18, {0x00, 0x01, 0x00, 0x00}), "Error reading bitmap data");  // 256 wide
  EXPECT_EQ(patched(18, {0xFA, 0xFF, 0xFF, 0xFF}), "Error reading bitmap data");  // -6 wide
}

TEST(ImageReaders, RealTgaFilesDecodeLikeImageMagick) {
  SKIP_WITHOUT_TESTDATA();
  for (const char* file :
       {"tga/200x32_rgb_bl_raw.tga", "tga/200x32_rgb_bl_rle.tga", "tga/200x32_rgb_tl_rle.tga",
        "tga/200x32_rgba_bl_raw.tga", "tga/200x32_rgba_tl_raw.tga", "tga/200x32_rgba_bl_rle.tga",
        "tga/200x32_rgba_tl_rle.tga", "tga/tga_id_field.tga", "tga/rgb32rle.tga",
        "tga/ctc24.tga", "tga/utc24.tga", "tga/utc32.tga", "tga/top_left.tga",
        "tga/bottom_left.tga", "tga/top_right.tga"}) {
    ExpectMatchesReference(file, 0);
  }
}

TEST(ImageReaders, TgaOriginsAndRunLengthGiveTheSamePicture) {
  SKIP_WITHOUT_TESTDATA();
  // One picture saved with either origin, raw and run-length coded, decodes identically.
  const ImageReadResult raw = Decode("tga/200x32_rgba_bl_raw.tga");
  ASSERT_TRUE(raw.Ok());
  EXPECT_EQ(raw.image.channels, 4);
  for (const char* twin : {"tga/200x32_rgba_bl_rle.tga", "tga/200x32_rgba_tl_rle.tga",
                           "tga/200x32_rgba_tl_raw.tga"}) {
    EXPECT_EQ(Decode(twin).image.pixels, raw.image.pixels) << twin;
  }
  EXPECT_EQ(Decode("tga/200x32_rgb_tl_rle.tga").image.pixels,
            Decode("tga/200x32_rgb_bl_raw.tga").image.pixels);
}

TEST(ImageReaders, UnsupportedTgaKindsAreRefusedWithTheirMessage) {
  SKIP_WITHOUT_TESTDATA();
  const std::string types = ". Only 24 and 32bit TGA supported.";
  const std::string depth = ". Only 24 and 32 bit TGA files supported.";
  const std::string map = ". Colormapped TGA files not supported.";
  for (const auto& [file, tail] : std::vector<std::pair<std::string, std::string>>{
           {"tga/200x32_l_bl_raw.tga", types},
           {"tga/200x32_l_tl_rle.tga", types},
           {"tga/200x32_p_bl_raw.tga", types},
           {"tga/ucm8.tga", types},
           {"tga/ubw8.tga", types},
           {"tga/rgba16.tga", depth},
           {"tga/utc16.tga", depth}}) {
    const std::string message = "Couldn't load \"" + file + "\"" + tail;
    ExpectRefused({file.c_str(), "TGA File Error", message.c_str()});
  }
  // A colour map on a true-colour type, and a depth that is neither 24 nor 32.
  std::vector<uint8_t> mapped = TgaHeader(2, 1, 1, 24);
  mapped[1] = 1;
  mapped.resize(mapped.size() + 3);
  EXPECT_EQ(DecodeTga(mapped, "t.tga").message, "Couldn't load \"t.tga\"" + map);
  std::vector<uint8_t> deep = TgaHeader(2, 1, 1, 48);
  deep.resize(deep.size() + 6);
  EXPECT_EQ(DecodeTga(deep, "t.tga").message, "Couldn't load \"t.tga\"" + depth);
}

TEST(ImageReaders, BrokenTgaFilesGiveTheReadMessage) {
  // Truncated raw data, every prefix of the header included.
  std::vector<uint8_t> raw = TgaHeader(2, 3, 2, 24);
  raw.resize(raw.size() + 3 * 2 * 3, 7);
  ASSERT_TRUE(DecodeTga(raw, "t.tga").Ok());
  for (size_t length = 0; length < raw.size(); ++length) {
    EXPECT_EQ(DecodeTga(std::span<const uint8_t>(raw.data(), length), "t.tga").message, TgaRead)
        << length;
  }
  // Huge sizes in small files, raw and run-length, and an image-ID longer than the file.
  for (std::vector<uint8_t> header : {TgaHeader(2, 65535, 65535, 32), TgaHeader(10, 16000, 4000, 32),
                                      TgaHeader(2, 1, 1, 24)}) {
    header[0] = header[12] == 1 ? 200 : 0;
    header.resize(2000, 0xFF);
    EXPECT_EQ(DecodeTga(std::span<const uint8_t>(header.data(), header[12] == 1 ? 30 : 2000), "t.tga").message,
              TgaRead);
  }
  // A raw packet whose pixels run past the input.
  std::vector<uint8_t> overrun = TgaHeader(10, 4, 1, 24);
  overrun.insert(overrun.end(), {0x7F, 1, 2, 3, 4, 5, 6});
  EXPECT_EQ(DecodeTga(overrun, "t.tga").message, TgaRead);
  // Packets that end before the picture is full.
  std::vector<uint8_t> shortRun = TgaHeader(10, 4, 1, 24);
  shortRun.insert(shortRun.end(), {0x81, 1, 2, 3});
  EXPECT_EQ(DecodeTga(shortRun, "t.tga").message, TgaRead);
  EXPECT_EQ(DecodeTga(TgaHeader(2, 0, 5, 24), "t.tga").message, TgaRead);  // zero width
}

TEST(ImageReaders, TgaRunsLongerThanThePictureAreCutOff) {
  // A run of 128 pixels and a raw packet of 128 pixels into a 3-pixel picture.
  std::vector<uint8_t> run = TgaHeader(10, 3, 1, 24);
  run.insert(run.end(), {0xFF, 10, 20, 30});
  const ImageReadResult result = DecodeTga(run, "t.tga");
  ASSERT_TRUE(result.Ok());
  EXPECT_EQ(result.image.pixels, (std::vector<uint8_t>{30, 20, 10, 30, 20, 10, 30, 20, 10}));
  std::vector<uint8_t> raw = TgaHeader(10, 3, 1, 32);
  raw.push_back(0x7F);
  for (int i = 0; i < 128 * 4; ++i) raw.push_back(static_cast<uint8_t>(i));
  const ImageReadResult rawResult = DecodeTga(raw, "t.tga");
  ASSERT_TRUE(rawResult.Ok());
  EXPECT_EQ(rawResult.image.pixels.size(), 12u);
  EXPECT_EQ(rawResult.image.pixels[0], 2);  // B, G, R, A became R, G, B, A
  EXPECT_EQ(rawResult.image.pixels[3], 3);
}

TEST(ImageReaders, RealJpegFilesDecodeLikeImageMagick) {
  SKIP_WITHOUT_TESTDATA();
  for (const char* file :
       {"jpeg/testorig.jpg", "jpeg/testimgp.jpg", "jpeg/testimggray.jpg", "jpeg/testimgari.jpg",
        "jpeg/hopper.jpg", "jpeg/hopper_gray.jpg", "jpeg/flower.jpg", "jpeg/junk_jpeg_header.jpg",
        "jpeg/jpg-progressive.jpg", "jpeg/jpg-size-1x1.jpg", "jpeg/jpg-size-17x17.jpg",
        "jpeg/restarts.jpg", "jpeg/non-interleaved-mcu.jpg",
        "jpeg/grayscale_16x24_sampling2x2.jpg", "jpeg/jeep1.jpg", "jpeg/jpg-cmyk-1.jpg",
        "jpeg/jpg-cmyk-2.jpg", "jpeg/pil_sample_cmyk.jpg"}) {
    ExpectMatchesReference(file, 2);
  }
}

TEST(ImageReaders, BrokenJpegFilesGiveTheMessage) {
  SKIP_WITHOUT_TESTDATA();
  for (const char* file : {"jpeg/monkey12.jpg", "jpeg/missing-sos.jpg"}) {
    const std::string message = std::string("Couldn't load JPG - \"") + file + "\"";
    ExpectRefused({file, "BMP Unit", message.c_str()});
  }
  const std::vector<uint8_t> good = ReadFile(TestDataPath("jpeg/hopper.jpg"));
  // Cut short before any picture data: nothing to show.
  for (size_t length : {size_t{0}, size_t{2}, size_t{100}, size_t{400}}) {
    EXPECT_FALSE(DecodeJpeg(std::span<const uint8_t>(good.data(), length), "j.jpg").Ok()) << length;
  }
  // Cut inside the picture data: libjpeg fills the rest and the picture loads at full size.
  for (size_t length : {good.size() / 2, good.size() - 2}) {
    const ImageReadResult cut = DecodeJpeg(std::span<const uint8_t>(good.data(), length), "j.jpg");
    ASSERT_TRUE(cut.Ok()) << length;
    EXPECT_EQ(cut.image.width, 128);
    EXPECT_EQ(cut.image.pixels.size(), 128u * 128 * 3);
  }
  const ImageReadResult truncated = Decode("jpeg/truncated_jpeg.jpg");
  ASSERT_TRUE(truncated.Ok());
  EXPECT_EQ(truncated.image.height, 100);
  // A frame header claiming 65000 x 65000 pixels is refused before decoding.
  std::vector<uint8_t> huge = good;
  for (size_t i = 0; i + 8 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 7] = 0xFD;
      huge[i + 6] = huge[i + 8] = 0xE8;
      break;
    }
  }
  EXPECT_FALSE(DecodeJpeg(huge, "j.jpg").Ok());
}

TEST(ImageReaders, CorruptedBytesNeverCrashAnyReader) {
  SKIP_WITHOUT_TESTDATA();
  // Deterministic byte flips over real files of each kind; under AddressSanitizer this catches
  // any read or write outside a buffer.
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (const char* file : {"bmp/rgb24.bmp", "tga/top_left.tga", "tga/utc32.tga", "jpeg/jpg-progressive.jpg",
                           "jpeg/restarts.jpg"}) {
    const std::vector<uint8_t> original = ReadFile(TestDataPath(file));
    for (int round = 0; round < 60; ++round) {
      std::vector<uint8_t> bytes = original;
      for (int flips = 0; flips < 8; ++flips) bytes[next() % bytes.size()] = static_cast<uint8_t>(next() >> 24);
      const std::string name(file);
      const ImageReadResult result = name.ends_with("bmp")   ? DecodeBmp(bytes, name)
                                     : name.ends_with("tga") ? DecodeTga(bytes, name)
                                                             : DecodeJpeg(bytes, name);
      if (result.Ok()) {
        EXPECT_EQ(result.image.pixels.size(),
                  static_cast<size_t>(result.image.width) * result.image.height * result.image.channels);
      } else {
        EXPECT_FALSE(result.caption.empty());
      }
    }
  }
}
