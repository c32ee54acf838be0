#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "png_codec.h"
#include "skin_art.h"
#include "ui/skin/skin_layout.h"

namespace kv_art {
namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Committed {
  Image image;
  bool has_alpha = false;
};

Committed Load(const std::string& name) {
  Committed c;
  std::string error;
  EXPECT_TRUE(
      DecodePng(ReadFile(std::string(KV_SKIN_RES_DIR) + "/" + name), c.image, c.has_alpha, error))
      << name << ": " << error;
  return c;
}

uint32_t Colour(const Image& image, int x, int y) {
  const uint8_t* p = image.At(x, y);
  return kv_skin::Rgb(p[0], p[1], p[2]);
}

// Committed artwork edited by hand, or a tool change without regenerating the files.
TEST(SkinArt, ToolReproducesCommittedFilesByteForByte) {
  const std::vector<ArtFile> files = DrawSkinArt();
  ASSERT_EQ(files.size(), 7u);
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].resource_id, 201 + static_cast<int>(i));
    const std::vector<uint8_t> expected =
        ReadFile(std::string(KV_SKIN_RES_DIR) + "/" + files[i].name);
    EXPECT_FALSE(expected.empty()) << files[i].name;
    EXPECT_TRUE(EncodePng(files[i].image, files[i].with_alpha) == expected)
        << files[i].name << " differs; run skin_art uninstall/res";
  }
}

// Sizes, opacity and the solid colours the controls rely on.
TEST(SkinArt, CommittedImagesHaveTheirSizesAndColours) {
  const std::map<std::string, std::pair<int, int>> sizes = {
      {"background.png", {640, 390}}, {"close.png", {44, 11}},        {"track.png", {546, 9}},
      {"fill.png", {9, 9}},           {"uninstalling.png", {85, 91}}, {"finished.png", {84, 91}},
      {"button.png", {120, 30}}};
  for (const auto& [name, size] : sizes) {
    const Committed c = Load(name);
    EXPECT_EQ(c.image.width, size.first) << name;
    EXPECT_EQ(c.image.height, size.second) << name;
    EXPECT_EQ(c.has_alpha, name == "uninstalling.png" || name == "finished.png") << name;
  }
  using kv_skin::Rgb;
  const Committed track = Load("track.png");
  const Committed fill = Load("fill.png");
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 546; ++x) ASSERT_EQ(Colour(track.image, x, y), Rgb(204, 204, 204));
    for (int x = 0; x < 9; ++x) ASSERT_EQ(Colour(fill.image, x, y), Rgb(42, 212, 170));
  }
  const uint32_t cells[4] = {Rgb(42, 212, 170), Rgb(17, 234, 183), Rgb(0, 178, 136),
                             Rgb(204, 204, 204)};
  const Committed button = Load("button.png");
  const Committed close = Load("close.png");
  for (int cell = 0; cell < 4; ++cell) {
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 30; ++x) ASSERT_EQ(Colour(button.image, cell * 30 + x, y), cells[cell]);
    }
    // The cross: full colour on its centre and diagonals, header grey in the edge middles.
    EXPECT_EQ(Colour(close.image, cell * 11 + 5, 5), cells[cell]) << cell;
    EXPECT_EQ(Colour(close.image, cell * 11 + 3, 3), cells[cell]) << cell;
    EXPECT_EQ(Colour(close.image, cell * 11 + 7, 3), cells[cell]) << cell;
    EXPECT_EQ(Colour(close.image, cell * 11 + 5, 0), Rgb(240, 240, 240)) << cell;
    EXPECT_EQ(Colour(close.image, cell * 11 + 0, 5), Rgb(240, 240, 240)) << cell;
  }
}

