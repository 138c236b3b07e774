// Form1 on the offscreen platform: the window's frame and controls at their twips geometry, their
// properties, the engines bound at load, and start-up with a wrong screen depth.
#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "app/run/assets.h"
#include "app/window/form1.h"
#include "engine/messages.h"
#include "platform/headless/headless_runtime.h"
#include "platform/picture_io.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_twips.h"

namespace asmpic::app {
namespace {

using platform::HeadlessRuntime;
using platform::MsgBoxIcon;

// The picture in a box's persistent image equals the top-left of `picture`, colours only.
::testing::AssertionResult ShowsTopLeftOf(const QImage& image, const platform::Image& picture) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb shown = image.pixel(x, y) & 0xFFFFFFu;
      const QRgb expected = picture.at(x, y) & 0xFFFFFFu;
      if (shown != expected) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex << shown
                                             << ", the picture has " << expected;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

platform::Image Asset(const char* name) {
  auto picture = platform::LoadPictureFile(std::string(ASMPIC_ASSETS) + "/" + name);
  EXPECT_TRUE(picture.has_value()) << name;
  return picture.value_or(platform::Image());
}

// The window at 15 twips per pixel with message boxes logged, as most tests want it.
class Form1Test : public ::testing::Test {
 protected:
  Form1Test() { runtime.echoMessages = false; }
  Form1& Make(const Form1Options& options = {}) {
    Form1Options withAssets = options;
    if (withAssets.assetsDirectory.empty()) withAssets.assetsDirectory = ASMPIC_ASSETS;
    form = std::make_unique<Form1>(runtime, withAssets);
    return *form;
  }

