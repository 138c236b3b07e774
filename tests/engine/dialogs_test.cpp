// The engine's picture file and colour dialogs, answered from the headless dialog queues.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "platform/picture_io.h"
#include "tests/support/headless_engine.h"

namespace asmpic {
namespace {

namespace fs = std::filesystem;
using platform::MousePointer;
using platform::MsgBoxIcon;
using testing::HeadlessEngine;

const fs::path kFixtures = ASMPIC_FIXTURES;

// The colours of the raster fixtures' 8 x 8 blocks as 0x00RRGGBB, top row first.
constexpr std::uint32_t kBlocks[2][3] = {{0xDC1E28, 0x1EC83C, 0x283CD2}, {0xF0DC32, 0x141414, 0xFAFAFA}};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "dialogs_XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(path_)) found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
  }

 private:
  fs::path path_;
};

// Red, green and blue of pixel (x, y) of plane k as 0x00RRGGBB, with y counted from the top of
// the picture as shown.
std::uint32_t ShownAt(const HeadlessEngine& e, int k, int x, int yFromTop) {
  const int y = e.engine.Height() - yFromTop;
  return e.at(k, x + 1, y, 2) << 16 | e.at(k, x + 1, y, 1) << 8 | e.at(k, x + 1, y, 0);
}

std::uint32_t Rgb(platform::Colour colour) {
  return platform::PixelFromColour(colour) & 0x00FFFFFFu;
}

// What the engine, the box and the window look like from outside, to prove that nothing changed.
struct Snapshot {
  explicit Snapshot(const HeadlessEngine& e)
      : planes(e.engine.buffer().all().begin(), e.engine.buffer().all().end()),
        pixels(e.engine.params().pixels),
        width(e.engine.Width()),
        height(e.engine.Height()),
        shown(e.box->image().pixels),
        picture(e.box->Picture() != nullptr),
        visible(e.box->Visible()),
        boxRefreshes(e.box->refreshes),
        windowRefreshes(e.window.refreshes),
        pointers(e.window.pointers.size()) {}
  bool operator==(const Snapshot&) const = default;

  std::vector<std::uint8_t> planes;
  const std::uint8_t* pixels;
  int width, height;
  std::vector<std::uint32_t> shown;
  bool picture, visible;
  int boxRefreshes, windowRefreshes;
  std::size_t pointers;
};

// --- Titles, filters, owner and cancelling -----------------------------------------------------

TEST(FileDialogs, AskWithTheirTitlesAndFiltersOwnedByTheBoxWindow) {
  HeadlessEngine e(8, 6);
  e.BindRandom(1);
  e.engine.dialogShowOpen();
  e.engine.dialogShowOpen("Choose the start picture");
  e.engine.dialogShowSave("");
  e.engine.dialogShowSave("Keep it");

  const auto& open = e.runtime.dialogs.openQuestions;
  const auto& save = e.runtime.dialogs.saveQuestions;
  ASSERT_EQ(open.size(), 2u);
  ASSERT_EQ(save.size(), 2u);
  EXPECT_EQ(open[0].title, "Load a Picture file");
  EXPECT_EQ(open[1].title, "Choose the start picture");
  EXPECT_EQ(save[0].title, "Save Picture file");
  EXPECT_EQ(save[1].title, "Keep it");
  for (const auto& question : open) {
    ASSERT_EQ(question.filter.size(), 2u);
    EXPECT_EQ(question.filter[0].label, "Pictures (*.bmp *.gif *.jpg *.wmf *.ico *.cur)");
    EXPECT_EQ(question.filter[0].patterns, "*.bmp;*.gif;*.jpg;*.wmf;*.ico;*.cur");
    EXPECT_EQ(question.filter[1].label, "All Files (*.*)");
    EXPECT_EQ(question.filter[1].patterns, "*.*");
    EXPECT_EQ(question.owner, &e.window);
  }
  for (const auto& question : save) {
    ASSERT_EQ(question.filter.size(), 1u);
    EXPECT_EQ(question.filter[0].label, "Pictures (*.bmp)");
    EXPECT_EQ(question.filter[0].patterns, "*.bmp");
    EXPECT_EQ(question.owner, &e.window);
  }
}

