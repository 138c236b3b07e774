// Loading every picture format the open dialog offers, refusing damaged files, saving bitmaps.
#include "platform/picture_io.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace asmpic::platform {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = ASMPIC_FIXTURES;

struct Rgb {
  int red, green, blue;
};

// The six 8 x 8 blocks of the raster fixtures, top row first (see make-fixtures.py).
constexpr Rgb kBlocks[2][3] = {
    {{220, 30, 40}, {30, 200, 60}, {40, 60, 210}},
    {{240, 220, 50}, {20, 20, 20}, {250, 250, 250}},
};

int Red(std::uint32_t p) {
  return (p >> 16) & 0xFF;
}
int Green(std::uint32_t p) {
  return (p >> 8) & 0xFF;
}
int Blue(std::uint32_t p) {
  return p & 0xFF;
}
int Alpha(std::uint32_t p) {
  return p >> 24;
}

bool Near(std::uint32_t p, Rgb c, int tolerance) {
  return std::abs(Red(p) - c.red) <= tolerance && std::abs(Green(p) - c.green) <= tolerance &&
         std::abs(Blue(p) - c.blue) <= tolerance;
}

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "picture_io_XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// --- Every format of the open filter --------------------------------------------------------------

struct RasterCase {
  const char* file;
  int tolerance;              // JPEG is lossy; the others must be exact
  bool transparentLastBlock;  // icons and cursors carry alpha
};

class RasterFixture : public ::testing::TestWithParam<RasterCase> {};

TEST_P(RasterFixture, LoadsWithEveryPixelInPlace) {
  const RasterCase& c = GetParam();
  std::string error;
  const auto image = LoadPictureFile((kFixtures / c.file).string(), &error);
  ASSERT_TRUE(image) << error;
  ASSERT_EQ(image->width, 24);
  ASSERT_EQ(image->height, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      const std::uint32_t p = image->at(x, y);
      const bool clear = c.transparentLastBlock && x >= 16 && y >= 8;
      ASSERT_EQ(Alpha(p), clear ? 0 : 255) << "at " << x << "," << y;
      if (clear) continue;
      ASSERT_TRUE(Near(p, kBlocks[y / 8][x / 8], c.tolerance))
          << c.file << " at " << x << "," << y << ": " << std::hex << p;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RasterFixture,
    ::testing::Values(RasterCase{"picture.bmp", 0, false}, RasterCase{"picture.gif", 0, false},
                      RasterCase{"picture.jpg", 4, false}, RasterCase{"picture.ico", 0, true},
                      RasterCase{"picture.cur", 0, true}),
    [](const auto& info) { return fs::path(info.param.file).extension().string().substr(1); });

// --- Bitmaps and icons of every kind, against the pixels each was made from ---------------------

// Every picture of fixtures/bitmaps with its NAME.rgba: width, height, then red, green, blue,
// alpha a pixel, top row first. Where alpha is 0 only BackColor shows, so colour is not compared.
std::vector<fs::path> BitmapKinds() {
  std::vector<fs::path> pictures;
  for (const auto& entry : fs::directory_iterator(kFixtures / "bitmaps")) {
    if (entry.path().extension() != ".rgba") pictures.push_back(entry.path());
  }
  std::sort(pictures.begin(), pictures.end());
  return pictures;
}

class BitmapKind : public ::testing::TestWithParam<fs::path> {};

TEST_P(BitmapKind, DecodesToThePixelsItWasMadeFrom) {
  fs::path expectedFile = GetParam();
  const std::string expected = Bytes(expectedFile.replace_extension(".rgba"));
  ASSERT_GE(expected.size(), 8u);
  const auto word = [&expected](std::size_t at) {
    return static_cast<int>(static_cast<unsigned char>(expected[at]) |
                            static_cast<unsigned char>(expected[at + 1]) << 8);
  };
  std::string error;
  const auto image = LoadPictureFile(GetParam().string(), &error);
  ASSERT_TRUE(image) << error;
  ASSERT_EQ(image->width, word(0));
  ASSERT_EQ(image->height, word(4));
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      const auto* want =
          reinterpret_cast<const unsigned char*>(expected.data()) + 8 + 4 * (y * image->width + x);
      const std::uint32_t p = image->at(x, y);
      ASSERT_EQ(Alpha(p), want[3]) << "alpha at " << x << "," << y;
      if (want[3] == 0) continue;
      ASSERT_EQ((std::vector<int>{Red(p), Green(p), Blue(p)}), (std::vector<int>{want[0], want[1], want[2]}))
          << "at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, BitmapKind, ::testing::ValuesIn(BitmapKinds()), [](const auto& info) {
  std::string name = info.param.filename().string();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
});

