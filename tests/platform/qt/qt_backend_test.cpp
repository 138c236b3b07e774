// The Qt backend's pieces where a conversion or a Qt habit can go wrong: twips to pixels, control
// colours, the persistent image's layout, visibility before the window is shown, timers, message
// boxes, ending the program and the dialogs.
#include <gtest/gtest.h>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <functional>

#include "platform/plane_transfer.h"
#include "platform/qt/qt_colour.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_label.h"
#include "platform/qt/qt_list_box.h"
#include "platform/qt/qt_picture_box.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_shell.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/qt_twips.h"
#include "platform/qt/qt_window.h"
#include "tests/support/qt_modal.h"

namespace asmpic::platform {
namespace {

using testing::WhenShown;

TEST(Twips, RoundToTheNearestPixelWithHalvesToEven) {
  EXPECT_EQ(TwipsToPixels(4455, 15), 297);
  EXPECT_EQ(TwipsToPixels(307.5f, 15), 20);  // 20.5
  EXPECT_EQ(TwipsToPixels(322.5f, 15), 22);  // 21.5
  EXPECT_EQ(TwipsToPixels(5535, 12), 461);   // 461.25
  EXPECT_EQ(TwipsToPixels(4680, 1440.0f / 144.0f), 468);
  EXPECT_EQ(TwipsToPixels(0, 15), 0);
  EXPECT_EQ(TwipsToPixels(1e30f, 1e-10f), 0);
  EXPECT_EQ(TwipsToPixels(std::nanf(""), 15), 0);
}

TEST(Colours, ControlColoursAreRedInTheLowByte) {
  EXPECT_EQ(ToQColor(255), QColor(255, 0, 0));
  EXPECT_EQ(ToQColor(65280), QColor(0, 255, 0));
  EXPECT_EQ(ToQColor(0x00123456), QColor(0x56, 0x34, 0x12));
  for (const Colour c : {0, 255, 65280, 0xFF0000, 0x00123456, 0x00FFFFFF})
    EXPECT_EQ(FromQColor(ToQColor(c)), c);
}

TEST(QtLabelTest, ForeColorRoundTripsAndReachesThePalette) {
  QtLabel label;
  for (const Colour c : {65280, 255, 0x00ABCDEF}) {
    label.SetForeColor(c);
    EXPECT_EQ(label.ForeColor(), c);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), ToQColor(c));
  }
  label.SetCaption("-45000");
  EXPECT_EQ(label.Caption(), "-45000");
  EXPECT_FALSE(label.autoFillBackground());
}

class QtPictureBoxTest : public ::testing::Test {
 protected:
  QtPictureBoxTest() : window(parent), box(window, &parent) {}
  QWidget parent;
  QtWindow window;
  QtPictureBox box;
};

TEST_F(QtPictureBoxTest, TwipsGeometryGivesTheImageTheBoxsPixels) {
  box.SetGeometryTwips(120, 3480, 4455, 1455, 15, 15);
  EXPECT_EQ(box.geometry(), QRect(8, 232, 297, 97));
  EXPECT_EQ(box.WidthTwips(), 4455.0f);
  EXPECT_EQ(box.HeightTwips(), 1455.0f);
  EXPECT_EQ(box.image().size(), QSize(297, 97));
  EXPECT_EQ(box.image().format(), QImage::Format_RGB32);
}

TEST_F(QtPictureBoxTest, PersistentImageIsAViewOfTheShownImage) {
  box.SetGeometryTwips(0, 0, 45, 30, 15, 15);  // 3 x 2 pixels
  const ImageView view = box.PersistentImage();
  ASSERT_FALSE(view.isNull());
  EXPECT_EQ(view.width, 3);
  EXPECT_EQ(view.height, 2);
  EXPECT_EQ(view.bytesPerLine, box.image().bytesPerLine());
  EXPECT_GE(view.bytesPerLine, 3 * 4);
  EXPECT_EQ(view.bits, box.image().constBits());
  // Pixel words are 0xAARRGGBB with the top row first: what the plane transfers assume.
  view.row(0)[2] = 0xFF102030u;
  EXPECT_EQ(box.image().pixel(2, 0), 0xFF102030u);
  // A plane's bottom row is the image's bottom row.
  const std::uint8_t plane[2 * 3 * 4] = {1,  2,  3,  0, 4,  5,  6,  0, 7,  8,  9,  0,
                                         10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0};
  ASSERT_TRUE(DrawPlaneIntoImage(plane, 3, 2, box.PersistentImage()));
  EXPECT_EQ(box.image().pixel(0, 1), qRgb(3, 2, 1));
  EXPECT_EQ(box.image().pixel(2, 0), qRgb(18, 17, 16));
}