TEST(FileDialogs, CancellingChangesNothingAndShowsNothing) {
  HeadlessEngine e(9, 7);
  e.BindRandom(2);
  const Snapshot before(e);
  e.runtime.dialogs.openAnswers.push_back(std::nullopt);
  e.runtime.dialogs.saveAnswers.push_back(std::nullopt);
  e.engine.dialogShowOpen();
  e.engine.dialogShowSave();
  EXPECT_EQ(e.runtime.dialogs.openQuestions.size(), 1u);
  EXPECT_EQ(e.runtime.dialogs.saveQuestions.size(), 1u);
  EXPECT_TRUE(e.runtime.messages.empty());
  EXPECT_TRUE(Snapshot(e) == before);
}

TEST(Dialogs, UnboundEngineSaysSoAndAsksNothing) {
  HeadlessEngine e(4, 4);
  e.engine.dialogShowOpen();
  e.engine.dialogShowSave();
  EXPECT_EQ(e.engine.dialogChoseColor(), 0);
  ASSERT_EQ(e.runtime.messages.size(), 3u);
  for (const auto& message : e.runtime.messages) {
    EXPECT_EQ(message.prompt, messages::kNoPictureBox);
    EXPECT_EQ(message.title, "clsASM");
    EXPECT_EQ(message.icon, MsgBoxIcon::Information);
  }
  EXPECT_TRUE(e.runtime.dialogs.openQuestions.empty());
  EXPECT_TRUE(e.runtime.dialogs.saveQuestions.empty());
  EXPECT_TRUE(e.runtime.dialogs.colourQuestions.empty());
}

// --- Loading ------------------------------------------------------------------------------------

// A window that notes, at every pointer change, whether the box was visible.
class WatchingWindow : public platform::HeadlessWindow {
 public:
  using HeadlessWindow::HeadlessWindow;
  void SetMousePointer(MousePointer pointer) override {
    HeadlessWindow::SetMousePointer(pointer);
    boxVisible.push_back(box != nullptr && box->Visible());
  }
  const platform::PictureBox* box = nullptr;
  std::vector<bool> boxVisible;
};

TEST(OpenDialog, LoadsIntoTheBoxAndBindsAgainAtTheBoxSize) {
  // A 20 x 10 box gets the top-left 20 x 10 pixels of the 24 x 16 picture.
  platform::HeadlessRuntime runtime;
  runtime.echoMessages = false;
  WatchingWindow window("Picture lab");
  platform::HeadlessPictureBox box(window, 20 * 15.0f, 10 * 15.0f);
  window.box = &box;
  clsASMpic engine(runtime);
  box.SetPicture(nullptr);
  engine.PictureBox(box);
  window.pointers.clear();
  window.boxVisible.clear();

  // Blanks around the chosen name are no part of it.
  runtime.dialogs.openAnswers.push_back("  " + (kFixtures / "picture.bmp").string() + "  ");
  engine.dialogShowOpen();

  EXPECT_TRUE(runtime.messages.empty());
  ASSERT_TRUE(engine.bound());
  EXPECT_EQ(engine.Width(), 20);
  EXPECT_EQ(engine.Height(), 10);
  // The box is hidden while loading, the hourglass shows until the new picture is drawn.
  EXPECT_EQ(window.pointers, (std::vector{MousePointer::Hourglass, MousePointer::Default}));
  EXPECT_EQ(window.boxVisible, (std::vector{false, true}));
  EXPECT_EQ(window.refreshes, 1);
  EXPECT_TRUE(box.Visible());

  const auto planes = engine.buffer().all();
  const std::size_t planeBytes = engine.buffer().planeBytes();
  EXPECT_TRUE(std::equal(planes.begin(), planes.begin() + planeBytes, planes.begin() + planeBytes));
  EXPECT_TRUE(std::equal(planes.begin(), planes.begin() + planeBytes, planes.begin() + 2 * planeBytes));
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) {
      const std::uint32_t* plane = reinterpret_cast<const std::uint32_t*>(engine.plane(1).data());
      ASSERT_EQ(plane[(9 - y) * 20 + x] & 0xFFFFFFu, kBlocks[y / 8][x / 8]) << x << "," << y;
      ASSERT_EQ(box.image().at(x, y) & 0xFFFFFFu, kBlocks[y / 8][x / 8]) << x << "," << y;
    }
  }
}