TEST(PictureLoad, GifShowsItsFirstFrameOnItsWholeScreen) {
  // The first frame is an 8 x 6 patch at (4, 2); the second frame (magenta) must not show.
  const auto image = LoadPictureFile((kFixtures / "offset.gif").string());
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width, 24);
  ASSERT_EQ(image->height, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      const bool inFrame = x >= 4 && x < 12 && y >= 2 && y < 8;
      const std::uint32_t p = image->at(x, y);
      if (inFrame) {
        EXPECT_TRUE(Near(p, kBlocks[0][0], 0) && Alpha(p) == 255) << x << "," << y;
      } else {
        EXPECT_EQ(Alpha(p), 0) << x << "," << y;
      }
    }
  }
}

int CountNear(const Image& image, int x0, int y0, int x1, int y1, Rgb colour, int tolerance) {
  int count = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) count += Near(image.at(x, y), colour, tolerance) ? 1 : 0;
  }
  return count;
}

TEST(PictureLoad, MetafileDrawsFilledShapesAndTextAtItsSize) {
  // 64 x 48 logical units at 96 per inch, drawn at 96 dots per inch.
  std::string error;
  const auto image = LoadPictureFile((kFixtures / "picture.wmf").string(), &error);
  ASSERT_TRUE(image) << error;
  ASSERT_EQ(image->width, 64);
  ASSERT_EQ(image->height, 48);
  const Rgb white{255, 255, 255}, red{220, 30, 40}, blue{40, 60, 210}, green{30, 200, 60};
  // Inner parts, clear of antialiased edges: the rectangle (4,4)-(28,20), the ellipse in
  // (36,4)-(60,26), the triangle (4,44) (28,44) (16,24).
  EXPECT_EQ(CountNear(*image, 6, 6, 26, 18, red, 2), 20 * 12);
  // Filled, not outlined: the whole middle of the ellipse is blue.
  EXPECT_EQ(CountNear(*image, 42, 9, 54, 21, blue, 2), 12 * 12);
  EXPECT_EQ(CountNear(*image, 12, 36, 20, 42, green, 2), 8 * 6);
  // Background away from every shape and from the text.
  EXPECT_EQ(CountNear(*image, 0, 0, 64, 3, white, 0), 64 * 3);
  EXPECT_EQ(CountNear(*image, 30, 22, 34, 48, white, 0), 4 * 26);
  // "WW" in black from (34, 30): dark strokes in its box, and only there.
  const int ink = CountNear(*image, 34, 30, 64, 48, {0, 0, 0}, 90);
  EXPECT_GT(ink, 20);
  EXPECT_EQ(CountNear(*image, 0, 0, 64, 28, {0, 0, 0}, 90), 0);
  for (const std::uint32_t p : image->pixels) ASSERT_EQ(Alpha(p), 255);
}

TEST(PictureLoad, MetafileWithoutPlaceableHeaderLoads) {
  std::string error;
  const auto image = LoadPictureFile((kFixtures / "plain.wmf").string(), &error);
  ASSERT_TRUE(image) << error;
  EXPECT_GT(CountNear(*image, 0, 0, image->width, image->height, {220, 30, 40}, 2), 100);
  EXPECT_GT(CountNear(*image, 0, 0, image->width, image->height, {40, 60, 210}, 2), 100);
  EXPECT_GT(CountNear(*image, 0, 0, image->width, image->height, {30, 200, 60}, 2), 100);
}

