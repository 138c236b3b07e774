// The asmpic command line: its dump layout, the box, -o, and malformed calls rejected before any
// work is done.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/picture_io.h"
#include "tests/support/scratch_folder.h"

namespace asmpic {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string err;
};

class AsmpicTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = asmpic::testing::TestScratchFolder("asmpic_tool");
    fs::create_directories(dir_);
    picture_ = platform::Image(5, 3);
    std::mt19937 random(42);
    for (auto& p : picture_.pixels) p = 0xFF000000u | (random() & 0xFFFFFFu);
    ASSERT_TRUE(platform::SaveBitmapFile(picture_.view(), path("in.bmp")));
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs asmpic with `args` after the shell commands in `before` (limits, a timeout).
  Result Run(const std::string& args, const std::string& before = "") const {
    const std::string err = path("stderr.txt");
    const std::string command = before + " " + std::string(ASMPIC_TOOL) + " " + args + " 2>" + err;
    const int raw = std::system(command.c_str());
    std::ifstream in(err);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {std::istreambuf_iterator<char>(in), {}}};
  }

  std::vector<std::uint8_t> Read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // Byte c of pixel (x, y) of plane k in a dump of a W x H buffer; 1-based, row 1 at the bottom.
  static std::uint8_t At(const std::vector<std::uint8_t>& dump, int w, int h, int k, int x, int y, int c) {
    return dump[static_cast<std::size_t>(k - 1) * w * h * 4 +
                4 * ((x - 1) + static_cast<std::size_t>(w) * (y - 1)) + c];
  }

  fs::path dir_;
  platform::Image picture_;
};