TEST(OpenDialog, SmallerPictureLeavesTheBackColourAround) {
  const platform::Colour backColor = 0x00336699;
  HeadlessEngine e(40, 30, backColor);
  e.BindRandom(3);
  e.runtime.dialogs.openAnswers.push_back((kFixtures / "picture.jpg").string());
  e.engine.dialogShowOpen();
  ASSERT_TRUE(e.runtime.messages.empty());
  EXPECT_EQ(e.engine.Width(), 40);
  EXPECT_EQ(e.engine.Height(), 30);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(ShownAt(e, k, 24, 0), Rgb(backColor));
    EXPECT_EQ(ShownAt(e, k, 39, 29), Rgb(backColor));
    EXPECT_EQ(ShownAt(e, k, 0, 16), Rgb(backColor));
    EXPECT_NE(ShownAt(e, k, 0, 0), Rgb(backColor));
  }
}

TEST(OpenDialog, TransparentPartsOfAnIconShowTheBackColour) {
  const platform::Colour backColor = 0x0000FF00;
  HeadlessEngine e(24, 16, backColor);
  e.BindRandom(4);
  e.runtime.dialogs.openAnswers.push_back((kFixtures / "picture.ico").string());
  e.engine.dialogShowOpen();
  ASSERT_TRUE(e.runtime.messages.empty());
  EXPECT_EQ(ShownAt(e, 2, 20, 12), Rgb(backColor));  // the transparent block
  EXPECT_EQ(ShownAt(e, 2, 4, 12), kBlocks[1][0]);
  EXPECT_EQ(ShownAt(e, 2, 20, 4), kBlocks[0][2]);
}

class UnreadablePicture : public ::testing::TestWithParam<std::string> {};

TEST_P(UnreadablePicture, ReportsAndLeavesPictureBindingAndBufferAsTheyWere) {
  HeadlessEngine e(12, 9);
  e.window.SetCaption("Picture lab");
  e.BindRandom(6);
  const Snapshot before(e);
  e.runtime.dialogs.openAnswers.push_back(GetParam());
  e.engine.dialogShowOpen();

  ASSERT_EQ(e.runtime.messages.size(), 1u);
  EXPECT_EQ(e.runtime.messages[0].prompt, "Error loading picture file");
  EXPECT_EQ(e.runtime.messages[0].title, "Picture lab");
  EXPECT_EQ(e.runtime.messages[0].icon, MsgBoxIcon::Critical);
  EXPECT_TRUE(e.engine.bound());
  EXPECT_TRUE(Snapshot(e) == before);
}

std::vector<std::string> UnreadablePaths() {
  std::vector<std::string> paths;
  for (const auto& entry : fs::directory_iterator(kFixtures / "broken"))
    paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  paths.push_back((kFixtures / "no-such-picture.bmp").string());
  paths.push_back(kFixtures.string());  // a folder
  return paths;
}