TEST(PictureLoad, CmykJpegShowsItsInksAsColours) {
  std::string error;
  const auto image = LoadPictureFile((kFixtures / "cmyk.jpg").string(), &error);
  ASSERT_TRUE(image) << error;
  ASSERT_EQ(image->width, 16);
  // Magenta and yellow ink make red; cyan with half black a dark cyan.
  EXPECT_TRUE(Near(image->at(3, 4), {255, 0, 0}, 3)) << std::hex << image->at(3, 4);
  EXPECT_TRUE(Near(image->at(12, 4), {0, 127, 127}, 3)) << std::hex << image->at(12, 4);
  EXPECT_EQ(Alpha(image->at(12, 4)), 255);
}

TEST(PictureLoad, FormatIsTakenFromTheContentNotTheName) {
  TempDir dir;
  const fs::path misnamed = dir.path() / "really-a-bitmap.jpg";
  fs::copy_file(kFixtures / "picture.bmp", misnamed);
  const auto image = LoadPictureFile(misnamed.string());
  ASSERT_TRUE(image);
  EXPECT_TRUE(Near(image->at(0, 0), kBlocks[0][0], 0));
}

// --- Large photographs -----------------------------------------------------------------------

// The memory the process holds now, and the most it has held since the last ResetPeakMemory, in
// bytes (Linux's resident set and its high-water mark).
long long StatusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::strlen(field))) * 1024;
  }
  return -1;
}
void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// A 48-megapixel photograph loads whole, within the decoder library's system-wide resource policy,
// and needs less than twice the engine's three planes of memory on top of what the process held.
TEST(PictureLoad, FortyEightMegapixelPhotographsLoadInBoundedMemory) {
  constexpr int kWidth = 8000, kHeight = 6000;
  TempDir dir;
  {
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(picture.scanLine(y));
      for (int x = 0; x < kWidth; ++x)
        row[x] = 0xFF000000u | (x * 255 / kWidth) << 16 | (y * 255 / kHeight) << 8 | 0x60;
    }
    ASSERT_TRUE(picture.save(QString::fromStdString((dir.path() / "big.jpg").string()), "JPEG", 90));
    ASSERT_TRUE(picture.save(QString::fromStdString((dir.path() / "big.png").string()), "PNG", 90));
  }
  const long long planes = 3LL * kWidth * kHeight * 4;
  for (const char* name : {"big.jpg", "big.png"}) {
    ResetPeakMemory();
    const long long before = StatusBytes("VmRSS:");
    std::string error;
    auto image = LoadPictureFile((dir.path() / name).string(), &error);
    const long long peak = StatusBytes("VmHWM:") - before;
    ASSERT_TRUE(image) << name << ": " << error;
    ASSERT_EQ(image->width, kWidth);
    ASSERT_EQ(image->height, kHeight);
    for (const auto& [x, y] :
         {std::pair{0, 0}, {kWidth - 1, 0}, {kWidth / 2, kHeight / 3}, {kWidth - 1, kHeight - 1}}) {
      EXPECT_TRUE(Near(image->at(x, y), {x * 255 / kWidth, y * 255 / kHeight, 0x60}, 3))
          << name << " at " << x << "," << y;
      EXPECT_EQ(Alpha(image->at(x, y)), 255);
    }
    EXPECT_LT(peak, 2 * planes) << name;
    std::cout << name << ": peak " << peak / (1024 * 1024) << " MiB above the " << before / (1024 * 1024)
              << " MiB held before\n";
  }
}

// --- Files that cannot be read (each broken fixture is also loaded through the engine's dialog) --

TEST(PictureLoad, HeaderClaimingAnEnormousSizeIsRefusedBeforeDecoding) {
  // 60000 x 60000 pixels; the metafile's 32000 inches a side would be three million pixels a side
  // at 96 dots per inch.
  for (const char* name : {"huge.bmp", "huge.jpg", "huge.wmf", "huge.png", "huge.gif"}) {
    std::string error;
    EXPECT_FALSE(LoadPictureFile((kFixtures / "broken" / name).string(), &error));
    EXPECT_NE(error.find("the picture is too large: "), std::string::npos) << error;
  }
}