TEST_F(QtPictureBoxTest, PictureShowsAtTheTopLeftOverBackColor) {
  box.SetGeometryTwips(0, 0, 60, 45, 15, 15);  // 4 x 3 pixels
  box.SetBackColor(0x0000FF);                  // red
  EXPECT_EQ(box.image().pixel(3, 2), qRgb(255, 0, 0));
  Image small(2, 1, 0xFF00FF00u);
  box.SetPicture(&small);
  ASSERT_NE(box.Picture(), nullptr);
  EXPECT_EQ(box.image().pixel(1, 0), qRgb(0, 255, 0));
  EXPECT_EQ(box.image().pixel(2, 0), qRgb(255, 0, 0));
  EXPECT_EQ(box.image().pixel(0, 1), qRgb(255, 0, 0));
  Image large(10, 10, 0xFF0000FFu);
  box.SetPicture(&large);
  EXPECT_EQ(box.image().size(), QSize(4, 3));
  EXPECT_EQ(box.image().pixel(3, 2), qRgb(0, 0, 255));
  box.SetPicture(nullptr);
  EXPECT_EQ(box.Picture(), nullptr);
  EXPECT_EQ(box.image().pixel(0, 0), qRgb(255, 0, 0));
}

TEST_F(QtPictureBoxTest, ImageFollowsAResize) {
  box.SetGeometryTwips(0, 0, 60, 45, 15, 15);
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  box.resize(7, 5);
  EXPECT_EQ(box.image().size(), QSize(7, 5));
  EXPECT_EQ(box.PersistentImage().width, 7);
}

TEST_F(QtPictureBoxTest, AnEmptyBoxHasNoImage) {
  box.SetGeometryTwips(0, 0, 0, 45, 15, 15);
  EXPECT_TRUE(box.PersistentImage().isNull());
}

TEST_F(QtPictureBoxTest, VisibleIsTheBoxsOwnStateBeforeTheWindowIsShown) {
  EXPECT_TRUE(box.Visible());
  box.SetVisible(false);
  EXPECT_FALSE(box.Visible());
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  EXPECT_FALSE(box.isVisible());
  box.SetVisible(true);
  EXPECT_TRUE(box.Visible());
  EXPECT_TRUE(box.isVisible());
}

TEST_F(QtPictureBoxTest, DepthIsBitsPerPixelUnlessForced) {
  const int depth = box.screen()->depth();
  EXPECT_EQ(box.ScreenBitsPerPixel(), depth == 24 ? 32 : depth);
  box.SetScreenBitsPerPixel(16);
  EXPECT_EQ(box.ScreenBitsPerPixel(), 16);
  box.SetScreenBitsPerPixel(std::nullopt);
  EXPECT_EQ(box.ScreenBitsPerPixel(), depth == 24 ? 32 : depth);
  EXPECT_EQ(&box.Container(), &window);
}

TEST(QtWindowTest, CaptionAndHourglass) {
  QWidget widget;
  widget.setWindowTitle(QStringLiteral("Тест"));
  QtWindow window(widget);
  EXPECT_EQ(window.Caption(), "Тест");
  window.SetMousePointer(MousePointer::Hourglass);
  EXPECT_EQ(widget.cursor().shape(), Qt::WaitCursor);
  window.SetMousePointer(MousePointer::Default);
  EXPECT_EQ(widget.cursor().shape(), Qt::ArrowCursor);
}

