// The texture module in the real GL context: cache, dispatch, messages and uploaded texels.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/GL.h"
#include "render/ImageReaders.h"
#include "render/Texture.h"
#include "support/TestSupport.h"

namespace {

class TextureTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureGLContext();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
  }
  void TearDown() override {
    glPopAttrib();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  // A copy of a test file under a new name in a scratch directory.
  std::string Copy(const std::string& relative, const std::string& name) {
    const std::string path = dir.File(name);
    std::filesystem::copy_file(TestDataPath(relative), path);
    return path;
  }
  TempDir dir;
  MessageLog log;
};

struct Level {
  int width, height;
  std::vector<uint8_t> texels;
};

// Level 0 of the bound texture as tightly packed RGB or RGBA.
Level BoundTexels(GLenum format) {
  Level level{};
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &level.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &level.height);
  level.texels.resize(static_cast<size_t>(level.width) * level.height * (format == GL_RGBA ? 4 : 3));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, level.texels.data());
  return level;
}

DecodedImage DecodeFile(const std::string& relative) {
  const std::vector<uint8_t> bytes = ReadFile(TestDataPath(relative));
  if (relative.ends_with("bmp")) return DecodeBmp(bytes, relative).image;
  if (relative.ends_with("tga")) return DecodeTga(bytes, relative).image;
  return DecodeJpeg(bytes, relative).image;
}

}  // namespace

TEST_F(TextureTest, SameNameLoadsOnceAndAFailedNameIsTriedAgain) {
  SKIP_WITHOUT_TESTDATA();
  const std::string path = Copy("jpeg/hopper.jpg", "cached.jpg");
  const TextureId first = LoadTexture(path);
  ASSERT_NE(first, NoTexture);
  std::filesystem::remove(path);
  EXPECT_EQ(LoadTexture(path), first);  // the file is gone: served from the cache
  EXPECT_TRUE(log.messages.empty());

  const std::string later = dir.File("later.tga");
  EXPECT_EQ(LoadTexture(later), NoTexture);
  EXPECT_EQ(LoadTexture(later), NoTexture);
  ASSERT_EQ(log.messages.size(), 2u);
  EXPECT_EQ(log.messages[0].first, "TGA Texture");
  EXPECT_EQ(log.messages[0].second, "File not found  - " + later);
  std::filesystem::copy_file(TestDataPath("tga/utc24.tga"), later);
  const TextureId loaded = LoadTexture(later);
  EXPECT_NE(loaded, NoTexture);
  EXPECT_EQ(LoadTexture(later), loaded);
  // Names are compared exactly: another spelling is another entry.
  EXPECT_EQ(LoadTexture(dir.File("LATER.tga")), NoTexture);
}

TEST_F(TextureTest, EndingsChooseTheReaderWhateverTheirCase) {
  SKIP_WITHOUT_TESTDATA();
  TextureId id = NoTexture;
  LoadTextureFile(Copy("jpeg/hopper.jpg", "a.JpG"), id, false);
  EXPECT_NE(id, NoTexture);
  id = NoTexture;
  LoadTextureFile(Copy("bmp/hopper.bmp", "b.Bmp"), id, false);
  EXPECT_NE(id, NoTexture);
  id = NoTexture;
  LoadTextureFile(Copy("tga/utc32.tga", "c.tga"), id, false);
  EXPECT_NE(id, NoTexture);
  // A four-letter extension, or none, loads nothing and says nothing.
  for (const char* name : {"d.jpeg", "e", "f.png"}) {
    id = 1234;
    LoadTextureFile(Copy("jpeg/hopper.jpg", name), id, false);
    EXPECT_EQ(id, 1234u) << name;
  }
  EXPECT_EQ(LoadTexture(dir.File("d.jpeg")), NoTexture);
  EXPECT_TRUE(log.messages.empty());
}

TEST_F(TextureTest, MissingAndBrokenFilesGiveTheirMessageAndLeaveTheIdAlone) {
  SKIP_WITHOUT_TESTDATA();
  TextureId id = 77;
  EXPECT_FALSE(LoadBmpTexture(dir.File("none.bmp"), id, false));
  EXPECT_FALSE(LoadJpgTexture(dir.File("none.jpg"), id, false));
  EXPECT_FALSE(LoadTgaTexture(dir.File("none.tga"), id, false));
  EXPECT_FALSE(LoadBmpTexture(TestDataPath("bmp/pal8.bmp"), id, false));
  EXPECT_FALSE(LoadTgaTexture(TestDataPath("tga/utc16.tga"), id, false));
  EXPECT_FALSE(LoadJpgTexture(TestDataPath("jpeg/missing-sos.jpg"), id, false));
  EXPECT_FALSE(LoadBmpTexture("x.bmp", id, true));
  EXPECT_EQ(id, 77u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"BMP Unit", "Error opening " + dir.File("none.bmp")},
      {"BMP Unit", "Couldn't load JPG - \"" + dir.File("none.jpg") + "\""},
      {"TGA Texture", "File not found  - " + dir.File("none.tga")},
      {"BMP Unit", "Only uncompressed 24 bit BMP files supported - " + TestDataPath("bmp/pal8.bmp")},
      {"TGA File Error",
       "Couldn't load \"" + TestDataPath("tga/utc16.tga") + "\". Only 24 and 32 bit TGA files supported."},
      {"BMP Unit", "Couldn't load JPG - \"" + TestDataPath("jpeg/missing-sos.jpg") + "\""},
      {"BMP Texture", "File not found in resource - x.bmp"},
  };
  EXPECT_EQ(log.messages, expected);
}