INSTANTIATE_TEST_SUITE_P(BrokenAndMissing, UnreadablePicture, ::testing::ValuesIn(UnreadablePaths()),
                         [](const auto& info) {
                           std::string name = fs::path(info.param).filename().string();
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST(OpenDialog, FailedLoadShowsAHiddenBoxAgain) {
  HeadlessEngine e(6, 6);
  e.BindRandom(7);
  e.box->SetVisible(false);
  e.runtime.dialogs.openAnswers.push_back((kFixtures / "broken" / "truncated.gif").string());
  e.engine.dialogShowOpen();
  EXPECT_EQ(e.runtime.messages.size(), 1u);
  EXPECT_TRUE(e.box->Visible());
}

// --- Saving -------------------------------------------------------------------------------------

std::vector<std::uint32_t> Loaded(const fs::path& file) {
  const auto image = platform::LoadPictureFile(file.string());
  if (!image) return {};
  std::vector<std::uint32_t> rgb(image->pixels);
  for (auto& p : rgb) p &= 0x00FFFFFFu;
  return rgb;
}

std::vector<std::uint32_t> Shown(const HeadlessEngine& e) {
  std::vector<std::uint32_t> rgb(e.box->image().pixels);
  for (auto& p : rgb) p &= 0x00FFFFFFu;
  return rgb;
}

TEST(SaveDialog, NamesEndInBmp) {
  struct Case {
    std::string chosen, saved;
  };
  const std::vector<Case> cases = {
      {"plain", "plain.bmp"},     {"UPPER.BMP", "UPPER.BMP"},
      {"Mixed.bMp", "Mixed.bMp"}, {"photo.jpg", "photo.jpg.bmp"},
      {"dotted.", "dotted..bmp"}, {std::string("zero.bmp\0rest", 13), "zero.bmp"},
  };
  TempDir dir;
  HeadlessEngine e(7, 5);
  e.BindRandom(8);
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    e.runtime.dialogs.saveAnswers.push_back((dir.path() / c.chosen).string());
    expected.push_back(c.saved);
  }
  // Blanks around a name without ".bmp" are trimmed before ".bmp" is added.
  e.runtime.dialogs.saveAnswers.push_back("  " + (dir.path() / "padded").string() + "  ");
  expected.push_back("padded.bmp");
  for (std::size_t i = 0; i < expected.size(); ++i) e.engine.dialogShowSave();

  EXPECT_TRUE(e.runtime.messages.empty());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.names(), expected);
  for (const auto& name : expected) EXPECT_EQ(Loaded(dir.path() / name), Shown(e)) << name;
}

TEST(SaveDialog, ReplacesAnExistingFileWithoutAsking) {
  TempDir dir;
  const fs::path file = dir.path() / "same.bmp";
  std::ofstream(file) << "an older file that is not a picture";
  HeadlessEngine e(11, 3);
  e.BindRandom(9);
  e.runtime.dialogs.saveAnswers.push_back(file.string());
  e.engine.dialogShowSave();
  EXPECT_TRUE(e.runtime.messages.empty());
  EXPECT_EQ(Loaded(file), Shown(e));
  EXPECT_EQ(dir.names(), std::vector<std::string>{"same.bmp"});
}

TEST(SaveDialog, SavesWhatTheBoxShowsNotTheUndrawnWorkingPicture) {
  TempDir dir;
  HeadlessEngine e(10, 8);
  e.BindRandom(10);
  const auto drawn = Shown(e);
  e.engine.AutoDraw(false);
  // Change the working plane as an effect would, through the kernels' pixel pointer.
  std::uint8_t* working = e.engine.params().pixels + e.engine.buffer().planeBytes();
  for (std::size_t i = 0; i < e.engine.buffer().planeBytes(); ++i)
    working[i] = static_cast<std::uint8_t>(~working[i]);

  e.runtime.dialogs.saveAnswers.push_back((dir.path() / "before").string());
  e.engine.dialogShowSave();
  EXPECT_EQ(Loaded(dir.path() / "before.bmp"), drawn);

  e.engine.DrawNow();
  e.runtime.dialogs.saveAnswers.push_back((dir.path() / "after").string());
  e.engine.dialogShowSave();
  const auto after = Loaded(dir.path() / "after.bmp");
  EXPECT_EQ(after, Shown(e));
  EXPECT_NE(after, drawn);
  EXPECT_TRUE(e.runtime.messages.empty());
}