TEST_F(AsmpicTool, DumpsThreeEqualBottomUpPlanesOfTheBoundPicture) {
  const Result r = Run(path("in.bmp") + " --planes " + path("planes.bin"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto dump = Read("planes.bin");
  ASSERT_EQ(dump.size(), 3u * 5 * 3 * 4);
  for (int k = 1; k <= 3; ++k) {
    for (int y = 1; y <= 3; ++y) {
      for (int x = 1; x <= 5; ++x) {
        const std::uint32_t p = picture_.at(x - 1, 3 - y);  // row 1 is the bottom row on screen
        EXPECT_EQ(At(dump, 5, 3, k, x, y, 0), p & 0xFF);
        EXPECT_EQ(At(dump, 5, 3, k, x, y, 1), (p >> 8) & 0xFF);
        EXPECT_EQ(At(dump, 5, 3, k, x, y, 2), (p >> 16) & 0xFF);
        EXPECT_EQ(At(dump, 5, 3, k, x, y, 3), 0);
      }
    }
  }
}

TEST_F(AsmpicTool, ABoxLargerThanThePictureShowsBackColorAndSavesWhatItShows) {
  const Result r = Run("--box 7x4 --backcolor 0x00102030 -o " + path("out.bmp") + " --planes " +
                       path("p.bin") + " " + path("in.bmp"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto dump = Read("p.bin");
  ASSERT_EQ(dump.size(), 3u * 7 * 4 * 4);
  // The bottom row and the two right columns lie outside the picture: BackColor 0x00BBGGRR.
  EXPECT_EQ(At(dump, 7, 4, 1, 1, 1, 0), 0x10);
  EXPECT_EQ(At(dump, 7, 4, 1, 1, 1, 1), 0x20);
  EXPECT_EQ(At(dump, 7, 4, 1, 1, 1, 2), 0x30);
  EXPECT_EQ(At(dump, 7, 4, 1, 7, 4, 2), 0x30);
  EXPECT_EQ(At(dump, 7, 4, 1, 1, 4, 0), picture_.at(0, 0) & 0xFF);

  const auto saved = platform::LoadPictureFile(path("out.bmp"));
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->width, 7);
  EXPECT_EQ(saved->height, 4);
  EXPECT_EQ(saved->at(6, 3) & 0xFFFFFF, 0x302010u);
  EXPECT_EQ(saved->at(0, 0) & 0xFFFFFF, picture_.at(0, 0) & 0xFFFFFF);
}

TEST_F(AsmpicTool, MalformedCallsAreRejectedBeforeAnythingRunsOrIsWritten) {
  const std::string outputs = " --planes " + path("p.bin") + " -o " + path("o.bmp") + " ";
  const char* bad[] = {
      "NoSuchMethod",
      "UndoLast:Foo=1",
      "AutoDraw",  // autoON is required
      "AutoDraw:autoON=maybe",
      "AutoDraw:autoON=1,autoON=0",  // given twice
      "ASM_Rotate:Angle=40000",      // outside 16 bits
      "ASM_Rotate:Angle=32768",      // one past either end of a range
      "ASM_Rotate:Angle=-32769",
      "ASM_Rotate:Angle=1,colorX=0x100000000",
      "ASM_Rotate:Angle=1,colorX=-2147483649",
      "ASM_Rotate:Angle=1.5",
      "ASM_Rotate:Angle=",
      "ASM_Magnify:Factor=abc",
      "ASM_PixelEffects:OpCode=1,Amount",
  };
  for (const char* call : bad) {
    const Result r = Run(path("in.bmp") + outputs + "ResetPic '" + call + "'");
    EXPECT_EQ(r.status, 2) << call;
    EXPECT_NE(r.err.find("asmpic: "), std::string::npos) << call;
    EXPECT_FALSE(fs::exists(path("p.bin"))) << call;
    EXPECT_FALSE(fs::exists(path("o.bmp"))) << call;
  }
}

TEST_F(AsmpicTool, BothEndsOfEveryRangeAreAccepted) {
  const Result r =
      Run(path("in.bmp") +
          " ASM_Rotate:Angle=32767 ASM_Rotate:Angle=-32768 'ASM_Rotate:Angle=1,colorX=0xFFFFFFFF'"
          " 'ASM_Rotate:Angle=1,colorX=-2147483648' 'ASM_Rotate:Angle=1,colorX=4294967295'");
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(AsmpicTool, NamesAreCaseInsensitiveAndBooleansTakeEveryForm) {
  for (const char* value : {"true", "FALSE", "1", "0", "-1"}) {
    const Result r = Run(path("in.bmp") + " 'autodraw:AUTOON=" + value + "' drawnow UNDOLAST");
    EXPECT_EQ(r.status, 0) << value << r.err;
  }
}

TEST_F(AsmpicTool, ABrokenPictureOrAnUnbindableBoxIsAClearError) {
  std::ofstream(path("broken.bmp")) << "BM not really a bitmap";
  Result r = Run(path("broken.bmp") + " --planes " + path("p.bin"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read the picture"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(path("p.bin")));
  EXPECT_EQ(r.err.find("the decoder said"), std::string::npos) << r.err;  // only with --verbose
  r = Run("--verbose " + path("broken.bmp"));
  EXPECT_NE(r.err.find("asmpic: the decoder said: "), std::string::npos) << r.err;

  r = Run("--box 100000x100000 " + path("in.bmp"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("clsASM: Error in function GETDIBS"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("clsASM: Couldn't assign picturebox"), std::string::npos) << r.err;

  r = Run("--box 3by4 " + path("in.bmp"));
  EXPECT_EQ(r.status, 2);
}

TEST_F(AsmpicTool, AZeroSizedBoxBindsAndWritesAnEmptyBuffer) {
  const Result r = Run("--box 0x5 --planes " + path("p.bin") + " " + path("in.bmp") + " ResetPic DrawNow");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(path("p.bin")));
  EXPECT_EQ(fs::file_size(path("p.bin")), 0u);
}

TEST_F(AsmpicTool, RunsTheResamplingEffectsWithEveryParameter) {
  // A half turn about the picture's own centre and back, then a mirror through the centre and back:
  // plane 2 ends where it started.
  Result r = Run(
      path("in.bmp") + " --planes " + path("p.bin") +
      " 'ASM_Rotate:Angle=180,AntiAlias=false,SourcePic=false,colorX=0xFF,centerX=3,centerY=1'" +
      " 'asm_rotate:angle=-180,sourcepic=0,centerx=3,centery=1' 'ASM_Magnify:Factor=-1,centerX=3,centerY=1'" +
      " 'ASM_Magnify:Factor=-1.0,centerX=3,centerY=1,AntiAlias=0,colorX=-1'");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto dump = Read("p.bin");
  ASSERT_EQ(dump.size(), 3u * 5 * 3 * 4);
  for (int x = 1; x <= 5; ++x) {
    for (int y = 1; y <= 3; ++y)
      EXPECT_EQ(At(dump, 5, 3, 2, x, y, 0), At(dump, 5, 3, 1, x, y, 0)) << x << "," << y;
  }

  // A smoothed quarter turn fills what maps outside with colorX.
  r = Run(path("in.bmp") + " --planes " + path("q.bin") +
          " 'ASM_Rotate:Angle=90,AntiAlias=true,colorX=0x0000FF'");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto turned = Read("q.bin");
  EXPECT_EQ(At(turned, 5, 3, 2, 1, 1, 2), 0xFF);  // red fill in the corner
}

TEST_F(AsmpicTool, RunsEveryEffectMethodWithItsParameters) {
  const Result r =
      Run(path("in.bmp") + " --planes " + path("p.bin") +
          " 'ASM_PixelEffects:OpCode=3,Amount=2,colorX=5' 'ASM_PalEffects:OpCode=11,Amount=1,colorX=-1'" +
          " 'ASM_IncrementalPalEffects:OpCode=10,Amount=1'" +
          " 'ASM_ColorXEffects:OpCode=9,colorX=255,Amount=1,centerX=2.5,centerY=1.5'" +
          " 'ASM_ColorXEffects:OpCode=1,colorX=0x00FF00,Amount=2' UndoLastDontDraw ResetPic" +
          " 'ASM_PalEffects:OpCode=11' 'ASM_PalEffects:OpCode=11'");
  ASSERT_EQ(r.status, 0) << r.err;
  // After the reset, inverting twice gives the source picture back (its odd last pixel untouched).
  const auto dump = Read("p.bin");
  for (int y = 1; y <= 3; ++y)
    for (int x = 1; x <= 5; ++x)
      for (int c = 0; c < 4; ++c) EXPECT_EQ(At(dump, 5, 3, 2, x, y, c), At(dump, 5, 3, 1, x, y, c));
}

// Each failure leaves existing outputs byte for byte as they were; a complete run writes both.
TEST_F(AsmpicTool, OutputsReplaceTheirFilesOnlyWhenEveryOneIsComplete) {
  const std::string in = path("in.bmp") + " ";
  const std::string keep = " --planes " + path("keep.bin");
  // A write cut short: files of at most 1 block (SIGXFSZ ignored, so the write fails with EFBIG).
  const std::string small = "ulimit -f 1; trap '' XFSZ;";
  // Far too long to finish before the signal, however fast the kernels: 2000 twirls of a
  // 1500 x 1500 box. An interrupted run stops at its next call, so this costs about three seconds,
  // which leave an emulated asmpic the time to install its signal handlers first.
  std::string slow = "--box 1500x1500 " + in;
  for (int i = 0; i < 2000; ++i) slow += " ASM_PixelEffects:OpCode=5";
  const struct {
    std::string args;
    std::string before;
    int status;
    std::string says;
  } cases[] = {
      {in + keep + " -o " + path("missing/out.bmp"), "", 1, "No such file or directory"},
      {"--box 300x300 " + in + keep, small, 1, "File too large"},
      {in + " --planes " + path("same.bmp") + " -o " + path("same.bmp"), "", 2, "both name"},
      {in + keep + " -o " + path("out.gif"), "", 2, ".bmp, .png, .jpg or .jpeg"},
      {"--box 4294967297x1 " + in + keep, "", 2, "--box"},
      {"--box 99999999999x1 " + in + keep, "", 2, "--box"},
      {"--backcolor 0x1FFFFFFFF " + in + keep, "", 2, "--backcolor"},
      {slow + keep, "timeout --preserve-status -s INT 3", 130, "interrupted by SIGINT; nothing was written"},
      {slow + keep, "timeout --preserve-status -s TERM 3", 143, "interrupted by SIGTERM"},
  };
  const std::vector<std::uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  for (const auto& c : cases) {
    std::ofstream(path("keep.bin")) << "earlier";
    const Result r = Run(c.args, c.before);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(Read("keep.bin"), earlier) << c.args;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3) << c.args;
  }
  const Result r = Run(in + keep + " -o " + path("keep.bmp"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read("keep.bin").size(), 3u * 5 * 3 * 4);
  EXPECT_TRUE(fs::exists(path("keep.bmp")));
}

TEST_F(AsmpicTool, SavesTheFormatTheNameAsksFor) {
  const struct {
    const char* name;
    std::string magic;
  } cases[] = {{"a.bmp", "BM"}, {"a.PNG", "\x89PNG"}, {"a.jpg", "\xFF\xD8\xFF"}, {"a.jpeg", "\xFF\xD8\xFF"}};
  for (const auto& c : cases) {
    const Result r = Run(path("in.bmp") + " -o " + path(c.name));
    ASSERT_EQ(r.status, 0) << c.name << r.err;
    const auto bytes = Read(c.name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<long>(c.magic.size())), c.magic)
        << c.name;
    const auto loaded = platform::LoadPictureFile(path(c.name));
    ASSERT_TRUE(loaded) << c.name;
    EXPECT_EQ(loaded->width, 5);
  }
}

// Every optional parameter left out gives the planes of the same call with the default written
// out, and that default is what --list says; another value changes the planes where the effect
// uses the parameter. The defaults are the engine methods' own.
TEST_F(AsmpicTool, ParametersLeftOutTakeTheirListedDefaults) {
  const struct {
    const char* call;
    const char* param;
    const char* fallback;
    const char* other;  // nullptr: the effect does not use the parameter
  } cases[] = {
      {"ASM_Rotate:Angle=30", "AntiAlias", "false", "true"},
      {"ASM_Rotate:Angle=30", "SourcePic", "true", "false"},
      {"ASM_Rotate:Angle=30", "colorX", "-1", "255"},
      {"ASM_Rotate:Angle=30", "centerX", "2", "0"},  // W div 2, H div 2 of the 5 x 3 picture
      {"ASM_Rotate:Angle=30", "centerY", "1", "0"},
      {"ASM_Magnify:Factor=0.7", "AntiAlias", "false", "true"},
      {"ASM_Magnify:Factor=0.7", "colorX", "-1", "255"},
      {"ASM_Magnify:Factor=0.7", "centerX", "2", "0"},
      {"ASM_Magnify:Factor=0.7", "centerY", "1", "0"},
      {"ASM_PalEffects:OpCode=6", "Amount", "1", "2"},
      {"ASM_PalEffects:OpCode=6", "colorX", "-1", nullptr},
      {"ASM_IncrementalPalEffects:OpCode=6", "Amount", "1", "2"},
      {"ASM_PixelEffects:OpCode=0", "Amount", "1", "2"},
      {"ASM_PixelEffects:OpCode=1", "colorX", "-1", "255"},
      {"ASM_ColorXEffects:OpCode=1,colorX=255", "Amount", "1", "2"},
      {"ASM_ColorXEffects:OpCode=9,colorX=255", "centerX", "2", "0"},
      {"ASM_ColorXEffects:OpCode=9,colorX=255", "centerY", "1", "0"},
  };
  const auto planes = [&](const std::string& call) {
    // An inverted picture first, so that plane 3 (the undo copy) differs from plane 1.
    const Result r = Run("--backcolor 0x123456 --planes " + path("p.bin") + " " + path("in.bmp") +
                         " ASM_PalEffects:OpCode=11 '" + call + "'");
    EXPECT_EQ(r.status, 0) << call << r.err;
    return Read("p.bin");
  };
  Run("--list >" + path("list.txt") + " #");
  std::ifstream listFile(path("list.txt"));
  const std::string list{std::istreambuf_iterator<char>(listFile), {}};
  for (const auto& c : cases) {
    const std::string method = std::string(c.call).substr(0, std::string(c.call).find(':'));
    const std::string with = std::string(c.call) + "," + c.param + "=";
    EXPECT_EQ(planes(c.call), planes(with + c.fallback)) << with << c.fallback;
    if (c.other != nullptr) {
      EXPECT_NE(planes(c.call), planes(with + c.other)) << with << c.other;
    }
    // The method's block in the list, then the parameter's line in it.
    const auto block = list.find(method + "\n");
    const auto line = list.find("  " + std::string(c.param) + " ", block);
    ASSERT_NE(line, std::string::npos) << method << " " << c.param;
    const std::string text = list.substr(line, list.find('\n', line) - line);
    const std::string expected = std::string(c.param).rfind("center", 0) == 0
                                     ? std::string(c.param) == "centerX" ? "W div 2" : "H div 2"
                                     : std::string("default ") + c.fallback;
    EXPECT_NE(text.find(expected), std::string::npos) << text;
  }
  for (const char* opcode :
       {"smoothing", "twirl", "invert", "greyscale", "threshold", "glow", "trail up", "flare"}) {
    EXPECT_NE(list.find(opcode), std::string::npos) << opcode;
  }
}

TEST_F(AsmpicTool, AnOpcodeTheMethodIgnoresChangesNothingAndSaysSo) {
  ASSERT_EQ(Run(path("in.bmp") + " --planes " + path("a.bin")).status, 0);
  for (const char* call :
       {"ASM_PalEffects:OpCode=20", "ASM_PixelEffects:OpCode=-1", "ASM_ColorXEffects:OpCode=10,colorX=0"}) {
    const Result r = Run(path("in.bmp") + " --planes " + path("b.bin") + " AutoDraw:autoON=0 " + call);
    EXPECT_EQ(r.status, 0) << call;
    EXPECT_NE(r.err.find("the call changes nothing"), std::string::npos) << r.err;
    EXPECT_EQ(Read("a.bin"), Read("b.bin")) << call;
  }
}

TEST_F(AsmpicTool, HelpIsReadableAndATypoSuggestsTheOption) {
  Result r = Run("--help >" + path("help.txt") + " #");
  EXPECT_EQ(r.status, 0);
  std::ifstream in(path("help.txt"));
  const std::string help{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(help.find("--planes FILE"), std::string::npos) << help;
  EXPECT_NE(help.find("130"), std::string::npos) << help;
  r = Run("--planse p.bin " + path("in.bmp"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("did you mean --planes?"), std::string::npos) << r.err;
  // Methods and parameters get the same help, ignoring case as their names do.
  r = Run(path("in.bmp") + " ASM_Rotat:Angle=5");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("did you mean ASM_Rotate?"), std::string::npos) << r.err;
  r = Run(path("in.bmp") + " asm_rotate:Angel=5");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown parameter 'Angel'; did you mean Angle?"), std::string::npos) << r.err;
  r = Run(path("in.bmp") + " Frobnicate");
  EXPECT_EQ(r.err.find("did you mean"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace asmpic