  HeadlessRuntime runtime;
  std::unique_ptr<Form1> form;
};

TEST_F(Form1Test, IsAFixedWindowWithoutMinimiseOrMaximise) {
  Form1& f = Make();
  EXPECT_EQ(f.windowTitle(), QStringLiteral("ASMpic Bench"));
  EXPECT_EQ(f.Window().Caption(), "ASMpic Bench");
  EXPECT_TRUE(f.isWindow());
  EXPECT_EQ(f.size(), QSize(312, 369));
  EXPECT_EQ(f.minimumSize(), QSize(312, 369));
  EXPECT_EQ(f.maximumSize(), QSize(312, 369));
  const Qt::WindowFlags flags = f.windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_FALSE(f.windowIcon().isNull());
}

TEST_F(Form1Test, ControlsSitAtTheirPixelsAtFifteenTwipsPerPixel) {
  Form1& f = Make();
  EXPECT_EQ(f.Picture1().geometry(), QRect(8, 8, 297, 217));
  EXPECT_EQ(f.Command1().geometry(), QRect(8, 336, 297, 25));
  EXPECT_EQ(f.List1().geometry(), QRect(8, 232, 297, 95));
  EXPECT_EQ(f.Picture2().geometry(), QRect(8, 232, 297, 97));
  EXPECT_EQ(f.Label1().geometry(), QRect(8, 8, 281, 81));
  EXPECT_EQ(f.Label1().parentWidget(), &f.Picture2());
  EXPECT_EQ(f.Picture1().WidthTwips(), 4455.0f);
  EXPECT_EQ(f.Picture1().HeightTwips(), 3255.0f);
  EXPECT_EQ(f.Picture2().WidthTwips(), 4455.0f);
  EXPECT_EQ(f.Picture2().HeightTwips(), 1455.0f);
  // Picture2 lies over List1.
  EXPECT_GT(f.children().indexOf(&f.Picture2()), f.children().indexOf(&f.List1()));
}

TEST_F(Form1Test, EnginesWorkOnTheBoxesPixels) {
  Form1& f = Make();
  ASSERT_TRUE(f.Engine1().bound());
  ASSERT_TRUE(f.Engine2().bound());
  EXPECT_EQ(f.Engine1().Width(), 297);
  EXPECT_EQ(f.Engine1().Height(), 217);
  EXPECT_EQ(f.Engine2().Width(), 297);
  EXPECT_EQ(f.Engine2().Height(), 97);
  EXPECT_EQ(f.Picture1().image().size(), QSize(297, 217));
  EXPECT_EQ(f.Picture2().image().size(), QSize(297, 97));
  EXPECT_TRUE(runtime.messages.empty());
}

TEST_F(Form1Test, AtTwelveTwipsPerPixelEverythingScalesAndStaysInStep) {
  runtime.twipsPerPixelX = 12.0f;  // 120 dots per inch
  runtime.twipsPerPixelY = 12.0f;
  Form1& f = Make();
  EXPECT_EQ(f.size(), QSize(390, 461));  // 5535 / 12 = 461.25
  EXPECT_EQ(f.Picture1().geometry(), QRect(10, 10, 371, 271));
  EXPECT_EQ(f.Label1().geometry(), QRect(10, 10, 351, 101));
  EXPECT_EQ(f.Engine1().Width(), 371);
  EXPECT_EQ(f.Engine1().Height(), 271);
  EXPECT_EQ(f.Picture1().image().size(), QSize(371, 271));
  EXPECT_EQ(f.Picture2().image().size(), QSize(f.Engine2().Width(), f.Engine2().Height()));
}

TEST_F(Form1Test, OnTheScreensOwnMetricsTheBoxesMatchTheirEngines) {
  platform::QtRuntime qtRuntime;
  Form1 f(qtRuntime, {ASMPIC_ASSETS, std::nullopt});
  const float tpp = qtRuntime.TwipsPerPixelX();
  EXPECT_EQ(f.width(), platform::TwipsToPixels(4680, tpp));
  ASSERT_TRUE(f.Engine1().bound());
  EXPECT_EQ(f.Picture1().size(), QSize(f.Engine1().Width(), f.Engine1().Height()));
  EXPECT_EQ(f.Picture2().size(), QSize(f.Engine2().Width(), f.Engine2().Height()));
}

TEST_F(Form1Test, ControlsCarryTheirCaptionsAndColours) {
  Form1& f = Make();
  EXPECT_EQ(f.Command1().Caption(), "Запустить (актуально для старых ПК до 2004 года)");
  EXPECT_EQ(f.List1().ListCount(), 0);
  EXPECT_FALSE(f.List1().isSortingEnabled());
  EXPECT_EQ(f.Label1().Caption(), "1212");
  EXPECT_EQ(f.Label1().ForeColor(), 255);
  EXPECT_EQ(f.Label1().palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(f.Picture1().BackColor(), 0);
  EXPECT_EQ(f.Picture2().BackColor(), 0);
}

TEST_F(Form1Test, Label1IsBigBoldUnderlinedCentredArialOrItsStandIn) {
  Form1& f = Make();
  const QFont font = f.Label1().font();
  EXPECT_EQ(font.families().value(0), QStringLiteral("Arial"));
  const QFontInfo resolved(font);
  EXPECT_TRUE(resolved.family() == QStringLiteral("Arial") ||
              resolved.family() == QStringLiteral("Liberation Sans"))
      << resolved.family().toStdString();
  EXPECT_EQ(resolved.pointSize(), 48);
  EXPECT_EQ(resolved.weight(), 700);
  EXPECT_TRUE(resolved.underline());
  EXPECT_TRUE(f.Label1().alignment().testFlag(Qt::AlignHCenter));
}

TEST_F(Form1Test, Label1LetsPicture2ShowAroundItsText) {
  Form1& f = Make();
  f.Picture2().SetVisible(true);
  const QImage shown = f.Picture2().grab().toImage();
  const QImage& picture = f.Picture2().image();
  const QRect label = f.Label1().geometry();
  ASSERT_EQ(shown.size(), picture.size());
  // The label's corners show the picture; its middle has red text in it.
  for (const QPoint corner : {label.topLeft(), label.bottomLeft(), label.topRight() + QPoint(-1, 1)}) {
    EXPECT_EQ(shown.pixel(corner) & 0xFFFFFFu, picture.pixel(corner) & 0xFFFFFFu)
        << corner.x() << "," << corner.y();
  }
  int red = 0;
  for (int y = label.top(); y <= label.bottom(); ++y) {
    for (int x = label.left(); x <= label.right(); ++x) red += shown.pixel(x, y) == qRgb(255, 0, 0);
  }
  EXPECT_GT(red, 500);
}

TEST_F(Form1Test, TabOrderRunsPicture1Command1List1Picture2Label1) {
  Form1& f = Make();
  const QList<QWidget*> controls{&f.Picture1(), &f.Command1(), &f.List1(), &f.Picture2(), &f.Label1()};
  QList<QWidget*> order;
  QWidget* w = &f.Picture1();
  do {
    if (controls.contains(w) && !order.contains(w)) order << w;
    w = w->nextInFocusChain();
  } while (w != &f.Picture1() && order.size() < controls.size());
  EXPECT_EQ(order, controls);
}

TEST_F(Form1Test, Timer1TicksEvery30msAndTimer2WaitsDisabled) {
  Form1& f = Make();
  EXPECT_EQ(f.Timer1().Interval(), 30);
  EXPECT_TRUE(f.Timer1().Enabled());
  EXPECT_TRUE(f.Timer1().running());
  EXPECT_EQ(f.Timer2().Interval(), 10000);
  EXPECT_FALSE(f.Timer2().Enabled());
  EXPECT_FALSE(f.Timer2().running());
}

TEST_F(Form1Test, AfterLoadPicture1ShowsItsStartPictureAndPicture2IsHidden) {
  Form1& f = Make();
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_TRUE(f.Picture1().Visible());
  EXPECT_TRUE(f.Picture1().isVisible());
  EXPECT_FALSE(f.Picture2().Visible());
  EXPECT_FALSE(f.Picture2().isVisible());
  EXPECT_TRUE(f.List1().isVisible());
  EXPECT_TRUE(ShowsTopLeftOf(f.Picture1().image(), Asset("picture1.jpg")));
  EXPECT_TRUE(ShowsTopLeftOf(f.Picture2().image(), Asset("picture2.bmp")));
  // What reaches the screen is the persistent image.
  const QImage shown = f.Picture1().grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shown, f.Picture1().image());
}

TEST_F(Form1Test, ScreenshotShowsTheWindow) {
  Form1& f = Make();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("form1.png"));
  ASSERT_TRUE(f.SaveScreenshot(path.toStdString()));
  QImage shot(path);
  ASSERT_EQ(shot.size(), QSize(312, 369));
  shot = shot.convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(ShowsTopLeftOf(shot.copy(f.Picture1().geometry()), Asset("picture1.jpg")));
}

class Form1DepthTest : public Form1Test, public ::testing::WithParamInterface<int> {};

TEST_P(Form1DepthTest, AWrongDepthFailsBothBindingsAndTheWindowStillOpens) {
  Form1& f = Make({"", GetParam()});
  ASSERT_EQ(runtime.messages.size(), 2u);
  for (const auto& message : runtime.messages) {
    EXPECT_EQ(message.prompt, messages::kWrongDepth);
    EXPECT_EQ(message.title, messages::kEngineTitle);
    EXPECT_EQ(message.icon, MsgBoxIcon::Critical);
  }
  EXPECT_FALSE(f.Engine1().bound());
  EXPECT_FALSE(f.Engine2().bound());
  EXPECT_FALSE(f.Picture2().Visible());
  f.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
  // Nothing was drawn into Picture1: it still shows its start picture as loaded.
  EXPECT_TRUE(ShowsTopLeftOf(f.Picture1().image(), Asset("picture1.jpg")));
  // Every later call reports the missing picture box instead of working.
  f.Engine1().ResetPic();
  ASSERT_EQ(runtime.messages.size(), 3u);
  EXPECT_EQ(runtime.messages.back().prompt, messages::kNoPictureBox);
}

INSTANTIATE_TEST_SUITE_P(Depths, Form1DepthTest, ::testing::Values(24, 8));

TEST_F(Form1Test, SixteenBitsPerPixelBinds) {
  Form1& f = Make({"", 16});
  EXPECT_TRUE(f.Engine1().bound());
  EXPECT_TRUE(f.Engine2().bound());
  EXPECT_TRUE(runtime.messages.empty());
}

TEST_F(Form1Test, MissingStartPicturesLeaveTheBoxesBlack) {
  QTemporaryDir empty;
  Form1& f = Make({empty.path().toStdString(), std::nullopt});
  ASSERT_TRUE(f.Engine1().bound());
  EXPECT_EQ(f.Picture1().image().pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(f.Picture1().image().pixel(296, 216), qRgb(0, 0, 0));
}

TEST(Assets, EnvironmentOverridesAndTheSourceTreeIsFoundFromTheBuildTree) {
  const QByteArray saved = qgetenv("ASMPIC_ASSETS");
  qputenv("ASMPIC_ASSETS", "/somewhere/else/");
  EXPECT_EQ(AssetsDirectory(), "/somewhere/else");
  EXPECT_EQ(AssetPath("icon.png"), "/somewhere/else/icon.png");
  qunsetenv("ASMPIC_ASSETS");
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(AssetPath("picture1.jpg"))));
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(AssetPath("picture2.bmp"))));
  if (!saved.isNull()) qputenv("ASMPIC_ASSETS", saved);
}