TEST(SaveDialog, UnwritablePathReportsAndChangesNothing) {
  TempDir dir;
  HeadlessEngine e(5, 5);
  e.window.SetCaption("Picture lab");
  e.BindRandom(11);
  const Snapshot before(e);
  e.runtime.dialogs.saveAnswers.push_back((dir.path() / "no-such-folder" / "x.bmp").string());
  fs::create_directory(dir.path() / "taken.bmp");  // a folder of that name
  e.runtime.dialogs.saveAnswers.push_back((dir.path() / "taken.bmp").string());
  e.engine.dialogShowSave();
  e.engine.dialogShowSave();

  ASSERT_EQ(e.runtime.messages.size(), 2u);
  for (const auto& message : e.runtime.messages) {
    EXPECT_EQ(message.prompt, "Error saving picture file");
    EXPECT_EQ(message.title, "Picture lab");
    EXPECT_EQ(message.icon, MsgBoxIcon::Critical);
  }
  EXPECT_TRUE(Snapshot(e) == before);
  EXPECT_TRUE(fs::is_empty(dir.path() / "taken.bmp"));
  EXPECT_EQ(dir.names(), std::vector<std::string>{"taken.bmp"});
}

// --- Colour -------------------------------------------------------------------------------------

TEST(ColourDialog, KeepsTheCustomColoursBetweenCallsAndReturnsMinusOneOnCancel) {
  HeadlessEngine e(4, 4);
  e.BindRandom(12);
  auto& dialogs = e.runtime.dialogs;
  platform::CustomColours mine{};
  for (int i = 0; i < 16; ++i) mine[i] = 0x010203 * (i + 1);

  dialogs.colourAnswers.push_back(platform::HeadlessDialogs::ColourAnswer{0x00123456, mine});
  EXPECT_EQ(e.engine.dialogChoseColor(), 0x00123456);
  dialogs.colourAnswers.push_back(std::nullopt);
  EXPECT_EQ(e.engine.dialogChoseColor(), -1);
  dialogs.colourAnswers.push_back(platform::HeadlessDialogs::ColourAnswer{0x00FFFFFF, std::nullopt});
  EXPECT_EQ(e.engine.dialogChoseColor(), 0x00FFFFFF);

  ASSERT_EQ(dialogs.colourQuestions.size(), 3u);
  EXPECT_EQ(dialogs.colourQuestions[0], platform::CustomColours{});  // all zero at first
  EXPECT_EQ(dialogs.colourQuestions[1], mine);                       // offered again
  EXPECT_EQ(dialogs.colourQuestions[2], mine);                       // a cancel changed nothing
  EXPECT_EQ(e.engine.customColours(), mine);
  EXPECT_EQ(dialogs.colourOwners, (std::vector<const platform::Window*>(3, &e.window)));
  EXPECT_TRUE(e.runtime.messages.empty());
}

TEST(ColourDialog, CancelledChangesToCustomColoursAreDropped) {
  // A dialog that edits the custom colours and is then cancelled.
  class EditingDialogs : public platform::HeadlessDialogs {
   public:
    std::optional<platform::Colour> ChooseColor(platform::Window&, platform::CustomColours& custom) override {
      custom.fill(0x00ABCDEF);
      return std::nullopt;
    }
  };
  class Runtime : public platform::HeadlessRuntime {
   public:
    platform::Dialogs& FileAndColourDialogs() override { return editing; }
    EditingDialogs editing;
  } runtime;
  runtime.echoMessages = false;
  platform::HeadlessWindow window;
  platform::HeadlessPictureBox box(window, 4 * 15.0f, 4 * 15.0f);
  clsASMpic engine(runtime);
  engine.PictureBox(box);
  EXPECT_EQ(engine.dialogChoseColor(), -1);
  EXPECT_EQ(engine.customColours(), platform::CustomColours{});
}

}  // namespace
}  // namespace asmpic