TEST(QtListBoxTest, LinesAreReplacedByIndexFromZero) {
  QtListBox list;
  list.AddItem("Rotating... ");
  list.AddItem("Smoothing... ");
  list.SetList(list.ListCount() - 1, "Smoothing... 0,25");
  EXPECT_EQ(list.ListCount(), 2);
  EXPECT_EQ(list.List(0), "Rotating... ");
  EXPECT_EQ(list.List(1), "Smoothing... 0,25");
  EXPECT_THROW(list.List(2), std::out_of_range);
  EXPECT_THROW(list.SetList(-1, "x"), std::out_of_range);
  list.Clear();
  EXPECT_EQ(list.ListCount(), 0);
}

TEST(QtTimerTest, TicksOnlyWhileEnabledWithAnInterval) {
  QtTimer timer(0, true);
  int ticks = 0;
  timer.onTick = [&] { ++ticks; };
  EXPECT_TRUE(timer.Enabled());
  EXPECT_FALSE(timer.running());  // an interval of 0 never ticks
  QTest::qWait(20);
  EXPECT_EQ(ticks, 0);
  timer.SetInterval(5);
  EXPECT_TRUE(timer.running());
  QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 2000);
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.running());
  const int stopped = ticks;
  QTest::qWait(30);
  EXPECT_EQ(ticks, stopped);
}

TEST(QtTimerTest, ATickNeverRunsInsideItsOwnHandler) {
  QtTimer timer(1, true);
  int depth = 0;
  int deepest = 0;
  int ticks = 0;
  timer.onTick = [&] {
    ++ticks;
    ++depth;
    deepest = std::max(deepest, depth);
    if (ticks == 1) QTest::qWait(30);  // yields while the timer keeps running
    --depth;
  };
  QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 2000);
  EXPECT_EQ(deepest, 1);
}

TEST(QtRuntimeTest, TwipsPerPixelComeFromTheLogicalDpi) {
  QtRuntime runtime;
  const QScreen* screen = QGuiApplication::primaryScreen();
  EXPECT_FLOAT_EQ(runtime.TwipsPerPixelX(), static_cast<float>(1440.0 / screen->logicalDotsPerInchX()));
  EXPECT_FLOAT_EQ(runtime.TwipsPerPixelY(), static_cast<float>(1440.0 / screen->logicalDotsPerInchY()));
}

TEST(QtRuntimeTest, TimerIsSecondsSinceMidnight) {
  QtRuntime runtime;
  const double before = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
  const float now = runtime.Timer();
  EXPECT_GE(now, 0.0f);
  EXPECT_LT(now, 86400.0f);
  // Near midnight the clock may start over between the two readings.
  if (before < 86399.0) {
    EXPECT_NEAR(now, before, 1.0);
  }
}