TEST(Assets, StartPicturesHaveTheirStatedFormats) {
  const platform::Image picture1 = Asset("picture1.jpg");
  EXPECT_EQ(picture1.width, 300);
  EXPECT_EQ(picture1.height, 222);
  const platform::Image picture2 = Asset("picture2.bmp");
  EXPECT_EQ(picture2.width, 305);
  EXPECT_EQ(picture2.height, 98);

  // The files themselves: a baseline JPEG of three components, a 24-bit bottom-up bitmap.
  QFile jpeg(QStringLiteral(ASMPIC_ASSETS "/picture1.jpg"));
  ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
  const QByteArray jpegBytes = jpeg.readAll();
  const qsizetype frame = jpegBytes.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GE(frame, 0) << "no baseline frame header";
  EXPECT_EQ(jpegBytes.indexOf(QByteArray("\xFF\xC2", 2)), -1) << "progressive";
  EXPECT_EQ(static_cast<int>(jpegBytes.at(frame + 9)), 3);
  QFile bmp(QStringLiteral(ASMPIC_ASSETS "/picture2.bmp"));
  ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
  const QByteArray bmpBytes = bmp.readAll();
  ASSERT_EQ(bmpBytes.size(), 89822);
  const auto le32 = [&](int at) {
    return static_cast<std::int32_t>(
        static_cast<std::uint8_t>(bmpBytes[at]) | static_cast<std::uint8_t>(bmpBytes[at + 1]) << 8 |
        static_cast<std::uint8_t>(bmpBytes[at + 2]) << 16 |
        static_cast<std::uint32_t>(static_cast<std::uint8_t>(bmpBytes[at + 3])) << 24);
  };
  EXPECT_EQ(le32(22), 98) << "a positive height: rows bottom-up";
  EXPECT_EQ(static_cast<std::uint8_t>(bmpBytes[28]), 24);

  const QImage icon(QStringLiteral(ASMPIC_ASSETS "/icon.png"));
  EXPECT_EQ(icon.size(), QSize(32, 32));
  EXPECT_FALSE(icon.hasAlphaChannel());
}

}  // namespace
}  // namespace asmpic::app