// The background's bands, and the icons' transparent surroundings and cut-outs.
TEST(SkinArt, BackgroundAndIconsFollowTheirLayout) {
  using kv_skin::Rgb;
  const Committed bg = Load("background.png");
  EXPECT_EQ(Colour(bg.image, 320, 0), Rgb(240, 240, 240));
  EXPECT_EQ(Colour(bg.image, 639, 79), Rgb(240, 240, 240));
  EXPECT_EQ(Colour(bg.image, 320, 80), Rgb(255, 255, 255));
  EXPECT_EQ(Colour(bg.image, 320, 389), Rgb(247, 247, 247));
  EXPECT_EQ(Colour(bg.image, 44, 22), Rgb(42, 212, 170));  // the logo sits near the left end
  int logo_pixels = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 640; ++x) logo_pixels += Colour(bg.image, x, y) != Rgb(240, 240, 240);
  }
  EXPECT_GT(logo_pixels, 500);
  for (int y = 0; y < 80; ++y) {
    for (int x = 200; x < 640; ++x) ASSERT_EQ(Colour(bg.image, x, y), Rgb(240, 240, 240));
  }

  const Committed busy = Load("uninstalling.png");
  const Committed done = Load("finished.png");
  for (const Committed* icon : {&busy, &done}) {
    EXPECT_EQ(icon->image.At(0, 0)[3], 0);
    EXPECT_EQ(icon->image.At(83, 90)[3], 0);
    EXPECT_EQ(icon->image.At(42, 15)[3], 255);  // lid
    EXPECT_EQ(Colour(icon->image, 42, 15), Rgb(42, 212, 170));
    EXPECT_EQ(icon->image.At(42, 22)[3], 0);    // gap between lid and body
    EXPECT_EQ(icon->image.At(20, 80)[3], 255);  // body, away from the marks
  }
  EXPECT_EQ(busy.image.At(42 + 12, 56)[3], 255);  // the arrows run round the top and bottom
  EXPECT_EQ(busy.image.At(42, 56 - 12)[3], 0);    // cut out
  EXPECT_EQ(busy.image.At(42, 56 + 12)[3], 0);
  EXPECT_EQ(done.image.At(42, 56 - 12)[3], 255);
  EXPECT_EQ(Colour(done.image, 38, 66), Rgb(250, 250, 250));  // the check mark
}

// Decoder filters other than "none" (GDI+ and other encoders use them), and corrupt data.
TEST(SkinArt, DecoderUndoesEveryRowFilter) {
  // 2 x 5 RGB, every row (10, 20, 30), (40, 50, 60), stored with filters 0, 1, 2, 3, 4.
  const std::vector<uint8_t> raw = {0, 10, 20, 30, 40, 50, 60,  //
                                    1, 10, 20, 30, 30, 30, 30,  //
                                    2, 0,  0,  0,  0,  0,  0,   //
                                    3, 5,  10, 15, 15, 15, 15,  //
                                    4, 0,  0,  0,  0,  0,  0};
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  ASSERT_EQ(compress2(packed.data(), &packed_size, raw.data(), raw.size(), 9), Z_OK);
  packed.resize(packed_size);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, std::vector<uint8_t> data) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    png.insert(png.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    data.insert(data.begin(), type, type + 4);
    const uLong crc = crc32(0L, data.data(), static_cast<uInt>(data.size()));
    png.insert(png.end(), data.begin(), data.end());
    png.insert(png.end(),
               {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
  };
  chunk("IHDR", {0, 0, 0, 2, 0, 0, 0, 5, 8, 2, 0, 0, 0});
  chunk("IDAT", packed);
  chunk("IEND", {});
  Image out;
  bool alpha = true;
  std::string error;
  ASSERT_TRUE(DecodePng(png, out, alpha, error)) << error;
  EXPECT_FALSE(alpha);
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(Colour(out, 0, y), kv_skin::Rgb(10, 20, 30)) << y;
    EXPECT_EQ(Colour(out, 1, y), kv_skin::Rgb(40, 50, 60)) << y;
  }
  png[png.size() - 20] ^= 1;  // inside IDAT or its CRC: refused, not misread
  EXPECT_FALSE(DecodePng(png, out, alpha, error));
}

}  // namespace
}  // namespace kv_art