TEST(QtRuntimeTest, MessageBoxShowsPromptTitleIconAndReturnsTheButton) {
  QtRuntime runtime;
  QString title, text, yes, no;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenShown<QMessageBox>([&](QMessageBox& box) {
    title = box.windowTitle();
    text = box.text();
    icon = box.icon();
    yes = box.button(QMessageBox::Yes)->text();
    no = box.button(QMessageBox::No)->text();
    box.button(QMessageBox::Yes)->click();
  });
  EXPECT_EQ(runtime.MsgBox("Хотите послать результаты автору программы?", MsgBoxButtons::YesNo,
                           MsgBoxIcon::Question, "ТЕСТ ЗАВЕРШЕН УСПЕШНО"),
            MsgBoxResult::Yes);
  EXPECT_EQ(title, QStringLiteral("ТЕСТ ЗАВЕРШЕН УСПЕШНО"));
  EXPECT_EQ(text, QStringLiteral("Хотите послать результаты автору программы?"));
  EXPECT_EQ(icon, QMessageBox::Question);
  // Without a translation the answers speak the window's Russian too.
  EXPECT_EQ(yes, QStringLiteral("&Да"));
  EXPECT_EQ(no, QStringLiteral("&Нет"));

  WhenShown<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
  EXPECT_EQ(runtime.MsgBox("?", MsgBoxButtons::YesNo, MsgBoxIcon::Question, "t"), MsgBoxResult::No);

  // Closing a question without answering counts as No.
  WhenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_EQ(runtime.MsgBox("?", MsgBoxButtons::YesNo, MsgBoxIcon::Question, "t"), MsgBoxResult::No);

  WhenShown<QMessageBox>([&](QMessageBox& box) {
    icon = box.icon();
    box.button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(runtime.MsgBox("Blit Error", MsgBoxButtons::OK, MsgBoxIcon::Critical, "clsASM"),
            MsgBoxResult::OK);
  EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(QtRuntimeDeathTest, EndLeavesWithItsStatusAfterFlushing) {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("out.txt")).toStdString();
  EXPECT_EXIT(
      {
        QtRuntime runtime;
        std::FILE* out = std::fopen(path.c_str(), "w");
        std::fputs("written before the end", out);  // still in the stream's buffer
        runtime.End(3);
      },
      ::testing::ExitedWithCode(3), "");
  QFile written(QString::fromStdString(path));
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_EQ(written.readAll(), QByteArray("written before the end"));
}

TEST(QtFileFilterTest, LabelsCarryTheirPatterns) {
  const FileFilter open[] = {
      {"Pictures (*.bmp *.gif *.jpg *.wmf *.ico *.cur)", "*.bmp;*.gif;*.jpg;*.wmf;*.ico;*.cur"},
      {"All Files (*.*)", "*.*"}};
  EXPECT_EQ(QtFileFilter(open),
            QStringLiteral("Pictures (*.bmp *.gif *.jpg *.wmf *.ico *.cur);;All Files (*.*)"));
  const FileFilter bare[] = {{"Bitmaps", "*.bmp;*.dib"}};
  EXPECT_EQ(QtFileFilter(bare), QStringLiteral("Bitmaps (*.bmp *.dib)"));
}

class QtDialogsTest : public ::testing::Test {
 protected:
  QtDialogsTest() : window(owner) { owner.setWindowTitle(QStringLiteral("ASMpic Bench")); }
  QWidget owner;
  QtWindow window;
  QtDialogs dialogs;
  const FileFilter filter[1] = {{"Pictures (*.bmp)", "*.bmp"}};
};

// "All Files (*.*)" lists names without a dot too, whether it is the first filter or chosen later.
TEST_F(QtDialogsTest, AllFilesListsNamesWithoutADot) {
  QTemporaryDir dir;
  for (const char* name : {"picture.bmp", "README", "notes.txt"})
    QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
  const auto listed = [&](QFileDialog& dialog) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    QStringList names;
    if (model == nullptr) return names;
    const QModelIndex root = model->index(dir.path());
    for (int row = 0; row < model->rowCount(root); ++row)
      names << model->index(row, 0, root).data().toString();
    names.sort();
    return names;
  };
  const FileFilter allFirst[] = {{"All Files (*.*)", "*.*"}, {"Pictures (*.bmp)", "*.bmp"}};
  const FileFilter allSecond[] = {{"Pictures (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}};
  for (const auto& filter : {std::span<const FileFilter>(allFirst), std::span<const FileFilter>(allSecond)}) {
    QStringList names;
    WhenShown<QFileDialog>([&](QFileDialog& dialog) {
      auto* model = dialog.findChild<QFileSystemModel*>();
      QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
      dialog.setDirectory(dir.path());
      auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      const int all = types->findText(QStringLiteral("All Files (*.*)"));
      if (types->currentIndex() != all) {
        types->setCurrentIndex(all);
        emit types->activated(all);  // as a user's choice
      }
      loaded.wait(2000);
      QTest::qWait(50);
      names = listed(dialog);
      dialog.reject();
    });
    dialogs.GetOpenFileName(window, "Open", filter);
    EXPECT_EQ(names.join(u',').toStdString(), "README,notes.txt,picture.bmp")
        << "first filter: " << filter[0].label;
  }
}

TEST_F(QtDialogsTest, OpenReturnsTheChosenFileAndNothingOnCancel) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("chosen.bmp"));
  QFile(path).open(QIODevice::WriteOnly);
  QWidget* parent = nullptr;
  QString title;
  WhenShown<QFileDialog>([&](QFileDialog& dialog) {
    parent = dialog.parentWidget();
    title = dialog.windowTitle();
    dialog.selectFile(path);
    static_cast<QDialog&>(dialog).accept();
  });
  EXPECT_EQ(dialogs.GetOpenFileName(window, "Load a Picture file", filter), path.toStdString());
  EXPECT_EQ(parent, &owner);
  EXPECT_EQ(title, QStringLiteral("Load a Picture file"));

  WhenShown<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_EQ(dialogs.GetOpenFileName(window, "Load a Picture file", filter), std::nullopt);
}

TEST_F(QtDialogsTest, SaveReplacesAnExistingFileWithoutAQuestion) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("existing.bmp"));
  QFile(path).open(QIODevice::WriteOnly);
  bool asksFirst = true;
  WhenShown<QFileDialog>([&](QFileDialog& dialog) {
    asksFirst = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(path);
    static_cast<QDialog&>(dialog).accept();
  });
  EXPECT_EQ(dialogs.GetSaveFileName(window, "Save Picture file", filter), path.toStdString());
  EXPECT_FALSE(asksFirst);
}