TEST_F(TextureTest, UploadedTexelsAreTheFilesPixelsBottomRowFirst) {
  SKIP_WITHOUT_TESTDATA();
  // BMP and 24-bit TGA become RGB textures, 32-bit TGA RGBA with the file's alpha, JPEG RGBA
  // with opaque alpha; all 128 x 128 so GLU uploads them unscaled.
  struct Case {
    const char* file;
    GLenum format;
  };
  for (const Case& c : {Case{"bmp/hopper.bmp", GL_RGB}, Case{"tga/utc24.tga", GL_RGB},
                        Case{"tga/utc32.tga", GL_RGBA}, Case{"jpeg/hopper.jpg", GL_RGBA}}) {
    SCOPED_TRACE(c.file);
    TextureId id = NoTexture;
    LoadTextureFile(TestDataPath(c.file), id, false);
    ASSERT_NE(id, NoTexture);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<TextureId>(bound), id);
    GLint internal = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
    EXPECT_EQ(internal, c.format == GL_RGBA ? GL_RGBA : 3);  // RGB is asked for as 3 components
    const DecodedImage image = DecodeFile(c.file);
    const Level level = BoundTexels(c.format);
    ASSERT_EQ(level.width, 128);
    ASSERT_EQ(level.height, 128);
    if (image.channels == 3 && c.format == GL_RGBA) {
      for (size_t i = 0; i < 128 * 128; ++i) {
        ASSERT_EQ(level.texels[i * 4 + 0], image.pixels[i * 3 + 0]) << i;
        ASSERT_EQ(level.texels[i * 4 + 2], image.pixels[i * 3 + 2]) << i;
        ASSERT_EQ(level.texels[i * 4 + 3], 255) << i;
      }
    } else {
      EXPECT_EQ(level.texels, image.pixels);
    }
    // Mipmapped down to 1 x 1 for trilinear minification.
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 7, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 1);
  }
}

TEST_F(TextureTest, RgbRowsOfAnyWidthUploadUnsheared) {
  // 2 x 4 RGB: 6-byte rows, which the default 4-byte unpack alignment would misread.
  const std::vector<uint8_t> pixels = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                       13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
  CreateTexture(2, 4, GL_RGB, pixels.data());
  EXPECT_EQ(BoundTexels(GL_RGB).texels, pixels);
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4);  // the caller's setting is back
}

TEST_F(TextureTest, AlphaComesFromTheBlueOfTheSecondPicture) {
  SKIP_WITHOUT_TESTDATA();
  const TextureId id = LoadTextureWithAlpha(TestDataPath("jpeg/hopper.jpg"), TestDataPath("jpeg/hopper_gray.jpg"));
  ASSERT_NE(id, NoTexture);
  const DecodedImage colour = DecodeFile("jpeg/hopper.jpg");
  const DecodedImage alpha = DecodeFile("jpeg/hopper_gray.jpg");
  const Level level = BoundTexels(GL_RGBA);
  ASSERT_EQ(level.texels.size(), 128u * 128 * 4);
  for (size_t i = 0; i < 128 * 128; ++i) {
    ASSERT_EQ(level.texels[i * 4 + 1], colour.pixels[i * 3 + 1]) << i;
    ASSERT_EQ(level.texels[i * 4 + 3], alpha.pixels[i * 3 + 2]) << i;
  }
  // An alpha picture of another size is stretched over the colour picture.
  EXPECT_NE(LoadTextureWithAlpha(TestDataPath("jpeg/hopper.jpg"), TestDataPath("jpeg/jpg-size-17x17.jpg")),
            NoTexture);
  EXPECT_TRUE(log.messages.empty());
  // A missing alpha file: one message naming it, and nothing loaded.
  const std::string missing = dir.File("alpha.jpg");
  EXPECT_EQ(LoadTextureWithAlpha(TestDataPath("jpeg/hopper.jpg"), missing), NoTexture);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0].second, "Couldn't load JPG - \"" + missing + "\"");
}

TEST_F(TextureTest, BindTextureLeavesTexturingOnBlendingOffAndWhite) {
  const std::vector<uint8_t> pixel = {10, 20, 30, 40};
  const TextureId id = CreateTexture(1, 1, GL_RGBA, pixel.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_GEN_S);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  BindTexture(id);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<TextureId>(bound), id);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(std::vector<GLfloat>(colour, colour + 4), (std::vector<GLfloat>{1, 1, 1, 1}));
}

// A surface drawn no smaller than its picture may skip the mipmaps; the texture gets its own filter
// back afterwards, and a texture without mipmaps is never switched to a filter that would need them.
TEST_F(TextureTest, FullSizeSamplingSkipsMipmapsAndGivesTheFilterBack) {
  const std::vector<uint8_t> pixels(4 * 4 * 3, 90);
  CreateTexture(4, 4, GL_RGB, pixels.data());
  const int32_t mipmapped = BoundMinFilter();
  ASSERT_EQ(mipmapped, GL_LINEAR_MIPMAP_LINEAR);
  SetMinFilter(mipmapped, true);
  EXPECT_EQ(BoundMinFilter(), GL_LINEAR);
  SetMinFilter(mipmapped, false);
  EXPECT_EQ(BoundMinFilter(), GL_LINEAR_MIPMAP_LINEAR);
  SetMinFilter(GL_NEAREST, true);
  EXPECT_EQ(BoundMinFilter(), GL_NEAREST);
}