// The error says in plain words what is wrong; what the decoder said goes to the detail only.
TEST(PictureLoad, RefusalsSayWhatIsWrongAndKeepTheDecodersWordsApart) {
  const fs::path broken = kFixtures / "broken";
  const std::pair<fs::path, const char*> cases[] = {
      {broken / "text.bmp", "not a picture file"},
      {broken / "empty.jpg", "the file is empty"},
      {broken / "truncated.jpg", "the file is cut short"},
      {broken / "truncated.png", "the file is cut short"},
      {broken / "truncated.bmp", "the file is cut short"},
      {broken / "truncated.ico", "the file is cut short"},
      {broken / "garbage.png", "the file is damaged"},
      {broken / "garbage.ico", "the file is damaged"},
      {broken / "no such file.bmp", "there is no such file"},
      {kFixtures / "bitmaps", "not a file"},
  };
  for (const auto& [path, reason] : cases) {
    std::string error = "unset", detail = "unset";
    EXPECT_FALSE(LoadPictureFile(path.string(), &error, &detail));
    EXPECT_EQ(error, path.string() + ": " + reason);
    EXPECT_EQ(error.find(" @ "), std::string::npos) << error;
  }
  std::string error, detail;
  EXPECT_FALSE(LoadPictureFile((broken / "garbage.bmp").string(), &error, &detail));
  EXPECT_NE(detail.find("@ error/bmp.c"), std::string::npos) << detail;
  EXPECT_FALSE(LoadPictureFile((broken / "truncated.jpg").string(), &error, &detail));
  EXPECT_EQ(detail, "Premature end of JPEG file");
  // The metafile library prints its complaints itself: they belong to the detail too.
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadPictureFile((broken / "truncated.wmf").string(), &error, &detail));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(error, (broken / "truncated.wmf").string() + ": the file is damaged");
  EXPECT_NE(detail.find("Unexpected EOF"), std::string::npos) << detail;
  ASSERT_TRUE(LoadPictureFile((kFixtures / "picture.bmp").string(), &error, &detail));
  EXPECT_EQ(detail, "");
}

// Every prefix of a good file is either refused or, where the format's first picture is complete
// before the file ends (a GIF's first frame, an icon's image before its mask), loads at full size.
TEST(PictureLoad, EveryCutShortFileIsRefusedOrComplete) {
  TempDir dir;
  const fs::path cut = dir.path() / "cut";
  for (const char* name : {"picture.bmp", "picture.gif", "picture.jpg", "picture.ico", "picture.cur",
                           "picture.wmf", "picture.png"}) {
    const std::string bytes = Bytes(kFixtures / name);
    const auto ext = fs::path(name).extension();
    const bool mayEndEarly = ext == ".gif" || ext == ".ico" || ext == ".cur";
    for (std::size_t length = 0; length < bytes.size(); ++length) {
      WriteBytes(cut, bytes.substr(0, length));
      const auto image = LoadPictureFile(cut.string());
      if (!image) continue;
      ASSERT_TRUE(mayEndEarly) << name << " cut to " << length << " bytes loaded";
      ASSERT_EQ(image->width, 24) << name << " cut to " << length;
      ASSERT_EQ(image->height, 16) << name << " cut to " << length;
    }
  }
}

// --- Saving -----------------------------------------------------------------------------------

Image Pattern(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.at(x, y) = 0xFF000000u | (x * 9u << 16) | (y * 7u << 8) | ((x ^ y) * 5u);
  }
  return image;
}

TEST(PictureSave, WritesA24BitBitmapThatLoadsBackUnchanged) {
  TempDir dir;
  const fs::path file = dir.path() / "out.bmp";
  Image image = Pattern(13, 7);  // odd width: rows are padded in the file
  std::string error;
  ASSERT_TRUE(SaveBitmapFile(image.view(), file.string(), &error)) << error;
  const std::string bytes = Bytes(file);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24);  // bits per pixel
  const auto loaded = LoadPictureFile(file.string());
  ASSERT_TRUE(loaded);
  ASSERT_EQ(loaded->width, 13);
  ASSERT_EQ(loaded->height, 7);
  EXPECT_EQ(loaded->pixels, image.pixels);
}

}  // namespace
}  // namespace asmpic::platform