TEST_F(QtDialogsTest, ColourDialogOffersAndReturnsTheCustomColours) {
  CustomColours custom{};
  custom[0] = 0x00010203;
  custom[15] = 0x00FFFFFF;
  QColor offered0, offered15;
  WhenShown<QColorDialog>([&](QColorDialog& dialog) {
    offered0 = QColorDialog::customColor(0);
    offered15 = QColorDialog::customColor(15);
    dialog.setCurrentColor(QColor(0x11, 0x22, 0x33));
    QColorDialog::setCustomColor(5, QColor(0x44, 0x55, 0x66));
    static_cast<QDialog&>(dialog).accept();
  });
  EXPECT_EQ(dialogs.ChooseColor(window, custom), std::optional<Colour>(0x00332211));
  EXPECT_EQ(offered0, QColor(3, 2, 1));
  EXPECT_EQ(offered15, QColor(255, 255, 255));
  EXPECT_EQ(custom[0], 0x00010203);
  EXPECT_EQ(custom[5], 0x00665544);

  // A cancelled dialog leaves the colours as they were.
  const CustomColours before = custom;
  WhenShown<QColorDialog>([](QColorDialog& dialog) {
    QColorDialog::setCustomColor(7, QColor(1, 1, 1));
    dialog.reject();
  });
  EXPECT_EQ(dialogs.ChooseColor(window, custom), std::nullopt);
  EXPECT_EQ(custom, before);
}

// A stand-in for xdg-open, first on PATH: records its arguments and exits with `status`.
class FakeOpener {
 public:
  explicit FakeOpener(int status) : savedPath_(qgetenv("PATH")) {
    const QString script = dir_.filePath(QStringLiteral("xdg-open"));
    QFile file(script);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\nexit %2\n")
                   .arg(dir_.filePath(QStringLiteral("arguments")))
                   .arg(status)
                   .toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", dir_.path().toUtf8() + ":" + savedPath_);
  }
  ~FakeOpener() { qputenv("PATH", savedPath_); }
  QString arguments() const {
    QFile file(dir_.filePath(QStringLiteral("arguments")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

 private:
  QTemporaryDir dir_;
  QByteArray savedPath_;
};

TEST(QtShellTest, AnOpenerThatFailsIsReportedAndOneThatWorksIsNot) {
  const std::string link = "mailto:?subject=My%20score%20is%20-200000B";
  for (const int status : {4, 0}) {
    FakeOpener opener(status);
    QtShell shell;
    bool failed = false;
    shell.Open(link, [&] { failed = true; });
    if (status != 0) {
      QTRY_VERIFY_WITH_TIMEOUT(failed, 5000);
    } else {
      QTRY_VERIFY_WITH_TIMEOUT(!opener.arguments().isEmpty(), 5000);
      QTest::qWait(300);  // long enough for its end to be seen
      EXPECT_FALSE(failed);
    }
    EXPECT_EQ(opener.arguments(), QString::fromStdString(link) + "\n") << "the link is passed unchanged";
  }
}

}  // namespace
}  // namespace asmpic::platform
